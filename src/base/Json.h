#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

using Json = nlohmann::json;

namespace JsonValue {

// The value under key when it is a string; absent for a missing key or another type.
std::optional<std::string> string(const Json& object, std::string_view key);
// The value under key when it is a number (integers and floating point alike).
std::optional<double> number(const Json& object, std::string_view key);
std::optional<bool> boolean(const Json& object, std::string_view key);
// Parses text; absent when it is not valid JSON.
std::optional<Json> parse(std::string_view text);

}  // namespace JsonValue
