// The whole loop on a real desktop: a right-Alt tap through XTest, the trigger listener, the
// pipeline, AT-SPI, the clipboard and the stand-in backend, with the GTK fixture as the target.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "DesktopSession.h"
#include "FixtureApp.h"
#include "StandInBackend.h"
#include "XTestKeys.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "app/AppDelegate.h"
#include "field/AX.h"
#include "field/AppMemory.h"
#include "kb/NoKnowledgeBase.h"
#include "platform/linux/LinuxDesktop.h"
#include "trigger/TriggerTap.h"

namespace {

using desktoptest::FixtureApp;
using desktoptest::pumpUntil;

class CoreLoop : public desktoptest::DesktopSession {
 protected:
  void SetUp() override {
    DesktopSession::SetUp();
    if (HasFatalFailure()) return;
    desk->defaults.set(Settings::kBackendURL, backend.url());
    Keychain::set(desk->secrets, "desktop-test-token", Keychain::kSessionToken);
    delegate = std::make_shared<AppDelegate>(desk->platform(),
                                             [] { return std::make_unique<NoKnowledgeBase>(); });
    tap = std::make_unique<TriggerTap>(desk->clock, desk->keyboard, desk->workspace);
    tap->onTap = [d = std::weak_ptr<AppDelegate>(delegate)] {
      if (auto delegate = d.lock()) delegate->run(std::nullopt, AppDelegate::kTriggerLabel, true);
    };
    ASSERT_TRUE(tap->start());
  }
  void TearDown() override {
    tap.reset();
    delegate.reset();
    if (desk) desk->defaults.remove(Settings::kBackendURL);
    DesktopSession::TearDown();
  }

  // Focuses the widget and lets the workspace notice the application in front: a switch of
  // applications in the middle of a tap rightly cancels it.
  void focusInFront(FixtureApp& app, const std::string& widget, const std::string& role) {
    focusOn(app, widget, role);
    int activated = 0;
    int token = desk->workspace.addActivationObserver([&](const platform::RunningApplication& a) {
      if (a.pid == app.pid()) ++activated;
    });
    pumpUntil([&] { return activated > 0; }, 1000);
    desk->workspace.removeObserver(token);
  }
  void tapRightAlt() {
    int code = keys.keycode(XK_Alt_R);
    ASSERT_NE(code, 0);
    keys.press(code);
    desktop::pumpFor(0.08);
    keys.release(code);
  }

  StandInBackend backend;
  desktop::XTestKeys keys;
  std::shared_ptr<AppDelegate> delegate;
  std::unique_ptr<TriggerTap> tap;
};

TEST_F(CoreLoop, ATapRewritesADraftAndAnswersAnEmptyComposerFromTheMessageAbove) {
  FixtureApp app({"--windows=editor,mail", "--focus=entry", "--entry=내일 회의 자료 좀 봐줘"});
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
}

}  // namespace
