#pragma once

#include <map>
#include <string>

#include "platform/Defaults.h"

namespace fake {

class FakeDefaults : public platform::Defaults {
 public:
  std::optional<Json> object(std::string_view key) override;
  void set(std::string_view key, const Json& value) override { values[std::string(key)] = value; }
  void remove(std::string_view key) override { values.erase(std::string(key)); }
  std::optional<Json> info(std::string_view key) override;

  std::map<std::string, Json> values;
  std::map<std::string, Json> infoValues;
};

}  // namespace fake
