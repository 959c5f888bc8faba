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
    window.show();
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
  StatusWindow window{desk.platform(), [this] {
                        auto w = std::make_unique<fake::FakeFormWindow>();
                        made = w.get();
                        return w;
                      }};
};

TEST_F(StatusWindowTest, SignedInAndReadyIs265High) {
  open();
  EXPECT_EQ(shown().height, 265);
  EXPECT_EQ(frameOf("primary"), (Rect{24, 76, 312, 40}));
  EXPECT_EQ(shown().find("primary")->text, "Mirelo 열기");
  EXPECT_TRUE(shown().find("emailLabel")->hidden);
  EXPECT_FALSE(shown().find("logoutButton")->hidden);
  EXPECT_EQ(frameOf("usageValue"), (Rect{216, 138, 120, 15}));
  EXPECT_EQ(shown().find("usageValue")->text, "42.5%");
  EXPECT_DOUBLE_EQ(frameOf("meterFill").width, 312 * 0.425);
  EXPECT_EQ(frameOf("최근 기록"), (Rect{24, 237, 88, 20}));
  EXPECT_EQ(frameOf("message"), (Rect{116, 231, 220, 32}));
  EXPECT_FALSE(shown().find("입력 모니터링"));
  EXPECT_TRUE(shown().find("아무 입력창에 커서를 두고 오른쪽 Alt 를 한 번 누르세요."));
}

TEST_F(StatusWindowTest, SignedOutWithBothPermissionsMissingIs410High) {
  Keychain::remove(desk.secrets, Keychain::kSessionToken);
  desk.accessibility.trusted = false;
  desk.keyboard.inputMonitoring = false;
  open();
  EXPECT_EQ(shown().height, 410);
  EXPECT_EQ(shown().find("primary")->text, "구글로 로그인");
  EXPECT_EQ(frameOf("primary"), (Rect{24, 100, 312, 40}));
  EXPECT_EQ(shown().find("emailLabel")->text, "아직 로그인 전입니다");
  EXPECT_TRUE(shown().find("logoutButton")->hidden);
  EXPECT_FALSE(shown().find("usageValue"));
  EXPECT_EQ(frameOf("입력 모니터링"), (Rect{24, 180, 200, 17}));
  EXPECT_EQ(frameOf("손쉬운 사용"), (Rect{24, 220, 200, 17}));
  EXPECT_EQ(frameOf("다시 켜기"), (Rect{260, 294, 76, 25}));
  EXPECT_TRUE(shown().find(
      "키 입력은 저장하지 않습니다. 오른쪽 Alt 를 누른 그때, 그 입력창의 글만 읽어요."));
  EXPECT_TRUE(desk.http.requests.empty()) << "no usage while signed out";
}

TEST_F(StatusWindowTest, GrantWhileOpenRebuildsWithinASecondAndClosingStopsTheChecks) {
  desk.accessibility.trusted = false;
  open();
  EXPECT_EQ(shown().height, 265 + 18 + 40 + 34);
  window.setMessage("안내", true);
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
    window.loadUsage();
    desk.clock.runPending();
    EXPECT_EQ(shown().find("usageValue")->text, c.text) << c.body.dump();
    EXPECT_DOUBLE_EQ(frameOf("meterFill").width, c.fill) << c.body.dump();
  }
}

TEST_F(StatusWindowTest, PrimaryActionIsChosenAtTheClick) {
  int signIns = 0, dashboards = 0;
  window.onSignIn = [&] { ++signIns; };
  window.onOpenDashboard = [&] { ++dashboards; };
  open();
  shown().find("primary")->action();
  Keychain::remove(desk.secrets, Keychain::kSessionToken);  // a 401 ended the session
  shown().find("primary")->action();
  EXPECT_EQ(dashboards, 1);
  EXPECT_EQ(signIns, 1);
  shown().find("최근 기록")->action();  // no callback: inert
}

}  // namespace
