#pragma once

#include <optional>
#include <string_view>

#include "base/Json.h"

namespace platform {

// The user's preferences store and the program's Info dictionary.
class Defaults {
 public:
  virtual ~Defaults() = default;
  virtual std::optional<Json> object(std::string_view key) = 0;
  virtual void set(std::string_view key, const Json& value) = 0;
  virtual void remove(std::string_view key) = 0;
  // The Info dictionary's value under key.
  virtual std::optional<Json> info(std::string_view key) = 0;
};

}  // namespace platform
