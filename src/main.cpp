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
#include "kb/HeadlessEngine.h"
#include "kb/TarnBridge.h"
#include "platform/linux/Autostart.h"
#include "platform/linux/DesktopPrograms.h"
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
    if (!has(args, "--dashboard")) return;
    Log::app.notice("다시 열림: 대시보드를 보여준다");
    delegate.showDashboard();
  };
}

// A write under way finishes before the program ends, for a few seconds at most.
constexpr double kQuitWaitSeconds = 3.0;

void finish(linuxport::LinuxDesktop& desktop, AppDelegate& delegate) {
  Log::app.notice("종료");
  delegate.willTerminate();
  if (delegate.inFlight() && !linuxport::runMainLoopUntil([&] { return !delegate.inFlight(); },
                                                          desktop.clock, kQuitWaitSeconds))
    Log::app.error("종료: 진행 중인 트리거가 끝나지 않았다");
  desktop.pasteboard.storeForClipboardManager();
}

// The application: the delegate launches on the Linux services and runs until it quits.
int serve(linuxport::LinuxDesktop& desktop, linuxport::LinuxApplication& app,
          const std::vector<std::string>& args) {
  TarnBridge bridge(desktop.defaults);
  auto delegate = std::make_shared<AppDelegate>(desktop.platform(), [&desktop, &bridge] {
    return std::make_unique<HeadlessEngine>(desktop.platform(), bridge);
  });
  bool quit = false;
  delegate->onQuit = [&] { quit = true; };
  delegate->onSignedIn = [&desktop] {
    std::error_code ec;
    linuxport::Autostart::offerOnce(desktop.defaults,
                                    std::filesystem::read_symlink("/proc/self/exe", ec));
  };
  delegate->launcher().onListening = [&desktop, &delegate] {
    print("Mirelo 실행 중 — 입력창에서 " + display(delegate->trigger()->key) +
          " 를 눌러보세요. 백엔드: " + Settings::backendURL(desktop.defaults) +
          " (끝내려면 Ctrl+C)");
  };
  reopenOnLaterStarts(app, *delegate);
  auto dataDir = linuxport::LinuxDefaults::standardInfoFile().parent_path();
  auto tray = Assets::menubar(dataDir);
  linuxport::IndicatorStatusItem item(tray.themePath, tray.name, tray.dimmedName);
  // Without a tray the window is the way in.
  item.onHostChange = [&delegate, first = true](bool present) mutable {
    if (first && !present) delegate->showWindow();
    first = false;
  };
  delegate->launch({item, bridge,
                    [] {
                      return std::make_unique<linuxport::GtkFormWindow>(
                          "Mirelo", StatusWindow::kWidth, Palette::cream);
                    },
                    Assets::appIcon(dataDir), args});
  linuxport::onQuitSignal([&] { delegate->quit(); });
  linuxport::runMainLoopUntil([&] { return quit; });
  finish(desktop, *delegate);
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
  bool replace = linuxport::DesktopPrograms::takeReplaceRequest();
  if (auto status = app.registerOrForward(argc, argv, replace)) return *status;
  linuxport::LinuxDesktop desktop;
  return serve(desktop, app, args);
}
