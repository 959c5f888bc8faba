#include <cstdio>
#include <string>

#include "account/Keychain.h"
#include "account/Settings.h"
#include "platform/linux/LinuxDefaults.h"
#include "platform/linux/LinuxSecrets.h"

// Until the desktop parts land, the program reports the settings it would start with.
int main(int argc, char** argv) {
  linuxport::LinuxDefaults defaults(linuxport::LinuxDefaults::standardFile(),
                                    linuxport::LinuxDefaults::standardInfoFile());
  linuxport::LinuxSecrets secrets;
  bool signedIn = Keychain::get(secrets, Keychain::kSessionToken).has_value();
  std::printf("Mirelo\n");
  std::printf("트리거: %s (%s)\n", display(Settings::triggerCode(defaults)).c_str(),
              std::string(rawValue(Settings::triggerMode(defaults))).c_str());
  std::printf("브라우저에서도 사용: %s\n", Settings::handleBrowsers(defaults) ? "예" : "아니오");
  std::printf("백엔드: %s%s\n", Settings::backendURL(defaults).c_str(),
              Settings::backendURLOverridden(defaults) ? " (defaults 재정의)" : "");
  std::printf("로그인: %s\n", signedIn ? "예" : "아니오");
  (void)argc;
  (void)argv;
  return 0;
}
