#include "platform/linux/X11KeyTranslator.h"

#include "platform/ModifierKey.h"

namespace linuxport {

int X11KeyTranslator::triggerIndex(int keycode) const {
  for (size_t i = 0; i < codes_.size(); ++i)
    if (codes_[i] != 0 && codes_[i] == keycode) return static_cast<int>(i);
  return -1;
}

std::uint64_t X11KeyTranslator::flags() const {
  std::uint64_t f = 0;
  for (size_t i = 0; i < codes_.size(); ++i) {
    if (codes_[i] > 0 && codes_[i] < 256 && down_[codes_[i]])
      f |= platform::sideFlag(platform::kAllModifierKeys[i]) |
           platform::modifierFlag(platform::kAllModifierKeys[i]);
  }
  return f;
}

std::optional<platform::KeyEvent> X11KeyTranslator::press(int keycode) {
  if (keycode <= 0 || keycode >= 256) return std::nullopt;
  const int trigger = triggerIndex(keycode);
  if (trigger < 0) {
    down_.set(keycode);
    return platform::KeyEvent{
        platform::KeyEventType::keyDown, static_cast<std::uint16_t>(keycode), flags(), {}};
  }
  if (down_[keycode]) return std::nullopt;
  down_.set(keycode);
  return platform::KeyEvent{platform::KeyEventType::flagsChanged,
                            platform::keyCode(platform::kAllModifierKeys[trigger]),
                            flags(),
                            {}};
}

std::optional<platform::KeyEvent> X11KeyTranslator::release(int keycode) {
  if (keycode <= 0 || keycode >= 256 || !down_[keycode]) return std::nullopt;
  down_.reset(keycode);
  const int trigger = triggerIndex(keycode);
  if (trigger < 0) return std::nullopt;
  return platform::KeyEvent{platform::KeyEventType::flagsChanged,
                            platform::keyCode(platform::kAllModifierKeys[trigger]),
                            flags(),
                            {}};
}

}  // namespace linuxport
