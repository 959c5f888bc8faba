#include "platform/linux/X11ModifierIdle.h"

#include <glib.h>

#include "platform/linux/X11Keymap.h"

namespace linuxport {

namespace {
constexpr double kUnreachable = 1e9;
}

bool X11ModifierIdle::start() {
  if (keys_.isOpen()) return true;
  translator_.reset();
  X11RawKeys::Callbacks callbacks;
  callbacks.key = [this](int keycode, bool press, std::uint32_t) {
    auto event = press ? translator_.press(keycode) : translator_.release(keycode);
    if (event && event->type == platform::KeyEventType::flagsChanged)
      lastChangeUs_ = g_get_monotonic_time();
  };
  callbacks.keymapChanged = [this] { refreshKeymap(); };
  if (!keys_.open(std::move(callbacks))) return false;
  refreshKeymap();
  if (lastChangeUs_ == 0) lastChangeUs_ = g_get_monotonic_time();
  return true;
}

void X11ModifierIdle::refreshKeymap() {
  translator_.setTriggerKeycodes(X11Keymap::triggerKeycodes(keys_.display()));
}

double X11ModifierIdle::seconds() {
  // Read what has arrived, so the answer does not wait for the main loop's next turn.
  if (!(keys_.isOpen() && keys_.dispatch()) && !start()) return kUnreachable;
  return static_cast<double>(g_get_monotonic_time() - lastChangeUs_) / 1e6;
}

}  // namespace linuxport
