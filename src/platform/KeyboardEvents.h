#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// Event types as the listener delivers them.
enum class KeyEventType : std::uint32_t {
  keyDown = 10,
  flagsChanged = 12,
  disabledByTimeout = 0xFFFFFFFE,
  disabledByUserInput = 0xFFFFFFFF,
};

// One keyboard event: virtual key codes and flag words as TriggerKey lists them
// (device bits of each side and the device-independent modifier masks).
struct KeyEvent {
  KeyEventType type = KeyEventType::keyDown;
  std::uint16_t keyCode = 0;
  std::uint64_t flags = 0;
};

enum class Shortcut { copy, paste, selectAll };

class KeyboardEvents {
 public:
  using Handler = std::function<void(const KeyEvent&)>;
  virtual ~KeyboardEvents() = default;

  // Starts the listen-only tap; events arrive on the main context. False when refused.
  virtual bool startListening(Handler handler) = 0;
  virtual void stopListening() = 0;
  // Re-enables a listener the system turned off.
  virtual void reenable() = 0;

  virtual bool inputMonitoringGranted() = 0;
  virtual void requestInputMonitoring() = 0;
  // Another program (or a password field) takes the keyboard for itself.
  virtual bool secureInputEnabled() = 0;
  // Seconds since the system last saw a modifier change, from a source independent of the tap.
  virtual double secondsSinceLastModifierEvent() = 0;

  // Posts copy, paste or select-all to the frontmost application, as suits its focused element.
  virtual void postShortcut(Shortcut shortcut) = 0;
  // Presses and releases the right Alt key (the self-test's fire option).
  virtual void postTriggerTap() = 0;
};

}  // namespace platform
