// Runs inside tests/desktop/session: a private session bus with an unlocked gnome-keyring.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "account/Keychain.h"
#include "platform/linux/LinuxSecrets.h"

namespace {

TEST(KeyringSession, StoresReplacesReadsAndRemovesTheToken) {
  ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr)
      << "run me through tests/desktop/session";
  linuxport::LinuxSecrets running;                     // read signed out before the sign-in below
  Keychain::remove(running, Keychain::kSessionToken);  // left by an earlier test
  ASSERT_FALSE(Keychain::get(running, Keychain::kSessionToken));
  {
    linuxport::LinuxSecrets secrets;
    Keychain::set(secrets, "first-token", Keychain::kSessionToken);
    Keychain::set(secrets, "두 번째 토큰", Keychain::kSessionToken);
  }
  EXPECT_EQ(Keychain::get(running, Keychain::kSessionToken), "두 번째 토큰");
  {
    linuxport::LinuxSecrets fresh;  // nothing remembered: this read asks the keyring
    EXPECT_EQ(Keychain::get(fresh, Keychain::kSessionToken), "두 번째 토큰");
    Keychain::remove(fresh, Keychain::kSessionToken);
  }
  linuxport::LinuxSecrets after;
  EXPECT_FALSE(Keychain::get(after, Keychain::kSessionToken));
  // Another account of the same service is a different item.
  Keychain::set(after, "other", "another-account");
  linuxport::LinuxSecrets check;
  EXPECT_FALSE(Keychain::get(check, Keychain::kSessionToken));
  EXPECT_EQ(Keychain::get(check, "another-account"), "other");
  Keychain::remove(check, "another-account");
}

// A bus on which no Secret Service can be started: signed out, without waiting out the bus's
// 25 s activation time-out (the bound leaves room for sanitizers on busy cores).
TEST(KeyringSession, MissingServiceReadsSignedOutWithoutWaitingForActivation) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("mirelo-bus-" + std::to_string(getpid()));
  fs::create_directories(dir / "services");
  std::ofstream(dir / "bus.conf")
      << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\" "
         "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
         "<busconfig><type>session</type><listen>unix:tmpdir="
      << dir.string() << "</listen><servicedir>" << (dir / "services").string()
      << "</servicedir><policy context=\"default\"><allow send_destination=\"*\" "
         "eavesdrop=\"true\"/>"
         "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
  std::string cmd = "dbus-daemon --config-file=" + (dir / "bus.conf").string() +
                    " --fork --print-address=1 --print-pid=1";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_TRUE(p);
  char addr[512] = {0}, pidText[32] = {0};
  ASSERT_TRUE(fgets(addr, sizeof addr, p));
  ASSERT_TRUE(fgets(pidText, sizeof pidText, p));
  pclose(p);
  std::string address(addr);
  address.erase(address.find_last_not_of('\n') + 1);
  pid_t busPid = static_cast<pid_t>(std::atoi(pidText));

  std::string saved = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  auto start = std::chrono::steady_clock::now();
  {
    linuxport::LinuxSecrets secrets;
    EXPECT_FALSE(Keychain::get(secrets, Keychain::kSessionToken));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
  kill(busPid, SIGTERM);
  std::error_code ignored;  // the daemon may still be removing its socket
  fs::remove_all(dir, ignored);
}

}  // namespace
