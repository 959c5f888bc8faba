#include <gtest/gtest.h>

#include "account/Keychain.h"
#include "account/Settings.h"
#include "fake/FakeDefaults.h"
#include "fake/FakeSecrets.h"

namespace {

TEST(Settings, NothingStoredOrUnknownOrMistypedValuesGiveTheDefaultsWithoutWrites) {
  for (Json code : {Json(), Json("altright"), Json(61)}) {
    fake::FakeDefaults d;
    if (!code.is_null())
      d.values = {{"triggerCode", code}, {"triggerMode", "Double"}, {"handleBrowsers", "no"}};
    auto stored = d.values;
    EXPECT_EQ(Settings::triggerCode(d), TriggerKey::altRight);
    EXPECT_EQ(Settings::triggerMode(d), TriggerMode::single);
    EXPECT_TRUE(Settings::handleBrowsers(d));
    EXPECT_EQ(Settings::backendURL(d), "https://api.mirelo.app");
    EXPECT_EQ(d.values, stored) << "reading must never write";
  }
}

TEST(Settings, StoredValuesAreTheirRawValues) {
  fake::FakeDefaults d;
  d.values["triggerMode"] = "off";
  EXPECT_EQ(Settings::triggerMode(d), TriggerMode::off);
  Settings::setTriggerCode(d, TriggerKey::controlRight);
  EXPECT_EQ(d.values["triggerCode"], "ControlRight");
  EXPECT_EQ(Settings::triggerCode(d), TriggerKey::controlRight);
}

TEST(Settings, BackendURLPrefersDefaultsThenInfoThenBuiltIn) {
  fake::FakeDefaults d;
  d.infoValues["MireloBackendURL"] = "http://127.0.0.1:8080";
  EXPECT_EQ(Settings::backendURL(d), "http://127.0.0.1:8080");
  EXPECT_FALSE(Settings::backendURLOverridden(d));
  d.values["MireloBackendURL"] = "https://staging.mirelo.app";
  EXPECT_EQ(Settings::backendURL(d), "https://staging.mirelo.app");
  EXPECT_TRUE(Settings::backendURLOverridden(d));
  d.values["MireloBackendURL"] = 8080;
  EXPECT_FALSE(Settings::backendURLOverridden(d)) << "only a string overrides";
  d.values["MireloBackendURL"] = "https://staging.mirelo.app";
  // An empty override is taken, then rejected as no URL: the built-in default, not Info's.
  d.values["MireloBackendURL"] = "";
  EXPECT_EQ(Settings::backendURL(d), "https://api.mirelo.app");
  d.values["MireloBackendURL"] = "not a url";
  EXPECT_EQ(Settings::backendURL(d), "https://api.mirelo.app");
  // A value of another type is no override.
  d.values["MireloBackendURL"] = 42;
  EXPECT_EQ(Settings::backendURL(d), "http://127.0.0.1:8080");
}

TEST(Keychain, SetReplacesGetReadsRemoveForgetsAndFailuresReadAsSignedOut) {
  fake::FakeSecrets s;
  EXPECT_FALSE(Keychain::get(s, Keychain::kSessionToken));
  Keychain::set(s, "first", Keychain::kSessionToken);
  Keychain::set(s, "second", Keychain::kSessionToken);
  EXPECT_EQ(Keychain::get(s, Keychain::kSessionToken), "second");
  EXPECT_EQ(s.items.size(), 1u);
  EXPECT_TRUE(s.items.count({"com.mirelo.app", "session-token"}));
  Keychain::remove(s, Keychain::kSessionToken);
  Keychain::remove(s, Keychain::kSessionToken);  // a missing item is no error
  EXPECT_FALSE(Keychain::get(s, Keychain::kSessionToken));
  s.items[{"com.mirelo.app", "session-token"}] = std::string("\xff\xfe", 2);
  EXPECT_FALSE(Keychain::get(s, Keychain::kSessionToken));
  s.items[{"com.mirelo.app", "session-token"}] = "token";
  s.unavailable = true;
  EXPECT_FALSE(Keychain::get(s, Keychain::kSessionToken));
  EXPECT_THROW(Keychain::set(s, "x", Keychain::kSessionToken), platform::SecretsError);
  s.unavailable = false;
  s.storesFail = true;  // a failed store keeps the old token
  EXPECT_THROW(Keychain::set(s, "new", Keychain::kSessionToken), platform::SecretsError);
  EXPECT_EQ(Keychain::get(s, Keychain::kSessionToken), "token");
}

}  // namespace
