#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/Async.h"
#include "platform/ModifierKey.h"

namespace platform {

// Event types as the listener delivers them.
enum class KeyEventType : std::uint32_t {
  keyDown = 10,
  flagsChanged = 12,
  disabledByTimeout = 0xFFFFFFFE,
  disabledByUserInput = 0xFFFFFFFF,
};

// One keyboard event: virtual key codes and flag words as ModifierKey lists them
// (device bits of each side and the device-independent modifier masks).
struct KeyEvent {
  KeyEventType type = KeyEventType::keyDown;
  std::uint16_t keyCode = 0;
  std::uint64_t flags = 0;
  // When the event happened, in milliseconds of the event source's own clock (which wraps
  // around); absent when the source does not say.
  std::optional<std::uint32_t> timeMs;
};

// copyInTerminal is the terminal's own copy chord (Ctrl+Shift+C): a plain Ctrl+C there
// interrupts the program that runs in it.
enum class Shortcut { copy, copyInTerminal, paste, selectAll };

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
  // Keys typed now are not for Mirelo: a password field has focus, the session is locked, or
  // another program takes the keyboard for itself.
  virtual bool secureInputEnabled() = 0;
  // The symbol the key produces in the current layout ("Alt_R", "Hangul" …); empty when
  // unknown.
  virtual std::string keysymName(ModifierKey key) = 0;
  // Seconds since the system last saw a modifier change, from a source independent of the tap.
  virtual double secondsSinceLastModifierEvent() = 0;

  // Posts a shortcut to the frontmost application once no modifier is held. Completes with
  // true when the chord has been sent, with false when it was not (a modifier stayed down
  // beyond a short bound, no connection, or the focused element must not get it). Shortcuts
  // are sent in the order they were posted, and none is dropped.
  virtual Task<bool> postShortcut(Shortcut shortcut) = 0;
  // Presses and releases the right Alt key (the self-test's fire option).
  virtual void postTriggerTap() = 0;
};

}  // namespace platform
