#include "trigger/TriggerKey.h"

namespace {

struct KeyInfo {
  std::string_view raw;
  std::string_view glyph;
};

// Indexed by the enumeration's order.
constexpr KeyInfo kKeys[] = {
    {"AltLeft", "Alt"},       {"AltRight", "Alt"},    {"ControlLeft", "Ctrl"},
    {"ControlRight", "Ctrl"}, {"ShiftLeft", "Shift"}, {"ShiftRight", "Shift"},
    {"MetaLeft", "Super"},    {"MetaRight", "Super"},
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

bool isInputMethodKeysym(std::string_view keysym) {
  static constexpr std::string_view kExact[] = {"Multi_key",
                                                "Codeinput",
                                                "SingleCandidate",
                                                "MultipleCandidate",
                                                "PreviousCandidate",
                                                "Kanji",
                                                "Muhenkan",
                                                "Henkan_Mode",
                                                "Henkan",
                                                "Romaji",
                                                "Hiragana",
                                                "Katakana",
                                                "Hiragana_Katakana",
                                                "Zenkaku",
                                                "Hankaku",
                                                "Zenkaku_Hankaku",
                                                "Touroku",
                                                "Massyo",
                                                "Kana_Lock",
                                                "Kana_Shift",
                                                "Eisu_Shift",
                                                "Eisu_toggle"};
  for (std::string_view name : kExact)
    if (keysym == name) return true;
  // Hangul, Hangul_Hanja, Hangul_Start …; ISO_Next_Group, ISO_First_Group_Lock …
  return keysym.starts_with("Hangul") ||
         (keysym.starts_with("ISO_") && keysym.find("_Group") != std::string_view::npos);
}
