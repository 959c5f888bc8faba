#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Defaults.h"
#include "trigger/TriggerKey.h"
#include "trigger/TriggerMode.h"

// The user's preferences, read with their defaults applied on every read; nothing is
// registered or written at start-up.
namespace Settings {

inline constexpr std::string_view kTriggerCode = "triggerCode";
inline constexpr std::string_view kTriggerMode = "triggerMode";
inline constexpr std::string_view kHandleBrowsers = "handleBrowsers";
inline constexpr std::string_view kDidOnboard = "didOnboard";
inline constexpr std::string_view kAccountEmail = "accountEmail";
inline constexpr std::string_view kBackendURL = "MireloBackendURL";
inline constexpr std::string_view kGoogleClientID = "MireloGoogleClientID";
inline constexpr std::string_view kGoogleClientSecret = "MireloGoogleClientSecret";
inline constexpr std::string_view kGoogleAuthURL = "MireloGoogleAuthURL";
inline constexpr std::string_view kGoogleTokenURL = "MireloGoogleTokenURL";

// The production backend's origin, used when no usable override exists.
inline constexpr std::string_view kDefaultBackendURL = "https://api.mirelo.app";
// Google's OAuth 2.0 endpoints, used when no deployment value overrides them.
inline constexpr std::string_view kDefaultGoogleAuthURL =
    "https://accounts.google.com/o/oauth2/v2/auth";
inline constexpr std::string_view kDefaultGoogleTokenURL = "https://oauth2.googleapis.com/token";

// The backend base URL: the defaults' string, else the Info dictionary's, else the
// built-in default; a string that is not a URL gives the built-in default.
std::string backendURL(platform::Defaults& defaults);
// True when the defaults hold a string under the backend override key (the launch log marks it).
bool backendURLOverridden(platform::Defaults& defaults);

TriggerMode triggerMode(platform::Defaults& defaults);
TriggerKey triggerCode(platform::Defaults& defaults);
void setTriggerCode(platform::Defaults& defaults, TriggerKey key);
bool handleBrowsers(platform::Defaults& defaults);

// The Info dictionary's string under key.
std::optional<std::string> plist(platform::Defaults& defaults, std::string_view key);
// A deployment value: the defaults' string first, the Info dictionary's second.
std::optional<std::string> deploymentValue(platform::Defaults& defaults, std::string_view key);

}  // namespace Settings
