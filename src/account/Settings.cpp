#include "account/Settings.h"

#include <glib.h>

namespace Settings {

namespace {

std::optional<std::string> storedString(platform::Defaults& defaults, std::string_view key) {
  auto v = defaults.object(key);
  if (!v || !v->is_string()) return std::nullopt;
  return v->get<std::string>();
}

bool parsesAsURL(const std::string& s) {
  return !s.empty() && g_uri_is_valid(s.c_str(), G_URI_FLAGS_NONE, nullptr);
}

}  // namespace

std::string backendURL(platform::Defaults& defaults) {
  auto chosen = storedString(defaults, kBackendURL);
  if (!chosen) chosen = plist(defaults, kBackendURL);
  if (!chosen || !parsesAsURL(*chosen)) return std::string(kDefaultBackendURL);
  return *chosen;
}

bool backendURLOverridden(platform::Defaults& defaults) {
  return storedString(defaults, kBackendURL).has_value();
}

TriggerMode triggerMode(platform::Defaults& defaults) {
  auto raw = storedString(defaults, kTriggerMode);
  if (!raw) return kDefaultTriggerMode;
  return fromRaw<TriggerMode>(*raw).value_or(kDefaultTriggerMode);
}

TriggerKey triggerCode(platform::Defaults& defaults) {
  auto raw = storedString(defaults, kTriggerCode);
  if (!raw) return kDefaultTriggerKey;
  return fromRaw<TriggerKey>(*raw).value_or(kDefaultTriggerKey);
}

void setTriggerCode(platform::Defaults& defaults, TriggerKey key) {
  defaults.set(kTriggerCode, std::string(rawValue(key)));
}

bool handleBrowsers(platform::Defaults& defaults) {
  auto v = defaults.object(kHandleBrowsers);
  if (!v) return true;
  return v->is_boolean() ? v->get<bool>() : true;
}

std::optional<std::string> plist(platform::Defaults& defaults, std::string_view key) {
  auto v = defaults.info(key);
  if (!v || !v->is_string()) return std::nullopt;
  return v->get<std::string>();
}

std::optional<std::string> deploymentValue(platform::Defaults& defaults, std::string_view key) {
  if (auto v = storedString(defaults, key)) return v;
  return plist(defaults, key);
}

}  // namespace Settings
