#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "base/Async.h"
#include "base/Clock.h"
#include "platform/KeyboardEvents.h"
#include "platform/Workspace.h"
#include "trigger/TriggerKey.h"
#include "trigger/TriggerMode.h"

// Listens to every modifier change of the session, recognises a clean tap of the trigger key,
// applies the mode and calls onTap on the main context. Also watches secure keyboard entry and
// remembers when it last saw an event, for the application's tap-health watch. A tap fires
// nothing while secure input is on or while the key produces an input-method key.
class TriggerTap {
 public:
  TriggerTap(Clock& clock, platform::KeyboardEvents& keyboard, platform::Workspace& workspace);
  ~TriggerTap();
  TriggerTap(const TriggerTap&) = delete;
  TriggerTap& operator=(const TriggerTap&) = delete;

  TriggerMode mode = kDefaultTriggerMode;
  TriggerKey key = kDefaultTriggerKey;
  std::function<void()> onTap;
  std::function<void(bool)> onSecureInputChange;

  // Installs the listener; true when it is (or already was) installed.
  bool start();
  // Removes the listener. The secure-input watch keeps running.
  void stop();
  // Drops a half-done tap (called when another application comes to the front).
  void disarm() { armed_ = false; }

  bool installed() const { return installed_; }
  bool armed() const { return armed_; }
  // Secure input as last seen, by the watch or by a tap.
  bool lastSecureInput() const { return lastSecureInput_; }
  // Seconds on the clock; 0 until the first start.
  double lastEventAt() const { return lastEventAt_; }

 private:
  void handle(const platform::KeyEvent& event);
  void handleTriggerKey(const platform::KeyEvent& event, double now);
  bool triggerKeyIsDown(std::uint64_t flags) const;
  double heldMs(const platform::KeyEvent& event, double now) const;
  void tapped();
  bool mayFire();
  void fire();
  void startSecureInputWatch();
  void checkSecureInput();
  void noteSecureInput(bool secure);

  Clock& clock_;
  platform::KeyboardEvents& keyboard_;
  platform::Workspace& workspace_;
  bool installed_ = false;
  int activationToken_ = 0;
  bool armed_ = false;
  double armedAt_ = 0;
  std::optional<std::uint32_t> armedAtMs_;
  double lastTapAt_ = 0;
  bool lastSecureInput_ = false;
  double lastEventAt_ = 0;
  // Timers stop with the tap, so their callbacks never outlive it.
  Timer secureInputWatch_;
  Timer tapDeferral_;
};
