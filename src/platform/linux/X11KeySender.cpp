#include "platform/linux/X11KeySender.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include "platform/linux/X11Connection.h"
#include "platform/linux/X11Keymap.h"

namespace linuxport {

X11KeySender::~X11KeySender() {
  X11Connection::close(display_);
}

bool X11KeySender::ready() {
  if (display_ && !lost_) return true;
  X11Connection::close(display_);
  display_ = X11Connection::open(&lost_);
  if (!display_) return false;
  int event, error, major, minor;
  if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) {
    X11Connection::close(display_);
    display_ = nullptr;
    return false;
  }
  return true;
}

int X11KeySender::keycodeOfName(std::string_view name) {
  return ready() ? X11Keymap::keycodeOfName(display_, name) : 0;
}

int X11KeySender::keycodeOf(unsigned long keysym, std::string_view fallbackName) {
  if (!ready()) return 0;
  int code = XKeysymToKeycode(display_, keysym);
  return code != 0 ? code : X11Keymap::keycodeOfName(display_, fallbackName);
}

void X11KeySender::fake(int keycode, bool press) {
  if (keycode == 0 || !ready()) return;
  XTestFakeKeyEvent(display_, static_cast<unsigned>(keycode), press ? True : False, CurrentTime);
}

bool X11KeySender::chord(const std::vector<int>& keycodes) {
  for (int code : keycodes)
    if (code == 0) return false;  // a missing key would turn the shortcut into something else
  if (!ready()) return false;
  for (int code : keycodes)
    fake(code, true);
  for (auto it = keycodes.rbegin(); it != keycodes.rend(); ++it)
    fake(*it, false);
  // Sent once the server has them: a wait that follows starts after the keys arrived.
  XSync(display_, False);
  return !lost_;
}

void X11KeySender::press(int keycode) {
  fake(keycode, true);
  if (display_) XFlush(display_);
}

void X11KeySender::release(int keycode) {
  fake(keycode, false);
  if (display_) XFlush(display_);
}

bool X11KeySender::anyModifierDown() {
  if (!ready()) return false;
  char keys[32];
  XQueryKeymap(display_, keys);
  XModifierKeymap* map = XGetModifierMapping(display_);
  if (!map) return false;
  bool down = false;
  // Every modifier except Lock (Caps Lock is a state, not a held key).
  for (int mod = 0; mod < 8 && !down; ++mod) {
    if (mod == LockMapIndex) continue;
    for (int i = 0; i < map->max_keypermod; ++i) {
      const KeyCode code = map->modifiermap[mod * map->max_keypermod + i];
      if (code != 0 && (keys[code / 8] & (1 << (code % 8)))) down = true;
    }
  }
  XFreeModifiermap(map);
  return down;
}

}  // namespace linuxport
