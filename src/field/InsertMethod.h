#pragma once

#include <optional>
#include <string_view>

#include "base/Enum.h"

// The ways of writing text into a field; raw values appear in logs and diagnostics.
enum class InsertMethod {
  axSelectedText,  // replaces the selection through "AXSelectedText"
  axValue,         // replaces the whole text through "AXValue"
  paste,           // selects as needed and pastes through the clipboard
};

std::string_view rawValue(InsertMethod method);
template <>
std::optional<InsertMethod> fromRaw<InsertMethod>(std::string_view raw);
