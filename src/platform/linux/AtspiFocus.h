#pragma once

#include <atspi/atspi.h>

#include "platform/Accessibility.h"
#include "platform/linux/AtspiObjects.h"

namespace linuxport {

// The focused element of the desktop: tracked from focus events, checked with the element's
// focused state, with a search of the active windows as fallback. Main thread only.
class AtspiFocus {
 public:
  explicit AtspiFocus(AtspiObjects& objects);
  ~AtspiFocus();
  AtspiFocus(const AtspiFocus&) = delete;
  AtspiFocus& operator=(const AtspiFocus&) = delete;

  // Starts following focus events (once the accessibility bus is known to answer).
  void listen();
  // The focused element, or null.
  platform::ElementRef focusedElement();
  bool passwordFieldFocused();
  bool terminalFocused();

 private:
  static void onFocusEvent(AtspiEvent* event, void* self);
  void focusChanged(AtspiAccessible* source, bool gained);
  platform::ElementRef searchActiveWindows();
  bool focusedHasRole(AtspiRole role);

  AtspiObjects& objects_;
  platform::ElementRef tracked_;  // the element that last gained focus
  AtspiEventListener* listener_ = nullptr;
};

}  // namespace linuxport
