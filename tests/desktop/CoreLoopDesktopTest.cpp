// The whole loop on a real desktop: a right-Alt tap through XTest, the trigger listener, the
// pipeline, AT-SPI, the clipboard and the stand-in backend, with the GTK fixture as the target.
#include <gtest/gtest.h>

#include "DesktopSession.h"
#include "StandInBackend.h"
#include "TrayWatcher.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "app/AppDelegate.h"
#include "kb/HeadlessEngine.h"
#include "kb/TarnBridge.h"
#include "kb/TarnStore.h"
#include "platform/linux/IndicatorStatusItem.h"
#include "trigger/TriggerTap.h"

namespace {

using desktoptest::FixtureApp;
using desktoptest::pumpUntil;

class CoreLoop : public desktoptest::DesktopSession {
 protected:
  void SetUp() override {
    DesktopSession::SetUp();
    if (HasFatalFailure()) return;
    signInTo(backend.url());
    TarnStore::clear();
    bridge = std::make_unique<TarnBridge>(desk->defaults);
    delegate = std::make_shared<AppDelegate>(desk->platform(), [this] {
      return std::make_unique<HeadlessEngine>(desk->platform(), *bridge);
    });
    tap = std::make_unique<TriggerTap>(desk->clock, desk->keyboard, desk->workspace);
    tap->onTap = [d = std::weak_ptr<AppDelegate>(delegate)] {
      if (auto delegate = d.lock()) delegate->run(std::nullopt, AppDelegate::kTriggerLabel, true);
    };
    ASSERT_TRUE(tap->start());
  }
  void TearDown() override {
    tap.reset();
    delegate.reset();
    DesktopSession::TearDown();
  }

  // Focuses the widget and lets the workspace notice the application in front: a switch of
  // applications in the middle of a tap rightly cancels it.
  void focusInFront(FixtureApp& app, const std::string& widget, const std::string& role) {
    ASSERT_TRUE(focusOn(app, widget, role)) << widget;
    int activated = 0;
    int token = desk->workspace.addActivationObserver([&](const platform::RunningApplication& a) {
      if (a.pid == app.pid()) ++activated;
    });
    pumpUntil([&] { return activated > 0; }, 1000);
    desk->workspace.removeObserver(token);
  }
  // A right-Alt tap through XTest, as the self-test sends it.
  void tapRightAlt() { desk->keyboard.postTriggerTap(); }

  StandInBackend backend;
  std::unique_ptr<TarnBridge> bridge;
  std::shared_ptr<AppDelegate> delegate;
  std::unique_ptr<TriggerTap> tap;
};

// A tap rewrites a draft, and answers an empty composer from the message above it. In a
// terminal, which runs what reaches it, a tap copies the selection with the terminal's own
// chord, never interrupts the program in it, and leaves the answer on the clipboard.
TEST_F(CoreLoop, ATapRewritesAnswersAndNeverWritesIntoATerminal) {
  FixtureApp app({"--windows=editor,mail,terminal", "--entry=내일 회의 자료 좀 봐줘"});
  ASSERT_TRUE(app.ready());
  focusInFront(app, "entry", "AXTextField");
  app.select("entry", 0, 0);
  tapRightAlt();
  ASSERT_TRUE(pumpUntil(
      [&] { return app.text("entry") == "[stand-in rewrite] 내일 회의 자료 좀 봐줘"; }, 10000))
      << app.text("entry");
  ASSERT_TRUE(pumpUntil([&] { return !delegate->inFlight(); }));
  EXPECT_EQ(backend.requests().back().value("path", ""), "/rewrite");

  focusInFront(app, "composer", "AXTextArea");
  tapRightAlt();
  ASSERT_TRUE(pumpUntil(
      [&] { return app.text("composer").rfind("[stand-in reply] 맥락 ", 0) == 0; }, 10000))
      << app.text("composer");
  ASSERT_TRUE(pumpUntil([&] { return !delegate->inFlight(); }));
  const auto generate = backend.requests().back();
  EXPECT_EQ(generate.value("path", ""), "/generate");
  std::string sent = generate.dump();
  EXPECT_NE(sent.find("회의 자료 검토 부탁드립니다"), std::string::npos);
  EXPECT_EQ(sent.find("Original Message"), std::string::npos) << "quoted mail is not sent";

  if (!app.window("terminal")) GTEST_SKIP() << "fixture built without libvte";
  ASSERT_TRUE(pumpUntil(
      [&] { return app.text("terminal").find("터미널 첫 줄입니다") != std::string::npos; }));
  focusInFront(app, "terminal", "AXTerminal");
  app.select("terminal", 0, 0);  // a terminal selects all of its text
  const auto requestsBefore = backend.requests().size();
  tapRightAlt();
  ASSERT_TRUE(pumpUntil([&] { return backend.requests().size() > requestsBefore; }, 10000));
  ASSERT_TRUE(pumpUntil([&] { return !delegate->inFlight(); }, 10000));
  EXPECT_EQ(
      desk->pasteboard.string().value_or("").rfind("[stand-in rewrite] 터미널 첫 줄입니다", 0), 0u);
  // The program still runs: a typed line comes back from it, and nothing else arrived.
  app.type("terminal", "ok\n");
  ASSERT_TRUE(pumpUntil([&] { return app.text("terminal").find("ok\nok") != std::string::npos; }))
      << app.text("terminal");
  EXPECT_EQ(app.text("terminal").find("^C"), std::string::npos);
  EXPECT_EQ(app.text("terminal").find("stand-in"), std::string::npos);
}

// A rewrite is taken back from the tray menu byte for byte; one the user has edited since is
// left alone, and the original goes to the clipboard instead.
TEST_F(CoreLoop, ARewriteIsTakenBackFromTheTrayMenu) {
  const std::string draft = "내일 회의 자료 좀 봐줘 😀  고마워요";
  const std::string rewritten = "[stand-in rewrite] " + draft;
  FixtureApp app({"--windows=editor", "--entry=" + draft});
  ASSERT_TRUE(app.ready());
  linuxport::IndicatorStatusItem item("", "mirelo-tray", "mirelo-tray-dimmed");
  delegate->setupStatusItem(item);
  desktoptest::TrayWatcher tray;
  ASSERT_TRUE(pumpUntil([&] { return tray.registered(); }, 5000));
  for (bool editedSince : {false, true}) {
    SCOPED_TRACE(editedSince);
    focusInFront(app, "entry", "AXTextField");
    app.select("entry", 0, 0);
    tapRightAlt();
    ASSERT_TRUE(pumpUntil([&] { return app.text("entry") == rewritten; }, 10000))
        << app.text("entry");
    ASSERT_TRUE(pumpUntil([&] { return !delegate->inFlight(); }));
    if (editedSince) app.set("entry", rewritten + "!");
    ASSERT_TRUE(pumpUntil([&] { return tray.click("방금 고친 글 되돌리기"); }));
    ASSERT_TRUE(pumpUntil([&] { return !delegate->inFlight() && !delegate->canUndo(); }));
    if (editedSince) {
      EXPECT_EQ(app.text("entry"), rewritten + "!");
      EXPECT_EQ(desk->pasteboard.string(), draft);
    } else {
      EXPECT_EQ(app.text("entry"), draft);
    }
  }
}

}  // namespace
