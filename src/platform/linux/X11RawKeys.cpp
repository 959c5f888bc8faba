#include "platform/linux/X11RawKeys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <glib-unix.h>
#include <sys/socket.h>

#include "platform/linux/X11Connection.h"

namespace linuxport {

bool X11RawKeys::open(Callbacks callbacks) {
  close();
  display_ = X11Connection::open(&lost_);
  if (!display_) return false;
  callbacks_ = std::move(callbacks);
  int event, error, major = 2, minor = 2;
  if (!XQueryExtension(display_, "XInputExtension", &xiOpcode_, &event, &error) ||
      XIQueryVersion(display_, &major, &minor) != Success || major < 2 || !select()) {
    close();
    return false;
  }
  int xkbOpcode, xkbError, xkbMajor = XkbMajorVersion, xkbMinor = XkbMinorVersion;
  if (XkbQueryExtension(display_, &xkbOpcode, &xkbEventBase_, &xkbError, &xkbMajor, &xkbMinor)) {
    const unsigned mask = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
    XkbSelectEvents(display_, XkbUseCoreKbd, mask, mask);
    XkbSelectEventDetails(display_, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask,
                          XkbGroupStateMask);
  } else {
    xkbEventBase_ = -1;
  }
  XSync(display_, False);
  watch_ = g_unix_fd_add(ConnectionNumber(display_),
                         static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                         reinterpret_cast<GUnixFDSourceFunc>(onReadable), this);
  if (lost_) {
    close();
    return false;
  }
  dispatchQueuedSoon();
  return true;
}

// Events Xlib has already read from the socket do not make it readable again: hand them out
// on the next turn of the main loop.
void X11RawKeys::dispatchQueuedSoon() {
  if (idle_ || !display_ || XEventsQueued(display_, QueuedAlready) == 0) return;
  idle_ = g_idle_add(
      [](gpointer self) {
        auto* keys = static_cast<X11RawKeys*>(self);
        keys->idle_ = 0;
        keys->dispatch();
        return G_SOURCE_REMOVE;
      },
      this);
}

bool X11RawKeys::select() {
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {0};
  XISetMask(bits, XI_RawKeyPress);
  XISetMask(bits, XI_RawKeyRelease);
  XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
  return XISelectEvents(display_, DefaultRootWindow(display_), &mask, 1) == Success;
}

bool X11RawKeys::ensureSelected() {
  if (!display_) return false;
  int count = 0;
  XIEventMask* masks = XIGetSelectedEvents(display_, DefaultRootWindow(display_), &count);
  bool selected = false;
  for (int i = 0; i < count; ++i) {
    if (masks[i].deviceid == XIAllMasterDevices && masks[i].mask_len > 0 &&
        XIMaskIsSet(masks[i].mask, XI_RawKeyPress) && XIMaskIsSet(masks[i].mask, XI_RawKeyRelease))
      selected = true;
  }
  if (masks) XFree(masks);
  if (!selected && !lost_) select();
  XSync(display_, False);
  if (lost_) {
    close();  // quietly: the caller connects again
    return false;
  }
  dispatchQueuedSoon();
  return true;
}

void X11RawKeys::close() {
  if (watch_) g_source_remove(watch_);
  watch_ = 0;
  if (idle_) g_source_remove(idle_);
  idle_ = 0;
  X11Connection::close(display_);
  display_ = nullptr;
}

int X11RawKeys::onReadable(int, unsigned, void* self) {
  auto* keys = static_cast<X11RawKeys*>(self);
  if (keys->dispatch()) return G_SOURCE_CONTINUE;
  return G_SOURCE_REMOVE;
}

bool X11RawKeys::dispatch() {
  if (!display_) return false;
  while (!lost_ && XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    handleEvent(&event);
    if (!display_) return false;  // a callback closed us
  }
  if (!lost_) return true;
  closeLost();
  return false;
}

void X11RawKeys::handleEvent(void* e) {
  auto& event = *static_cast<XEvent*>(e);
  if (event.type == GenericEvent && event.xcookie.extension == xiOpcode_ &&
      XGetEventData(display_, &event.xcookie)) {
    const int type = event.xcookie.evtype;
    const auto* raw = static_cast<XIRawEvent*>(event.xcookie.data);
    const int keycode = raw->detail;
    const auto time = static_cast<std::uint32_t>(raw->time);
    XFreeEventData(display_, &event.xcookie);
    if ((type == XI_RawKeyPress || type == XI_RawKeyRelease) && callbacks_.key)
      callbacks_.key(keycode, type == XI_RawKeyPress, time);
    return;
  }
  if (xkbEventBase_ >= 0 && event.type == xkbEventBase_ && callbacks_.keymapChanged) {
    auto* xkb = reinterpret_cast<XkbEvent*>(&event);
    if (xkb->any.xkb_type != XkbStateNotify) XkbRefreshKeyboardMapping(&xkb->map);
    callbacks_.keymapChanged();
  }
}

void X11RawKeys::closeLost() {
  // Removing a source from inside its own dispatch is allowed; its G_SOURCE_REMOVE then does
  // nothing more.
  close();
  if (auto lost = callbacks_.lost) lost();
}

void X11RawKeys::cutForTesting() {
  if (display_) shutdown(ConnectionNumber(display_), SHUT_RDWR);
}

}  // namespace linuxport
