// Runs inside tests/desktop/session: the real X11 listener on Xvfb, driven by XTest.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "Child.h"
#include "base/Log.h"
#include "fake/FakeWorkspace.h"
#include "platform/linux/X11KeyboardEvents.h"
#include "trigger/TriggerTap.h"

// Last: Xlib's macros (None, Status, True …) collide with names in the headers above.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using desktoptest::pumpFor;
using desktoptest::pumpUntil;
using desktoptest::start;

// Presses and releases keys by exact key code through XTest, each reaching the server before
// the call returns. (xdotool adds stray left-Alt presses and duplicate releases.)
class XTestKeys {
 public:
  XTestKeys() : display_(XOpenDisplay(nullptr)) {}
  ~XTestKeys() {
    if (display_) XCloseDisplay(display_);
  }
  bool ok() const { return display_ != nullptr; }
  int keycode(unsigned long keysym) const {
    return display_ ? XKeysymToKeycode(display_, keysym) : 0;
  }
  void press(int keycode) { send(keycode, True); }
  void release(int keycode) { send(keycode, False); }

 private:
  void send(int keycode, Bool down) {
    XTestFakeKeyEvent(display_, static_cast<unsigned>(keycode), down, CurrentTime);
    XSync(display_, False);
  }
  Display* display_;
};

const std::map<TriggerKey, unsigned long> kKeysyms{
    {TriggerKey::altLeft, XK_Alt_L},         {TriggerKey::altRight, XK_Alt_R},
    {TriggerKey::controlLeft, XK_Control_L}, {TriggerKey::controlRight, XK_Control_R},
    {TriggerKey::shiftLeft, XK_Shift_L},     {TriggerKey::shiftRight, XK_Shift_R},
    {TriggerKey::metaLeft, XK_Super_L},      {TriggerKey::metaRight, XK_Super_R}};

class TriggerTapDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run me through tests/desktop/session";
    ASSERT_TRUE(keys.ok());
    tap.onTap = [this] { ++taps; };
    ASSERT_TRUE(tap.start());
  }

  int code(TriggerKey key) const { return keys.keycode(kKeysyms.at(key)); }
  void tapKey(int keycode, int holdMs = 30) {
    keys.press(keycode);
    pumpFor(holdMs);
    keys.release(keycode);
  }
  // Waits for what a tap may fire, and a little longer to catch a second firing.
  int tapsAfterSettling(int expected) {
    pumpUntil([&] { return taps >= expected; }, 1000);
    pumpFor(100);
    return taps;
  }

  Log::Capture log;  // keeps the test output quiet and readable
  GLibClock clock;
  fake::FakeWorkspace workspace;
  linuxport::X11KeyboardEvents keyboard{clock};
  TriggerTap tap{clock, keyboard, workspace};
  XTestKeys keys;
  int taps = 0;
};

TEST_F(TriggerTapDesktop, HoldsCombinationsAndTheOtherAltDoNotFire) {
  const int altRight = code(TriggerKey::altRight);
  tapKey(altRight, 600);

  keys.press(altRight);
  tapKey(code(TriggerKey::shiftLeft));
  keys.release(altRight);

  keys.press(altRight);
  tapKey(keys.keycode(XK_a));
  keys.release(altRight);

  tapKey(code(TriggerKey::altLeft));
  EXPECT_EQ(tapsAfterSettling(1), 0);
}

TEST_F(TriggerTapDesktop, EachOfTheEightKeysFiresOnceAndNoneWhenOff) {
  EXPECT_TRUE(keyboard.inputMonitoringGranted());
  EXPECT_TRUE(
      log.contains("trigger", Log::Level::info, "이벤트 탭 생성됨 (mode: single, key: AltRight)"));
  for (TriggerKey key : kAllTriggerKeys) {
    SCOPED_TRACE(std::string(rawValue(key)));
    tap.key = key;
    const int before = taps;
    ASSERT_NE(code(key), 0);
    tapKey(code(key));
    EXPECT_EQ(tapsAfterSettling(before + 1), before + 1);
  }
  tap.mode = TriggerMode::off;
  const int fired = taps;
  tapKey(code(tap.key));
  EXPECT_EQ(tapsAfterSettling(fired + 1), fired);
}

TEST_F(TriggerTapDesktop, LostConnectionIsReportedAndTheListenerComesBackForTapsAndSelfTests) {
  keyboard.cutConnectionForTesting();
  ASSERT_TRUE(pumpUntil([&] {
    return log.contains("trigger", Log::Level::error,
                        "시스템이 탭을 껐습니다 (type 4294967294) — 다시 켭니다");
  }));
  EXPECT_TRUE(keyboard.listening());
  EXPECT_TRUE(tap.installed());
  tapKey(code(TriggerKey::altRight));
  EXPECT_EQ(tapsAfterSettling(1), 1);
  keyboard.postTriggerTap();  // the self-test's tap
  EXPECT_EQ(tapsAfterSettling(2), 2);
}

TEST_F(TriggerTapDesktop, ModifierIdleTimeCountsFromTheLastModifierChange) {
  pumpFor(300);
  EXPECT_GE(keyboard.secondsSinceLastModifierEvent(), 0.25);
  const double before = keyboard.secondsSinceLastModifierEvent();
  tapKey(code(TriggerKey::shiftRight));
  EXPECT_LT(keyboard.secondsSinceLastModifierEvent(), before);
  // Ordinary keys are not modifier changes.
  pumpFor(300);
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

  // The key events it received: "+" (press) or "-" (release) and the key's name, with "/" and
  // C, S, A for Ctrl, Shift and Alt held at the time.
  std::string received() {
    XSync(display_, False);
    std::string keys;
    while (XPending(display_)) {
      XEvent e;
      XNextEvent(display_, &e);
      if (e.type != KeyPress && e.type != KeyRelease) continue;
      keys += (keys.empty() ? "" : " ") + std::string(e.type == KeyPress ? "+" : "-") +
              XKeysymToString(XkbKeycodeToKeysym(display_, e.xkey.keycode, 0, 0));
      if (e.xkey.state) keys += "/";
      for (auto [mask, name] : {std::pair{ControlMask, 'C'}, {ShiftMask, 'S'}, {Mod1Mask, 'A'}})
        if (e.xkey.state & mask) keys += name;
    }
    return keys;
  }

 private:
  Display* display_;
  Window window_;
};

TEST_F(TriggerTapDesktop, KeysReachTheFocusedWindowUnchanged) {
  KeyWindow window;
  tapKey(keys.keycode(XK_a));
  tapKey(code(TriggerKey::altRight));
  EXPECT_EQ(tapsAfterSettling(1), 1);
  EXPECT_EQ(window.received(), "+a -a +Alt_R -Alt_R/A");
}

TEST_F(TriggerTapDesktop, ShortcutsArriveInOrderAndATerminalGetsOnlyItsOwnCopy) {
  bool terminal = false;
  linuxport::X11KeyboardEvents poster{clock, {nullptr, [&] { return terminal; }}};
  KeyWindow window;
  auto copy = start(poster.postShortcut(platform::Shortcut::copy));
  auto selectAll = start(poster.postShortcut(platform::Shortcut::selectAll));
  ASSERT_TRUE(pumpUntil([&] { return selectAll->has_value(); }));
  terminal = true;
  auto paste = start(poster.postShortcut(platform::Shortcut::paste));
  auto plainCopy = start(poster.postShortcut(platform::Shortcut::copy));
  auto terminalCopy = start(poster.postShortcut(platform::Shortcut::copyInTerminal));
  ASSERT_TRUE(pumpUntil([&] { return terminalCopy->has_value(); }));
  EXPECT_EQ(*copy, true);
  EXPECT_EQ(*selectAll, true);
  EXPECT_EQ(*paste, false) << "nothing is pasted into a terminal";
  EXPECT_EQ(*plainCopy, false) << "a plain Ctrl+C would interrupt its program";
  EXPECT_EQ(*terminalCopy, true);
  EXPECT_EQ(window.received(),
            "+Control_L +c/C -c/C -Control_L/C +Control_L +a/C -a/C -Control_L/C "
            "+Control_L +Shift_L/C +c/CS -c/CS -Shift_L/CS -Control_L/C");
  // Shortcuts are no trigger taps, even with Ctrl as the trigger.
  EXPECT_EQ(taps, 0);
}

// A shortcut waits while the user holds a modifier, none queued is dropped, and it fails when
// the modifier stays down or a password field has the focus.
TEST_F(TriggerTapDesktop, ShortcutsWaitForAHeldModifierAndNeverGoIntoAPasswordField) {
  bool password = false;
  linuxport::X11KeyboardEvents poster{clock, {[&] { return password; }, nullptr}};
  KeyWindow window;
  const int alt = code(TriggerKey::altLeft);
  keys.press(alt);
  auto selectAll = start(poster.postShortcut(platform::Shortcut::selectAll));
  auto paste = start(poster.postShortcut(platform::Shortcut::paste));
  pumpFor(50);
  EXPECT_FALSE(*selectAll) << "not sent while Alt is down";
  keys.release(alt);
  ASSERT_TRUE(pumpUntil([&] { return paste->has_value(); }));
  EXPECT_EQ(*selectAll, true);
  EXPECT_EQ(*paste, true);

  keys.press(alt);
  auto held = start(poster.postShortcut(platform::Shortcut::copy));
  ASSERT_TRUE(pumpUntil([&] { return held->has_value(); }));
  EXPECT_EQ(*held, false);
  keys.release(alt);
  password = true;
  EXPECT_TRUE(poster.secureInputEnabled());
  auto intoPassword = start(poster.postShortcut(platform::Shortcut::paste));
  ASSERT_TRUE(pumpUntil([&] { return intoPassword->has_value(); }));
  EXPECT_EQ(*intoPassword, false);
  // The chords come after the Alt release, A and V pressed with Ctrl alone; then only the
  // user's Alt.
  EXPECT_EQ(window.received(),
            "+Alt_L -Alt_L/A +Control_L +a/C -a/C -Control_L/C +Control_L +v/C -v/C -Control_L/C "
            "+Alt_L -Alt_L/A");
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
