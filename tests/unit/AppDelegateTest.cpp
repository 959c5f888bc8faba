#include "app/AppDelegate.h"

#include <gtest/gtest.h>

#include "account/Keychain.h"
#include "base/Log.h"
#include "base/Text.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeTextApp.h"
#include "fake/RecordingKnowledgeBase.h"
#include "feedback/Diagnostics.h"
#include "field/AX.h"
#include "field/AppMemory.h"

namespace {

using fake::FakeElement;
using Level = Log::Level;
using platform::Rect;
using Lines = std::vector<std::string>;

const char* kMessage = "Could you send me the quarterly report by Friday afternoon?";

std::shared_ptr<FakeElement> node(const std::string& role) {
  auto e = FakeElement::make(role);
  e->set("AXRole", role);
  return e;
}

std::shared_ptr<FakeElement> label(double y, const std::string& value) {
  auto e = node("AXStaticText");
  e->set("AXValue", value).set("AXFrame", Rect{10, y, 400, 20});
  return e;
}

platform::HttpResponse ok(const Json& body) {
  return {200, {}, body.dump()};
}

// The trigger pipeline on the fake desktop: an editor whose window shows a message above the
// field, and a backend that tags the draft it rewrites and counts the context it answers.
class AppDelegateTest : public testing::Test {
 protected:
  void SetUp() override {
    AX::resetForTesting();
    AppMemory::resetForTesting();
    Diagnostics::resetForTesting();
    Keychain::set(desk.secrets, "tok", Keychain::kSessionToken);
    window->addChild(thread);
    window->addChild(editor.field);
    thread->addChild(label(100, "Kim Minsu"));
    thread->addChild(label(200, kMessage));
    editor.field->set("AXFrame", Rect{10, 500, 600, 80});
    editor.bringToFront();
    desk.http.handler = [this](const platform::HttpRequest& r) {
      std::string path = r.url.substr(r.url.rfind('/'));
      Json body = JsonValue::parse(r.body).value_or(Json());
      sent[path].push_back(body);
      if (canned.count(path)) return canned[path];
      if (path == "/rewrite") return ok({{"rewritten", "[rewrite] " + body.value("text", "")}});
      auto n = std::to_string(Text::characterCount(body.value("context", "")));
      return ok({{"reply", "[reply] " + n}, {"memoryNote", "[memory] " + n}});
    };
    app->onRefreshStatusIcon = [this] { ++iconRefreshes; };
    app->onStatusMessage = [this](const std::string& body, bool isError) {
      statusLines.emplace_back(body, isError);
    };
  }

  // Triggers and, unless told not to, moves time until the trigger has ended.
  void trigger(bool wait = true) {
    app->run(std::nullopt, AppDelegate::kTriggerLabel, true);
    if (wait) settle();
  }
  void settle() {
    for (int i = 0; i < 10'000 && app->inFlight(); ++i)
      desk.clock.advance(0.01);
    ASSERT_FALSE(app->inFlight());
  }
  // Triggers on the editor holding text and waits for the end.
  void triggerOn(const std::string& text, platform::TextRange selection = {}) {
    editor.setText(text, selection);
    trigger();
  }
  Lines notified() const {
    Lines out;
    for (const auto& n : desk.notifier.posted)
      out.push_back(n.title + " / " + n.body);
    return out;
  }
  bool logged(Level level, const std::string& message) const {
    return log.contains("app", level, message);
  }
  // Panels shown at the caret (the flashes of messages sit beside the pointer instead).
  std::vector<std::shared_ptr<fake::FakeUi::Panel>> caretPanels() const {
    std::vector<std::shared_ptr<fake::FakeUi::Panel>> out;
    for (const auto& p : desk.ui.panels)
      if (p->frame.x != desk.ui.mouse.x + CaretPanel::kFlashOffsetX) out.push_back(p);
    return out;
  }
  const Diagnostics::Entry& lastEntry() const { return Diagnostics::entries().at(0); }
  // The newest diagnostics line without its time.
  std::string entryLine() const { return lastEntry().line().substr(10); }

  fake::FakeDesktop desk;
  fake::FakeTextApp editor{desk, {4242, "org.example.Editor", "Editor"}};
  std::shared_ptr<FakeElement> window = node("AXWindow");
  std::shared_ptr<FakeElement> thread = node("AXGroup");
  std::shared_ptr<fake::RecordingKnowledgeBase::Calls> kb =
      std::make_shared<fake::RecordingKnowledgeBase::Calls>();
  std::shared_ptr<AppDelegate> app =
      std::make_shared<AppDelegate>(desk.platform(), fake::RecordingKnowledgeBase::factory(kb));
  std::map<std::string, std::vector<Json>> sent;  // request bodies by path
  std::map<std::string, platform::HttpResponse> canned;
  Log::Capture log;
  int iconRefreshes = 0;
  std::vector<std::pair<std::string, bool>> statusLines;
};

TEST_F(AppDelegateTest, ADraftIsRewrittenInPlaceWithKnowledgeAboutItsEnd) {
  std::string draft = std::string(100, 'a') + std::string(600, 'b');
  editor.setText(draft, {2, 0});
  kb->knowledge = Json{{"knowledge", "말투 메모"}};
  trigger(false);
  ASSERT_EQ(caretPanels().size(), 1u);
  auto panel = caretPanels()[0];
  // The field's frame flipped on the 1024-point screen: top edge at 1024 - 500 = 524.
  EXPECT_EQ(panel->frame, (Rect{10, 524 + 6, 6 * 7 + 22, 22}));
  settle();

  EXPECT_EQ(editor.text, "[rewrite] " + draft);
  EXPECT_FALSE(panel->open);
  ASSERT_EQ(sent["/rewrite"].size(), 1u);
  EXPECT_EQ(sent["/rewrite"][0], (Json{{"text", draft}, {"useKb", true}, {"kb", *kb->knowledge}}));
  ASSERT_EQ(kb->retrievals.size(), 1u);
  EXPECT_EQ(kb->retrievals[0].query, std::string(600, 'b'));
  EXPECT_FALSE(kb->retrievals[0].recipient);
  ASSERT_EQ(Diagnostics::entries().size(), 1u);
  EXPECT_EQ(entryLine(), "Editor · 읽기 AX 값 · 쓰기 AX 값 치환");
  EXPECT_TRUE(desk.notifier.posted.empty());
  EXPECT_TRUE(kb->ingests.empty());

  editor.field->attributes.erase("AXFrame");  // two characters are a draft; no anchor, no panel
  triggerOn("ok");
  EXPECT_EQ(editor.text, "[rewrite] ok");
  EXPECT_EQ(desk.ui.panels.size(), 1u);
}

TEST_F(AppDelegateTest, AnEmptyOrAlmostEmptyFieldGetsAReplyThatIsRemembered) {
  struct Case {
    std::string text;
    platform::TextRange selection;
    std::string logged;
  };
  for (const auto& c :
       {Case{"", {0, 0}, "트리거 → 빈 입력창, 새 답글 생성으로 간다"},
        Case{" x \n", {0, 0}, "트리거 → 초안이 사실상 비어 있음(4자), 생성으로 간다"},
        Case{"   ", {0, 3}, "트리거 → 초안이 사실상 비어 있음(3자), 생성으로 간다"}}) {
    SCOPED_TRACE(c.text);
    sent.clear();
    kb->retrievals.clear();
    kb->ingests.clear();
    triggerOn(c.text, c.selection);
    EXPECT_TRUE(logged(Level::notice, c.logged));
    ASSERT_EQ(sent["/generate"].size(), 1u);
    std::string context = sent["/generate"][0]["context"];
    EXPECT_NE(context.find(kMessage), std::string::npos);
    EXPECT_EQ(sent["/generate"][0]["useKb"], false);  // the recording base knows nothing
    ASSERT_EQ(kb->retrievals.size(), 1u);  // replies always ask, whatever the trigger said
    EXPECT_EQ(kb->retrievals[0].query, context);
    std::string n = std::to_string(Text::characterCount(context));
    EXPECT_EQ(editor.text, "[reply] " + n);
    ASSERT_EQ(kb->ingests.size(), 1u);
    EXPECT_EQ(kb->ingests[0].text, "[memory] " + n);
    EXPECT_EQ(kb->ingests[0].lang, "ko");
  }
}

TEST_F(AppDelegateTest, OnlyARealNoteIsIngestedWithAShortTitleAndContext) {
  for (Json note : {Json(), Json(""), Json("  \n\t ")}) {
    Json body = {{"reply", "답장입니다"}};
    if (!note.is_null()) body["memoryNote"] = note;
    canned["/generate"] = ok(body);
    triggerOn("");
    EXPECT_EQ(editor.text, "답장입니다");
  }
  EXPECT_TRUE(kb->ingests.empty());

  std::string longMessage;
  for (int i = 0; i < 80; ++i)
    longMessage += "문장 " + std::to_string(i) + " 입니다. ";
  thread->addChild(label(300, longMessage));
  std::string note;
  for (int i = 0; i < 5; ++i)
    note += "가나다라마바사아자" + std::to_string(i);  // 10 characters each
  canned["/generate"] = ok({{"reply", "답장입니다"}, {"memoryNote", "\n  " + note + "  "}});
  triggerOn("");
  ASSERT_EQ(kb->ingests.size(), 1u);
  EXPECT_EQ(kb->ingests[0].text, note);
  EXPECT_EQ(kb->ingests[0].title, "[답글] Editor · " + Text::prefix(note, 40));
  std::string context = sent["/generate"].back()["context"];
  ASSERT_GT(Text::characterCount(context), 600);
  EXPECT_EQ(kb->ingests[0].context, Text::prefix(context, 600));
}

TEST_F(AppDelegateTest, TranslatingSendsTheInstructionWithoutKnowledgeAndNeedsAText) {
  kb->knowledge = Json{{"knowledge", "x"}};
  for (std::string text : {"안녕하세요, 반갑습니다", "", "a"}) {
    editor.setText(text);
    app->translateNow();
    settle();
  }
  ASSERT_EQ(sent["/rewrite"].size(), 1u);
  EXPECT_EQ(sent["/rewrite"][0], (Json{{"text", "안녕하세요, 반갑습니다"},
                                       {"useKb", false},
                                       {"instruction", AppDelegate::kTranslateInstruction}}));
  EXPECT_TRUE(kb->retrievals.empty());
  EXPECT_TRUE(sent["/generate"].empty());
  EXPECT_EQ(editor.text, "a");
  EXPECT_EQ(caretPanels().at(0)->texts.at(0), "zel 번역.");
  const std::string message =
      "번역할 글이 없습니다 / 번역할 글을 입력창에 쓰거나 드래그해 선택한 뒤 눌러보세요.";
  EXPECT_EQ(notified(), (Lines{message, message}));
}

TEST_F(AppDelegateTest, APlaceholderDraftTurnsIntoAReplyWhenThereIsContext) {
  canned["/rewrite"] = {422, {}, R"({"code":"placeholder_draft"})"};
  triggerOn("메시지를 입력하세요");
  EXPECT_EQ(editor.text.rfind("[reply]", 0), 0u) << editor.text;
  auto panels = caretPanels();
  ASSERT_EQ(panels.size(), 2u);  // one for the rewrite, a fresh one for the reply
  EXPECT_FALSE(panels[1]->open);
  EXPECT_EQ(Diagnostics::entries().size(), 1u);  // the switch itself is no failure

  window->attributes["AXChildren"] = std::vector<platform::ElementRef>{editor.field};
  triggerOn("메시지를 입력하세요");
  EXPECT_EQ(notified(), (Lines{"답글을 달 원글을 못 찾았어요 / 초안을 몇 자 적고 다시 누르면 그 "
                               "글을 다듬어 드릴게요."}));
  EXPECT_EQ(sent["/generate"].size(), 1u);
  EXPECT_EQ(editor.text, "메시지를 입력하세요");
}

TEST_F(AppDelegateTest, WhenEveryWriteFailsTheAnswerWaitsOnTheClipboard) {
  editor.ignoredWrites = {"AXValue", "AXSelectedText"};
  editor.pastes = false;
  triggerOn("");
  EXPECT_EQ(notified(), (Lines{"Editor 에는 넣지 못했어요 / 답글을 클립보드에 담아뒀습니다. "
                               "Ctrl+V 로 붙여넣으세요."}));
  EXPECT_EQ(entryLine(), "Editor · 읽기 AX 값 · 쓰기 전부 실패 · 클립보드에 남김");
  EXPECT_TRUE(kb->ingests.empty());  // nothing is remembered of an answer not written
}

TEST_F(AppDelegateTest, AFailedRequestIsReportedAndRefreshesTheIcon) {
  auto backend = desk.http.handler;
  desk.http.handler = nullptr;  // a transport failure
  triggerOn("a draft to polish");
  EXPECT_EQ(notified(),
            (Lines{"답글을 만들지 못했어요 / 서버에 연결하지 못했습니다 (no handler)"}));

  desk.notifier.posted.clear();
  desk.http.handler = backend;
  canned["/rewrite"] = {401, {}, R"({"error":"expired"})"};
  trigger();
  const std::string description = "로그인이 만료되었습니다. 다시 로그인해 주세요";
  EXPECT_EQ(iconRefreshes, 2);
  EXPECT_EQ(notified(), (Lines{"답글을 만들지 못했어요 / " + description}));
  EXPECT_EQ(statusLines.back(), std::make_pair(description, true));
  EXPECT_EQ(entryLine(), "Editor · 읽기 AX 값 · 쓰기 — · " + description);
  EXPECT_EQ(editor.text, "a draft to polish");
  EXPECT_FALSE(caretPanels().at(0)->open);

  desk.notifier.posted.clear();
  int calls = desk.accessibility.calls, created = kb->created;
  trigger();  // the 401 ended the session: nothing is read
  EXPECT_EQ(desk.accessibility.calls, calls);
  EXPECT_EQ(kb->created, created);
  EXPECT_EQ(notified(), (Lines{"먼저 로그인해 주세요 / 메뉴바의 Mirelo 에서 구글로 로그인할 수 "
                               "있습니다."}));
}

TEST_F(AppDelegateTest, NotifyFlashesPostsAndSetsTheStatusLine) {
  app->notify("제목", "본문", true);
  app->notify("제목만", "", false);
  EXPECT_EQ(notified(), (Lines{"제목 / 본문", "제목만 / "}));
  Text::Regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  for (const auto& n : desk.notifier.posted)
    EXPECT_TRUE(uuid.matchesWhole(n.identifier)) << n.identifier;
  EXPECT_NE(desk.notifier.posted[0].identifier, desk.notifier.posted[1].identifier);
  EXPECT_EQ(statusLines, (std::vector<std::pair<std::string, bool>>{{"본문", true}, {"", false}}));

  EXPECT_EQ(desk.ui.panels.at(0)->texts, (Lines{"본문"}));
  desk.clock.advance(2.99);
  EXPECT_EQ(desk.ui.openPanels().at(0)->texts, (Lines{"제목만"}));  // the second replaced the first
  desk.clock.advance(0.01);
  EXPECT_TRUE(desk.ui.openPanels().empty());
}

TEST_F(AppDelegateTest, AnUnreadableFieldIsRecordedAndNamesTheApplication) {
  editor.field->failing = {"AXValue", "AXSelectedText"};
  editor.copies = false;
  trigger();
  EXPECT_EQ(notified(), (Lines{"Editor 에서는 입력창을 읽지 못했어요 / 고칠 부분을 드래그해서 "
                               "선택한 뒤 다시 눌러보세요."}));
  ASSERT_EQ(Diagnostics::entries().size(), 1u);
  EXPECT_EQ(lastEntry().at, desk.clock.now());
  EXPECT_EQ(entryLine(), "Editor · 읽기 실패 · 쓰기 — · 입력창을 못 읽음");
  EXPECT_EQ(iconRefreshes, 1);
}

TEST_F(AppDelegateTest, NoFocusedFieldOrABrowserLeftToTheExtension) {
  desk.accessibility.focus(nullptr);
  trigger();
  EXPECT_TRUE(logged(Level::notice, "트리거 → 포커스된 입력창 없음 (org.example.Editor)"));
  EXPECT_EQ(notified(), (Lines{"입력창을 찾지 못했어요 / 글 쓰는 칸을 한 번 클릭해 커서를 둔 뒤 "
                               "다시 눌러보세요."}));
  desk.workspace.frontmost.reset();
  trigger();
  EXPECT_TRUE(logged(Level::notice, "트리거 → 포커스된 입력창 없음 (?)"));

  desk.notifier.posted.clear();
  desk.defaults.values["handleBrowsers"] = false;
  desk.workspace.frontmost = platform::RunningApplication{77, "firefox", "Firefox"};
  trigger();
  EXPECT_TRUE(logged(Level::info, "트리거 → 브라우저는 확장 담당으로 꺼져 있어 물러남"));
  EXPECT_TRUE(desk.notifier.posted.empty());
  EXPECT_EQ(iconRefreshes, 0);
  EXPECT_TRUE(Diagnostics::entries().empty());
}

TEST_F(AppDelegateTest, ATriggerWhileOneIsUnderWayIsDropped) {
  // A browser whose focus is not reported yet: the read waits for it on the main loop.
  desk.workspace.frontmost = platform::RunningApplication{77, "firefox", "Firefox"};
  desk.accessibility.focus(nullptr);
  trigger(false);
  desk.clock.advance(0.1);
  log.clear();
  trigger(false);
  EXPECT_EQ(log.records().size(), 2u);
  EXPECT_TRUE(logged(Level::notice, "트리거 무시 — 이미 처리 중"));
  settle();
  EXPECT_EQ(desk.notifier.posted.size(), 1u);  // the first trigger's "no field", only once
}

}  // namespace
