#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Generic-password items of one service. Every failure reads as absent; nothing throws.
class Secrets {
 public:
  virtual ~Secrets() = default;
  virtual std::optional<std::string> get(std::string_view service, std::string_view account) = 0;
  virtual void set(std::string_view service, std::string_view account, std::string_view value) = 0;
  virtual void remove(std::string_view service, std::string_view account) = 0;
};

}  // namespace platform
