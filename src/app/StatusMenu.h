#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/StatusItem.h"
#include "trigger/TriggerKey.h"
#include "trigger/TriggerMode.h"

// The status item's menu and look, derived afresh from the current state every time.
namespace StatusMenu {

// Everything the menu and the icon depend on.
struct State {
  bool signedIn = false;
  bool accessibilityTrusted = false;
  bool inputMonitoringGranted = false;
  bool secureInput = false;
  bool tapDead = false;
  TriggerKey key = kDefaultTriggerKey;
  TriggerMode mode = kDefaultTriggerMode;
  bool handleBrowsers = true;
  bool canUndo = false;  // a write of Mirelo's can still be taken back

  bool ready() const;
};

// What the menu rows do; an unset action leaves its row disabled.
struct Actions {
  std::function<void()> showWindow, showDashboard, signIn, signOut, showOnboarding, relaunchNow,
      translateNow, undoLastWrite, toggleBrowsers, showDiagnostics, checkForUpdates, quit;
  std::function<void(const std::string& mode)> changeMode;
};

std::vector<platform::StatusItem::Row> rows(const State& state, const Actions& actions);
// The hover text: the trigger key when ready, else that something needs setting up.
std::string tooltip(const State& state);
// "입력 모니터링·손쉬운 사용", "입력 모니터링", "손쉬운 사용", or empty when nothing is missing.
std::string missingPermission(const State& state);

}  // namespace StatusMenu
