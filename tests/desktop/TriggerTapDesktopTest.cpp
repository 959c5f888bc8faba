// Runs inside tests/desktop/session: the real X11 listener on Xvfb, driven by XTest.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "XTestKeys.h"
#include "base/Log.h"
#include "fake/FakeWorkspace.h"
#include "platform/linux/X11KeyboardEvents.h"
#include "trigger/TriggerTap.h"

// Last: Xlib's macros (None, Status, True …) collide with names in the headers above.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

using desktop::pumpFor;
using desktop::pumpUntil;

unsigned long keysymOf(TriggerKey key) {
  switch (key) {
    case TriggerKey::altLeft:
      return XK_Alt_L;
    case TriggerKey::altRight:
      return XK_Alt_R;
    case TriggerKey::controlLeft:
      return XK_Control_L;
    case TriggerKey::controlRight:
      return XK_Control_R;
    case TriggerKey::shiftLeft:
      return XK_Shift_L;
    case TriggerKey::shiftRight:
      return XK_Shift_R;
    case TriggerKey::metaLeft:
      return XK_Super_L;
    case TriggerKey::metaRight:
      return XK_Super_R;
  }
  return 0;
}

class TriggerTapDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run me through tests/desktop/session";
    ASSERT_TRUE(keys.ok());
    tap.onTap = [this] { ++taps; };
    ASSERT_TRUE(tap.start());
  }

  int code(TriggerKey key) const { return keys.keycode(keysymOf(key)); }
  void tapKey(int keycode, double holdSeconds = 0.03) {
    keys.press(keycode);
    pumpFor(holdSeconds);
    keys.release(keycode);
  }
  // Waits for what a tap may fire, and a little longer to catch a second firing.
  int tapsAfterSettling(int expected) {
    pumpUntil([&] { return taps >= expected; }, 1.0);
    pumpFor(0.1);
    return taps;
  }

  Log::Capture log;  // keeps the test output quiet and readable
  GLibClock clock;
  fake::FakeWorkspace workspace;
  linuxport::X11KeyboardEvents keyboard{clock};
  TriggerTap tap{clock, keyboard, workspace};
  desktop::XTestKeys keys;
  int taps = 0;
};

TEST_F(TriggerTapDesktop, RightAltTapFiresOnceInSingleModeAndNeverWhenOff) {
  EXPECT_TRUE(keyboard.inputMonitoringGranted());
  tapKey(code(TriggerKey::altRight));
  EXPECT_EQ(tapsAfterSettling(1), 1);
  EXPECT_TRUE(
      log.contains("trigger", Log::Level::info, "이벤트 탭 생성됨 (mode: single, key: AltRight)"));

  tap.mode = TriggerMode::off;
  tapKey(code(TriggerKey::altRight));
  pumpUntil([&] { return log.records().size() >= 3; }, 1.0);
  EXPECT_EQ(tapsAfterSettling(2), 1);
}

TEST_F(TriggerTapDesktop, HoldsCombinationsAndTheOtherAltDoNotFire) {
  const int altRight = code(TriggerKey::altRight);
  tapKey(altRight, 0.6);

  keys.press(altRight);
  tapKey(code(TriggerKey::shiftLeft));
  keys.release(altRight);

  keys.press(altRight);
  tapKey(keys.keycode(XK_a));
  keys.release(altRight);

  tapKey(code(TriggerKey::altLeft));
  EXPECT_EQ(tapsAfterSettling(1), 0);
}

TEST_F(TriggerTapDesktop, EachOfTheEightKeysWorksAsTrigger) {
  for (TriggerKey key : kAllTriggerKeys) {
    SCOPED_TRACE(std::string(rawValue(key)));
    tap.key = key;
    const int before = taps;
    ASSERT_NE(code(key), 0);
    tapKey(code(key));
    EXPECT_EQ(tapsAfterSettling(before + 1), before + 1);
  }
}

TEST_F(TriggerTapDesktop, SelfTestTapIsRecognised) {
  keyboard.postTriggerTap();
  EXPECT_EQ(tapsAfterSettling(1), 1);
  bool logged = false;
  for (const auto& r : log.records())
    logged |= r.message.starts_with("오른쪽 Alt 탭 성립 (");
  EXPECT_TRUE(logged);
}

TEST_F(TriggerTapDesktop, LostConnectionIsReportedAndTheListenerComesBack) {
  keyboard.cutConnectionForTesting();
  ASSERT_TRUE(pumpUntil([&] {
    return log.contains("trigger", Log::Level::error,
                        "시스템이 탭을 껐습니다 (type 4294967294) — 다시 켭니다");
  }));
  EXPECT_TRUE(keyboard.listening());
  EXPECT_TRUE(tap.installed());
  tapKey(code(TriggerKey::altRight));
  EXPECT_EQ(tapsAfterSettling(1), 1);
}

TEST_F(TriggerTapDesktop, ModifierIdleTimeCountsFromTheLastModifierChange) {
  pumpFor(0.3);
  EXPECT_GE(keyboard.secondsSinceLastModifierEvent(), 0.25);
  const double before = keyboard.secondsSinceLastModifierEvent();
  tapKey(code(TriggerKey::shiftRight));
  EXPECT_LT(keyboard.secondsSinceLastModifierEvent(), before);
  // Ordinary keys are not modifier changes.
  pumpFor(0.3);
  tapKey(keys.keycode(XK_b));
  EXPECT_GE(keyboard.secondsSinceLastModifierEvent(), 0.25);
}

// A window of another client, focused, that records the key events it receives.
class KeyWindow {
 public:
  KeyWindow() : display_(XOpenDisplay(nullptr)) {
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 200, 100, 0, 0, 0);
    XSelectInput(display_, window_, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    XMapWindow(display_, window_);
    XEvent e;
    do {
      XNextEvent(display_, &e);
    } while (e.type != MapNotify);
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    XSync(display_, False);
  }
  ~KeyWindow() { XCloseDisplay(display_); }

  struct Key {
    int type;
    unsigned keycode;
    unsigned state;
    bool operator==(const Key&) const = default;
  };
  std::vector<Key> received() {
    XSync(display_, False);
    std::vector<Key> keys;
    while (XPending(display_)) {
      XEvent e;
      XNextEvent(display_, &e);
      if (e.type == KeyPress || e.type == KeyRelease)
        keys.push_back({e.type, e.xkey.keycode, e.xkey.state});
    }
    return keys;
  }

 private:
  Display* display_;
  Window window_;
};

TEST_F(TriggerTapDesktop, KeysReachTheFocusedWindowUnchanged) {
  KeyWindow window;
  const int a = keys.keycode(XK_a);
  const int alt = code(TriggerKey::altRight);
  tapKey(a);
  tapKey(alt);
  EXPECT_EQ(tapsAfterSettling(1), 1);
  auto got = window.received();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0], (KeyWindow::Key{KeyPress, unsigned(a), 0}));
  EXPECT_EQ(got[1], (KeyWindow::Key{KeyRelease, unsigned(a), 0}));
  EXPECT_EQ(got[2].type, KeyPress);
  EXPECT_EQ(got[2].keycode, unsigned(alt));
  EXPECT_EQ(got[3].type, KeyRelease);
  EXPECT_EQ(got[3].keycode, unsigned(alt));
}

// Posts a shortcut and keeps its result once it has been sent (or has failed).
struct Posted {
  std::optional<bool> sent;
};
Task<void> post(platform::KeyboardEvents& keyboard, platform::Shortcut shortcut,
                std::shared_ptr<Posted> into) {
  into->sent = co_await keyboard.postShortcut(shortcut);
}
std::shared_ptr<Posted> post(platform::KeyboardEvents& keyboard, platform::Shortcut shortcut) {
  auto posted = std::make_shared<Posted>();
  spawn(post(keyboard, shortcut, posted));
  return posted;
}

TEST_F(TriggerTapDesktop, ShortcutsArriveInOrderAndATerminalGetsOnlyItsOwnCopy) {
  bool terminal = false;
  linuxport::X11KeyboardEvents poster{clock, {nullptr, [&] { return terminal; }}};
  KeyWindow window;
  const unsigned ctrl = keys.keycode(XK_Control_L), shift = keys.keycode(XK_Shift_L);
  const unsigned c = keys.keycode(XK_c), a = keys.keycode(XK_a);

  auto copy = post(poster, platform::Shortcut::copy);
  auto selectAll = post(poster, platform::Shortcut::selectAll);
  ASSERT_TRUE(pumpUntil([&] { return selectAll->sent.has_value(); }));
  terminal = true;
  auto paste = post(poster, platform::Shortcut::paste);
  auto plainCopy = post(poster, platform::Shortcut::copy);
  auto terminalCopy = post(poster, platform::Shortcut::copyInTerminal);
  ASSERT_TRUE(pumpUntil([&] { return terminalCopy->sent.has_value(); }));
  EXPECT_EQ(copy->sent, true);
  EXPECT_EQ(selectAll->sent, true);
  EXPECT_EQ(paste->sent, false) << "nothing is pasted into a terminal";
  EXPECT_EQ(plainCopy->sent, false) << "a plain Ctrl+C would interrupt its program";
  EXPECT_EQ(terminalCopy->sent, true);
  using K = KeyWindow::Key;
  std::vector<K> expected = {
      {KeyPress, ctrl, 0},
      {KeyPress, c, ControlMask},
      {KeyRelease, c, ControlMask},
      {KeyRelease, ctrl, ControlMask},
      {KeyPress, ctrl, 0},
      {KeyPress, a, ControlMask},
      {KeyRelease, a, ControlMask},
      {KeyRelease, ctrl, ControlMask},
      {KeyPress, ctrl, 0},
      {KeyPress, shift, ControlMask},
      {KeyPress, c, ControlMask | ShiftMask},
      {KeyRelease, c, ControlMask | ShiftMask},
      {KeyRelease, shift, ControlMask | ShiftMask},
      {KeyRelease, ctrl, ControlMask},
  };
  EXPECT_EQ(window.received(), expected);
  // Shortcuts are no trigger taps, even with Ctrl as the trigger.
  EXPECT_EQ(taps, 0);
}

TEST_F(TriggerTapDesktop, QueuedShortcutsWaitForAHeldModifierAndNoneIsDropped) {
  linuxport::X11KeyboardEvents poster{clock};
  KeyWindow window;
  const int alt = code(TriggerKey::altLeft);
  keys.press(alt);
  auto selectAll = post(poster, platform::Shortcut::selectAll);
  auto paste = post(poster, platform::Shortcut::paste);
  pumpFor(0.05);
  EXPECT_FALSE(selectAll->sent) << "not sent while Alt is down";
  keys.release(alt);
  ASSERT_TRUE(pumpUntil([&] { return paste->sent.has_value(); }));
  EXPECT_EQ(selectAll->sent, true);
  EXPECT_EQ(paste->sent, true);
  auto got = window.received();
  ASSERT_EQ(got.size(), 10u) << "Alt down and up, then both chords";
  EXPECT_EQ(got[1].type, KeyRelease) << "the chords come after the Alt release";
  EXPECT_EQ(got[3].keycode, unsigned(keys.keycode(XK_a)));
  EXPECT_EQ(got[3].state, unsigned(ControlMask)) << "A is pressed with Ctrl alone";
  EXPECT_EQ(got[7].keycode, unsigned(keys.keycode(XK_v)));
}

TEST_F(TriggerTapDesktop, AShortcutFailsWhileAModifierStaysDownOrAPasswordFieldHasFocus) {
  bool password = false;
  linuxport::X11KeyboardEvents poster{clock, {[&] { return password; }, nullptr}};
  KeyWindow window;
  const int alt = code(TriggerKey::altLeft);
  keys.press(alt);
  auto held = post(poster, platform::Shortcut::copy);
  ASSERT_TRUE(pumpUntil([&] { return held->sent.has_value(); }));
  EXPECT_EQ(held->sent, false);
  keys.release(alt);
  password = true;
  EXPECT_TRUE(poster.secureInputEnabled());
  auto intoPassword = post(poster, platform::Shortcut::paste);
  ASSERT_TRUE(pumpUntil([&] { return intoPassword->sent.has_value(); }));
  EXPECT_EQ(intoPassword->sent, false);
  EXPECT_EQ(window.received().size(), 2u) << "only the user's Alt";
}

// The common Korean layout option makes right Alt the 한/영 key: every language switch would
// be a lone tap of the trigger.
TEST_F(TriggerTapDesktop, ARightAltThatSwitchesToHangulNeverFires) {
  const int altRight = code(TriggerKey::altRight);  // the physical key keeps its code
  ASSERT_EQ(std::system("setxkbmap -layout kr -option korean:ralt_hangul"), 0);
  const bool switched =
      pumpUntil([&] { return keyboard.keysymName(TriggerKey::altRight) == "Hangul"; });
  tapKey(altRight);
  const int tapsAsHangul = tapsAfterSettling(1);
  const bool logged =
      log.contains("trigger", Log::Level::error,
                   "오른쪽 Alt 키가 지금 입력기 키(Hangul)라 트리거하지 않습니다 — 다른 트리거 "
                   "키를 고르세요");
  // Back to the plain layout: the same key is a trigger again.
  EXPECT_EQ(std::system("setxkbmap -layout us -option ''"), 0);
  ASSERT_TRUE(switched) << keyboard.keysymName(TriggerKey::altRight);
  EXPECT_EQ(tapsAsHangul, 0);
  EXPECT_TRUE(logged);
  ASSERT_TRUE(pumpUntil([&] { return keyboard.keysymName(TriggerKey::altRight) == "Alt_R"; }));
  tapKey(altRight);
  EXPECT_EQ(tapsAfterSettling(1), 1);
}

}  // namespace
