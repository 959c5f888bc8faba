#include <gtest/gtest.h>

#include "account/Keychain.h"
#include "account/Settings.h"
#include "app/AppDelegate.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeStatusItem.h"
#include "feedback/Diagnostics.h"
#include "trigger/TriggerTap.h"

namespace {

using Lines = std::vector<std::string>;

// Counts what the menu asks of the knowledge base.
class CountingKnowledgeBase : public KnowledgeBase {
 public:
  struct Counts {
    int loads = 0, teardowns = 0;
  };
  explicit CountingKnowledgeBase(Counts& counts) : counts_(counts) {}
  Task<std::optional<Json>> retrieve(std::string, std::optional<std::string>) override {
    co_return std::nullopt;
  }
  void ingest(std::string, std::string, std::string, std::string) override {}
  void ensureLoaded() override { ++counts_.loads; }
  void teardown() override { ++counts_.teardowns; }
  void flushQueue() override {}

 private:
  Counts& counts_;
};

const Lines kTail = {"입력창에서 오른쪽 Alt 를 한 번 누르면 고쳐 씁니다 (off)",
                     "선택한 글 번역",
                     "---",
                     "트리거",
                     "> [x] 한 번 누르기",
                     "> [ ] 두 번 누르기",
                     "> [ ] 끄기",
                     "[x] 브라우저에서도 사용",
                     "최근 기록 보기",
                     "업데이트 확인",
                     "---"};

Lines join(Lines head, const Lines& middle, const Lines& end) {
  head.insert(head.end(), middle.begin(), middle.end());
  head.insert(head.end(), end.begin(), end.end());
  return head;
}

// The status item's menu and look on the fake desktop, driven through its rows.
class StatusMenuTest : public testing::Test {
 protected:
  void SetUp() override {
    Diagnostics::resetForTesting();
    Keychain::set(desk.secrets, "tok", Keychain::kSessionToken);
    app->attachTrigger(tap);
    app->setupStatusItem(item);
    ASSERT_TRUE(tap.start());
  }
  void signOut() { Keychain::remove(desk.secrets, Keychain::kSessionToken); }
  void refresh() { app->refreshStatusIcon(); }
  // The status block between the first group and the hint line.
  Lines statusBlock() const {
    Lines all = item.lines(), out;
    size_t start = 0;
    for (size_t i = 0; i < all.size(); ++i)
      if (all[i] == "---") {
        start = i + 1;
        break;
      }
    for (size_t i = start; i < all.size() && all[i] != kTail[0]; ++i)
      out.push_back(all[i]);
    return out;
  }
  void triggerKey(bool down) {
    auto k = TriggerKey::altRight;
    desk.keyboard.inject({platform::KeyEventType::flagsChanged,
                          keyCode(k),
                          down ? sideFlag(k) | modifierFlag(k) : 0,
                          {}});
  }

  fake::FakeDesktop desk;
  fake::FakeStatusItem item;
  CountingKnowledgeBase::Counts kb;
  TriggerTap tap{desk.clock, desk.keyboard, desk.workspace};
  std::shared_ptr<AppDelegate> app = std::make_shared<AppDelegate>(
      desk.platform(), [this] { return std::make_unique<CountingKnowledgeBase>(kb); });
};

TEST_F(StatusMenuTest, ReadyAndSignedOutMenus) {
  EXPECT_EQ(item.lines(),
            join({"Mirelo 열기", "타르노 대시보드", "---"}, kTail, {"로그아웃", "Mirelo 종료"}));
  EXPECT_FALSE(item.dimmed);
  EXPECT_EQ(item.title, "Mirelo — 오른쪽 Alt 로 고쳐 쓰기");

  signOut();
  refresh();
  EXPECT_EQ(item.lines(),
            join({"Mirelo 열기", "---", "구글로 로그인", "---"}, kTail, {"Mirelo 종료"}));
  EXPECT_TRUE(item.dimmed);
  EXPECT_EQ(item.title, "Mirelo — 설정이 필요합니다");
}

TEST_F(StatusMenuTest, StatusBlockPrecedence) {
  desk.accessibility.trusted = false;
  refresh();
  EXPECT_EQ(statusBlock(), (Lines{"손쉬운 사용 권한이 필요합니다", "---"}));
  EXPECT_TRUE(item.dimmed);
  desk.keyboard.inputMonitoring = false;
  refresh();
  EXPECT_EQ(statusBlock(), (Lines{"입력 모니터링·손쉬운 사용 권한이 필요합니다", "---"}));
  desk.accessibility.trusted = true;
  refresh();
  EXPECT_EQ(statusBlock(), (Lines{"입력 모니터링 권한이 필요합니다", "---"}));

  app->setTapDead(true);
  refresh();
  EXPECT_EQ(statusBlock(), (Lines{"단축키가 적용되지 않았습니다 — 다시 켜기", "---"}));
  int relaunches = 0;
  app->onRelaunch = [&] { ++relaunches; };
  EXPECT_TRUE(item.click("단축키가 적용되지 않았습니다 — 다시 켜기"));
  EXPECT_EQ(relaunches, 1);

  desk.keyboard.secureInput = true;
  desk.clock.advance(2.1);  // the trigger's secure-input watch sees it
  refresh();
  EXPECT_EQ(statusBlock(), (Lines{"보안 입력 중 — 일시 정지됨 (off)", "---"}));
  EXPECT_TRUE(item.dimmed);
}

TEST_F(StatusMenuTest, ModeChoiceIsStoredHandedToTheTriggerAndDisarmsIt) {
  int taps = 0;
  tap.onTap = [&] { ++taps; };
  triggerKey(true);
  ASSERT_TRUE(tap.armed());
  EXPECT_TRUE(item.click("두 번 누르기"));
  EXPECT_EQ(desk.defaults.values[std::string(Settings::kTriggerMode)], "double");
  EXPECT_EQ(tap.mode, TriggerMode::double_);
  EXPECT_FALSE(tap.armed());
  triggerKey(false);
  desk.clock.runPending();
  EXPECT_EQ(taps, 0);
  Lines lines = item.lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "> [x] 두 번 누르기"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "> [ ] 한 번 누르기"), lines.end());

  desk.defaults.set(Settings::kTriggerMode, Json("sometimes"));
  refresh();
  lines = item.lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "> [x] 한 번 누르기"), lines.end());
  desk.defaults.remove(Settings::kTriggerMode);
  EXPECT_TRUE(item.click("끄기"));
  EXPECT_EQ(tap.mode, TriggerMode::off);
}

TEST_F(StatusMenuTest, SignOutForgetsTheSessionAndRebuildsAtOnce) {
  desk.defaults.set(Settings::kAccountEmail, Json("a@example.com"));
  EXPECT_TRUE(item.click("로그아웃"));
  EXPECT_FALSE(Keychain::get(desk.secrets, Keychain::kSessionToken));
  EXPECT_FALSE(desk.defaults.object(Settings::kAccountEmail));
  EXPECT_EQ(kb.teardowns, 1);
  Lines lines = item.lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "로그아웃"), 0);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "타르노 대시보드"), 0);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "구글로 로그인"), 1);
  EXPECT_TRUE(desk.notifier.posted.empty());
}

TEST_F(StatusMenuTest, FailedSignInIsToldAndKeepsTheSignInRow) {
  signOut();
  refresh();
  EXPECT_TRUE(item.click("구글로 로그인"));  // no client id configured
  desk.clock.runPending();
  ASSERT_EQ(desk.notifier.posted.size(), 1u);
  EXPECT_EQ(desk.notifier.posted[0].title, "로그인하지 못했습니다");
  EXPECT_FALSE(desk.notifier.posted[0].body.empty());
  EXPECT_EQ(kb.loads, 0);
  Lines lines = item.lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "구글로 로그인"), 1);
}

TEST_F(StatusMenuTest, DiagnosticsUpdatesAndQuit) {
  Diagnostics::add({0, "Notes", "AX 값", "붙여넣기", "ok"});
  EXPECT_TRUE(item.click("최근 기록 보기"));
  ASSERT_EQ(desk.ui.alerts.size(), 1u);
  EXPECT_EQ(desk.ui.alerts[0].message, "최근 기록");
  EXPECT_EQ(desk.ui.alerts[0].informative, Diagnostics::summary());
  EXPECT_EQ(desk.ui.alerts[0].buttons, (Lines{"닫기"}));
  EXPECT_EQ(desk.ui.activations, 1);
  EXPECT_TRUE(item.click("업데이트 확인"));
  EXPECT_EQ(desk.updater.checks, 1);
  int quits = 0;
  app->onQuit = [&] { ++quits; };
  EXPECT_TRUE(item.click("Mirelo 종료"));
  EXPECT_EQ(quits, 1);
}

}  // namespace
