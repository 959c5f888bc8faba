#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/ModifierKey.h"

typedef struct _XDisplay Display;

namespace linuxport {

// Key codes of physical keys, found by their XKB key names ("RALT", "AB03" …) rather than by
// keysym: layouts may give right Alt to AltGr or Hangul, and a keysym then finds nothing.
namespace X11Keymap {

// The XKB key name of a trigger key: LALT, RALT, LCTL, RCTL, LFSH, RTSH, LWIN, RWIN.
std::string_view xkbName(platform::ModifierKey key);
// The key code with that name (aliases included), or 0.
int keycodeOfName(Display* display, std::string_view name);
// Key codes of the eight trigger keys in platform::kAllModifierKeys order; 0 where a key is
// missing.
std::array<int, 8> triggerKeycodes(Display* display);
// The symbol each key code produces in the current layout group without other modifiers
// ("Alt_R", "Hangul" …); empty for 0 or a key without one.
std::array<std::string, 8> keysymNames(Display* display, const std::array<int, 8>& codes);

}  // namespace X11Keymap

}  // namespace linuxport
