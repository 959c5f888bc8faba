#pragma once

#include <string>
#include <string_view>

#include "base/Enum.h"
#include "platform/ModifierKey.h"

// The modifier key that triggers Mirelo when tapped on its own; the keyboard port names the
// keys and their codes.
using TriggerKey = platform::ModifierKey;
inline constexpr const auto& kAllTriggerKeys = platform::kAllModifierKeys;
using platform::keyCode;
using platform::modifierFlag;
using platform::pairFlags;
using platform::sideFlag;

inline constexpr TriggerKey kDefaultTriggerKey = TriggerKey::altRight;

std::string_view rawValue(TriggerKey key);
template <>
std::optional<TriggerKey> fromRaw<TriggerKey>(std::string_view raw);

// The key's Korean name with its side, e.g. "오른쪽 Alt".
std::string display(TriggerKey key);

// Keysyms with which a layout turns a modifier into an input-method or layout switch: a tap
// of such a key is the user changing language, not asking for Mirelo.
bool isInputMethodKeysym(std::string_view keysym);
