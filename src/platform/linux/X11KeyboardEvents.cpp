#include "platform/linux/X11KeyboardEvents.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include "platform/linux/X11Connection.h"
#include "platform/linux/X11Keymap.h"

namespace linuxport {

X11KeyboardEvents::X11KeyboardEvents(Clock& clock, Hooks hooks)
    : clock_(clock), hooks_(std::move(hooks)) {}

X11KeyboardEvents::~X11KeyboardEvents() {
  // A synthetic right Alt must never stay down.
  if (tapRelease_.active()) sender_.release(tapReleaseKeycode_);
}

bool X11KeyboardEvents::startListening(Handler handler) {
  if (!connect()) return false;
  handler_ = std::move(handler);
  idle_.start();
  return true;
}

void X11KeyboardEvents::stopListening() {
  handler_ = nullptr;
  retry_.stop();
  listener_.close();
}

bool X11KeyboardEvents::connect() {
  if (listener_.isOpen()) return true;
  translator_.reset();
  X11RawKeys::Callbacks callbacks;
  callbacks.key = [this](int keycode, bool press) { onKey(keycode, press); };
  callbacks.keymapChanged = [this] {
    translator_.setTriggerKeycodes(X11Keymap::triggerKeycodes(listener_.display()));
  };
  callbacks.lost = [this] { onLost(); };
  if (!listener_.open(std::move(callbacks))) return false;
  translator_.setTriggerKeycodes(X11Keymap::triggerKeycodes(listener_.display()));
  retry_.stop();
  return true;
}

void X11KeyboardEvents::onKey(int keycode, bool press) {
  auto event = press ? translator_.press(keycode) : translator_.release(keycode);
  if (event) deliver(*event);
}

void X11KeyboardEvents::deliver(const platform::KeyEvent& event) {
  if (auto handler = handler_) handler(event);
}

void X11KeyboardEvents::onLost() {
  if (!handler_) return;
  // Try again on our own; a re-enable from the handler may already succeed.
  retry_.start(clock_, kRetryInterval, true, [this] {
    if (handler_) connect();
  });
  deliver({platform::KeyEventType::disabledByTimeout, 0, 0});
}

void X11KeyboardEvents::reenable() {
  if (!handler_) return;
  if (listener_.isOpen() && listener_.ensureSelected()) return;
  connect();
}

bool X11KeyboardEvents::inputMonitoringGranted() {
  if (xinput2_) return true;
  bool lost = false;
  Display* display = X11Connection::open(&lost);
  if (!display) return false;
  int opcode, event, error, major = 2, minor = 0;
  xinput2_ = XQueryExtension(display, "XInputExtension", &opcode, &event, &error) &&
             XIQueryVersion(display, &major, &minor) == Success && major >= 2;
  X11Connection::close(display);
  return xinput2_;
}

bool X11KeyboardEvents::secureInputEnabled() {
  return hooks_.passwordFieldFocused && hooks_.passwordFieldFocused();
}

double X11KeyboardEvents::secondsSinceLastModifierEvent() {
  return idle_.seconds();
}

void X11KeyboardEvents::postShortcut(platform::Shortcut shortcut) {
  shortcutWait_.stop();
  sendShortcut(shortcut, 0);
}

void X11KeyboardEvents::sendShortcut(platform::Shortcut shortcut, double waited) {
  if (!sender_.ready()) return;
  // A modifier still held by the user would turn Ctrl+C into Ctrl+Alt+C.
  if (waited < kModifierWait && sender_.anyModifierDown()) {
    constexpr double step = 0.01;
    shortcutWait_.start(clock_, step, false,
                        [this, shortcut, waited] { sendShortcut(shortcut, waited + step); });
    return;
  }
  std::vector<int> keys{sender_.keycodeOf(XK_Control_L, "LCTL")};
  const bool terminal = hooks_.terminalFocused && hooks_.terminalFocused();
  if (terminal && shortcut != platform::Shortcut::selectAll)
    keys.push_back(sender_.keycodeOf(XK_Shift_L, "LFSH"));
  switch (shortcut) {
    case platform::Shortcut::copy:
      keys.push_back(sender_.keycodeOf(XK_c, "AB03"));
      break;
    case platform::Shortcut::paste:
      keys.push_back(sender_.keycodeOf(XK_v, "AB04"));
      break;
    case platform::Shortcut::selectAll:
      keys.push_back(sender_.keycodeOf(XK_a, "AC01"));
      break;
  }
  sender_.chord(keys);
}

void X11KeyboardEvents::postTriggerTap() {
  if (tapRelease_.active()) return;  // one synthetic tap at a time
  tapReleaseKeycode_ = sender_.keycodeOfName(X11Keymap::xkbName(TriggerKey::altRight));
  if (tapReleaseKeycode_ == 0) return;
  sender_.press(tapReleaseKeycode_);
  tapRelease_.start(clock_, kTriggerTapHold, false,
                    [this] { sender_.release(tapReleaseKeycode_); });
}

}  // namespace linuxport
