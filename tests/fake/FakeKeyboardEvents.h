#pragma once

#include <array>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "platform/KeyboardEvents.h"

namespace fake {

// A key-event injector and a recorder of synthetic shortcuts. A shortcut can be held back
// (as a held modifier holds it) or refused.
class FakeKeyboardEvents : public platform::KeyboardEvents {
 public:
  explicit FakeKeyboardEvents(Clock& clock) : clock_(clock) {}
  bool startListening(Handler handler) override {
    if (!refuseListening) handler_ = std::move(handler);
    return !refuseListening;
  }
  void stopListening() override { handler_ = nullptr; }
  void reenable() override { ++reenables; }
  bool inputMonitoringGranted() override { return inputMonitoring; }
  void requestInputMonitoring() override {}
  bool secureInputEnabled() override { return secureInput; }
  double secondsSinceLastModifierEvent() override { return modifierIdle; }
  std::string keysymName(platform::ModifierKey key) override {
    return keysyms[static_cast<size_t>(key)];
  }
  Task<bool> postShortcut(platform::Shortcut shortcut) override {
    if (shortcutDelay > 0) co_await sleepFor(clock_, shortcutDelay);
    if (refused.contains(shortcut)) co_return false;
    posted.push_back(shortcut);
    if (onShortcut) onShortcut(shortcut);
    co_return true;
  }
  void postTriggerTap() override { ++triggerTaps; }

  // Delivers an event to the listener, as the system would.
  void inject(const platform::KeyEvent& event) {
    if (handler_) handler_(event);
  }
  bool listening() const { return static_cast<bool>(handler_); }

  bool refuseListening = false;
  bool inputMonitoring = true;
  bool secureInput = false;
  double modifierIdle = 1000;
  int reenables = 0;
  int triggerTaps = 0;
  std::array<std::string, 8> keysyms{"Alt_L",   "Alt_R",   "Control_L", "Control_R",
                                     "Shift_L", "Shift_R", "Super_L",   "Super_R"};
  // Seconds a shortcut waits before it is sent; a refused one is never sent.
  double shortcutDelay = 0;
  std::set<platform::Shortcut> refused;
  std::vector<platform::Shortcut> posted;
  // How the frontmost application reacts to a shortcut (copy fills the clipboard, …).
  std::function<void(platform::Shortcut)> onShortcut;

 private:
  Clock& clock_;
  Handler handler_;
};

}  // namespace fake
