#include "app/AppDelegate.h"

#include <gtest/gtest.h>

#include "account/Keychain.h"
#include "base/Log.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeTextApp.h"
#include "fake/RecordingKnowledgeBase.h"
#include "feedback/Diagnostics.h"
#include "field/AX.h"

namespace {

using Level = Log::Level;

// An upper-case version-4 UUID: 8-4-4-4-12 hexadecimal digits.
bool isUuid(const std::string& s) {
  if (s.size() != 36 || s[14] != '4' || std::string("89AB").find(s[19]) == std::string::npos)
    return false;
  for (size_t i = 0; i < s.size(); ++i) {
    bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? s[i] != '-' : std::string("0123456789ABCDEF").find(s[i]) == std::string::npos)
      return false;
  }
  return true;
}

// The pipeline up to the request, and the messages, on the fake desktop.
class AppDelegateTest : public testing::Test {
 protected:
  void SetUp() override {
    AX::resetForTesting();
    Diagnostics::resetForTesting();
    Keychain::set(desk.secrets, "tok", Keychain::kSessionToken);
    editor.bringToFront();
    app->onRefreshStatusIcon = [this] { ++iconRefreshes; };
    app->onStatusMessage = [this](const std::string& body, bool isError) {
      statusLines.emplace_back(body, isError);
    };
  }

  void trigger() { app->run(std::nullopt, "zel", true); }
  // Moves time until the trigger has ended.
  void settle() {
    for (int i = 0; i < 10'000 && app->inFlight(); ++i)
      desk.clock.advance(0.01);
    ASSERT_FALSE(app->inFlight());
  }
  std::vector<std::string> notified() const {
    std::vector<std::string> out;
    for (const auto& n : desk.notifier.posted)
      out.push_back(n.title + " / " + n.body);
    return out;
  }
  bool logged(Level level, const std::string& message) const {
    return log.contains("app", level, message);
  }

  fake::FakeDesktop desk;
  fake::FakeTextApp editor{desk, {4242, "org.example.Editor", "Editor"}};
  std::shared_ptr<fake::RecordingKnowledgeBase::Calls> kb =
      std::make_shared<fake::RecordingKnowledgeBase::Calls>();
  std::shared_ptr<AppDelegate> app =
      std::make_shared<AppDelegate>(desk.platform(), fake::RecordingKnowledgeBase::factory(kb));
  Log::Capture log;
  int iconRefreshes = 0;
  std::vector<std::pair<std::string, bool>> statusLines;
};

TEST_F(AppDelegateTest, NotifyFlashesPostsAndSetsTheStatusLine) {
  app->notify("제목", "본문", true);
  ASSERT_EQ(desk.notifier.posted.size(), 1u);
  EXPECT_EQ(desk.notifier.posted[0].title, "제목");
  EXPECT_EQ(desk.notifier.posted[0].body, "본문");
  EXPECT_TRUE(isUuid(desk.notifier.posted[0].identifier)) << desk.notifier.posted[0].identifier;
  EXPECT_EQ(statusLines, (std::vector<std::pair<std::string, bool>>{{"본문", true}}));

  const auto& flash = *desk.ui.panels.at(0);
  EXPECT_EQ(flash.texts, (std::vector<std::string>{"본문"}));
  EXPECT_EQ(flash.frame.x, desk.ui.mouse.x + 12);
  EXPECT_EQ(flash.frame.y, desk.ui.mouse.y + 14);
  desk.clock.advance(2.99);
  EXPECT_TRUE(flash.open);
  desk.clock.advance(0.01);
  EXPECT_FALSE(flash.open);
}

TEST_F(AppDelegateTest, AnEmptyBodyFlashesTheTitleAndEmptiesTheStatusLine) {
  app->notify("제목만", "", false);
  EXPECT_EQ(desk.ui.panels.at(0)->texts, (std::vector<std::string>{"제목만"}));
  EXPECT_EQ(desk.notifier.posted.at(0).body, "");
  EXPECT_EQ(statusLines, (std::vector<std::pair<std::string, bool>>{{"", false}}));
}

TEST_F(AppDelegateTest, TwoMessagesMakeTwoNotificationsButOneFlash) {
  app->notify("하나", "첫째", false);
  app->notify("둘", "둘째", false);
  ASSERT_EQ(desk.notifier.posted.size(), 2u);
  EXPECT_NE(desk.notifier.posted[0].identifier, desk.notifier.posted[1].identifier);
  auto open = desk.ui.openPanels();
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0]->texts, (std::vector<std::string>{"둘째"}));
}

TEST_F(AppDelegateTest, WithoutASessionNothingIsRead) {
  Keychain::remove(desk.secrets, Keychain::kSessionToken);
  editor.setText("a real draft");
  int callsBefore = desk.accessibility.calls;
  trigger();
  EXPECT_FALSE(app->inFlight());
  EXPECT_EQ(desk.accessibility.calls, callsBefore);
  EXPECT_TRUE(logged(Level::notice, "트리거 실행 (zel)"));
  EXPECT_TRUE(logged(Level::notice, "트리거 → 로그인 안 됨"));
  EXPECT_EQ(notified(),
            (std::vector<std::string>{
                "먼저 로그인해 주세요 / 메뉴바의 Mirelo 에서 구글로 로그인할 수 있습니다."}));
  EXPECT_TRUE(desk.http.requests.empty());
  EXPECT_EQ(kb->created, 0);
}

TEST_F(AppDelegateTest, AnUnreadableFieldIsRecordedAndNamesTheApplication) {
  editor.field->failing = {"AXValue", "AXSelectedText"};
  editor.copies = false;
  trigger();
  settle();
  EXPECT_TRUE(logged(Level::error, "트리거 → 입력창을 못 읽음: Editor"));
  EXPECT_EQ(notified(), (std::vector<std::string>{
                            "Editor 에서는 입력창을 읽지 못했어요 / 고칠 부분을 드래그해서 "
                            "선택한 뒤 다시 눌러보세요."}));
  ASSERT_EQ(Diagnostics::entries().size(), 1u);
  const auto& e = Diagnostics::entries()[0];
  EXPECT_EQ(e.appName, "Editor");
  EXPECT_EQ(e.readMethod, "실패");
  EXPECT_EQ(e.writeMethod, "—");
  EXPECT_EQ(e.note, "입력창을 못 읽음");
  EXPECT_EQ(e.at, desk.clock.now());
  EXPECT_EQ(iconRefreshes, 1);
  EXPECT_FALSE(statusLines.back().second);
}

TEST_F(AppDelegateTest, NoFocusedFieldNamesTheFrontmostApplicationInTheLog) {
  desk.accessibility.focus(nullptr);
  trigger();
  settle();
  EXPECT_TRUE(logged(Level::notice, "트리거 → 포커스된 입력창 없음 (org.example.Editor)"));
  EXPECT_EQ(notified(), (std::vector<std::string>{
                            "입력창을 찾지 못했어요 / 글 쓰는 칸을 한 번 클릭해 커서를 둔 뒤 "
                            "다시 눌러보세요."}));

  desk.workspace.frontmost.reset();
  trigger();
  settle();
  EXPECT_TRUE(logged(Level::notice, "트리거 → 포커스된 입력창 없음 (?)"));
  EXPECT_EQ(iconRefreshes, 0);
  EXPECT_TRUE(Diagnostics::entries().empty());
}

TEST_F(AppDelegateTest, ABrowserLeftToTheExtensionIsSilent) {
  desk.defaults.values["handleBrowsers"] = false;
  desk.workspace.frontmost = platform::RunningApplication{77, "firefox", "Firefox"};
  trigger();
  settle();
  EXPECT_TRUE(logged(Level::info, "트리거 → 브라우저는 확장 담당으로 꺼져 있어 물러남"));
  EXPECT_TRUE(desk.notifier.posted.empty());
  EXPECT_TRUE(desk.ui.panels.empty());
}

TEST_F(AppDelegateTest, ATriggerDuringTheFieldReadIsDropped) {
  // A browser whose focus is not reported yet: the read waits for it on the main loop.
  desk.workspace.frontmost = platform::RunningApplication{77, "firefox", "Firefox"};
  desk.accessibility.focus(nullptr);
  trigger();
  EXPECT_TRUE(app->inFlight());
  desk.clock.advance(0.1);
  log.clear();
  trigger();
  EXPECT_EQ(log.records().size(), 2u);
  EXPECT_TRUE(logged(Level::notice, "트리거 실행 (zel)"));
  EXPECT_TRUE(logged(Level::notice, "트리거 무시 — 이미 처리 중"));
  EXPECT_TRUE(desk.notifier.posted.empty());
  settle();
  EXPECT_EQ(desk.notifier.posted.size(), 1u);  // the first trigger's "no field", only once

  trigger();  // idle again: the next trigger is served
  settle();
  EXPECT_EQ(desk.notifier.posted.size(), 2u);
}

TEST_F(AppDelegateTest, ATriggerDuringTheWriteIsDropped) {
  editor.setText("a draft to polish");
  editor.ignoredWrites = {"AXValue", "AXSelectedText"};  // only pasting works, and it waits
  desk.http.handler = [](const platform::HttpRequest&) {
    return platform::HttpResponse{200, {}, R"({"rewritten":"polished"})"};
  };
  trigger();
  for (int i = 0; i < 1000 && desk.keyboard.posted.empty(); ++i)
    desk.clock.advance(0.001);
  ASSERT_FALSE(desk.keyboard.posted.empty());  // the write is under way
  ASSERT_TRUE(app->inFlight());
  trigger();
  EXPECT_TRUE(logged(Level::notice, "트리거 무시 — 이미 처리 중"));
  settle();
  EXPECT_EQ(editor.text, "polished");
  EXPECT_EQ(desk.http.requests.size(), 1u);
}

TEST_F(AppDelegateTest, TheTranslationInstructionIsFixed) {
  EXPECT_EQ(std::string(AppDelegate::kTranslateInstruction).size(), 215u);
}

}  // namespace
