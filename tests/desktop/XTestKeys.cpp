#include "XTestKeys.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <glib.h>

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

void pumpFor(double seconds) {
  const gint64 end = g_get_monotonic_time() + static_cast<gint64>(seconds * 1e6);
  bool done = false;
  guint timer = g_timeout_add_full(
      G_PRIORITY_DEFAULT, static_cast<guint>(seconds * 1000),
      [](gpointer flag) {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &done, nullptr);
  while (!done && g_get_monotonic_time() < end + 50'000)
    g_main_context_iteration(nullptr, TRUE);
  if (!done) g_source_remove(timer);
}

bool pumpUntil(const std::function<bool()>& pred, double timeoutSeconds) {
  const gint64 end = g_get_monotonic_time() + static_cast<gint64>(timeoutSeconds * 1e6);
  while (!pred() && g_get_monotonic_time() < end) {
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
  }
  return pred();
}

}  // namespace desktop
