#include "trigger/TriggerTap.h"

#include <cmath>

#include "base/Log.h"

namespace {

constexpr double kLongestTapMs = 500;
constexpr double kDoubleTapWindowMs = 400;
constexpr double kSecureInputInterval = 2.0;

}  // namespace

TriggerTap::TriggerTap(Clock& clock, platform::KeyboardEvents& keyboard,
                       platform::Workspace& workspace)
    : clock_(clock), keyboard_(keyboard), workspace_(workspace) {}

TriggerTap::~TriggerTap() {
  stop();
}

bool TriggerTap::start() {
  if (installed_) return true;
  if (!keyboard_.startListening([this](const platform::KeyEvent& e) { handle(e); })) {
    Log::trigger.error("이벤트 탭을 만들지 못했습니다 (tapCreate nil — 권한 없음)");
    return false;
  }
  installed_ = true;
  lastEventAt_ = clock_.now();
  Log::trigger.info("이벤트 탭 생성됨 (mode: %{public}s, key: %{public}s)", rawValue(mode),
                    rawValue(key));
  // Removed again by stop(), which the destructor calls.
  activationToken_ =
      workspace_.addActivationObserver([this](const platform::RunningApplication&) { disarm(); });
  startSecureInputWatch();
  return true;
}

void TriggerTap::stop() {
  if (installed_) keyboard_.stopListening();
  installed_ = false;
  if (activationToken_ != 0) workspace_.removeObserver(activationToken_);
  activationToken_ = 0;
}

void TriggerTap::handle(const platform::KeyEvent& event) {
  const double now = clock_.now();
  if (event.type == platform::KeyEventType::disabledByTimeout ||
      event.type == platform::KeyEventType::disabledByUserInput) {
    Log::trigger.error("시스템이 탭을 껐습니다 (type %u) — 다시 켭니다",
                       static_cast<std::uint32_t>(event.type));
    if (installed_) keyboard_.reenable();
    armed_ = false;
    lastEventAt_ = now;
    return;
  }
  lastEventAt_ = now;
  if (event.type == platform::KeyEventType::keyDown) {
    armed_ = false;
    return;
  }
  if (event.type != platform::KeyEventType::flagsChanged) return;
  if (event.keyCode != keyCode(key)) {
    armed_ = false;
    return;
  }
  handleTriggerKey(event, now);
}

bool TriggerTap::triggerKeyIsDown(std::uint64_t flags) const {
  // Sources that set no device bits tell only that some key of the pair is down.
  if (flags & pairFlags(key)) return (flags & sideFlag(key)) != 0;
  return (flags & modifierFlag(key)) == modifierFlag(key);
}

void TriggerTap::handleTriggerKey(const platform::KeyEvent& event, double now) {
  if (triggerKeyIsDown(event.flags)) {
    armed_ = true;
    armedAt_ = now;
    armedAtMs_ = event.timeMs;
    return;
  }
  const bool wasArmed = armed_;
  armed_ = false;
  if (!wasArmed) return;
  const double held = heldMs(event, now);
  if (held > kLongestTapMs) return;
  Log::trigger.info("%{public}s 탭 성립 (%ldms)", display(key), static_cast<long>(held));
  // onTap never runs inside the listener's callback.
  tapDeferral_.start(clock_, 0, false, [this] { tapped(); });
}

// From the event source's own times when both events carry one: the main loop may get round
// to the events late.
double TriggerTap::heldMs(const platform::KeyEvent& event, double now) const {
  // Unsigned subtraction counts across the source clock's wrap-around.
  if (armedAtMs_ && event.timeMs) return static_cast<std::uint32_t>(*event.timeMs - *armedAtMs_);
  // The clock counts microseconds; rounding to them keeps 120 ms from reading as 119.99998.
  return std::round((now - armedAt_) * 1e6) / 1e3;
}

void TriggerTap::tapped() {
  switch (mode) {
    case TriggerMode::off:
      return;
    case TriggerMode::double_: {
      const double now = clock_.now();
      if (lastTapAt_ > 0 && (now - lastTapAt_) * 1000.0 < kDoubleTapWindowMs) {
        lastTapAt_ = 0;
        fire();
      } else {
        lastTapAt_ = now;
      }
      return;
    }
    case TriggerMode::single:
      fire();
      return;
  }
}

bool TriggerTap::mayFire() {
  if (keyboard_.secureInputEnabled()) {
    noteSecureInput(true);
    Log::trigger.notice("보안 입력 중이라 트리거를 건너뜁니다 (암호 입력창 또는 잠긴 화면)");
    return false;
  }
  const std::string keysym = keyboard_.keysymName(key);
  if (isInputMethodKeysym(keysym)) {
    Log::trigger.error(
        "%{public}s 키가 지금 입력기 키(%{public}s)라 트리거하지 않습니다 — 다른 "
        "트리거 키를 고르세요",
        display(key), keysym);
    return false;
  }
  return true;
}

void TriggerTap::fire() {
  if (mayFire() && onTap) onTap();
}

void TriggerTap::startSecureInputWatch() {
  if (secureInputWatch_.active()) return;
  secureInputWatch_.start(clock_, kSecureInputInterval, true, [this] { checkSecureInput(); });
}

void TriggerTap::checkSecureInput() {
  noteSecureInput(keyboard_.secureInputEnabled());
}

void TriggerTap::noteSecureInput(bool secure) {
  if (secure == lastSecureInput_) return;
  // The health watch measures silence from the moment secure input ends.
  if (!secure) lastEventAt_ = clock_.now();
  lastSecureInput_ = secure;
  if (onSecureInputChange) onSecureInputChange(secure);
}
