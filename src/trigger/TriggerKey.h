#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/Enum.h"

// One modifier key on one side of the keyboard that triggers Mirelo when tapped on its own.
enum class TriggerKey : std::uint8_t {
  altLeft,
  altRight,
  controlLeft,
  controlRight,
  shiftLeft,
  shiftRight,
  metaLeft,
  metaRight,
};

inline constexpr std::array<TriggerKey, 8> kAllTriggerKeys = {
    TriggerKey::altLeft,      TriggerKey::altRight,  TriggerKey::controlLeft,
    TriggerKey::controlRight, TriggerKey::shiftLeft, TriggerKey::shiftRight,
    TriggerKey::metaLeft,     TriggerKey::metaRight,
};

inline constexpr TriggerKey kDefaultTriggerKey = TriggerKey::altRight;

std::string_view rawValue(TriggerKey key);
template <>
std::optional<TriggerKey> fromRaw<TriggerKey>(std::string_view raw);

// The key's Korean name with its side, e.g. "오른쪽 Alt".
std::string display(TriggerKey key);

// The virtual key code a flags-changed event carries for this key.
std::uint16_t keyCode(TriggerKey key);
// Device bits of both keys of the pair, of this side only, and the device-independent mask.
std::uint64_t pairFlags(TriggerKey key);
std::uint64_t sideFlag(TriggerKey key);
std::uint64_t modifierFlag(TriggerKey key);
