#pragma once

#include <string_view>
#include <vector>

typedef struct _XDisplay Display;

namespace linuxport {

// Synthetic key presses through XTest by exact key code, on a connection of its own.
class X11KeySender {
 public:
  X11KeySender() = default;
  ~X11KeySender();
  X11KeySender(const X11KeySender&) = delete;
  X11KeySender& operator=(const X11KeySender&) = delete;

  // Connects when not connected (again after a loss); false without a display or XTest.
  bool ready();
  // The key code of an XKB key name ("RALT", "AB03"), or 0.
  int keycodeOfName(std::string_view name);
  // The key code that gives the keysym, else the key with the fallback name, or 0.
  int keycodeOf(unsigned long keysym, std::string_view fallbackName);
  // Presses the keys in order, then releases them in reverse order; false when nothing was
  // sent (a key is missing or there is no connection).
  bool chord(const std::vector<int>& keycodes);
  void press(int keycode);
  void release(int keycode);
  // Whether a modifier key (Shift, Control, Alt, Super, AltGr …) is physically down: a
  // synthetic shortcut would be combined with it.
  bool anyModifierDown();

 private:
  void fake(int keycode, bool press);

  Display* display_ = nullptr;
  bool lost_ = false;
};

}  // namespace linuxport
