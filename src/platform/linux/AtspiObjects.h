#pragma once

#include <atspi/atspi.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/Accessibility.h"
#include "platform/linux/AtspiElement.h"

namespace linuxport {

// One element per AT-SPI object (so elements compare by identity above the seam), one per
// application pid, and the pid behind each application's bus name.
class AtspiObjects {
 public:
  // Takes the caller's reference on accessible; null for null.
  platform::ElementRef adopt(AtspiAccessible* accessible);
  platform::ElementRef application(std::int32_t pid);
  // The process of the application the object belongs to (asked once per application).
  std::optional<std::int32_t> pidOf(AtspiAccessible* accessible);
  // The process when it has been asked before, without a call.
  std::optional<std::int32_t> knownPidOf(AtspiAccessible* accessible) const;

 private:
  std::unordered_map<AtspiAccessible*, std::weak_ptr<AtspiElement>> interned_;
  size_t purgeAt_ = 1024;
  std::map<std::int32_t, std::weak_ptr<AtspiElement>> applications_;
  std::map<std::string, std::int32_t, std::less<>> pidsByBusName_;
};

}  // namespace linuxport
