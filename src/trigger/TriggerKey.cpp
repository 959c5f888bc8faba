#include "trigger/TriggerKey.h"

namespace {

struct KeyInfo {
  std::string_view raw;
  std::uint16_t keyCode;
  std::uint64_t pairFlags;
  std::uint64_t sideFlag;
  std::uint64_t modifierFlag;
  std::string_view glyph;
};

// Indexed by the enumeration's order.
constexpr KeyInfo kKeys[] = {
    {"AltLeft", 0x3A, 0x60, 0x20, 0x80000, "Alt"},
    {"AltRight", 0x3D, 0x60, 0x40, 0x80000, "Alt"},
    {"ControlLeft", 0x3B, 0x2001, 0x1, 0x40000, "Ctrl"},
    {"ControlRight", 0x3E, 0x2001, 0x2000, 0x40000, "Ctrl"},
    {"ShiftLeft", 0x38, 0x6, 0x2, 0x20000, "Shift"},
    {"ShiftRight", 0x3C, 0x6, 0x4, 0x20000, "Shift"},
    {"MetaLeft", 0x37, 0x18, 0x8, 0x100000, "Super"},
    {"MetaRight", 0x36, 0x18, 0x10, 0x100000, "Super"},
};

const KeyInfo& info(TriggerKey key) {
  return kKeys[static_cast<size_t>(key)];
}

}  // namespace

std::string_view rawValue(TriggerKey key) {
  return info(key).raw;
}

template <>
std::optional<TriggerKey> fromRaw<TriggerKey>(std::string_view raw) {
  for (TriggerKey key : kAllTriggerKeys)
    if (info(key).raw == raw) return key;
  return std::nullopt;
}

std::string display(TriggerKey key) {
  std::string_view raw = info(key).raw;
  std::string side = raw.ends_with("Right") ? "오른쪽 " : "왼쪽 ";
  return side + std::string(info(key).glyph);
}

std::uint16_t keyCode(TriggerKey key) {
  return info(key).keyCode;
}
std::uint64_t pairFlags(TriggerKey key) {
  return info(key).pairFlags;
}
std::uint64_t sideFlag(TriggerKey key) {
  return info(key).sideFlag;
}
std::uint64_t modifierFlag(TriggerKey key) {
  return info(key).modifierFlag;
}
