#pragma once

// What the desktop tests share: running a task on the real main loop, and a fixture that
// builds the real desktop services inside tests/desktop/session.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <memory>

#include "FixtureApp.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "field/AX.h"
#include "field/AppMemory.h"
#include "field/Focus.h"
#include "field/PageContext.h"
#include "platform/linux/LinuxDesktop.h"

namespace desktoptest {

// The real desktop services of a private session, made fresh for each test.
class DesktopSession : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("MIRELO_SESSION_ROOT"), nullptr)
        << "run me through tests/desktop/session";
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    AX::resetForTesting();
    AppMemory::resetForTesting();
    desk = std::make_unique<linuxport::LinuxDesktop>();
  }
  void TearDown() override {
    if (desk && signedIn_) {
      desk->defaults.remove(Settings::kBackendURL);
      Keychain::remove(desk->secrets, Keychain::kSessionToken);
    }
    desk.reset();
  }

  // Signed in against a backend until the test ends.
  void signInTo(const std::string& backendURL) {
    desk->defaults.set(Settings::kBackendURL, backendURL);
    Keychain::set(desk->secrets, "desktop-test-token", Keychain::kSessionToken);
    signedIn_ = true;
  }

  // Focuses the fixture's widget and returns the focused element once the accessibility focus
  // has followed (null when it has not).
  platform::ElementRef focusOn(FixtureApp& app, const std::string& widget,
                               const std::string& role) {
    app.focus(widget);
    platform::ElementRef f;
    pumpUntil(
        [&] {
          f = desk->accessibility.focusedElement();
          return f && string(f, "AXRole") == role;
        },
        10000);
    return f && string(f, "AXRole") == role ? f : nullptr;
  }
  std::optional<std::string> string(const platform::ElementRef& e, std::string_view name) {
    return AX::string(desk->accessibility, e, name);
  }

  // The focused field as a trigger reads it, or the reason it cannot be read.
  FocusedField read() { return runOnLoop(Focus::read(desk->platform())); }
  Focus::ReadFailure failure() {
    try {
      read();
    } catch (const Focus::ReadFailure& f) {
      return f;
    }
    ADD_FAILURE() << "the read succeeded";
    return Focus::ReadFailure::noFocusedField();
  }

  // The page context of the test mail (in the GTK fixture and as a web page): the message,
  // its sender as the person answered, and none of the quoted older mail.
  static void expectTestMail(const std::optional<PageContext::Reading>& reading) {
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->recipient, "김민수");
    EXPECT_EQ(reading->text.rfind("김민수 <minsu@example.com>\n회의 자료 검토 부탁드립니다\n", 0),
              0u)
        << reading->text;
    EXPECT_NE(reading->text.find("금요일까지 한 번 확인해 주실 수 있을까요?"), std::string::npos);
    EXPECT_EQ(reading->text.find("Original Message"), std::string::npos) << "quoted mail is cut";
    EXPECT_EQ(reading->text.find("회의 일정은 다음 주 화요일"), std::string::npos);
  }

  std::unique_ptr<linuxport::LinuxDesktop> desk;

 private:
  bool signedIn_ = false;
};

}  // namespace desktoptest
