#include "field/FocusedField.h"

std::string FocusedField::target() const {
  if (hasSelection()) return *selectedText;
  return value.value_or(std::string());
}

std::string_view rawValue(FocusedField::ReadMethod method) {
  switch (method) {
    case FocusedField::ReadMethod::axValue:
      return "AX 값";
    case FocusedField::ReadMethod::axSelected:
      return "AX 선택";
    case FocusedField::ReadMethod::clipboardCopy:
      return "선택 복사";
  }
  return "AX 값";
}

template <>
std::optional<FocusedField::ReadMethod> fromRaw<FocusedField::ReadMethod>(std::string_view raw) {
  using M = FocusedField::ReadMethod;
  for (M m : {M::axValue, M::axSelected, M::clipboardCopy})
    if (rawValue(m) == raw) return m;
  return std::nullopt;
}
