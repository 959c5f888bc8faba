#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

// Why a secret was not stored.
class SecretsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Generic-password items of one service. A read that fails reads as absent; a store that fails
// throws SecretsError and leaves the item as it was.
class Secrets {
 public:
  virtual ~Secrets() = default;
  virtual std::optional<std::string> get(std::string_view service, std::string_view account) = 0;
  virtual void set(std::string_view service, std::string_view account, std::string_view value) = 0;
  virtual void remove(std::string_view service, std::string_view account) = 0;
};

}  // namespace platform
