#include "trigger/TriggerMode.h"

std::string_view rawValue(TriggerMode mode) {
  switch (mode) {
    case TriggerMode::single:
      return "single";
    case TriggerMode::double_:
      return "double";
    case TriggerMode::off:
      return "off";
  }
  return "single";
}

template <>
std::optional<TriggerMode> fromRaw<TriggerMode>(std::string_view raw) {
  for (TriggerMode m : {TriggerMode::single, TriggerMode::double_, TriggerMode::off})
    if (rawValue(m) == raw) return m;
  return std::nullopt;
}
