#include "field/InsertMethod.h"

std::string_view rawValue(InsertMethod method) {
  switch (method) {
    case InsertMethod::axSelectedText:
      return "AX 선택 치환";
    case InsertMethod::axValue:
      return "AX 값 치환";
    case InsertMethod::paste:
      return "붙여넣기";
  }
  return "붙여넣기";
}

template <>
std::optional<InsertMethod> fromRaw<InsertMethod>(std::string_view raw) {
  for (InsertMethod m : {InsertMethod::axSelectedText, InsertMethod::axValue, InsertMethod::paste})
    if (rawValue(m) == raw) return m;
  return std::nullopt;
}
