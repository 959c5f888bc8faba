#include "platform/linux/LinuxSecrets.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "account/Keychain.h"

namespace {

// With no session bus at all, the token reads as absent at once and a store fails without
// being remembered (nothing hangs, nothing starts a bus of its own).
TEST(SecretServiceAbsent, ReadsSignedOutQuickly) {
  std::string savedBus =
      std::getenv("DBUS_SESSION_BUS_ADDRESS") ? std::getenv("DBUS_SESSION_BUS_ADDRESS") : "";
  std::string savedRuntime = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  setenv("XDG_RUNTIME_DIR", "/nonexistent-mirelo", 1);

  linuxport::LinuxSecrets secrets;
  EXPECT_FALSE(Keychain::get(secrets, Keychain::kSessionToken));
  EXPECT_THROW(Keychain::set(secrets, "tok", Keychain::kSessionToken), platform::SecretsError);
  EXPECT_FALSE(Keychain::get(secrets, Keychain::kSessionToken));

  if (!savedBus.empty()) setenv("DBUS_SESSION_BUS_ADDRESS", savedBus.c_str(), 1);
  if (savedRuntime.empty()) {
    unsetenv("XDG_RUNTIME_DIR");
  } else {
    setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
  }
}

}  // namespace
