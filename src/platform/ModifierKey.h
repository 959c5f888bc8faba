#pragma once

#include <array>
#include <cstdint>

namespace platform {

// One modifier key on one side of the keyboard. The keyboard port reports these keys in the
// listener's vocabulary: a virtual key code and the flag words below.
enum class ModifierKey : std::uint8_t {
  altLeft,
  altRight,
  controlLeft,
  controlRight,
  shiftLeft,
  shiftRight,
  metaLeft,
  metaRight,
};

inline constexpr std::array<ModifierKey, 8> kAllModifierKeys = {
    ModifierKey::altLeft,      ModifierKey::altRight,  ModifierKey::controlLeft,
    ModifierKey::controlRight, ModifierKey::shiftLeft, ModifierKey::shiftRight,
    ModifierKey::metaLeft,     ModifierKey::metaRight,
};

// The virtual key code a flags-changed event carries for the key, the device bits of both keys
// of its pair and of its own side, and the device-independent mask of the pair.
struct ModifierKeyCodes {
  std::uint16_t keyCode;
  std::uint64_t pairFlags;
  std::uint64_t sideFlag;
  std::uint64_t modifierFlag;
};

inline constexpr std::array<ModifierKeyCodes, 8> kModifierKeyCodes = {{
    {0x3A, 0x60, 0x20, 0x80000},
    {0x3D, 0x60, 0x40, 0x80000},
    {0x3B, 0x2001, 0x1, 0x40000},
    {0x3E, 0x2001, 0x2000, 0x40000},
    {0x38, 0x6, 0x2, 0x20000},
    {0x3C, 0x6, 0x4, 0x20000},
    {0x37, 0x18, 0x8, 0x100000},
    {0x36, 0x18, 0x10, 0x100000},
}};

constexpr const ModifierKeyCodes& codesOf(ModifierKey key) {
  return kModifierKeyCodes[static_cast<std::size_t>(key)];
}
constexpr std::uint16_t keyCode(ModifierKey key) {
  return codesOf(key).keyCode;
}
constexpr std::uint64_t pairFlags(ModifierKey key) {
  return codesOf(key).pairFlags;
}
constexpr std::uint64_t sideFlag(ModifierKey key) {
  return codesOf(key).sideFlag;
}
constexpr std::uint64_t modifierFlag(ModifierKey key) {
  return codesOf(key).modifierFlag;
}

}  // namespace platform
