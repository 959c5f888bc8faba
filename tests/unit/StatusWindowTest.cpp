#include "feedback/StatusWindow.h"

#include <gtest/gtest.h>

#include "account/Keychain.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeFormWindow.h"
#include "feedback/Palette.h"

namespace {

using platform::Rect;

// The status window's layout and updates on the fake desktop.
class StatusWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    Keychain::set(desk.secrets, "tok", Keychain::kSessionToken);
    desk.defaults.infoValues["MireloBackendURL"] = "http://backend.test";
    usage({{"spentKrw", 4250}, {"capKrw", 10000}, {"plan", "free"}});
  }
  void usage(const Json& body, int status = 200) {
    desk.http.handler = [body, status](const platform::HttpRequest&) {
      return platform::HttpResponse{status, {}, body.dump()};
    };
  }
  void open() {
    window->show();
    desk.clock.runPending();
  }
  fake::FakeFormWindow& shown() { return *made; }
  Rect frameOf(const std::string& key) {
    auto* e = made->find(key);
    EXPECT_TRUE(e) << key;
    return e ? e->frame : Rect{};
  }

  fake::FakeDesktop desk;
  fake::FakeFormWindow* made = nullptr;
  std::shared_ptr<StatusWindow> window = std::make_shared<StatusWindow>(desk.platform(), [this] {
    auto w = std::make_unique<fake::FakeFormWindow>();
    made = w.get();
    return w;
  });
};

TEST_F(StatusWindowTest, GrantWhileOpenRebuildsWithinASecondAndClosingStopsTheChecks) {
  desk.accessibility.trusted = false;
  open();
  EXPECT_EQ(shown().height, 265 + 18 + 40 + 34);
  window->setMessage("안내", true);
  EXPECT_EQ(shown().find("message")->color, Palette::bad);
  desk.accessibility.trusted = true;
  desk.clock.advance(1.0);
  EXPECT_EQ(shown().height, 265);
  EXPECT_EQ(shown().find("message")->text, "") << "a rebuild drops the message";
  EXPECT_EQ(shown().find("usageValue")->text, "—") << "usage is not refreshed by the timer";
  int contents = shown().contents;
  desk.keyboard.inputMonitoring = false;  // needs a relaunch too
  shown().close();
  desk.clock.advance(3.0);
  EXPECT_EQ(shown().contents, contents);
  open();
  EXPECT_TRUE(shown().find("다시 켜기"));
}

TEST_F(StatusWindowTest, TrustIsAskedOneAtATimeAndALateAnswerFindsNoWindow) {
  desk.accessibility.trustDelay = 2.5;  // a bus slower than the refresh
  desk.accessibility.trusted = false;
  open();
  EXPECT_EQ(shown().height, 265) << "shown at once, as trusted until the answer";
  desk.clock.advance(2.0);
  EXPECT_EQ(desk.accessibility.trustChecks, 1);
  desk.clock.advance(0.5);
  EXPECT_EQ(shown().height, 265 + 18 + 40 + 34);
  desk.clock.advance(0.5);
  EXPECT_EQ(desk.accessibility.trustChecks, 2);
  window.reset();
  desk.clock.advance(3.0);
}

TEST_F(StatusWindowTest, SessionIsReadWhenShownAndOnRefreshNotByTheTimer) {
  open();
  Keychain::remove(desk.secrets, Keychain::kSessionToken);
  desk.clock.advance(2.0);
  EXPECT_EQ(shown().find("primary")->text, "Mirelo 열기");
  window->refreshMarks();  // what a sign-out or a 401 calls
  EXPECT_EQ(shown().find("primary")->text, "구글로 로그인");
  EXPECT_FALSE(shown().find("usageValue"));
}

TEST_F(StatusWindowTest, UsageFigures) {
  struct Case {
    Json body;
    int status;
    std::string text;
    double fill;
  } cases[] = {
      {{{"spentKrw", 12500}, {"capKrw", 10000}}, 200, "100.0%", 312},
      {{{"capKrw", 10000}}, 200, "0.0%", 0},
      {{{"spentKrw", 12500}, {"capKrw", 10000}, {"plan", "byok"}}, 200, "한도 없음", 0},
      {{{"spentKrw", 12500}, {"capKrw", 0}}, 200, "—", 0},
      {{{"error", "boom"}}, 500, "—", 0},
  };
  open();
  for (const auto& c : cases) {
    usage(c.body, c.status);
    window->loadUsage();
    desk.clock.runPending();
    EXPECT_EQ(shown().find("usageValue")->text, c.text) << c.body.dump();
    EXPECT_DOUBLE_EQ(frameOf("meterFill").width, c.fill) << c.body.dump();
  }
}

TEST_F(StatusWindowTest, PrimaryActionIsChosenAtTheClick) {
  int signIns = 0, dashboards = 0;
  window->onSignIn = [&] { ++signIns; };
  window->onOpenDashboard = [&] { ++dashboards; };
  open();
  shown().find("primary")->action();
  Keychain::remove(desk.secrets, Keychain::kSessionToken);  // a 401 ended the session
  shown().find("primary")->action();
  EXPECT_EQ(dashboards, 1);
  EXPECT_EQ(signIns, 1);
  shown().find("최근 기록")->action();  // no callback: inert
  window->loadUsage();
  EXPECT_EQ(desk.http.requests.size(), 1u) << "no usage asked for while signed out";
}

TEST_F(StatusWindowTest, AnUndoLinkStandsBesideTheLogWhileAWriteCanBeTakenBack) {
  bool canUndo = false;
  int undos = 0;
  window->canUndo = [&] { return canUndo; };
  window->onUndo = [&] { ++undos; };
  open();
  EXPECT_FALSE(shown().find("방금 고친 글 되돌리기"));
  canUndo = true;
  window->refreshMarks();
  EXPECT_EQ(shown().height, 265 + StatusWindow::kUndoLineHeight);
  Rect log = frameOf("최근 기록"), undo = frameOf("방금 고친 글 되돌리기");
  EXPECT_EQ(undo.y, log.y);
  EXPECT_GT(undo.x, log.x + log.width);
  EXPECT_GT(frameOf("message").y, log.y + log.height) << "the message moves below";
  shown().find("방금 고친 글 되돌리기")->action();
  EXPECT_EQ(undos, 1);
  canUndo = false;
  window->refreshMarks();
  EXPECT_EQ(shown().height, 265);
}

}  // namespace
