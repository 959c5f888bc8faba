#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Secrets.h"

// The one secret Mirelo keeps: the backend session token. Signed in means get() has a value.
namespace Keychain {

inline constexpr std::string_view kService = "com.mirelo.app";
inline constexpr std::string_view kSessionToken = "session-token";

std::optional<std::string> get(platform::Secrets& secrets, std::string_view account);
// Throws platform::SecretsError when the value was not stored; the old one then stays.
void set(platform::Secrets& secrets, std::string_view value, std::string_view account);
void remove(platform::Secrets& secrets, std::string_view account);

}  // namespace Keychain
