#include "platform/linux/X11Keymap.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XKBstr.h>

#include <cstring>
#include <string>

namespace linuxport::X11Keymap {

namespace {

bool sameName(const char* xkb, std::string_view name) {
  return std::string_view(xkb, strnlen(xkb, XkbKeyNameLength)) == name;
}

}  // namespace

std::string_view xkbName(platform::ModifierKey key) {
  switch (key) {
    case platform::ModifierKey::altLeft:
      return "LALT";
    case platform::ModifierKey::altRight:
      return "RALT";
    case platform::ModifierKey::controlLeft:
      return "LCTL";
    case platform::ModifierKey::controlRight:
      return "RCTL";
    case platform::ModifierKey::shiftLeft:
      return "LFSH";
    case platform::ModifierKey::shiftRight:
      return "RTSH";
    case platform::ModifierKey::metaLeft:
      return "LWIN";
    case platform::ModifierKey::metaRight:
      return "RWIN";
  }
  return "";
}

int keycodeOfName(Display* display, std::string_view name) {
  XkbDescPtr xkb = XkbGetMap(display, 0, XkbUseCoreKbd);
  if (!xkb) return 0;
  int found = 0;
  if (XkbGetNames(display, XkbKeyNamesMask | XkbKeyAliasesMask, xkb) == Success && xkb->names) {
    std::string wanted(name);
    // An alias (e.g. LMTA for LWIN) names the real key.
    for (int i = 0; i < xkb->names->num_key_aliases; ++i) {
      if (sameName(xkb->names->key_aliases[i].alias, wanted)) {
        wanted.assign(xkb->names->key_aliases[i].real,
                      strnlen(xkb->names->key_aliases[i].real, XkbKeyNameLength));
        break;
      }
    }
    for (int code = xkb->min_key_code; code <= xkb->max_key_code && !found; ++code)
      if (sameName(xkb->names->keys[code].name, wanted)) found = code;
  }
  XkbFreeKeyboard(xkb, 0, True);
  return found;
}

std::array<int, 8> triggerKeycodes(Display* display) {
  std::array<int, 8> codes{};
  for (size_t i = 0; i < platform::kAllModifierKeys.size(); ++i)
    codes[i] = keycodeOfName(display, xkbName(platform::kAllModifierKeys[i]));
  return codes;
}

std::array<std::string, 8> keysymNames(Display* display, const std::array<int, 8>& codes) {
  XkbStateRec state{};
  const int group = XkbGetState(display, XkbUseCoreKbd, &state) == Success ? state.group : 0;
  std::array<std::string, 8> names;
  for (size_t i = 0; i < codes.size(); ++i) {
    if (codes[i] <= 0 || codes[i] > 255) continue;
    const auto code = static_cast<KeyCode>(codes[i]);
    KeySym sym = XkbKeycodeToKeysym(display, code, group, 0);
    // A key with fewer groups than the layout behaves as its first group.
    if (sym == NoSymbol && group > 0) sym = XkbKeycodeToKeysym(display, code, 0, 0);
    if (const char* name = sym != NoSymbol ? XKeysymToString(sym) : nullptr) names[i] = name;
  }
  return names;
}

}  // namespace linuxport::X11Keymap
