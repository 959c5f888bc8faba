#include "trigger/TriggerTap.h"

#include <gtest/gtest.h>

#include <set>

#include "base/Log.h"
#include "fake/FakeDesktop.h"

namespace {

using platform::KeyEvent;
using platform::KeyEventType;

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
  // Presses the trigger, holds it for ms, releases it and lets deferred work run.
  void tapFor(double ms, TriggerKey k = TriggerKey::altRight) {
    down(k);
    desk.clock.advance(ms / 1000.0);
    up(k);
    desk.clock.runPending();
  }

  fake::FakeDesktop desk;
  TriggerTap tap{desk.clock, desk.keyboard, desk.workspace};
  std::multiset<TriggerKey> held;
  int taps = 0;
};

TEST_F(TriggerTapTest, StartInstallsOnceAndLogsModeAndKey) {
  Log::Capture log;
  TriggerTap other{desk.clock, desk.keyboard, desk.workspace};
  other.mode = TriggerMode::double_;
  other.key = TriggerKey::controlLeft;
  EXPECT_EQ(other.lastEventAt(), 0);
  EXPECT_TRUE(other.start());
  EXPECT_EQ(other.lastEventAt(), desk.clock.now());
  EXPECT_TRUE(log.contains("trigger", Log::Level::info,
                           "이벤트 탭 생성됨 (mode: double, key: ControlLeft)"));
  log.clear();
  EXPECT_TRUE(other.start());
  EXPECT_TRUE(log.records().empty());
}

TEST_F(TriggerTapTest, RefusedListenerLogsAndCanBeRetried) {
  Log::Capture log;
  fake::FakeDesktop other;
  TriggerTap refused{other.clock, other.keyboard, other.workspace};
  other.keyboard.refuseListening = true;
  EXPECT_FALSE(refused.start());
  EXPECT_FALSE(refused.installed());
  EXPECT_TRUE(log.contains("trigger", Log::Level::error,
                           "이벤트 탭을 만들지 못했습니다 (tapCreate nil — 권한 없음)"));
  // No secure-input watch without a listener.
  EXPECT_EQ(other.clock.pendingTimers(), 0u);
  other.keyboard.refuseListening = false;
  EXPECT_TRUE(refused.start());
  EXPECT_TRUE(refused.installed());
}

TEST_F(TriggerTapTest, ShortTapFiresAfterTheCallbackReturnsAndLogsTheHold) {
  Log::Capture log;
  down(TriggerKey::altRight);
  desk.clock.advance(0.12);
  up(TriggerKey::altRight);
  EXPECT_EQ(taps, 0) << "onTap must not run inside the listener's callback";
  desk.clock.runPending();
  EXPECT_EQ(taps, 1);
  EXPECT_TRUE(log.contains("trigger", Log::Level::info, "오른쪽 Alt 탭 성립 (120ms)"));
}

TEST_F(TriggerTapTest, HoldOfFiveHundredMsStillCountsButNotOneMore) {
  tapFor(500);
  EXPECT_EQ(taps, 1);
  tapFor(501);
  EXPECT_EQ(taps, 1);
  tapFor(600);
  EXPECT_EQ(taps, 1);
}

TEST_F(TriggerTapTest, TheHoldIsMeasuredOnTheEventsOwnClock) {
  // The main loop got round to the release late: the events' times still say 100 ms.
  down(TriggerKey::altRight, 5000);
  desk.clock.advance(0.9);
  up(TriggerKey::altRight, 5100);
  desk.clock.runPending();
  EXPECT_EQ(taps, 1);
  // Across the wrap-around of the source's 32-bit clock.
  down(TriggerKey::altRight, 0xFFFFFFF0u);
  up(TriggerKey::altRight, 0x40u);
  desk.clock.runPending();
  EXPECT_EQ(taps, 2);
  // Events handled together that were 600 ms apart.
  down(TriggerKey::altRight, 1000);
  up(TriggerKey::altRight, 1600);
  desk.clock.runPending();
  EXPECT_EQ(taps, 2);
}

TEST_F(TriggerTapTest, SecureInputAtTheTapFiresNothingAndSaysSo) {
  Log::Capture log;
  std::vector<bool> changes;
  tap.onSecureInputChange = [&](bool on) { changes.push_back(on); };
  desk.keyboard.secureInput = true;
  tapFor(80);
  EXPECT_EQ(taps, 0);
  EXPECT_TRUE(tap.lastSecureInput()) << "known at once, not at the watch's next tick";
  EXPECT_EQ(changes, std::vector<bool>{true});
  EXPECT_TRUE(log.contains("trigger", Log::Level::notice,
                           "보안 입력 중이라 트리거를 건너뜁니다 (암호 입력창 또는 잠긴 화면)"));
  desk.keyboard.secureInput = false;
  tapFor(80);
  EXPECT_EQ(taps, 1);
}

TEST_F(TriggerTapTest, AKeyThatSwitchesTheInputMethodNeverFires) {
  Log::Capture log;
  desk.keyboard.keysyms[1] = "Hangul";
  tapFor(80);
  EXPECT_EQ(taps, 0);
  EXPECT_TRUE(log.contains("trigger", Log::Level::error,
                           "오른쪽 Alt 키가 지금 입력기 키(Hangul)라 트리거하지 않습니다 — 다른 "
                           "트리거 키를 고르세요"));
  tap.key = TriggerKey::controlRight;
  desk.keyboard.keysyms[3] = "Hangul_Hanja";
  tapFor(80, TriggerKey::controlRight);
  EXPECT_EQ(taps, 0);
  // The layout changes back: the key is a trigger again.
  desk.keyboard.keysyms[3] = "Control_R";
  tapFor(80, TriggerKey::controlRight);
  EXPECT_EQ(taps, 1);
}

TEST_F(TriggerTapTest, AnythingBetweenDownAndUpCancels) {
  // Another modifier goes down.
  down(TriggerKey::altRight);
  down(TriggerKey::shiftLeft);
  up(TriggerKey::shiftLeft);
  up(TriggerKey::altRight);
  // A letter.
  down(TriggerKey::altRight);
  letter();
  up(TriggerKey::altRight);
  // The other Alt, pressed and released while the trigger is held.
  down(TriggerKey::altRight);
  tapFor(50, TriggerKey::altLeft);
  up(TriggerKey::altRight);
  // Another application comes to the front.
  down(TriggerKey::altRight);
  desk.workspace.bringToFront({42, "org.example.editor", "Editor"});
  up(TriggerKey::altRight);
  desk.clock.runPending();
  EXPECT_EQ(taps, 0);
  // Nothing is left over: the next clean tap fires.
  tapFor(80);
  EXPECT_EQ(taps, 1);
}

TEST_F(TriggerTapTest, OnlyTheConfiguredSideFires) {
  tapFor(80, TriggerKey::altLeft);
  EXPECT_EQ(taps, 0);
  for (TriggerKey k : kAllTriggerKeys) {
    tap.key = k;
    tapFor(80, k);
  }
  EXPECT_EQ(taps, 8);
}

TEST_F(TriggerTapTest, FlagsWithoutDeviceBitsUseTheModifierMask) {
  for (TriggerKey k : {TriggerKey::altLeft, TriggerKey::altRight}) {
    tap.key = k;
    desk.keyboard.inject({KeyEventType::flagsChanged, keyCode(k), modifierFlag(k), {}});
    EXPECT_TRUE(tap.armed());
    desk.clock.advance(0.05);
    desk.keyboard.inject({KeyEventType::flagsChanged, keyCode(k), 0, {}});
    desk.clock.runPending();
  }
  EXPECT_EQ(taps, 2);
  // Device bits of the other side only: this side is up.
  tap.key = TriggerKey::altRight;
  desk.keyboard.inject({KeyEventType::flagsChanged,
                        keyCode(TriggerKey::altRight),
                        sideFlag(TriggerKey::altLeft) | modifierFlag(TriggerKey::altRight),
                        {}});
  EXPECT_FALSE(tap.armed());
}

TEST_F(TriggerTapTest, DoubleModeFiresOnTheSecondTapWithinTheWindow) {
  tap.mode = TriggerMode::double_;
  tapFor(50);
  desk.clock.advance(0.25);  // second tap 300 ms after the first
  tapFor(50);
  EXPECT_EQ(taps, 1);

  desk.clock.advance(2);
  tapFor(50);
  desk.clock.advance(0.4);  // 450 ms apart: the second starts a new pair
  tapFor(50);
  EXPECT_EQ(taps, 1);
  desk.clock.advance(0.1);
  tapFor(50);
  EXPECT_EQ(taps, 2);
}

TEST_F(TriggerTapTest, DoubleModeThreeQuickTapsFireOnceAndAFourthFiresAgain) {
  tap.mode = TriggerMode::double_;
  for (int i = 0; i < 3; ++i) {
    tapFor(40);
    desk.clock.advance(0.06);
  }
  EXPECT_EQ(taps, 1);
  tapFor(40);
  EXPECT_EQ(taps, 2);
}

TEST_F(TriggerTapTest, DoubleModeKeysBetweenTapsDoNotResetThePair) {
  tap.mode = TriggerMode::double_;
  tapFor(40);
  letter();
  tapFor(40, TriggerKey::shiftLeft);
  tapFor(40);
  EXPECT_EQ(taps, 1);
}

TEST_F(TriggerTapTest, OffModeDetectsAndLogsButNeverFires) {
  Log::Capture log;
  tap.mode = TriggerMode::off;
  tapFor(100);
  tapFor(100);
  EXPECT_EQ(taps, 0);
  EXPECT_TRUE(log.contains("trigger", Log::Level::info, "오른쪽 Alt 탭 성립 (100ms)"));
}

TEST_F(TriggerTapTest, EveryEventRefreshesLastEventAt) {
  desk.clock.advance(3);
  letter();
  EXPECT_EQ(tap.lastEventAt(), desk.clock.now());
  desk.clock.advance(1);
  up(TriggerKey::controlLeft);
  EXPECT_EQ(tap.lastEventAt(), desk.clock.now());
}

TEST_F(TriggerTapTest, SystemDisableReenablesDropsTheHalfTapAndLogs) {
  Log::Capture log;
  down(TriggerKey::altRight);
  desk.clock.advance(7);
  desk.keyboard.inject({KeyEventType::disabledByTimeout, 0, 0, {}});
  EXPECT_EQ(desk.keyboard.reenables, 1);
  EXPECT_EQ(tap.lastEventAt(), desk.clock.now());
  EXPECT_FALSE(tap.armed());
  EXPECT_TRUE(log.contains("trigger", Log::Level::error,
                           "시스템이 탭을 껐습니다 (type 4294967294) — 다시 켭니다"));
  desk.keyboard.inject({KeyEventType::disabledByUserInput, 0, 0, {}});
  EXPECT_TRUE(log.contains("trigger", Log::Level::error,
                           "시스템이 탭을 껐습니다 (type 4294967295) — 다시 켭니다"));
  up(TriggerKey::altRight);
  desk.clock.runPending();
  EXPECT_EQ(taps, 0);
}

TEST_F(TriggerTapTest, SecureInputWatchReportsChangesEveryTwoSeconds) {
  std::vector<bool> changes;
  tap.onSecureInputChange = [&](bool on) { changes.push_back(on); };
  desk.keyboard.secureInput = true;
  desk.clock.advance(1.9);
  EXPECT_TRUE(changes.empty());
  desk.clock.advance(0.1);
  EXPECT_EQ(changes, std::vector<bool>{true});
  EXPECT_TRUE(tap.lastSecureInput());
  const double before = tap.lastEventAt();
  desk.clock.advance(10);
  EXPECT_EQ(changes.size(), 1u);
  EXPECT_EQ(tap.lastEventAt(), before) << "secure input turning on is no event";

  desk.keyboard.secureInput = false;
  desk.clock.advance(2);
  EXPECT_EQ(changes, (std::vector<bool>{true, false}));
  EXPECT_FALSE(tap.lastSecureInput());
  EXPECT_EQ(tap.lastEventAt(), desk.clock.now());
}

TEST_F(TriggerTapTest, StopRemovesListenerAndObserverButKeepsTheWatch) {
  tap.stop();
  EXPECT_FALSE(tap.installed());
  EXPECT_FALSE(desk.keyboard.listening());
  desk.keyboard.secureInput = true;
  bool reported = false;
  tap.onSecureInputChange = [&](bool) { reported = true; };
  desk.clock.advance(2);
  EXPECT_TRUE(reported);
  EXPECT_TRUE(tap.start());
  EXPECT_TRUE(desk.keyboard.listening());
}

TEST_F(TriggerTapTest, PendingTapIsDroppedWhenTheTapIsDestroyed) {
  auto other = std::make_unique<TriggerTap>(desk.clock, desk.keyboard, desk.workspace);
  int otherTaps = 0;
  other->onTap = [&] { ++otherTaps; };
  ASSERT_TRUE(other->start());
  down(TriggerKey::altRight);
  up(TriggerKey::altRight);
  other.reset();
  desk.clock.advance(5);
  EXPECT_EQ(otherTaps, 0);
}

}  // namespace
