#pragma once

#include <string>
#include <string_view>

// Randomness and hashing for sign-in (PKCE, state), through OpenSSL.
namespace Crypto {

// n cryptographically secure random bytes; throws std::runtime_error if the source fails.
std::string randomBytes(size_t n);
// SHA-256 digest (32 raw bytes).
std::string sha256(std::string_view data);
// Base64url without padding.
std::string base64url(std::string_view data);

}  // namespace Crypto
