#pragma once

#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "base/Clock.h"
#include "platform/Accessibility.h"
#include "platform/linux/AtspiObjects.h"

namespace linuxport {

// The focused element of the desktop: tracked from focus events, checked with the element's
// focused state, with a search of the active windows as fallback. Only a trigger searches; what
// is asked periodically (secure input, the frontmost process) is answered from the focus
// events alone. An application that let a call run into its time-out is left out of the
// search for kSkipSeconds, so a hung application costs at most one bounded wait per trigger.
// Main thread only.
class AtspiFocus {
 public:
  static constexpr double kSkipSeconds = 30;

  // callTimeoutMs bounds each call; a call that takes half of it counts as a time-out.
  AtspiFocus(AtspiObjects& objects, Clock& clock, int callTimeoutMs);
  ~AtspiFocus();
  AtspiFocus(const AtspiFocus&) = delete;
  AtspiFocus& operator=(const AtspiFocus&) = delete;

  // Starts following focus events (once the accessibility bus is known to answer).
  void listen();
  // The process in front as the window system tells it, without asking any application.
  void setFrontmostPid(std::function<std::optional<std::int32_t>()> frontmostPid);

  // The focused element of the application in front (of any application when that is not
  // known), or null. May call into applications: for a trigger only.
  platform::ElementRef focusedElement();
  // The focused element of pid's active windows, or null. May call into applications.
  platform::ElementRef focusedElementOf(std::int32_t pid);

  // From the focus events alone, without a call.
  bool passwordFieldFocused() const;
  bool terminalFocused() const;
  std::optional<std::int32_t> trackedPid() const;

 private:
  static void onFocusEvent(AtspiEvent* event, void* self);
  static void onRole(DBusPendingCall* pending, void* self);
  void focusChanged(AtspiAccessible* source, bool gained);
  void askRole(AtspiAccessible* source);
  void forgetRole();
  platform::ElementRef search(std::optional<std::int32_t> pid);
  bool skipped(AtspiAccessible* a) const;
  template <typename F>
  auto timed(AtspiAccessible* a, F call);

  AtspiObjects& objects_;
  Clock& clock_;
  int callTimeoutMs_;
  std::function<std::optional<std::int32_t>()> frontmostPid_;
  platform::ElementRef tracked_;  // the element that last gained focus
  std::optional<AtspiRole> trackedRole_;
  DBusPendingCall* roleCall_ = nullptr;
  AtspiEventListener* listener_ = nullptr;
  std::map<std::string, double, std::less<>> skipUntil_;  // by bus name
};

}  // namespace linuxport
