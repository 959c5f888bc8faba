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
struct CountingKnowledgeBase : KnowledgeBase {
  explicit CountingKnowledgeBase(int* counts) : counts(counts) {}
  Task<std::optional<Json>> retrieve(std::string, std::optional<std::string>) override {
    co_return std::nullopt;
  }
  void ingest(std::string, std::string, std::string, std::string) override {}
  void ensureLoaded() override { ++counts[0]; }
  void teardown() override { ++counts[1]; }
  void flushQueue() override {}
  int* counts;
};

// The whole menu: the status block between the first groups and the hint line, the trigger
// mode checked (0 single, 1 double, 2 off), the browsers row checked or not.
Lines menu(bool signedIn, Lines block, int mode = 0, bool browsers = true,
           const std::string& key = "오른쪽 Alt") {
  Lines out{"Mirelo 열기"};
  if (signedIn) out.push_back("타르노 대시보드");
  out.push_back("---");
  if (!signedIn) out.insert(out.end(), {"구글로 로그인", "---"});
  out.insert(out.end(), block.begin(), block.end());
  auto mark = [&](int m) { return std::string(mode == m ? "> [x] " : "> [ ] "); };
  out.insert(out.end(),
             {"입력창에서 " + key + " 를 한 번 누르면 고쳐 씁니다 (off)", "선택한 글 번역", "---",
              "트리거", mark(0) + "한 번 누르기", mark(1) + "두 번 누르기", mark(2) + "끄기",
              (browsers ? "[x] " : "[ ] ") + std::string("브라우저에서도 사용"), "최근 기록 보기",
              "업데이트 확인", "---"});
  if (signedIn) out.push_back("로그아웃");
  out.push_back("Mirelo 종료");
  return out;
}

// The status item's menu and look on the fake desktop, driven through its rows.
struct Scene {
  Scene() {
    Diagnostics::resetForTesting();
    Keychain::set(desk.secrets, "tok", Keychain::kSessionToken);
    app->attachTrigger(tap);
    app->setupStatusItem(item);
    EXPECT_TRUE(tap.start());
  }

  fake::FakeDesktop desk;
  fake::FakeStatusItem item;
  int kb[2] = {0, 0};  // loads, teardowns
  TriggerTap tap{desk.clock, desk.keyboard, desk.workspace};
  std::shared_ptr<AppDelegate> app = std::make_shared<AppDelegate>(
      desk.platform(), [this] { return std::make_unique<CountingKnowledgeBase>(kb); });
};
struct StatusMenuTest : testing::Test, Scene {};

// Each state on a fresh desktop, and the status block, the mode and the look it gives.
TEST(StatusMenuStates, MenuTitleAndIconFollowTheState) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"doublemode ctrl nobrowsers", ""},
      {"junkmode", ""},
      {"out", ""},
      {"noax", "손쉬운 사용 권한이 필요합니다"},
      {"noinput", "입력 모니터링 권한이 필요합니다"},
      {"noax noinput", "입력 모니터링·손쉬운 사용 권한이 필요합니다"},
      {"dead", "단축키가 적용되지 않았습니다 — 다시 켜기"},
      {"noinput dead", "단축키가 적용되지 않았습니다 — 다시 켜기"},
      {"dead secure", "보안 입력 중 — 일시 정지됨 (off)"},
  };
  for (const auto& [flags, block] : cases) {
    SCOPED_TRACE(flags);
    auto has = [&](const char* flag) { return flags.find(flag) != std::string::npos; };
    Scene s;
    if (has("out")) Keychain::remove(s.desk.secrets, Keychain::kSessionToken);
    s.desk.accessibility.trusted = !has("noax");
    s.desk.keyboard.inputMonitoring = !has("noinput");
    s.app->setTapDead(has("dead"));
    s.desk.keyboard.secureInput = has("secure");
    s.desk.clock.advance(2.1);  // the trigger's secure-input watch looks
    if (has("mode"))
      s.desk.defaults.set(Settings::kTriggerMode, Json(has("junk") ? "x" : "double"));
    if (has("ctrl")) Settings::setTriggerCode(s.desk.defaults, TriggerKey::controlRight);
    s.desk.defaults.set(Settings::kHandleBrowsers, Json(!has("nobrowsers")));
    s.app->refreshStatusIcon();
    s.desk.clock.runPending();  // the trust answer arrives on a later turn
    std::string key = has("ctrl") ? "오른쪽 Ctrl" : "오른쪽 Alt";
    Lines status = block.empty() ? Lines{} : Lines{block, "---"};
    EXPECT_EQ(s.item.lines(), menu(!has("out"), status, has("double"), !has("nobrowsers"), key));
    bool ready = !has("out") && block.empty();
    EXPECT_EQ(s.item.dimmed, !ready);
    EXPECT_EQ(s.item.title,
              ready ? "Mirelo — " + key + " 로 고쳐 쓰기" : "Mirelo — 설정이 필요합니다");
  }
}

TEST_F(StatusMenuTest, ModeChoiceIsStoredHandedToTheTriggerAndDisarmsIt) {
  int taps = 0;
  tap.onTap = [&] { ++taps; };
  auto key = [&](bool down) {
    auto k = TriggerKey::altRight;
    desk.keyboard.inject({platform::KeyEventType::flagsChanged,
                          keyCode(k),
                          down ? sideFlag(k) | modifierFlag(k) : 0,
                          {}});
  };
  key(true);
  ASSERT_TRUE(tap.armed());
  EXPECT_TRUE(item.click("두 번 누르기"));
  EXPECT_EQ(desk.defaults.values[std::string(Settings::kTriggerMode)], "double");
  EXPECT_EQ(tap.mode, TriggerMode::double_);
  EXPECT_FALSE(tap.armed());
  key(false);
  desk.clock.runPending();
  EXPECT_EQ(taps, 0);
  EXPECT_EQ(item.lines(), menu(true, {}, 1));
  EXPECT_TRUE(item.click("끄기"));
  EXPECT_EQ(tap.mode, TriggerMode::off);
}

TEST_F(StatusMenuTest, BrowsersRowToggles) {
  EXPECT_TRUE(item.click("브라우저에서도 사용"));
  EXPECT_EQ(desk.defaults.values[std::string(Settings::kHandleBrowsers)], false);
  EXPECT_EQ(item.lines(), menu(true, {}, 0, false));
  EXPECT_TRUE(item.click("브라우저에서도 사용"));
  EXPECT_EQ(item.lines(), menu(true, {}));
}

TEST_F(StatusMenuTest, SignOutRebuildsAtOnceAndAFailedSignInIsTold) {
  desk.defaults.set(Settings::kAccountEmail, Json("a@example.com"));
  EXPECT_TRUE(item.click("로그아웃"));
  EXPECT_FALSE(Keychain::get(desk.secrets, Keychain::kSessionToken));
  EXPECT_FALSE(desk.defaults.object(Settings::kAccountEmail));
  EXPECT_EQ(kb[1], 1);
  EXPECT_EQ(item.lines(), menu(false, {}));
  EXPECT_TRUE(desk.notifier.posted.empty());

  EXPECT_TRUE(item.click("구글로 로그인"));  // no client id configured
  desk.clock.runPending();
  ASSERT_EQ(desk.notifier.posted.size(), 1u);
  EXPECT_EQ(desk.notifier.posted[0].title, "로그인하지 못했습니다");
  EXPECT_FALSE(desk.notifier.posted[0].body.empty());
  EXPECT_EQ(kb[0], 0);
  EXPECT_EQ(item.lines(), menu(false, {}));
}

TEST_F(StatusMenuTest, OtherRowsReachTheirActions) {
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
  app->setTapDead(true);
  app->refreshStatusIcon();
  EXPECT_TRUE(item.click("단축키가 적용되지 않았습니다 — 다시 켜기"));
  EXPECT_EQ(desk.workspace.relaunches, 1);
}

}  // namespace
