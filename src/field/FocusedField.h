#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/Enum.h"
#include "platform/Accessibility.h"

// The focused field as read at the moment of the trigger; passed through the whole pipeline.
struct FocusedField {
  // How the text was obtained; the raw values appear in logs and diagnostics.
  enum class ReadMethod { axValue, axSelected, clipboardCopy };

  platform::ElementRef element;
  std::int32_t pid = 0;
  std::string bundleID;  // empty when the application has none
  std::string appName;   // the bundle identifier when the application has no name
  std::optional<std::string> value;
  std::optional<std::string> selectedText;
  std::optional<platform::TextRange> selectedRange;
  ReadMethod readMethod = ReadMethod::axValue;
  // The field is a terminal or inside one: nothing is ever written there.
  bool terminal = false;

  // The text to work on: a non-empty selection, else the value, else "".
  std::string target() const;
  bool hasSelection() const { return selectedText && !selectedText->empty(); }
};

std::string_view rawValue(FocusedField::ReadMethod method);
template <>
std::optional<FocusedField::ReadMethod> fromRaw<FocusedField::ReadMethod>(std::string_view raw);
