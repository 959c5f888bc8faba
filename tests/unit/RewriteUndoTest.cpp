#include "app/RewriteUndo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "account/Keychain.h"
#include "app/AppDelegate.h"
#include "app/StatusMenu.h"
#include "base/Log.h"
#include "base/Text.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeTextApp.h"
#include "fake/RecordingKnowledgeBase.h"
#include "field/AX.h"
#include "field/AppMemory.h"

namespace {

using fake::FakeElement;

const std::string kDraft = "오늘 회의 자료 보내드릴게요 😀\n  내일 봬요";

// Rewrites through the whole pipeline on the fake desktop, then takes them back.
class RewriteUndoTest : public testing::Test {
 protected:
  void SetUp() override {
    AX::resetForTesting();
    AppMemory::resetForTesting();
    Keychain::set(desk.secrets, "tok", Keychain::kSessionToken);
    auto message = FakeElement::make("AXStaticText");
    message->set("AXRole", "AXStaticText")
        .set("AXValue",
             "내일 오전 열 시 회의에 오시나요? 자료는 미리 보내 주시면 좋겠습니다. 감사합니다.");
    message->set("AXFrame", platform::Rect{10, 100, 400, 20});
    window->set("AXRole", "AXWindow").addChild(message);
    window->addChild(editor.field);
    editor.field->set("AXFrame", platform::Rect{10, 500, 600, 80});
    editor.bringToFront();
    desk.http.handler = [](const platform::HttpRequest& r) {
      Json answer = r.url.ends_with("/rewrite") ? Json{{"rewritten", "다듬은 글"}}
                                                : Json{{"reply", "네, 갈게요"}};
      return platform::HttpResponse{200, {}, answer.dump()};
    };
    app->onRefreshStatusIcon = [this] { ++refreshes; };
  }

  void settle() {
    for (int i = 0; i < 10'000 && app->inFlight(); ++i)
      desk.clock.advance(0.01);
    ASSERT_FALSE(app->inFlight());
  }
  void rewrite(const std::string& text, platform::TextRange selection = {}) {
    editor.setText(text, selection);
    app->run(std::nullopt, AppDelegate::kTriggerLabel, false);
    settle();
  }
  void undo() {
    app->undoLastWrite();
    settle();
  }
  // The one notification since the last call, as "title / body".
  std::string notified() {
    auto posted = std::exchange(desk.notifier.posted, {});
    return posted.size() == 1 ? posted[0].title + " / " + posted[0].body : "";
  }

  fake::FakeDesktop desk;
  fake::FakeTextApp editor{desk, {4242, "org.example.Editor", "Editor"}};
  std::shared_ptr<AppDelegate> app = std::make_shared<AppDelegate>(
      desk.platform(), fake::RecordingKnowledgeBase::factory(
                           std::make_shared<fake::RecordingKnowledgeBase::Calls>()));
  std::shared_ptr<FakeElement> window = FakeElement::make("AXWindow");
  int refreshes = 0;
};

const std::string kOnClipboard = "원래 글은 클립보드에 담아뒀습니다. Ctrl+V 로 붙여넣으세요.";

TEST_F(RewriteUndoTest, TheUsersTextComesBackByteForByteAndOnlyOnce) {
  EXPECT_FALSE(app->canUndo());
  rewrite(kDraft);
  ASSERT_EQ(editor.text, "다듬은 글");
  ASSERT_TRUE(app->canUndo());
  int before = refreshes;
  undo();
  EXPECT_EQ(editor.text, kDraft);
  EXPECT_FALSE(app->canUndo());
  EXPECT_GT(refreshes, before);  // the menu loses the row
  EXPECT_EQ(notified(), "");

  rewrite("가나다 " + kDraft + " 라마", {4, Text::utf16Length(kDraft)});  // a selection
  ASSERT_EQ(editor.text, "가나다 다듬은 글 라마");
  undo();
  EXPECT_EQ(editor.text, "가나다 " + kDraft + " 라마");

  rewrite("");  // a reply into an empty field undoes to an empty field
  ASSERT_EQ(editor.text, "네, 갈게요");
  undo();
  EXPECT_EQ(editor.text, "");
}

TEST_F(RewriteUndoTest, AFieldChangedOrGoneIsLeftAloneAndTheOriginalGoesToTheClipboard) {
  rewrite(kDraft);
  editor.setText("다듬은 글 그리고 사용자가 덧붙인 말");
  undo();
  EXPECT_EQ(editor.text, "다듬은 글 그리고 사용자가 덧붙인 말");
  EXPECT_EQ(desk.pasteboard.string(), kDraft);
  EXPECT_EQ(notified(), "글이 이미 바뀌어서 되돌리지 않았어요 / " + kOnClipboard);
  EXPECT_FALSE(app->canUndo());

  rewrite(kDraft);
  editor.setText("  다듬은   글\n");  // whitespace alone is not a change
  undo();
  EXPECT_EQ(editor.text, kDraft);

  rewrite(kDraft);
  editor.field->failing.insert("AXValue");  // the field is gone
  undo();
  EXPECT_EQ(desk.pasteboard.string(), kDraft);
  EXPECT_EQ(notified(), "되돌리지 못했어요 / " + kOnClipboard);
}

TEST_F(RewriteUndoTest, WhatIsKeptIsForgottenAtTheNextTriggerAfterTenMinutesAndOnRequest) {
  rewrite(kDraft);
  desk.clock.advance(RewriteUndo::kKeepSeconds - 1);
  EXPECT_TRUE(app->canUndo());
  desk.clock.advance(1);
  EXPECT_FALSE(app->canUndo());

  rewrite(kDraft);
  app->forgetUndo();  // sign-out, quit
  EXPECT_FALSE(app->canUndo());

  rewrite(kDraft);
  editor.setText("새 초안입니다");
  app->run(std::nullopt, AppDelegate::kTriggerLabel, false);
  EXPECT_FALSE(app->canUndo());  // forgotten as the trigger starts, before its own write
  settle();
  undo();  // takes back the new rewrite only
  EXPECT_EQ(editor.text, "새 초안입니다");
}

TEST(RewriteUndoMenu, TheRowFollowsTranslationOnlyWhileThereIsSomethingToTakeBack) {
  StatusMenu::State state;
  auto without = StatusMenu::rows(state, {});
  state.canUndo = true;
  auto with = StatusMenu::rows(state, {});
  ASSERT_EQ(with.size(), without.size() + 1);
  auto at = std::find_if(with.begin(), with.end(),
                         [](const auto& row) { return row.title == "방금 고친 글 되돌리기"; });
  ASSERT_NE(at, with.begin());
  EXPECT_EQ((at - 1)->title, "선택한 글 번역");
}

}  // namespace
