#include "app/StatusBar.h"

#include <exception>
#include <memory>

#include "account/Auth.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "app/AppDelegate.h"
#include "feedback/Diagnostics.h"
#include "trigger/TriggerTap.h"

namespace {

Task<void> signInTask(std::weak_ptr<AppDelegate> weak, platform::Platform p) {
  std::string failure;
  try {
    co_await Auth::signIn(p);
  } catch (const std::exception& e) {
    failure = e.what();
    if (failure.empty()) failure = "로그인하지 못했습니다";
  }
  auto app = weak.lock();
  if (!app) co_return;
  if (!failure.empty()) {
    app->notify("로그인하지 못했습니다", failure, true);
    co_return;
  }
  app->refreshStatusIcon();
  if (Keychain::get(p.secrets, Keychain::kSessionToken)) {
    app->headless().ensureLoaded();
    if (app->onSignedIn) app->onSignedIn();
  } else {
    app->headless().teardown();
  }
  app->notify("로그인되었습니다",
              "이제 입력창에서 " + display(Settings::triggerCode(p.defaults)) + " 를 눌러보세요.",
              false);
}

}  // namespace

StatusBar::StatusBar(platform::Platform platform, AppDelegate& app) : p_(platform), app_(app) {}

StatusMenu::State StatusBar::state() {
  StatusMenu::State s;
  s.signedIn = Keychain::get(p_.secrets, Keychain::kSessionToken).has_value();
  s.accessibilityTrusted = trusted_;
  s.inputMonitoringGranted = p_.keyboard.inputMonitoringGranted();
  s.secureInput = app_.trigger() && app_.trigger()->lastSecureInput();
  s.tapDead = app_.tapDead();
  s.key = Settings::triggerCode(p_.defaults);
  s.mode = Settings::triggerMode(p_.defaults);
  s.handleBrowsers = Settings::handleBrowsers(p_.defaults);
  s.canUndo = app_.canUndo();
  return s;
}

void StatusBar::refresh() {
  if (!item_) return;
  show();
  checkTrust();
}

void StatusBar::show() {
  auto s = state();
  item_->setAppearance(!s.ready(), StatusMenu::tooltip(s));
  item_->setMenu(StatusMenu::rows(s, actions()));
}

void StatusBar::checkTrust() {
  if (checkingTrust_) return;
  checkingTrust_ = true;
  // The bar lives as long as the delegate that owns it.
  p_.accessibility.checkTrust([this, weak = app_.weak_from_this()](bool trusted) {
    if (!weak.lock()) return;
    checkingTrust_ = false;
    noteTrust(trusted);
  });
}

void StatusBar::noteTrust(bool trusted) {
  if (trusted == trusted_) return;
  trusted_ = trusted;
  if (item_) show();
}

void StatusBar::rebuildMenu() {
  if (item_) item_->setMenu(StatusMenu::rows(state(), actions()));
}

StatusMenu::Actions StatusBar::actions() {
  AppDelegate* app = &app_;
  StatusMenu::Actions a;
  a.showWindow = [app] { app->showWindow(); };
  a.showDashboard = [app] { app->showDashboard(); };
  a.signIn = [this] { signIn(); };
  a.signOut = [this] { signOut(); };
  a.showOnboarding = [app] { app->showOnboarding(); };
  a.relaunchNow = [app] { app->relaunchNow(); };
  a.translateNow = [app] { app->translateNow(); };
  a.undoLastWrite = [app] { app->undoLastWrite(); };
  a.changeMode = [this](const std::string& mode) { changeMode(mode); };
  a.toggleBrowsers = [this] { toggleBrowsers(); };
  a.showDiagnostics = [this] { showDiagnostics(); };
  a.checkForUpdates = [p = p_] { p.updater.checkForUpdates(); };
  a.quit = [app] { app->quit(); };
  return a;
}

void StatusBar::signIn() {
  spawn(signInTask(app_.weak_from_this(), p_));
}

void StatusBar::signOut() {
  Keychain::remove(p_.secrets, Keychain::kSessionToken);
  p_.defaults.remove(Settings::kAccountEmail);
  app_.headless().teardown();
  app_.forgetUndo();
  app_.refreshStatusIcon();
}

void StatusBar::changeMode(const std::string& mode) {
  if (!fromRaw<TriggerMode>(mode)) return;
  p_.defaults.set(Settings::kTriggerMode, Json(mode));
  app_.reloadTriggerSettings();
  app_.refreshStatusIcon();
}

void StatusBar::toggleBrowsers() {
  p_.defaults.set(Settings::kHandleBrowsers, Json(!Settings::handleBrowsers(p_.defaults)));
  rebuildMenu();
}

void StatusBar::showDiagnostics() {
  p_.ui.activateSelf();
  p_.ui.runAlert("최근 기록", Diagnostics::summary(), {"닫기"});
}
