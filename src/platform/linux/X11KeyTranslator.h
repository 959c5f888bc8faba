#pragma once

#include <array>
#include <bitset>
#include <optional>

#include "platform/KeyboardEvents.h"

namespace linuxport {

// Turns raw X key presses and releases into the listener's events: a trigger key's change is a
// flags-changed event with its virtual key code and the device and device-independent bits of
// every trigger key down; any other press is a key-down event carrying the X key code. Releases
// of keys not known to be down, repeated releases and repeated modifier presses (synthetic
// input sends them) give nothing, and so do releases of ordinary keys.
class X11KeyTranslator {
 public:
  // X key codes of the eight trigger keys in platform::kAllModifierKeys order; 0 = not on this
  // keyboard.
  void setTriggerKeycodes(const std::array<int, 8>& codes) { codes_ = codes; }
  std::optional<platform::KeyEvent> press(int keycode);
  std::optional<platform::KeyEvent> release(int keycode);
  // Forgets which keys are down (a new connection starts from nothing).
  void reset() { down_.reset(); }
  std::uint64_t flags() const;

 private:
  int triggerIndex(int keycode) const;

  std::array<int, 8> codes_{};
  std::bitset<256> down_;
};

}  // namespace linuxport
