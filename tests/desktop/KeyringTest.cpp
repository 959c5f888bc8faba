// Runs inside tests/desktop/session: a private session bus with an unlocked gnome-keyring.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "Child.h"
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
  ASSERT_NE(std::getenv("MIRELO_SESSION_ROOT"), nullptr) << "run me through tests/desktop/session";
  std::string conf = std::string(std::getenv("MIRELO_SESSION_ROOT")) + "/bus.conf";
  std::ofstream(conf) << "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                         "<policy context=\"default\"><allow send_destination=\"*\"/>"
                         "<allow own=\"*\"/></policy></busconfig>\n";
  desktoptest::Child bus;
  ASSERT_TRUE(bus.start({"dbus-daemon", "--config-file=" + conf, "--print-address=1"}));
  auto address = bus.read('\n', 10000);
  ASSERT_TRUE(address);
  std::string saved = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  setenv("DBUS_SESSION_BUS_ADDRESS", address->c_str(), 1);
  auto start = std::chrono::steady_clock::now();
  {
    linuxport::LinuxSecrets secrets;
    EXPECT_FALSE(Keychain::get(secrets, Keychain::kSessionToken));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
}

}  // namespace
