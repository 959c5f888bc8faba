#include "app/Launch.h"

#include <algorithm>

#include "account/Keychain.h"
#include "account/Settings.h"
#include "app/AppDelegate.h"
#include "base/Log.h"
#include "field/AX.h"
#include "field/Focus.h"

Launch::Launch(platform::Platform platform, AppDelegate& app)
    : p_(platform), app_(app), trigger_(p_.clock, p_.keyboard, p_.workspace) {}

Launch::~Launch() {
  for (int token : observerTokens_)
    p_.workspace.removeObserver(token);
}

void Launch::run(Parts parts) {
  inputMonitoringAtLaunch_ = p_.keyboard.inputMonitoringGranted();
  // No main menu here: Mirelo's windows close with Ctrl+W and editing keys are the toolkit's.
  app_.setupStatusItem(parts.statusItem);
  app_.setupStatusWindow(std::move(parts.makeStatusWindow));
  app_.statusWindow()->appIcon = std::move(parts.appIcon);
  logStart();
  configureTrigger();
  makeDashboard(parts.tarnBridge);
  startEngine();
  p_.notifier.requestAuthorization();
  app_.refreshStatusIcon();
  p_.clock.schedule(0, [this, weak = app_.weak_from_this()] {
    if (weak.lock()) ensureReady();
  });
  startTapWatch();
  if (std::ranges::find(parts.args, "--dashboard") != parts.args.end()) app_.showDashboard();
  observeWorkspace();
}

void Launch::logStart() {
  const bool signedIn = Keychain::get(p_.secrets, Keychain::kSessionToken).has_value();
  Log::app.info(
      "시작: 입력모니터링 %{bool}d, 손쉬운사용 %{bool}d, 로그인 %{bool}d, 서버 "
      "%{public}s%{public}s",
      p_.keyboard.inputMonitoringGranted(), p_.accessibility.isProcessTrusted(false), signedIn,
      Settings::backendURL(p_.defaults),
      Settings::backendURLOverridden(p_.defaults) ? " (defaults 재정의)" : "");
}

void Launch::configureTrigger() {
  app_.attachTrigger(trigger_);
  app_.reloadTriggerSettings();
  auto weak = app_.weak_from_this();
  trigger_.onTap = [weak] {
    if (auto app = weak.lock()) app->run(std::nullopt, AppDelegate::kTriggerLabel, true);
  };
  trigger_.onSecureInputChange = [weak](bool) {
    if (auto app = weak.lock()) app->refreshStatusIcon();
  };
}

void Launch::makeDashboard(TarnBridge& bridge) {
  dashboard_ = std::make_unique<DashboardWindow>(p_, bridge);
  auto weak = app_.weak_from_this();
  dashboard_->onTriggerSettingsChanged = [this, weak] {
    if (!weak.lock()) return;
    app_.reloadTriggerSettings();
    app_.refreshStatusIcon();
  };
  bridge.isDashboardActive = [this, weak] { return weak.lock() && dashboard_->isEngineActive(); };
  dashboard_->onEngineTornDown = [weak] {
    if (auto app = weak.lock()) app->headless().flushQueue();
  };
  app_.onShowDashboard = [this] { dashboard_->show(); };
}

void Launch::startEngine() {
  if (Keychain::get(p_.secrets, Keychain::kSessionToken))
    app_.headless().ensureLoaded();
  else
    app_.headless().teardown();
}

bool Launch::startTrigger() {
  if (!trigger_.start()) return false;
  if (onListening) onListening();
  return true;
}

// The trust answer comes later on the main context; at most one question is open per purpose.
void Launch::askTrust(bool& pending, std::function<void(bool)> then) {
  if (pending) return;
  pending = true;
  p_.accessibility.checkTrust(
      [this, &pending, weak = app_.weak_from_this(), then = std::move(then)](bool trusted) {
        if (!weak.lock()) return;
        pending = false;
        then(trusted);
      });
}

void Launch::ensureReady() {
  askTrust(readyCheckPending_, [this](bool trusted) { ready(trusted); });
}

void Launch::ready(bool trusted) {
  if (trusted && p_.keyboard.inputMonitoringGranted()) {
    if (!startTrigger()) {
      offeredRelaunchForDeadTap_ = true;
      offerRelaunch();
      return;
    }
    markOnboarded();
    return;
  }
  // Turning accessibility on changes the user's desktop for good: only the user asks for it.
  requestMissing(false);
  showStatusWindow();
  watchForPermission();
}

void Launch::showOnboarding() {
  requestMissing(true);
  showStatusWindow();
}

void Launch::showStatusWindow() {
  if (auto* window = app_.statusWindow()) window->show();
}

void Launch::requestMissing(bool prompt) {
  if (!p_.keyboard.inputMonitoringGranted()) p_.keyboard.requestInputMonitoring();
  if (prompt) p_.accessibility.isProcessTrusted(true);
}

void Launch::markOnboarded() {
  p_.defaults.set(Settings::kDidOnboard, Json(true));
  app_.refreshStatusIcon();
}

void Launch::watchForPermission() {
  permissionWatch_.start(p_.clock, kPermissionWatchSeconds, true, [this] {
    askTrust(permissionCheckPending_, [this](bool trusted) { permissionTick(trusted); });
  });
}

void Launch::permissionTick(bool trusted) {
  if (!permissionWatch_.active()) return;
  if (!trusted || !p_.keyboard.inputMonitoringGranted()) {
    // Only the answer is new: a full refresh would read the keychain and the usage each tick.
    app_.noteTrust(trusted);
    return;
  }
  permissionWatch_.stop();
  startTrigger();
  if (!inputMonitoringAtLaunch_) {
    // A grant of input access made while running takes effect only in a new process.
    offerRelaunch();
    return;
  }
  markOnboarded();
  app_.notify("준비되었습니다", "입력창에서 " + display(trigger_.key) + " 를 눌러보세요.", false);
}

void Launch::offerRelaunch() {
  p_.ui.activateSelf();
  int choice = p_.ui.runAlert("거의 다 됐습니다",
                              "입력 모니터링 권한은 앱을 다시 켜야 적용됩니다. 지금 다시 켤까요?",
                              {"다시 켜기", "나중에"});
  if (choice == 0) app_.relaunchNow();
}

void Launch::startTapWatch() {
  tapWatch_.start(p_.clock, kTapWatchSeconds, true, [this] {
    askTrust(tapCheckPending_, [this](bool trusted) { tapTick(trusted); });
  });
}

void Launch::tapTick(bool trusted) {
  // Until the permission watch has acted on a grant, a missing listener is expected.
  if (!trusted || !p_.keyboard.inputMonitoringGranted() || permissionWatch_.active()) return;
  if (!trigger_.installed()) {
    if (app_.tapDead()) return;
    app_.setTapDead(true);
    app_.refreshStatusIcon();
    tapDied();
    return;
  }
  const double idle = p_.keyboard.secondsSinceLastModifierEvent();
  if (trigger_.lastSecureInput() || idle >= kIdleForRevival) {
    revivalCheck();
    return;
  }
  const bool dead = idle + kSilenceBeyondIdle < p_.clock.now() - trigger_.lastEventAt();
  if (dead == app_.tapDead()) return;
  app_.setTapDead(dead);
  app_.refreshStatusIcon();
  dead ? tapDied() : tapAlive();
}

void Launch::revivalCheck() {
  if (!app_.tapDead()) return;
  app_.setTapDead(false);
  app_.refreshStatusIcon();
  tapAlive();
}

void Launch::tapDied() {
  Log::trigger.error("탭이 죽어 있습니다 — 시스템은 키를 보는데 탭에는 안 들어옵니다");
  if (auto* window = app_.statusWindow())
    window->setMessage("단축키 이벤트가 들어오지 않습니다. 앱을 다시 켜야 합니다.", true);
  if (offeredRelaunchForDeadTap_) return;
  offeredRelaunchForDeadTap_ = true;
  offerRelaunch();
}

void Launch::tapAlive() {
  Log::trigger.info("탭이 다시 이벤트를 받습니다");
  offeredRelaunchForDeadTap_ = false;
}

void Launch::observeWorkspace() {
  observerTokens_.push_back(
      p_.workspace.addActivationObserver([this](const platform::RunningApplication& app) {
        if (!Settings::handleBrowsers(p_.defaults) || !Focus::isBrowser(app.bundleID)) return;
        AX::wakeAccessibility(p_.accessibility, app.pid, true);
      }));
  observerTokens_.push_back(p_.workspace.addTerminationObserver(
      [](const platform::RunningApplication& app) { AX::wokenPids().erase(app.pid); }));
}
