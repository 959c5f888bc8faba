#include "base/Crypto.h"

#include <openssl/rand.h>
#include <openssl/sha.h>

#include <stdexcept>

namespace Crypto {

std::string randomBytes(size_t n) {
  std::string out(n, '\0');
  if (n > 0 && RAND_bytes(reinterpret_cast<unsigned char*>(out.data()), static_cast<int>(n)) != 1)
    throw std::runtime_error("secure random bytes unavailable");
  return out;
}

std::string sha256(std::string_view data) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest);
  return std::string(reinterpret_cast<char*>(digest), sizeof digest);
}

std::string base64url(std::string_view data) {
  static constexpr char alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  size_t i = 0;
  auto byte = [&](size_t k) { return static_cast<unsigned char>(data[k]); };
  for (; i + 2 < data.size(); i += 3) {
    unsigned v = (byte(i) << 16) | (byte(i + 1) << 8) | byte(i + 2);
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    out += alphabet[(v >> 6) & 63];
    out += alphabet[v & 63];
  }
  if (data.size() - i == 1) {
    unsigned v = byte(i) << 16;
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
  } else if (data.size() - i == 2) {
    unsigned v = (byte(i) << 16) | (byte(i + 1) << 8);
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    out += alphabet[(v >> 6) & 63];
  }
  return out;
}

}  // namespace Crypto
