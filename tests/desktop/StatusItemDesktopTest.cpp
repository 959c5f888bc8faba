// The tray menu as a desktop's tray sees it: exported over dbusmenu by the real indicator,
// with the program's state on the fake desktop.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>

#include "TrayWatcher.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "app/AppDelegate.h"
#include "fake/FakeDesktop.h"
#include "fake/RecordingKnowledgeBase.h"
#include "platform/linux/IndicatorStatusItem.h"
#include "trigger/TriggerTap.h"

namespace desktoptest {
namespace {

using Lines = std::vector<std::string>;

class StatusItemDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("MIRELO_SESSION_ROOT"), nullptr)
        << "run me through tests/desktop/session";
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    Keychain::set(desk.secrets, "tok", Keychain::kSessionToken);
    item =
        std::make_unique<linuxport::IndicatorStatusItem>("", "mirelo-tray", "mirelo-tray-dimmed");
    item->onHostChange = [this](bool present) { hosts.push_back(present); };
    app->setupStatusItem(*item);
  }
  // Clicks a row, then waits for the rebuilt menu to show line (it reaches the bus on a later
  // turn of the loop).
  Lines clickUntil(const std::string& row, const std::string& line) {
    EXPECT_TRUE(tray->click(row)) << row;
    Lines lines;
    pumpUntil([&] {
      lines = tray->lines();
      return std::count(lines.begin(), lines.end(), line) == 1;
    });
    EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
    return lines;
  }

  fake::FakeDesktop desk;
  std::shared_ptr<AppDelegate> app = std::make_shared<AppDelegate>(
      desk.platform(), fake::RecordingKnowledgeBase::factory(
                           std::make_shared<fake::RecordingKnowledgeBase::Calls>()));
  std::unique_ptr<linuxport::IndicatorStatusItem> item;
  std::unique_ptr<TrayWatcher> tray;
  std::vector<bool> hosts;
};

TEST_F(StatusItemDesktopTest, NoTrayAtFirstThenTheItemRegistersWithOne) {
  ASSERT_TRUE(pumpUntil([&] { return !hosts.empty(); }));
  EXPECT_EQ(hosts, std::vector<bool>{false});
  EXPECT_FALSE(item->hostPresent());
  tray = std::make_unique<TrayWatcher>();
  EXPECT_TRUE(pumpUntil([&] { return tray->registered() && item->hostPresent(); }, 5000));
  EXPECT_EQ(hosts, (std::vector<bool>{false, true}));
}

TEST_F(StatusItemDesktopTest, ExportedMenuAndClicksThroughTheBus) {
  tray = std::make_unique<TrayWatcher>();
  ASSERT_TRUE(pumpUntil([&] { return tray->registered(); }, 5000));
  Lines lines;
  pumpUntil([&] { return (lines = tray->lines()).size() == 16; });
  EXPECT_EQ(lines, (Lines{"Mirelo 열기", "타르노 대시보드", "---",
                          "입력창에서 오른쪽 Alt 를 한 번 누르면 고쳐 씁니다 (off)",
                          "선택한 글 번역", "---", "트리거", "> [x] 한 번 누르기",
                          "> [ ] 두 번 누르기", "> [ ] 끄기", "[x] 브라우저에서도 사용",
                          "최근 기록 보기", "업데이트 확인", "---", "로그아웃", "Mirelo 종료"}));

  clickUntil("두 번 누르기", "> [x] 두 번 누르기");
  EXPECT_EQ(desk.defaults.values[std::string(Settings::kTriggerMode)], "double");
  clickUntil("브라우저에서도 사용", "[ ] 브라우저에서도 사용");
  EXPECT_EQ(desk.defaults.values[std::string(Settings::kHandleBrowsers)], false);
  clickUntil("브라우저에서도 사용", "[x] 브라우저에서도 사용");
  lines = clickUntil("로그아웃", "구글로 로그인");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "로그아웃"), 0);
  EXPECT_FALSE(Keychain::get(desk.secrets, Keychain::kSessionToken));
}

// What stops the trigger shows as the tray sees it, most pressing first, and comes and goes
// with the state.
TEST_F(StatusItemDesktopTest, TheStatusRowFollowsTheStateOnTheBus) {
  TriggerTap tap{desk.clock, desk.keyboard, desk.workspace};
  app->attachTrigger(tap);
  ASSERT_TRUE(tap.start());
  tray = std::make_unique<TrayWatcher>();
  ASSERT_TRUE(pumpUntil([&] { return tray->registered(); }, 5000));
  auto showing = [&](const std::string& line) {
    desk.clock.advance(2.1);  // the trigger's secure-input watch looks
    app->refreshStatusIcon();
    desk.clock.runPending();  // the trust answer
    return pumpUntil([&] {
      Lines lines = tray->lines();
      return std::count(lines.begin(), lines.end(), line) == 1;
    });
  };
  desk.accessibility.trusted = false;
  EXPECT_TRUE(showing("손쉬운 사용 권한이 필요합니다"));
  app->setTapDead(true);
  EXPECT_TRUE(showing("단축키가 적용되지 않았습니다 — 다시 켜기"));
  desk.keyboard.secureInput = true;
  EXPECT_TRUE(showing("보안 입력 중 — 일시 정지됨 (off)"));
  desk.keyboard.secureInput = false;
  app->setTapDead(false);
  desk.accessibility.trusted = true;
  desk.defaults.set(Settings::kTriggerMode, Json("x"));  // a value no mode has reads as single
  EXPECT_TRUE(showing("> [x] 한 번 누르기"));
  EXPECT_TRUE(showing("입력창에서 오른쪽 Alt 를 한 번 누르면 고쳐 씁니다 (off)"));
  EXPECT_EQ(tray->lines().size(), 16u) << "no status row once nothing stops the trigger";
}

}  // namespace
}  // namespace desktoptest
