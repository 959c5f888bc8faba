#pragma once

#include <functional>
#include <vector>

#include "platform/KeyboardEvents.h"

namespace fake {

// A key-event injector and a recorder of synthetic shortcuts.
class FakeKeyboardEvents : public platform::KeyboardEvents {
 public:
  bool startListening(Handler handler) override;
  void stopListening() override { handler_ = nullptr; }
  void reenable() override { ++reenables; }
  bool inputMonitoringGranted() override { return inputMonitoring; }
  void requestInputMonitoring() override { ++inputMonitoringRequests; }
  bool secureInputEnabled() override { return secureInput; }
  double secondsSinceLastModifierEvent() override { return idleSeconds; }
  void postShortcut(platform::Shortcut shortcut) override;
  void postTriggerTap() override { ++triggerTaps; }

  // Delivers an event to the listener, as the system would.
  void inject(const platform::KeyEvent& event);
  bool listening() const { return static_cast<bool>(handler_); }

  bool refuseListening = false;
  bool inputMonitoring = true;
  bool secureInput = false;
  double idleSeconds = 1000;
  int inputMonitoringRequests = 0;
  int reenables = 0;
  int triggerTaps = 0;
  std::vector<platform::Shortcut> posted;
  // How the frontmost application reacts to a shortcut (copy fills the clipboard, …).
  std::function<void(platform::Shortcut)> onShortcut;

 private:
  Handler handler_;
};

}  // namespace fake
