#pragma once

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "base/Async.h"
#include "base/Clock.h"
#include "platform/KeyboardEvents.h"
#include "platform/linux/SessionLockWatch.h"
#include "platform/linux/X11KeySender.h"
#include "platform/linux/X11KeyTranslator.h"
#include "platform/linux/X11ModifierIdle.h"
#include "platform/linux/X11RawKeys.h"

namespace linuxport {

// The keyboard on X11. Listens without grabbing to XInput2 raw key events on a connection of
// its own, finds the trigger keys by their physical key, and posts shortcuts through XTest.
// Losing the connection is reported to the handler as a "disabled" event; the listener then
// connects again (at once when re-enabled, else every second until it succeeds).
class X11KeyboardEvents : public platform::KeyboardEvents {
 public:
  // Questions about the focused element, answered by the accessibility port.
  struct Hooks {
    std::function<bool()> passwordFieldFocused;
    std::function<bool()> terminalFocused;
  };
  static constexpr double kRetryInterval = 1.0;
  static constexpr double kTriggerTapHold = 0.08;
  // How long a shortcut waits for held modifiers to be released before it fails.
  static constexpr double kModifierWait = 0.25;
  static constexpr double kModifierPoll = 0.01;

  explicit X11KeyboardEvents(Clock& clock, Hooks hooks = {});
  ~X11KeyboardEvents() override;

  bool startListening(Handler handler) override;
  void stopListening() override;
  void reenable() override;
  // XInput2 2.0 or later on the display.
  bool inputMonitoringGranted() override;
  // Nothing to ask for on X11.
  void requestInputMonitoring() override {}
  // A password field has focus or the session is locked. Another client's keyboard grab is
  // not seen: X reports it only to a client that tries to grab the keyboard itself, and a
  // successful try moves the focus.
  bool secureInputEnabled() override;
  // From the keymap as last read on the listener's connection (again on every change).
  std::string keysymName(platform::ModifierKey key) override;
  // Since the last change of a trigger-key modifier, seen on a connection of its own.
  double secondsSinceLastModifierEvent() override;
  Task<bool> postShortcut(platform::Shortcut shortcut) override;
  void postTriggerTap() override;

  bool listening() const { return listener_.isOpen(); }
  // Shuts the listener's connection down as a dying server would (for tests).
  void cutConnectionForTesting() { listener_.cutForTesting(); }

 private:
  bool connect();
  struct PendingShortcut {
    platform::Shortcut shortcut;
    double postedAt;
    Completion<bool> sent;
  };

  void refreshKeymap();
  void onKey(int keycode, bool press, std::uint32_t timeMs);
  void onLost();
  void deliver(const platform::KeyEvent& event);
  void sendPending();
  bool send(platform::Shortcut shortcut);

  Clock& clock_;
  Hooks hooks_;
  Handler handler_;
  X11RawKeys listener_;
  X11KeyTranslator translator_;
  X11ModifierIdle idle_;
  X11KeySender sender_;
  Timer retry_;
  Timer tapRelease_;
  int tapReleaseKeycode_ = 0;
  std::deque<PendingShortcut> shortcuts_;
  Timer shortcutWait_;
  SessionLockWatch lock_;
  std::array<std::string, 8> keysyms_;
  // The server's answer once it gave one: its extensions do not change while it runs.
  std::optional<bool> xinput2_;
};

}  // namespace linuxport
