#pragma once

#include <cstdint>
#include <string_view>

#include "base/Enum.h"

// How many taps fire the trigger: one, two in quick succession, or none.
enum class TriggerMode : std::uint8_t { single, double_, off };

inline constexpr TriggerMode kDefaultTriggerMode = TriggerMode::single;

std::string_view rawValue(TriggerMode mode);
template <>
std::optional<TriggerMode> fromRaw<TriggerMode>(std::string_view raw);
