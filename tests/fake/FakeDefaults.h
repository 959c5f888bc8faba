#pragma once

#include <map>
#include <string>

#include "platform/Defaults.h"

namespace fake {

class FakeDefaults : public platform::Defaults {
 public:
  std::optional<Json> object(std::string_view key) override { return find(values, key); }
  void set(std::string_view key, const Json& value) override { values[std::string(key)] = value; }
  void remove(std::string_view key) override { values.erase(std::string(key)); }
  std::optional<Json> info(std::string_view key) override { return find(infoValues, key); }

  std::map<std::string, Json> values;
  std::map<std::string, Json> infoValues;

 private:
  static std::optional<Json> find(const std::map<std::string, Json>& map, std::string_view key) {
    auto it = map.find(std::string(key));
    return it == map.end() ? std::nullopt : std::optional<Json>(it->second);
  }
};

}  // namespace fake
