#pragma once

#include <atspi/atspi.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/Clock.h"
#include "platform/Accessibility.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/AtspiFocus.h"
#include "platform/linux/AtspiObjects.h"
#include "platform/linux/AtspiWake.h"

namespace linuxport {

// The accessibility seam over AT-SPI (libatspi). Attribute names keep the seam's vocabulary;
// text ranges are UTF-16 units above the seam and code points in AT-SPI. Every failure reads
// as absent (or false), and every call into another application is bounded by
// kCallTimeoutMs. Main thread only: focus events arrive through the default main context.
class AtspiAccessibility : public platform::Accessibility {
 public:
  // Upper bound of one call into an application, also while libatspi would otherwise wait up
  // to 15 s for an application it has only just seen.
  static constexpr int kCallTimeoutMs = 800;

  // clock (the real one when null) times how long another application keeps Mirelo waiting.
  explicit AtspiAccessibility(Clock* clock = nullptr);
  ~AtspiAccessibility() override;
  AtspiAccessibility(const AtspiAccessibility&) = delete;
  AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

  platform::ElementRef systemWide() override { return systemWide_; }
  platform::ElementRef application(std::int32_t pid) override;
  std::optional<platform::AXValue> copyAttribute(const platform::ElementRef& element,
                                                 std::string_view name) override;
  std::optional<platform::AXValue> copyParameterizedAttribute(
      const platform::ElementRef& element, std::string_view name,
      const platform::AXValue& parameter) override;
  bool setAttribute(const platform::ElementRef& element, std::string_view name,
                    const platform::AXValue& value) override;
  std::optional<bool> isAttributeSettable(const platform::ElementRef& element,
                                          std::string_view name) override;
  // Trusted: the accessibility bus answers and its registry lists applications. With prompt,
  // first turns org.a11y.Status.IsEnabled on (a persistent setting of the user's desktop, read
  // by browsers and Qt when they start): call it with prompt only on the user's grant.
  bool isProcessTrusted(bool prompt) override;
  void checkTrust(std::function<void(bool)> answer) override;
  // The element's application read with one bulk cache fetch (AtspiSnapshot).
  std::unique_ptr<platform::AXSnapshot> snapshot(const platform::ElementRef& element) override;
  // Waking is bookkeeping only here; the diagnosis shows whether browsers will expose a tree.
  std::string wakeDescription(bool browser) override;

  // Whether the accessibility bus could be reached when this object was made.
  bool available() const { return available_; }
  // The focused element of the application in front, or null. Calls into applications: for a
  // trigger only.
  platform::ElementRef focusedElement();
  // Secure input for the keyboard port: the focused element is a password field. From the
  // focus events alone, so that a periodic check never calls into another application.
  bool isPasswordFieldFocused();
  // The focused element is a terminal (which copies and pastes with Ctrl+Shift+C / V). From
  // the focus events alone.
  bool isTerminalFocused();
  // The process of the element that last gained focus, without a call.
  std::optional<std::int32_t> trackedProcessId() const;
  // The process in front as the window system tells it: the focused element must belong to it.
  void setFrontmostPid(std::function<std::optional<std::int32_t>()> pid);
  // The process of the application that element belongs to.
  std::optional<std::int32_t> processId(const platform::ElementRef& element);

 private:
  std::optional<platform::AXValue> objectAttribute(AtspiAccessible* a, std::string_view name);
  std::optional<platform::AXValue> parentOf(AtspiAccessible* a);
  std::optional<platform::AXValue> childrenOf(AtspiAccessible* a);
  std::optional<bool> settableObjectAttribute(AtspiAccessible* a, std::string_view name);
  bool setObjectAttribute(AtspiAccessible* a, std::string_view name,
                          const platform::AXValue& value);

  bool available_ = false;
  platform::ElementRef systemWide_;
  AtspiObjects objects_;
  AtspiFocus focus_;
  AtspiWake wake_;
};

}  // namespace linuxport
