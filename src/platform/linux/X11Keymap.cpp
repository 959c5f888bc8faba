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

std::string_view xkbName(TriggerKey key) {
  switch (key) {
    case TriggerKey::altLeft:
      return "LALT";
    case TriggerKey::altRight:
      return "RALT";
    case TriggerKey::controlLeft:
      return "LCTL";
    case TriggerKey::controlRight:
      return "RCTL";
    case TriggerKey::shiftLeft:
      return "LFSH";
    case TriggerKey::shiftRight:
      return "RTSH";
    case TriggerKey::metaLeft:
      return "LWIN";
    case TriggerKey::metaRight:
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
  for (size_t i = 0; i < kAllTriggerKeys.size(); ++i)
    codes[i] = keycodeOfName(display, xkbName(kAllTriggerKeys[i]));
  return codes;
}

}  // namespace linuxport::X11Keymap
