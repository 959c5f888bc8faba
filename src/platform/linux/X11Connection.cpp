#include "platform/linux/X11Connection.h"

#include <X11/Xlib.h>

#include <set>

namespace linuxport::X11Connection {

namespace {

std::set<Display*>& ownDisplays() {
  static std::set<Display*> displays;
  return displays;
}
XIOErrorHandler previousHandler = nullptr;

int onIOError(Display* display) {
  if (ownDisplays().count(display)) return 0;  // the exit handler below marks it lost
  return previousHandler ? previousHandler(display) : 0;
}

void markLost(Display*, void* lost) {
  *static_cast<bool*>(lost) = true;
}

}  // namespace

Display* open(bool* lost) {
  XIOErrorHandler current = XSetIOErrorHandler(onIOError);
  if (current != onIOError) previousHandler = current;
  *lost = false;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  ownDisplays().insert(display);
  XSetIOErrorExitHandler(display, markLost, lost);
  return display;
}

void close(Display* display) {
  if (!display) return;
  ownDisplays().erase(display);
  XCloseDisplay(display);
}

}  // namespace linuxport::X11Connection
