// The knowledge base on real WebKitGTK: the engine loads the stand-in web application from the
// stand-in backend, stores and finds notes through its page, keeps them on disk, and answers
// only the top frame of the backend's own pages.
#include <gtest/gtest.h>

#include "DesktopSession.h"
#include "StandInBackend.h"
#include "account/Api.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "base/Log.h"
#include "kb/HeadlessEngine.h"
#include "kb/TarnBridge.h"
#include "kb/TarnStore.h"

namespace {

using desktoptest::pumpUntil;
using desktoptest::runOnLoop;
using State = HeadlessEngine::State;

class KnowledgeBase : public desktoptest::DesktopSession {
 protected:
  void SetUp() override {
    DesktopSession::SetUp();
    if (HasFatalFailure()) return;
    TarnStore::clear();
    signInTo(backend.url());
    bridge = std::make_unique<TarnBridge>(desk->defaults);
  }
  void TearDown() override {
    engine.reset();
    DesktopSession::TearDown();
  }
  void startEngine() {
    engine = std::make_unique<HeadlessEngine>(desk->platform(), *bridge);
    engine->ensureLoaded();
    ASSERT_TRUE(pumpUntil([&] { return engine->state() != State::loading; }, 30000));
    ASSERT_EQ(engine->state(), State::ready);
  }
  bool logged(Log::Level level, std::string_view line, int timeoutMs = 20000) {
    return pumpUntil([&] { return capture.contains("app", level, line); }, timeoutMs);
  }

  Log::Capture capture;
  StandInBackend backend;
  std::unique_ptr<TarnBridge> bridge;
  std::unique_ptr<HeadlessEngine> engine;
};

TEST_F(KnowledgeBase, AStoredNoteIsFoundSentAlongAndSurvivesARestart) {
  startEngine();
  EXPECT_TRUE(capture.contains("app", Log::Level::notice, "헤드리스 엔진 준비됨"));
  engine->ingest("김민수 님은 회의 자료를 금요일까지 검토한다", "[답글] 메일 · 회의 자료", "",
                 "ko");
  ASSERT_TRUE(logged(Log::Level::notice, "답글에서 배운 것을 타르노에 적었다"));
  auto stored = TarnStore::read(TarnStore::tarnFile());
  ASSERT_TRUE(stored);
  EXPECT_NE(stored->find("금요일까지"), std::string::npos);

  engine.reset();  // a restart of Mirelo: the page reads the note back from disk
  startEngine();
  auto knowledge = runOnLoop(engine->retrieve("회의는 언제 하나요?", std::string("김민수")));
  ASSERT_TRUE(knowledge);
  EXPECT_NE((*knowledge)["knowledge"].get<std::string>().find("금요일까지"), std::string::npos);
  EXPECT_EQ((*knowledge)["usedChunks"][0]["docTitle"], "[답글] 메일 · 회의 자료");
  EXPECT_FALSE(runOnLoop(engine->retrieve("날씨", std::nullopt))) << "no shared word, no knowledge";

  auto p = desk->platform();
  runOnLoop(Api::generate(p, "회의 자료 보내주세요", knowledge, std::nullopt));
  auto requests = backend.requests();
  ASSERT_EQ(requests.back().value("path", ""), "/generate");
  Json sent = Json::parse(requests.back().value("body", "{}"));
  EXPECT_EQ(sent["kb"], *knowledge);
}

TEST_F(KnowledgeBase, AnErrorPageMakesTheEngineUnavailable) {
  backend.route("GET", "/app/kb-headless.html", {{"status", 401}, {"body", "no"}});
  engine = std::make_unique<HeadlessEngine>(desk->platform(), *bridge);
  engine->ensureLoaded();
  ASSERT_TRUE(logged(Log::Level::error, "헤드리스 엔진 사용 불가 (http) — HTTP 401"));
  EXPECT_EQ(engine->state(), State::unavailable);
  EXPECT_EQ(engine->failureCount(), 1);
}

// A page with a same-origin and a cross-origin iframe: each frame asks for "usage" and posts a
// "mireloHeadless" message; the results come back to the top page.
const char* kFramesPage = R"(<!doctype html><meta charset="utf-8"><body><script>
window.results = {};
window.addEventListener('message', (e) => { if (e.data && e.data.frame) results[e.data.frame] = e.data.result; });
mireloNative.post('mireloHeadless', {type: 'top'});
mireloNative.post('mireloTarn', {type: 'usage'}).then((v) => results.top = 'bytes ' + v.bytes, (e) => results.top = e.message);
for (const [name, src] of [['same', '/app/frame.html'], ['cross', 'http://localhost:PORT/app/frame.html']]) {
  const f = document.createElement('iframe'); f.src = src + '#' + name; document.body.appendChild(f);
}
</script>)";
const char* kFramePage = R"(<!doctype html><meta charset="utf-8"><script>
const name = location.hash.slice(1);
mireloNative.post('mireloHeadless', {type: name});
mireloNative.post('mireloTarn', {type: 'usage'}).then((v) => 'bytes ' + v.bytes, (e) => e.message)
  .then((result) => parent.postMessage({frame: name, result}, '*'));
</script>)";

// The value of a script in the view's page, or its failure message.
Task<Json> evaluate(platform::WebView& view, std::string script) {
  Completion<Json> done;
  view.callAsync(script, Json::object(), [done](platform::ScriptResult r) mutable {
    done.resolve(r.value ? *r.value : Json(r.failure.value_or("")));
  });
  co_return co_await done;
}

TEST_F(KnowledgeBase, OnlyTheTopFrameOfTheBackendsPagesIsServed) {
  std::string port = backend.url().substr(backend.url().rfind(':') + 1);
  std::string frames = kFramesPage;
  frames.replace(frames.find("PORT"), 4, port);
  backend.route("GET", "/app/frames.html", {{"body", frames}, {"contentType", "text/html"}});
  backend.route("GET", "/app/frame.html", {{"body", kFramePage}, {"contentType", "text/html"}});

  auto view = desk->webViews.create(true);
  std::vector<std::string> headless;
  view->addReplyHandler("mireloTarn", [&](const platform::ScriptMessage& m,
                                          platform::ScriptReply r) { bridge->reply(m, r); });
  view->addHandler("mireloHeadless", [&](const platform::ScriptMessage& m) {
    if (m.mainFrame && bridge->isDashboardOrigin(m.origin))
      headless.push_back(m.body.value("type", ""));
  });
  auto results = [&] { return runOnLoop(evaluate(*view, "return window.results || {};")); };
  auto settled = [&](const char* top) {
    Json r = results();
    return r.value("top", "") == top && r.contains("same") && r.contains("cross");
  };

  view->load(backend.url() + "/app/frames.html");
  ASSERT_TRUE(pumpUntil([&] { return settled("bytes 0"); }, 20000)) << results().dump();
  Json r = results();
  EXPECT_EQ(r["top"], "bytes 0");
  EXPECT_EQ(r["same"], "not-allowed");
  EXPECT_EQ(r["cross"], "not-allowed");
  EXPECT_EQ(headless, std::vector<std::string>{"top"});

  // The same page under another host name is another origin: its top frame is refused too.
  headless.clear();
  view->load("http://localhost:" + port + "/app/frames.html");
  ASSERT_TRUE(pumpUntil([&] { return settled("not-allowed"); }, 20000)) << results().dump();
  EXPECT_TRUE(headless.empty());
}

}  // namespace
