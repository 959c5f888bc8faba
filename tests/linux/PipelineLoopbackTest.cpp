#include <gtest/gtest.h>

#include <memory>

#include "StandInBackend.h"
#include "account/Keychain.h"
#include "app/AppDelegate.h"
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

// The whole trigger pipeline on the fake desktop, talking to the stand-in backend over
// loopback: an editor whose window shows a message above the field.
class PipelineLoopbackTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { backend = std::make_unique<StandInBackend>(); }
  static void TearDownTestSuite() { backend.reset(); }

  void SetUp() override {
    backend->reset();
    AX::resetForTesting();
    AppMemory::resetForTesting();
    Diagnostics::resetForTesting();
    desk.defaults.values["MireloBackendURL"] = backend->url();
    desk.defaults.values["accountEmail"] = "me@example.com";
    Keychain::set(desk.secrets, "tok-123", Keychain::kSessionToken);

    window->addChild(thread);
    window->addChild(editor.field);
    thread->addChild(label(100, "Kim Minsu"));
    thread->addChild(label(200, kMessage));
    editor.field->set("AXFrame", Rect{10, 500, 600, 80});
    editor.bringToFront();

    app->onRefreshStatusIcon = [this] { ++iconRefreshes; };
    app->onStatusMessage = [this](const std::string& body, bool isError) {
      statusLines.emplace_back(body, isError);
    };
  }

  void trigger() { app->run(std::nullopt, AppDelegate::kTriggerLabel, true); }

  // Serves the main context (answers arrive from the HTTP worker) and moves the clock until
  // the trigger has ended.
  void settle() {
    for (int i = 0; i < 3000 && app->inFlight(); ++i) {
      desk.clock.runUntil([&] { return !app->inFlight(); }, 0.005);
      if (app->inFlight()) desk.clock.advance(0.01);
    }
    ASSERT_FALSE(app->inFlight());
  }

  // The requests the backend saw on path, with their JSON bodies.
  std::vector<Json> requestsTo(const std::string& path) {
    std::vector<Json> out;
    for (const auto& r : backend->requests())
      if (r["path"] == path)
        out.push_back(JsonValue::parse(r["body"].get<std::string>()).value_or(Json()));
    return out;
  }
  void answerGenerate(Json body) { backend->route("POST", "/generate", {{"body", body}}); }

  std::vector<std::string> notified() const {
    std::vector<std::string> out;
    for (const auto& n : desk.notifier.posted)
      out.push_back(n.title + " / " + n.body);
    return out;
  }
  bool logged(Level level, const std::string& message, const std::string& category = "app") {
    return log.contains(category, level, message);
  }
  // Panels shown at the caret (the flashes of messages sit beside the pointer instead).
  std::vector<std::shared_ptr<fake::FakeUi::Panel>> caretPanels() const {
    std::vector<std::shared_ptr<fake::FakeUi::Panel>> out;
    for (const auto& p : desk.ui.panels)
      if (p->frame.x != desk.ui.mouse.x + CaretPanel::kFlashOffsetX) out.push_back(p);
    return out;
  }
  const Diagnostics::Entry& lastEntry() const { return Diagnostics::entries().at(0); }

  static inline std::unique_ptr<StandInBackend> backend;
  fake::FakeDesktop desk;
  linuxport::CurlHttp http{desk.clock};
  platform::Platform p{desk.clock,      desk.accessibility, desk.keyboard,
                       desk.pasteboard, desk.workspace,     desk.defaults,
                       desk.secrets,    desk.notifier,      http,
                       desk.ui,         desk.webViews,      desk.updater};
  fake::FakeTextApp editor{desk, {4242, "org.example.Editor", "Editor"}};
  std::shared_ptr<FakeElement> window = node("AXWindow");
  std::shared_ptr<FakeElement> thread = node("AXGroup");
  std::shared_ptr<fake::RecordingKnowledgeBase::Calls> kb =
      std::make_shared<fake::RecordingKnowledgeBase::Calls>();
  std::shared_ptr<AppDelegate> app =
      std::make_shared<AppDelegate>(p, fake::RecordingKnowledgeBase::factory(kb));
  Log::Capture log;
  int iconRefreshes = 0;
  std::vector<std::pair<std::string, bool>> statusLines;
};

TEST_F(PipelineLoopbackTest, ADraftOfTwoVisibleCharactersIsRewrittenInPlace) {
  editor.setText("ok", {2, 0});
  kb->knowledge = Json{{"knowledge", "말투 메모"}};
  trigger();
  EXPECT_TRUE(app->inFlight());
  settle();

  EXPECT_EQ(editor.text, "[stand-in rewrite] ok");
  auto sent = requestsTo("/rewrite");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], (Json{{"text", "ok"}, {"useKb", true}, {"kb", *kb->knowledge}}));
  ASSERT_EQ(kb->retrievals.size(), 1u);
  EXPECT_EQ(kb->retrievals[0].query, "ok");
  EXPECT_FALSE(kb->retrievals[0].recipient);
  EXPECT_TRUE(requestsTo("/generate").empty());

  EXPECT_TRUE(logged(Level::notice, "트리거 실행 (zel)"));
  EXPECT_TRUE(logged(Level::info, "트리거 → Editor 에서 AX 값으로 2자 읽음, 서버 요청"));
  ASSERT_EQ(Diagnostics::entries().size(), 1u);
  EXPECT_EQ(lastEntry().appName, "Editor");
  EXPECT_EQ(lastEntry().readMethod, "AX 값");
  EXPECT_TRUE(logged(Level::info, "삽입 성공 (" + lastEntry().writeMethod + ")"));
  EXPECT_NE(lastEntry().writeMethod, "전부 실패");
  EXPECT_EQ(lastEntry().note, "");
  EXPECT_TRUE(desk.notifier.posted.empty());
  EXPECT_TRUE(kb->ingests.empty());
  EXPECT_EQ(iconRefreshes, 0);
}

TEST_F(PipelineLoopbackTest, TheCaretPanelSitsAboveTheFieldWhileTheRequestRuns) {
  backend->route("POST", "/rewrite", {{"delaySeconds", 0.3}});
  editor.setText("a draft to polish", {17, 0});
  trigger();
  ASSERT_EQ(caretPanels().size(), 1u);
  auto panel = caretPanels()[0];
  // The field's frame flipped on the 1024-point screen: top edge at 1024 - 500 = 524.
  EXPECT_EQ(panel->frame, (Rect{10, 524 + 6, 6 * 7 + 22, 22}));
  EXPECT_TRUE(panel->open);
  settle();
  EXPECT_FALSE(panel->open);
  EXPECT_EQ(panel->texts.at(0), "zel.");
  if (panel->texts.size() > 1) {
    EXPECT_EQ(panel->texts[1], "zel..");
  }
}

TEST_F(PipelineLoopbackTest, LongDraftsAskTheKnowledgeBaseAboutTheirEndOnly) {
  std::string draft = std::string(100, 'a') + std::string(600, 'b');
  editor.setText(draft);
  trigger();
  settle();
  ASSERT_EQ(kb->retrievals.size(), 1u);
  EXPECT_EQ(kb->retrievals[0].query, std::string(600, 'b'));
  EXPECT_EQ(requestsTo("/rewrite").at(0)["text"], draft);
}

TEST_F(PipelineLoopbackTest, DraftsWithFewerThanTwoVisibleCharactersGetAReply) {
  struct Case {
    std::string text;
    platform::TextRange selection;
    long logged;
  };
  for (const auto& c : {Case{"a", {1, 0}, 1}, Case{"   ", {0, 3}, 3}, Case{" x \n", {0, 0}, 4}}) {
    SCOPED_TRACE(c.text);
    backend->reset();
    log.clear();
    editor.setText(c.text, c.selection);
    trigger();
    settle();
    EXPECT_TRUE(logged(Level::notice, "트리거 → 초안이 사실상 비어 있음(" +
                                          std::to_string(c.logged) + "자), 생성으로 간다"));
    EXPECT_TRUE(requestsTo("/rewrite").empty());
    auto sent = requestsTo("/generate");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0]["context"].get<std::string>().find(kMessage), std::string::npos);
    EXPECT_EQ(editor.text.rfind("[stand-in reply]", 0), 0u) << editor.text;
  }
}

TEST_F(PipelineLoopbackTest, AnEmptyFieldGetsAReplyThatIsRemembered) {
  editor.setText("");
  trigger();
  settle();
  EXPECT_TRUE(logged(Level::notice, "트리거 → 빈 입력창, 새 답글 생성으로 간다"));
  auto sent = requestsTo("/generate");
  ASSERT_EQ(sent.size(), 1u);
  std::string context = sent[0]["context"];
  EXPECT_TRUE(logged(
      Level::info,
      "트리거 → Editor 맥락 " + std::to_string(Text::characterCount(context)) + "자로 답글 생성"));
  ASSERT_EQ(kb->retrievals.size(), 1u);  // replies always ask, whatever the trigger said
  EXPECT_EQ(kb->retrievals[0].query, context);
  EXPECT_EQ(sent[0]["useKb"], false);  // the double knows nothing

  std::string n = std::to_string(Text::characterCount(context));
  EXPECT_EQ(editor.text, "[stand-in reply] 맥락 " + n + "자를 읽었습니다.");
  ASSERT_EQ(kb->ingests.size(), 1u);
  const auto& ingest = kb->ingests[0];
  EXPECT_EQ(ingest.text, "[stand-in memory] 맥락 " + n + "자");
  EXPECT_EQ(ingest.title, "[답글] Editor · [stand-in memory] 맥락 " + n + "자");
  EXPECT_EQ(ingest.context, context);
  EXPECT_EQ(ingest.lang, "ko");
}

TEST_F(PipelineLoopbackTest, OnlyARealNoteIsIngestedAndItsTitleHoldsFortyCharacters) {
  editor.setText("");
  for (Json note : {Json(), Json(""), Json("  \n\t ")}) {
    SCOPED_TRACE(note.dump());
    Json body = {{"reply", "답장입니다"}};
    if (!note.is_null()) body["memoryNote"] = note;
    answerGenerate(body);
    editor.setText("");
    trigger();
    settle();
    EXPECT_EQ(editor.text, "답장입니다");
  }
  EXPECT_TRUE(kb->ingests.empty());

  std::string note;
  for (int i = 0; i < 5; ++i)
    note += "가나다라마바사아자" + std::to_string(i);  // 10 characters each
  answerGenerate({{"reply", "답장입니다"}, {"memoryNote", "\n  " + note + "  "}});
  editor.setText("");
  trigger();
  settle();
  ASSERT_EQ(kb->ingests.size(), 1u);
  EXPECT_EQ(kb->ingests[0].text, note);
  EXPECT_EQ(kb->ingests[0].title, "[답글] Editor · " + Text::prefix(note, 40));
  EXPECT_EQ(Text::characterCount(Text::prefix(note, 40)), 40);
}

TEST_F(PipelineLoopbackTest, TheIngestedContextIsCutToSixHundredCharacters) {
  std::string longMessage;
  for (int i = 0; i < 80; ++i)
    longMessage += "문장 " + std::to_string(i) + " 입니다. ";
  thread->addChild(label(300, longMessage));
  editor.setText("");
  trigger();
  settle();
  std::string context = requestsTo("/generate").at(0)["context"];
  ASSERT_GT(Text::characterCount(context), 600);
  ASSERT_EQ(kb->ingests.size(), 1u);
  EXPECT_EQ(kb->ingests[0].context, Text::prefix(context, 600));
}

TEST_F(PipelineLoopbackTest, AnEmptySelectionFallsBackToTheWholeValue) {
  editor.setText("hello there, friend", {5, 0});
  trigger();
  settle();
  EXPECT_EQ(requestsTo("/rewrite").at(0)["text"], "hello there, friend");
}

TEST_F(PipelineLoopbackTest, TranslatingSendsTheInstructionAndNoKnowledge) {
  kb->knowledge = Json{{"knowledge", "x"}};
  editor.setText("안녕하세요, 반갑습니다");
  app->translateNow();
  settle();
  auto sent = requestsTo("/rewrite");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], (Json{{"text", "안녕하세요, 반갑습니다"},
                           {"useKb", false},
                           {"instruction", AppDelegate::kTranslateInstruction}}));
  EXPECT_TRUE(kb->retrievals.empty());
  EXPECT_EQ(editor.text, std::string("[stand-in rewrite: ") + AppDelegate::kTranslateInstruction +
                             "] 안녕하세요, 반갑습니다");
  EXPECT_TRUE(logged(Level::notice, "트리거 실행 (zel 번역)"));
  EXPECT_EQ(caretPanels().at(0)->texts.at(0), "zel 번역.");
}

TEST_F(PipelineLoopbackTest, TranslatingAnEmptyOrAlmostEmptyFieldSaysSoAndGeneratesNothing) {
  const std::string message =
      "번역할 글이 없습니다 / 번역할 글을 입력창에 쓰거나 드래그해 선택한 뒤 눌러보세요.";
  editor.setText("");
  app->translateNow();
  settle();
  EXPECT_TRUE(logged(Level::notice, "트리거 → 빈 입력창, 새 답글 생성으로 간다"));
  editor.setText("a");
  app->translateNow();
  settle();
  EXPECT_TRUE(logged(Level::notice, "트리거 → 초안이 사실상 비어 있음(1자), 생성으로 간다"));
  EXPECT_EQ(notified(), (std::vector<std::string>{message, message}));
  EXPECT_TRUE(backend->requests().empty());
  EXPECT_TRUE(caretPanels().empty());
  EXPECT_EQ(editor.text, "a");
}

TEST_F(PipelineLoopbackTest, APlaceholderDraftTurnsIntoAReply) {
  backend->route("POST", "/rewrite", {{"status", 422}, {"body", {{"code", "placeholder_draft"}}}});
  editor.setText("메시지를 입력하세요");
  trigger();
  settle();
  EXPECT_TRUE(logged(Level::notice, "트리거 → 초안이 안내 문구였다, 생성으로 넘어간다"));
  EXPECT_EQ(requestsTo("/rewrite").size(), 1u);
  EXPECT_EQ(requestsTo("/generate").size(), 1u);
  EXPECT_EQ(editor.text.rfind("[stand-in reply]", 0), 0u) << editor.text;
  EXPECT_TRUE(desk.notifier.posted.empty());
  EXPECT_EQ(kb->ingests.size(), 1u);
  auto panels = caretPanels();
  ASSERT_EQ(panels.size(), 2u);  // one for the rewrite, a fresh one for the reply
  EXPECT_FALSE(panels[0]->open);
  EXPECT_FALSE(panels[1]->open);
  EXPECT_EQ(Diagnostics::entries().size(), 1u);  // the switch itself is no failure
}

TEST_F(PipelineLoopbackTest, APlaceholderDraftWithoutContextEndsWithAMessage) {
  backend->route("POST", "/rewrite", {{"status", 422}, {"body", {{"code", "placeholder_draft"}}}});
  window->attributes["AXChildren"] = std::vector<platform::ElementRef>{editor.field};
  editor.setText("메시지를 입력하세요");
  trigger();
  settle();
  EXPECT_TRUE(logged(Level::notice, "트리거 → 맥락을 못 읽어 생성 포기 (org.example.Editor)"));
  EXPECT_EQ(notified(), (std::vector<std::string>{
                            "답글을 달 원글을 못 찾았어요 / 초안을 몇 자 적고 다시 누르면 그 "
                            "글을 다듬어 드릴게요."}));
  EXPECT_TRUE(requestsTo("/generate").empty());
  EXPECT_EQ(editor.text, "메시지를 입력하세요");
  EXPECT_TRUE(Diagnostics::entries().empty());
  EXPECT_TRUE(caretPanels().at(0)->open == false);
}

TEST_F(PipelineLoopbackTest, AFieldWithoutAnchorIsProcessedWithoutAPanel) {
  editor.field->attributes.erase("AXFrame");
  editor.setText("a draft to polish");
  trigger();
  settle();
  EXPECT_EQ(editor.text, "[stand-in rewrite] a draft to polish");
  EXPECT_TRUE(desk.ui.panels.empty());
}

TEST_F(PipelineLoopbackTest, WhenEveryWriteFailsTheAnswerWaitsOnTheClipboard) {
  editor.ignoredWrites = {"AXValue", "AXSelectedText"};
  editor.pastes = false;
  editor.setText("");
  trigger();
  settle();
  EXPECT_EQ(editor.text, "");
  auto clip = desk.pasteboard.string();
  ASSERT_TRUE(clip);
  EXPECT_EQ(clip->rfind("[stand-in reply]", 0), 0u) << *clip;
  EXPECT_TRUE(logged(Level::error, "삽입 전부 실패 — 클립보드에 남김"));
  EXPECT_EQ(notified(),
            (std::vector<std::string>{"Editor 에는 넣지 못했어요 / 답글을 클립보드에 담아뒀습니다. "
                                      "Ctrl+V 로 붙여넣으세요."}));
  EXPECT_EQ(statusLines.back(),
            std::make_pair(std::string("답글을 클립보드에 담아뒀습니다. Ctrl+V 로 붙여넣으세요."),
                           false));
  EXPECT_EQ(lastEntry().writeMethod, "전부 실패");
  EXPECT_EQ(lastEntry().note, "클립보드에 남김");
  EXPECT_TRUE(kb->ingests.empty());  // nothing is remembered of an answer not written
}

TEST_F(PipelineLoopbackTest, ASecondTriggerDuringASlowRequestIsDropped) {
  backend->route("POST", "/rewrite", {{"delaySeconds", 0.5}});
  editor.setText("a draft to polish");
  trigger();
  ASSERT_TRUE(app->inFlight());
  log.clear();
  trigger();
  EXPECT_TRUE(logged(Level::notice, "트리거 무시 — 이미 처리 중"));
  EXPECT_EQ(log.records().size(), 2u);
  EXPECT_EQ(caretPanels().size(), 1u);
  settle();
  EXPECT_EQ(editor.text, "[stand-in rewrite] a draft to polish");
  EXPECT_EQ(requestsTo("/rewrite").size(), 1u);
  EXPECT_TRUE(desk.notifier.posted.empty());

  trigger();  // served again once the first has ended
  settle();
  EXPECT_EQ(requestsTo("/rewrite").size(), 2u);
}

TEST_F(PipelineLoopbackTest, SigningOutDuringARequestLetsItFinish) {
  backend->route("POST", "/rewrite", {{"delaySeconds", 0.3}});
  editor.setText("a draft to polish");
  trigger();
  Keychain::remove(desk.secrets, Keychain::kSessionToken);
  settle();
  EXPECT_EQ(editor.text, "[stand-in rewrite] a draft to polish");
  EXPECT_TRUE(desk.notifier.posted.empty());

  trigger();
  EXPECT_TRUE(logged(Level::notice, "트리거 → 로그인 안 됨"));
  EXPECT_EQ(notified(), (std::vector<std::string>{
                            "먼저 로그인해 주세요 / 메뉴바의 Mirelo 에서 구글로 로그인할 수 "
                            "있습니다."}));
  EXPECT_EQ(requestsTo("/rewrite").size(), 1u);
}

TEST_F(PipelineLoopbackTest, AnExpiredSessionSignsOutAndRefreshesTheIcon) {
  backend->route("POST", "/rewrite", {{"status", 401}, {"body", {{"error", "expired"}}}});
  editor.setText("a draft to polish");
  trigger();
  settle();
  const std::string description = "로그인이 만료되었습니다. 다시 로그인해 주세요";
  EXPECT_FALSE(Keychain::get(desk.secrets, Keychain::kSessionToken));
  EXPECT_FALSE(desk.defaults.values.count("accountEmail"));
  EXPECT_EQ(iconRefreshes, 1);
  EXPECT_TRUE(logged(Level::error, "실패: " + description, "api"));
  EXPECT_EQ(notified(), (std::vector<std::string>{"답글을 만들지 못했어요 / " + description}));
  EXPECT_EQ(statusLines.back(), std::make_pair(description, true));
  EXPECT_EQ(lastEntry().readMethod, "AX 값");
  EXPECT_EQ(lastEntry().writeMethod, "—");
  EXPECT_EQ(lastEntry().note, description);
  EXPECT_EQ(editor.text, "a draft to polish");
  EXPECT_FALSE(caretPanels().at(0)->open);

  trigger();
  EXPECT_TRUE(logged(Level::notice, "트리거 → 로그인 안 됨"));
}

TEST_F(PipelineLoopbackTest, ATransportFailureIsReportedAsAnError) {
  desk.defaults.values["MireloBackendURL"] =
      "http://127.0.0.1:" + std::to_string(StandInBackend::closedPort());
  editor.setText("a draft to polish");
  trigger();
  settle();
  ASSERT_EQ(desk.notifier.posted.size(), 1u);
  EXPECT_EQ(desk.notifier.posted[0].title, "답글을 만들지 못했어요");
  EXPECT_FALSE(desk.notifier.posted[0].body.empty());
  EXPECT_TRUE(statusLines.back().second);
  EXPECT_EQ(lastEntry().note, desk.notifier.posted[0].body);
  EXPECT_EQ(iconRefreshes, 1);
  EXPECT_TRUE(Keychain::get(desk.secrets, Keychain::kSessionToken));  // still signed in
}

}  // namespace
