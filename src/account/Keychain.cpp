#include "account/Keychain.h"

#include <glib.h>

namespace Keychain {

std::optional<std::string> get(platform::Secrets& secrets, std::string_view account) {
  auto value = secrets.get(kService, account);
  // Bytes that are not text are no token.
  if (value && !g_utf8_validate(value->data(), static_cast<gssize>(value->size()), nullptr))
    return std::nullopt;
  return value;
}

void set(platform::Secrets& secrets, std::string_view value, std::string_view account) {
  // The old token stays until the new one is stored.
  secrets.set(kService, account, value);
}

void remove(platform::Secrets& secrets, std::string_view account) {
  secrets.remove(kService, account);
}

}  // namespace Keychain
