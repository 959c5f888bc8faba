#pragma once

#include <atspi/atspi.h>

#include <cstdint>

#include "platform/Accessibility.h"

namespace linuxport {

// An element behind the accessibility seam on Linux: an object of the AT-SPI tree, the
// desktop as a whole (the system-wide element), or an application named by its pid.
class AtspiElement : public platform::Element {
 public:
  enum class Kind { object, systemWide, application };

  // Adopts the caller's reference on accessible.
  explicit AtspiElement(AtspiAccessible* accessible)
      : kind_(Kind::object), accessible_(accessible) {}
  AtspiElement(Kind kind, std::int32_t pid) : kind_(kind), pid_(pid) {}
  ~AtspiElement() override;
  AtspiElement(const AtspiElement&) = delete;
  AtspiElement& operator=(const AtspiElement&) = delete;

  Kind kind() const { return kind_; }
  // The AT-SPI object; null unless the kind is object.
  AtspiAccessible* accessible() const { return accessible_; }
  // The application's process id; 0 unless the kind is application.
  std::int32_t pid() const { return pid_; }

 private:
  Kind kind_;
  AtspiAccessible* accessible_ = nullptr;
  std::int32_t pid_ = 0;
};

}  // namespace linuxport
