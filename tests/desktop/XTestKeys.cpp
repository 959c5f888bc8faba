#include "XTestKeys.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace desktop {

XTestKeys::XTestKeys() : display_(XOpenDisplay(nullptr)) {}

XTestKeys::~XTestKeys() {
  if (display_) XCloseDisplay(display_);
}

int XTestKeys::keycode(unsigned long keysym) const {
  return display_ ? XKeysymToKeycode(display_, keysym) : 0;
}

void XTestKeys::press(int keycode) {
  XTestFakeKeyEvent(display_, static_cast<unsigned>(keycode), True, CurrentTime);
  XSync(display_, False);
}

void XTestKeys::release(int keycode) {
  XTestFakeKeyEvent(display_, static_cast<unsigned>(keycode), False, CurrentTime);
  XSync(display_, False);
}

}  // namespace desktop
