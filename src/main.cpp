#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "account/Auth.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "app/AppDelegate.h"
#include "base/Async.h"
#include "base/Log.h"
#include "feedback/Assets.h"
#include "feedback/Palette.h"
#include "feedback/SelfTest.h"
#include "kb/DashboardWindow.h"
#include "kb/HeadlessEngine.h"
#include "kb/TarnBridge.h"
#include "platform/linux/Autostart.h"
#include "platform/linux/GtkFormWindow.h"
#include "platform/linux/IndicatorStatusItem.h"
#include "platform/linux/LinuxApplication.h"
#include "platform/linux/LinuxDesktop.h"
#include "trigger/TriggerTap.h"

namespace {

bool has(const std::vector<std::string>& args, const std::string& flag) {
  for (const auto& a : args)
    if (a == flag) return true;
  return false;
}

void print(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

int diagnose(linuxport::LinuxDesktop& desktop, const std::vector<std::string>& args) {
  Log::setStderrEnabled(false);  // the report is on stdout; its lines also go to the journal
  std::optional<int> status;
  spawn([](linuxport::LinuxDesktop& d, std::vector<std::string> a,
           std::optional<int>& out) -> Task<void> {
    out = co_await SelfTest::run(d.platform(), std::move(a), print);
  }(desktop, args, status));
  linuxport::runMainLoopUntil([&] { return status.has_value(); });
  return *status;
}

// Signs in through the browser and stores the session, until the menu offers it.
int signIn(linuxport::LinuxDesktop& desktop) {
  std::optional<int> status;
  spawn([](linuxport::LinuxDesktop& d, std::optional<int>& out) -> Task<void> {
    auto p = d.platform();
    try {
      co_await Auth::signIn(p);
      print("로그인되었습니다");
      out = 0;
    } catch (const std::exception& e) {
      print(std::string("로그인하지 못했습니다: ") + e.what());
      out = 1;
    }
  }(desktop, status));
  linuxport::runMainLoopUntil([&] { return status.has_value(); });
  return *status;
}

// A later start of Mirelo reopens this one: the status window, and the dashboard when asked.
void reopenOnLaterStarts(linuxport::LinuxApplication& app, AppDelegate& delegate) {
  app.onReopen = [&delegate](const std::vector<std::string>& args) {
    Log::app.notice("다시 열림: 상태 창을 보여준다");
    delegate.showWindow();
    if (has(args, "--dashboard")) delegate.showDashboard();
  };
}

// The dashboard window, made on its first show into slot. While it holds the knowledge-base
// storage the engine waits; a changed trigger setting reaches the running tap at once.
void wireDashboard(linuxport::LinuxDesktop& desktop, TarnBridge& bridge, AppDelegate& delegate,
                   TriggerTap& tap, std::unique_ptr<DashboardWindow>& slot) {
  bridge.isDashboardActive = [&slot] { return slot && slot->isEngineActive(); };
  delegate.onShowDashboard = [&desktop, &bridge, &delegate, &tap, &slot] {
    if (!slot) {
      slot = std::make_unique<DashboardWindow>(desktop.platform(), bridge);
      slot->onEngineTornDown = [&delegate] { delegate.headless().flushQueue(); };
      slot->onTriggerSettingsChanged = [&desktop, &delegate, &tap] {
        tap.mode = Settings::triggerMode(desktop.defaults);
        tap.key = Settings::triggerCode(desktop.defaults);
        tap.disarm();
        delegate.refreshStatusIcon();
      };
    }
    slot->show();
  };
}

// A write under way finishes before the program ends, for a few seconds at most.
constexpr double kQuitWaitSeconds = 3.0;

void finish(linuxport::LinuxDesktop& desktop, TriggerTap& tap, const AppDelegate& delegate) {
  Log::app.notice("종료");
  tap.stop();
  if (delegate.inFlight() && !linuxport::runMainLoopUntil([&] { return !delegate.inFlight(); },
                                                          desktop.clock, kQuitWaitSeconds))
    Log::app.error("종료: 진행 중인 트리거가 끝나지 않았다");
  desktop.pasteboard.storeForClipboardManager();
}

// The trigger loop: a tap of the trigger key in any text field runs the pipeline.
int serve(linuxport::LinuxDesktop& desktop, linuxport::LinuxApplication& app,
          const std::vector<std::string>& args) {
  TarnBridge bridge(desktop.defaults);
  std::unique_ptr<DashboardWindow> dashboard;
  auto delegate = std::make_shared<AppDelegate>(desktop.platform(), [&desktop, &bridge] {
    return std::make_unique<HeadlessEngine>(desktop.platform(), bridge);
  });
  // The knowledge base loads at start when a session exists.
  if (Keychain::get(desktop.secrets, Keychain::kSessionToken)) delegate->headless().ensureLoaded();
  TriggerTap tap(desktop.clock, desktop.keyboard, desktop.workspace);
  tap.mode = Settings::triggerMode(desktop.defaults);
  tap.key = Settings::triggerCode(desktop.defaults);
  tap.onTap = [weak = std::weak_ptr<AppDelegate>(delegate)] {
    if (auto d = weak.lock()) d->run(std::nullopt, AppDelegate::kTriggerLabel, true);
  };
  tap.onSecureInputChange = [weak = std::weak_ptr<AppDelegate>(delegate)](bool) {
    if (auto d = weak.lock()) d->refreshStatusIcon();
  };
  delegate->attachTrigger(tap);
  wireDashboard(desktop, bridge, *delegate, tap, dashboard);
  bool quit = false;
  delegate->onQuit = [&] { quit = true; };
  delegate->onSignedIn = [&desktop] {
    std::error_code ec;
    linuxport::Autostart::offerOnce(desktop.defaults,
                                    std::filesystem::read_symlink("/proc/self/exe", ec));
  };
  auto dataDir = linuxport::LinuxDefaults::standardInfoFile().parent_path();
  delegate->setupStatusWindow([] {
    return std::make_unique<linuxport::GtkFormWindow>("Mirelo", StatusWindow::kWidth,
                                                      Palette::cream);
  });
  delegate->statusWindow()->appIcon = Assets::appIcon(dataDir);
  auto tray = Assets::menubar(dataDir);
  linuxport::IndicatorStatusItem item(tray.themePath, tray.name, tray.dimmedName);
  // Without a tray the window is the way in.
  item.onHostChange = [&delegate, first = true](bool present) mutable {
    if (first && !present) delegate->showWindow();
    first = false;
  };
  delegate->setupStatusItem(item);
  if (!tap.start()) {
    print("단축키 이벤트를 받을 수 없습니다 (XInput2 없음)");
    return 1;
  }
  print("Mirelo 실행 중 — 입력창에서 " + display(tap.key) +
        " 를 눌러보세요. 백엔드: " + Settings::backendURL(desktop.defaults) + " (끝내려면 Ctrl+C)");
  reopenOnLaterStarts(app, *delegate);
  if (has(args, "--dashboard")) delegate->showDashboard();
  linuxport::onQuitSignal([&] { delegate->quit(); });
  linuxport::runMainLoopUntil([&] { return quit; });
  finish(desktop, tap, *delegate);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  if (!linuxport::connectDisplay(argc, argv)) return 1;
  if (has(args, "--diagnose")) {
    linuxport::LinuxDesktop desktop;
    return diagnose(desktop, args);
  }
  if (has(args, "--sign-in")) {
    linuxport::LinuxDesktop desktop;
    return signIn(desktop);
  }
  linuxport::LinuxApplication app;
  if (auto status = app.registerOrForward(argc, argv)) return *status;
  linuxport::LinuxDesktop desktop;
  return serve(desktop, app, args);
}
