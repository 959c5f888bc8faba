#include "trigger/TriggerTap.h"

#include <gtest/gtest.h>

#include <set>

#include "base/Log.h"
#include "fake/FakeDesktop.h"

namespace {

using platform::KeyEvent;
using platform::KeyEventType;
const TriggerKey kAltRight = TriggerKey::altRight;

// Drives the tap with what a keyboard sends: flags-changed events carrying the flags of every
// modifier held, and key-down events.
class TriggerTapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tap.onTap = [this] { ++taps; };
    ASSERT_TRUE(tap.start());
  }

  std::uint64_t flags() const {
    std::uint64_t f = 0;
    for (TriggerKey k : held)
      f |= sideFlag(k) | modifierFlag(k);
    return f;
  }
  void down(TriggerKey k, std::optional<std::uint32_t> timeMs = {}) {
    held.insert(k);
    desk.keyboard.inject({KeyEventType::flagsChanged, keyCode(k), flags(), timeMs});
  }
  void up(TriggerKey k, std::optional<std::uint32_t> timeMs = {}) {
    held.erase(k);
    desk.keyboard.inject({KeyEventType::flagsChanged, keyCode(k), flags(), timeMs});
  }
  void letter() { desk.keyboard.inject({KeyEventType::keyDown, 0, flags(), {}}); }
  // Lets deferred work run; true when a tap fired since the last call.
  bool fired() {
    desk.clock.runPending();
    int before = seen;
    seen = taps;
    return taps > before;
  }
  // Presses the trigger, holds it for ms and releases it; true when that fired.
  bool tapFor(double ms, TriggerKey k = kAltRight) {
    down(k);
    desk.clock.advance(ms / 1000.0);
    up(k);
    return fired();
  }
  bool logged(Log::Level level, const std::string& line) {
    return log.contains("trigger", level, line);
  }

  Log::Capture log;
  fake::FakeDesktop desk;
  TriggerTap tap{desk.clock, desk.keyboard, desk.workspace};
  std::multiset<TriggerKey> held;
  int taps = 0, seen = 0;
};

TEST_F(TriggerTapTest, StartInstallsOnceLogsModeAndKeyAndARefusalCanBeRetried) {
  TriggerTap other{desk.clock, desk.keyboard, desk.workspace};
  other.mode = TriggerMode::double_;
  other.key = TriggerKey::controlLeft;
  EXPECT_EQ(other.lastEventAt(), 0);
  EXPECT_TRUE(other.start());
  EXPECT_EQ(other.lastEventAt(), desk.clock.now());
  EXPECT_TRUE(logged(Log::Level::info, "이벤트 탭 생성됨 (mode: double, key: ControlLeft)"));
  log.clear();
  EXPECT_TRUE(other.start());
  EXPECT_TRUE(log.records().empty());

  fake::FakeDesktop second;
  TriggerTap refused{second.clock, second.keyboard, second.workspace};
  second.keyboard.refuseListening = true;
  EXPECT_FALSE(refused.start());
  EXPECT_FALSE(refused.installed());
  EXPECT_TRUE(
      logged(Log::Level::error, "이벤트 탭을 만들지 못했습니다 (tapCreate nil — 권한 없음)"));
  EXPECT_EQ(second.clock.pendingTimers(), 0u) << "no secure-input watch without a listener";
  second.keyboard.refuseListening = false;
  EXPECT_TRUE(refused.start());
  EXPECT_TRUE(refused.installed());
}

TEST_F(TriggerTapTest, AShortTapFiresAfterTheCallbackReturnsUpToFiveHundredMs) {
  down(kAltRight);
  desk.clock.advance(0.12);
  up(kAltRight);
  EXPECT_EQ(taps, 0) << "onTap must not run inside the listener's callback";
  EXPECT_TRUE(fired());
  EXPECT_TRUE(logged(Log::Level::info, "오른쪽 Alt 탭 성립 (120ms)"));
  EXPECT_TRUE(tapFor(500));
  EXPECT_FALSE(tapFor(501));
  tap.mode = TriggerMode::off;  // detected and logged, never fired
  EXPECT_FALSE(tapFor(100));
  EXPECT_TRUE(logged(Log::Level::info, "오른쪽 Alt 탭 성립 (100ms)"));
}

TEST_F(TriggerTapTest, TheHoldIsMeasuredOnTheEventsOwnClock) {
  // The main loop got round to the release late: the events' times still say 100 ms.
  down(kAltRight, 5000);
  desk.clock.advance(0.9);
  up(kAltRight, 5100);
  EXPECT_TRUE(fired());
  // Across the wrap-around of the source's 32-bit clock.
  down(kAltRight, 0xFFFFFFF0u);
  up(kAltRight, 0x40u);
  EXPECT_TRUE(fired());
  // Events handled together that were 600 ms apart.
  down(kAltRight, 1000);
  up(kAltRight, 1600);
  EXPECT_FALSE(fired());
}

TEST_F(TriggerTapTest, SecureInputAtTheTapFiresNothingAndSaysSo) {
  std::vector<bool> changes;
  tap.onSecureInputChange = [&](bool on) { changes.push_back(on); };
  desk.keyboard.secureInput = true;
  EXPECT_FALSE(tapFor(80));
  EXPECT_TRUE(tap.lastSecureInput()) << "known at once, not at the watch's next tick";
  EXPECT_EQ(changes, std::vector<bool>{true});
  EXPECT_TRUE(logged(Log::Level::notice,
                     "보안 입력 중이라 트리거를 건너뜁니다 (암호 입력창 또는 잠긴 화면)"));
  desk.keyboard.secureInput = false;
  EXPECT_TRUE(tapFor(80));
}

TEST_F(TriggerTapTest, AKeyThatSwitchesTheInputMethodNeverFires) {
  desk.keyboard.keysyms[1] = "Hangul";
  EXPECT_FALSE(tapFor(80));
  EXPECT_TRUE(logged(Log::Level::error,
                     "오른쪽 Alt 키가 지금 입력기 키(Hangul)라 트리거하지 않습니다 — 다른 "
                     "트리거 키를 고르세요"));
  tap.key = TriggerKey::controlRight;
  desk.keyboard.keysyms[3] = "Hangul_Hanja";
  EXPECT_FALSE(tapFor(80, TriggerKey::controlRight));
  desk.keyboard.keysyms[3] = "Control_R";  // the layout changes back
  EXPECT_TRUE(tapFor(80, TriggerKey::controlRight));
}

TEST_F(TriggerTapTest, AnythingBetweenDownAndUpCancels) {
  // Another modifier goes down.
  down(kAltRight);
  down(TriggerKey::shiftLeft);
  up(TriggerKey::shiftLeft);
  up(kAltRight);
  // A letter.
  down(kAltRight);
  letter();
  up(kAltRight);
  // Another application comes to the front.
  down(kAltRight);
  desk.workspace.bringToFront({42, "org.example.editor", "Editor"});
  up(kAltRight);
  EXPECT_FALSE(fired());
  EXPECT_TRUE(tapFor(80)) << "nothing is left over";
}

TEST_F(TriggerTapTest, OnlyTheConfiguredSideFires) {
  EXPECT_FALSE(tapFor(80, TriggerKey::altLeft));
  for (TriggerKey k : kAllTriggerKeys) {
    tap.key = k;
    EXPECT_TRUE(tapFor(80, k)) << rawValue(k);
  }
}

TEST_F(TriggerTapTest, FlagsWithoutDeviceBitsUseTheModifierMask) {
  for (TriggerKey k : {TriggerKey::altLeft, kAltRight}) {
    tap.key = k;
    desk.keyboard.inject({KeyEventType::flagsChanged, keyCode(k), modifierFlag(k), {}});
    EXPECT_TRUE(tap.armed());
    desk.keyboard.inject({KeyEventType::flagsChanged, keyCode(k), 0, {}});
    EXPECT_TRUE(fired());
  }
  // Device bits of the other side only: this side is up.
  desk.keyboard.inject({KeyEventType::flagsChanged,
                        keyCode(kAltRight),
                        sideFlag(TriggerKey::altLeft) | modifierFlag(kAltRight),
                        {}});
  EXPECT_FALSE(tap.armed());
}

TEST_F(TriggerTapTest, DoubleModeFiresOnTheSecondTapWithinTheWindow) {
  tap.mode = TriggerMode::double_;
  EXPECT_FALSE(tapFor(50));
  desk.clock.advance(0.25);  // second tap 300 ms after the first
  EXPECT_TRUE(tapFor(50));

  desk.clock.advance(2);
  tapFor(50);
  desk.clock.advance(0.4);  // 450 ms apart: the second starts a new pair
  EXPECT_FALSE(tapFor(50));
  desk.clock.advance(0.1);
  EXPECT_TRUE(tapFor(50));

  desk.clock.advance(2);  // three quick taps fire once, a fourth fires again
  for (int i = 0; i < 3; ++i) {
    tapFor(40);
    desk.clock.advance(0.06);
  }
  EXPECT_EQ(taps, 3);
  EXPECT_TRUE(tapFor(40));

  desk.clock.advance(2);  // other keys between the taps do not reset the pair
  tapFor(40);
  letter();
  tapFor(40, TriggerKey::shiftLeft);
  EXPECT_TRUE(tapFor(40));
}

TEST_F(TriggerTapTest, SystemDisableReenablesDropsTheHalfTapAndLogs) {
  down(kAltRight);
  desk.clock.advance(7);
  desk.keyboard.inject({KeyEventType::disabledByTimeout, 0, 0, {}});
  EXPECT_EQ(desk.keyboard.reenables, 1);
  EXPECT_EQ(tap.lastEventAt(), desk.clock.now());
  EXPECT_FALSE(tap.armed());
  EXPECT_TRUE(logged(Log::Level::error, "시스템이 탭을 껐습니다 (type 4294967294) — 다시 켭니다"));
  desk.keyboard.inject({KeyEventType::disabledByUserInput, 0, 0, {}});
  EXPECT_EQ(desk.keyboard.reenables, 2);
  up(kAltRight);
  EXPECT_FALSE(fired());
  desk.clock.advance(1);
  letter();  // every event refreshes the time of the last one
  EXPECT_EQ(tap.lastEventAt(), desk.clock.now());
}

TEST_F(TriggerTapTest, SecureInputWatchReportsChangesEveryTwoSecondsAlsoWhenStopped) {
  std::vector<bool> changes;
  tap.onSecureInputChange = [&](bool on) { changes.push_back(on); };
  tap.stop();
  EXPECT_FALSE(tap.installed());
  EXPECT_FALSE(desk.keyboard.listening());
  desk.keyboard.secureInput = true;
  desk.clock.advance(1.9);
  EXPECT_TRUE(changes.empty());
  desk.clock.advance(0.1);
  EXPECT_EQ(changes, std::vector<bool>{true});
  const double before = tap.lastEventAt();
  desk.clock.advance(10);
  EXPECT_EQ(changes.size(), 1u);
  EXPECT_EQ(tap.lastEventAt(), before) << "secure input turning on is no event";

  desk.keyboard.secureInput = false;
  desk.clock.advance(2);
  EXPECT_EQ(changes, (std::vector<bool>{true, false}));
  EXPECT_EQ(tap.lastEventAt(), desk.clock.now());
  EXPECT_TRUE(tap.start());
  EXPECT_TRUE(desk.keyboard.listening());
}

TEST_F(TriggerTapTest, PendingTapIsDroppedWhenTheTapIsDestroyed) {
  auto other = std::make_unique<TriggerTap>(desk.clock, desk.keyboard, desk.workspace);
  int otherTaps = 0;
  other->onTap = [&] { ++otherTaps; };
  ASSERT_TRUE(other->start());
  down(kAltRight);
  up(kAltRight);
  other.reset();
  desk.clock.advance(5);
  EXPECT_EQ(otherTaps, 0);
}

}  // namespace
