#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "account/Keychain.h"
#include "account/Settings.h"
#include "base/Async.h"
#include "base/Log.h"
#include "feedback/SelfTest.h"
#include "platform/linux/LinuxDesktop.h"

namespace {

bool has(const std::vector<std::string>& args, const std::string& flag) {
  for (const auto& a : args)
    if (a == flag) return true;
  return false;
}

int diagnose(linuxport::LinuxDesktop& desktop, const std::vector<std::string>& args) {
  Log::setStderrEnabled(false);  // the report itself is on stdout; its lines also go to the journal
  std::optional<int> status;
  spawn([](linuxport::LinuxDesktop& d, std::vector<std::string> a,
           std::optional<int>& out) -> Task<void> {
    out = co_await SelfTest::run(d.platform(), std::move(a), [](const std::string& line) {
      std::printf("%s\n", line.c_str());
      std::fflush(stdout);
    });
  }(desktop, args, status));
  linuxport::runMainLoopUntil([&] { return status.has_value(); });
  return *status;
}

void printSettings(linuxport::LinuxDesktop& d) {
  std::printf("Mirelo\n");
  std::printf("트리거: %s (%s)\n", display(Settings::triggerCode(d.defaults)).c_str(),
              std::string(rawValue(Settings::triggerMode(d.defaults))).c_str());
  std::printf("브라우저에서도 사용: %s\n", Settings::handleBrowsers(d.defaults) ? "예" : "아니오");
  std::printf("백엔드: %s%s\n", Settings::backendURL(d.defaults).c_str(),
              Settings::backendURLOverridden(d.defaults) ? " (defaults 재정의)" : "");
  std::printf("로그인: %s\n", Keychain::get(d.secrets, Keychain::kSessionToken) ? "예" : "아니오");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  if (!linuxport::connectDisplay(argc, argv)) return 1;
  linuxport::LinuxDesktop desktop;
  if (has(args, "--diagnose")) return diagnose(desktop, args);
  printSettings(desktop);
  return 0;
}
