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
  lock_.start();
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
  callbacks.key = [this](int keycode, bool press, std::uint32_t timeMs) {
    onKey(keycode, press, timeMs);
  };
  callbacks.keymapChanged = [this] { refreshKeymap(); };
  callbacks.lost = [this] { onLost(); };
  if (!listener_.open(std::move(callbacks))) return false;
  refreshKeymap();
  retry_.stop();
  return true;
}

void X11KeyboardEvents::refreshKeymap() {
  const auto codes = X11Keymap::triggerKeycodes(listener_.display());
  translator_.setTriggerKeycodes(codes);
  keysyms_ = X11Keymap::keysymNames(listener_.display(), codes);
}

std::string X11KeyboardEvents::keysymName(platform::ModifierKey key) {
  return listener_.isOpen() ? keysyms_[static_cast<size_t>(key)] : std::string();
}

void X11KeyboardEvents::onKey(int keycode, bool press, std::uint32_t timeMs) {
  auto event = press ? translator_.press(keycode) : translator_.release(keycode);
  if (!event) return;
  event->timeMs = timeMs;
  deliver(*event);
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
  deliver({platform::KeyEventType::disabledByTimeout, 0, 0, {}});
}

void X11KeyboardEvents::reenable() {
  if (!handler_) return;
  if (listener_.isOpen() && listener_.ensureSelected()) return;
  connect();
}

bool X11KeyboardEvents::inputMonitoringGranted() {
  if (xinput2_) return *xinput2_;
  bool lost = false;
  Display* display = X11Connection::open(&lost);
  if (!display) return false;  // no answer: asked again next time
  int opcode, event, error, major = 2, minor = 0;
  xinput2_ = XQueryExtension(display, "XInputExtension", &opcode, &event, &error) &&
             XIQueryVersion(display, &major, &minor) == Success && major >= 2;
  X11Connection::close(display);
  return *xinput2_;
}

bool X11KeyboardEvents::secureInputEnabled() {
  return lock_.locked() || (hooks_.passwordFieldFocused && hooks_.passwordFieldFocused());
}

double X11KeyboardEvents::secondsSinceLastModifierEvent() {
  return idle_.seconds();
}

Task<bool> X11KeyboardEvents::postShortcut(platform::Shortcut shortcut) {
  Completion<bool> sent;
  shortcuts_.push_back({shortcut, clock_.now(), sent});
  if (shortcuts_.size() == 1) sendPending();
  co_return co_await sent;
}

// Sends the queued shortcuts in order. A modifier still held by the user would turn Ctrl+C
// into Ctrl+Alt+C: each waits for the modifiers to be released, and fails when they stay down.
void X11KeyboardEvents::sendPending() {
  while (!shortcuts_.empty() && !shortcutWait_.active()) {
    const auto& next = shortcuts_.front();
    const bool held = sender_.ready() && sender_.anyModifierDown();
    if (held && clock_.now() - next.postedAt < kModifierWait) {
      shortcutWait_.start(clock_, kModifierPoll, false, [this] { sendPending(); });
      return;
    }
    PendingShortcut done = std::move(shortcuts_.front());
    shortcuts_.pop_front();
    // Resuming the poster may queue the next shortcut, which this loop then sends.
    done.sent.resolve(!held && send(done.shortcut));
  }
}

bool X11KeyboardEvents::send(platform::Shortcut shortcut) {
  using platform::Shortcut;
  if (!sender_.ready()) return false;
  // Nothing goes into a password field, and a terminal gets only its own copy chord.
  if (hooks_.passwordFieldFocused && hooks_.passwordFieldFocused()) return false;
  const bool terminal = hooks_.terminalFocused && hooks_.terminalFocused();
  if (terminal && shortcut != Shortcut::copyInTerminal) return false;
  std::vector<int> keys{sender_.keycodeOf(XK_Control_L, "LCTL")};
  switch (shortcut) {
    case Shortcut::copy:
      keys.push_back(sender_.keycodeOf(XK_c, "AB03"));
      break;
    case Shortcut::copyInTerminal:
      keys.push_back(sender_.keycodeOf(XK_Shift_L, "LFSH"));
      keys.push_back(sender_.keycodeOf(XK_c, "AB03"));
      break;
    case Shortcut::paste:
      keys.push_back(sender_.keycodeOf(XK_v, "AB04"));
      break;
    case Shortcut::selectAll:
      keys.push_back(sender_.keycodeOf(XK_a, "AC01"));
      break;
  }
  return sender_.chord(keys);
}

void X11KeyboardEvents::postTriggerTap() {
  if (tapRelease_.active()) return;  // one synthetic tap at a time
  tapReleaseKeycode_ = sender_.keycodeOfName(X11Keymap::xkbName(platform::ModifierKey::altRight));
  if (tapReleaseKeycode_ == 0) return;
  sender_.press(tapReleaseKeycode_);
  tapRelease_.start(clock_, kTriggerTapHold, false,
                    [this] { sender_.release(tapReleaseKeycode_); });
}

}  // namespace linuxport
