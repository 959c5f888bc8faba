#include "base/Json.h"

namespace JsonValue {

namespace {
const Json* member(const Json& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}
}  // namespace

std::optional<std::string> string(const Json& object, std::string_view key) {
  const Json* v = member(object, key);
  if (!v || !v->is_string()) return std::nullopt;
  return v->get<std::string>();
}

std::optional<double> number(const Json& object, std::string_view key) {
  const Json* v = member(object, key);
  if (!v || !v->is_number()) return std::nullopt;
  return v->get<double>();
}

std::optional<bool> boolean(const Json& object, std::string_view key) {
  const Json* v = member(object, key);
  if (!v || !v->is_boolean()) return std::nullopt;
  return v->get<bool>();
}

std::optional<Json> parse(std::string_view text) {
  Json j = Json::parse(text, nullptr, false);
  if (j.is_discarded()) return std::nullopt;
  return j;
}

}  // namespace JsonValue
