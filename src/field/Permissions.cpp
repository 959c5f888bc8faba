#include "field/Permissions.h"

#include "account/Settings.h"
#include "base/Log.h"

namespace Permissions {

namespace {

const char* anchor(Pane pane) {
  return pane == Pane::accessibility ? "#accessibility" : "#input-monitoring";
}

}  // namespace

void open(platform::Platform p, Pane pane) {
  if (pane == Pane::accessibility && p.workspace.openAccessibilitySettings()) return;
  auto help = Settings::deploymentValue(p.defaults, kHelpURL);
  if (!help || help->empty()) return;
  p.workspace.open(*help + anchor(pane));
}

void relaunch(platform::Platform p, std::function<void()> quit) {
  Log::app.notice("다시 켠다");
  if (!p.workspace.relaunchSelf()) Log::app.error("새 Mirelo를 시작하지 못했다");
  p.clock.schedule(kQuitDelaySeconds, std::move(quit));
}

}  // namespace Permissions
