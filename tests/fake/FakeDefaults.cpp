#include "fake/FakeDefaults.h"

namespace fake {

std::optional<Json> FakeDefaults::object(std::string_view key) {
  auto it = values.find(std::string(key));
  if (it == values.end()) return std::nullopt;
  return it->second;
}

std::optional<Json> FakeDefaults::info(std::string_view key) {
  auto it = infoValues.find(std::string(key));
  if (it == infoValues.end()) return std::nullopt;
  return it->second;
}

}  // namespace fake
