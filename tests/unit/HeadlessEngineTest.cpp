#include "kb/HeadlessEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "account/Keychain.h"
#include "base/Log.h"
#include "fake/FakeDesktop.h"
#include "fake/RunTask.h"

namespace {

using State = HeadlessEngine::State;
const platform::SecurityOrigin kBackend{"https", "api.mirelo.app", 0};

class HeadlessEngineTest : public ::testing::Test {
 protected:
  void SetUp() override { signIn("token-1"); }
  void signIn(const std::string& token) {
    Keychain::set(desk.secrets, token, Keychain::kSessionToken);
  }
  fake::FakeWebView& view() { return *desk.webViews.last(); }
  void post(Json body, platform::SecurityOrigin origin = kBackend, bool mainFrame = true) {
    ASSERT_TRUE(view().post("mireloHeadless", std::move(body), std::move(origin), mainFrame));
  }
  void becomeReady() {
    engine.ensureLoaded();
    post({{"type", "headless-ready"}});
    ASSERT_EQ(engine.state(), State::ready);
  }
  void fail() { post({{"type", "headless-error"}, {"code", "boom"}}); }
  bool logged(Log::Level level, std::string_view line) {
    return capture.contains("app", level, line);
  }

  Log::Capture capture;
  fake::FakeDesktop desk;
  TarnBridge bridge{desk.defaults};
  HeadlessEngine engine{desk.platform(), bridge};
};

TEST_F(HeadlessEngineTest, ReadinessCountsOnlyFromTheBackendsTopFrame) {
  engine.ensureLoaded();
  ASSERT_EQ(desk.webViews.loads,
            std::vector<std::string>{"https://api.mirelo.app/app/kb-headless.html#s=token-1"});
  EXPECT_EQ(desk.webViews.hiddenCreated, 1);
  EXPECT_EQ(bridge.headlessWebView, view().identity());
  post({{"type", "headless-ready"}}, kBackend, false);
  post({{"type", "headless-ready"}}, {"https", "api.mirelo.app", 8443});
  post(Json::array({"headless-ready"}));
  post({{"type", 1}});
  EXPECT_EQ(engine.state(), State::loading);
  post({{"type", "headless-error"}});
  EXPECT_EQ(engine.state(), State::unavailable);
  EXPECT_TRUE(logged(Log::Level::error, "헤드리스 엔진 사용 불가 (unknown) — "));
  post({{"type", "headless-ready"}});  // late readiness still counts
  EXPECT_EQ(engine.state(), State::ready);
  EXPECT_EQ(engine.failureCount(), 0);
}

TEST_F(HeadlessEngineTest, BackoffDoublesFromThirtySecondsUpToTenMinutes) {
  engine.ensureLoaded();
  const double expected[] = {30, 60, 120, 240, 480, 600, 600};
  for (int n = 1; n <= 7; ++n) {
    fail();
    fail();  // a second failure while unavailable counts once
    ASSERT_EQ(engine.failureCount(), n);
    size_t loads = desk.webViews.loads.size();
    desk.clock.advance(expected[n - 1] - 0.01);
    engine.ensureLoaded();
    EXPECT_EQ(desk.webViews.loads.size(), loads) << n;
    desk.clock.advance(0.01);
    engine.ensureLoaded();
    EXPECT_EQ(desk.webViews.loads.size(), loads + 1) << n;
  }
  EXPECT_EQ(desk.webViews.hiddenCreated, 1) << "the same view loads again";
}

TEST_F(HeadlessEngineTest, ReadinessTimerActsOnlyForItsOwnLoad) {
  engine.ensureLoaded();
  desk.clock.advance(10);
  signIn("token-2");
  engine.ensureLoaded();  // another account: reload at once
  ASSERT_EQ(desk.webViews.loads.back(), "https://api.mirelo.app/app/kb-headless.html#s=token-2");
  desk.clock.advance(10);
  EXPECT_EQ(engine.state(), State::loading) << "the first load's timer is stale";
  desk.clock.advance(10);
  EXPECT_EQ(engine.state(), State::unavailable);
  EXPECT_TRUE(
      logged(Log::Level::error, "헤드리스 엔진 사용 불가 (timeout) — 준비 신호가 오지 않았습니다"));
}

TEST_F(HeadlessEngineTest, TokenChangeReloadsEvenWhenReady) {
  becomeReady();
  engine.ensureLoaded();
  EXPECT_EQ(desk.webViews.loads.size(), 1u);
  signIn("token-2");
  engine.ensureLoaded();
  EXPECT_EQ(desk.webViews.loads.back(), "https://api.mirelo.app/app/kb-headless.html#s=token-2");
}

TEST_F(HeadlessEngineTest, ErrorPagesAndLoadFailuresMakeTheEngineUnavailable) {
  engine.ensureLoaded();
  EXPECT_TRUE(view().onMainFrameResponse(204));
  EXPECT_FALSE(view().onMainFrameResponse(401));
  EXPECT_EQ(engine.state(), State::unavailable);
  EXPECT_TRUE(logged(Log::Level::error, "헤드리스 엔진 사용 불가 (http) — HTTP 401"));
  desk.clock.advance(30);
  engine.ensureLoaded();
  view().onLoadFailed("Could not connect");
  EXPECT_TRUE(logged(Log::Level::error, "헤드리스 엔진 사용 불가 (load) — Could not connect"));
  EXPECT_EQ(engine.failureCount(), 2);
}

TEST_F(HeadlessEngineTest, TeardownForgetsThePageAndTheHeldNotes) {
  bridge.isDashboardActive = [] { return true; };
  engine.ensureLoaded();
  engine.ingest("a", "t", "c", "ko");
  ASSERT_EQ(engine.queue().size(), 1u);
  engine.teardown();
  EXPECT_EQ(engine.state(), State::idle);
  EXPECT_TRUE(engine.queue().empty());
  EXPECT_EQ(bridge.headlessWebView, nullptr);
  EXPECT_EQ(desk.webViews.last(), nullptr);
  desk.clock.advance(30);  // the old readiness timer does nothing
  EXPECT_EQ(engine.state(), State::idle);
}

TEST_F(HeadlessEngineTest, RetrievalPassesTheQueryAndReturnsTheKnowledge) {
  becomeReady();
  const size_t timers = desk.clock.pendingTimers();
  auto result = fake::start(desk.clock, engine.retrieve("  회의 자료\n", std::nullopt));
  ASSERT_EQ(view().calls.size(), 1u);
  EXPECT_EQ(view().calls[0].body, HeadlessEngine::kRetrievalScript);
  EXPECT_EQ(view().calls[0].arguments, (Json{{"query", "회의 자료"}, {"recipient", nullptr}}));
  Json knowledge = {{"knowledge", "회의는 화요일"},
                    {"facts", "- 민수"},
                    {"usedChunks", Json::array()},
                    {"staleFacts", Json::array()}};
  view().finishCall({knowledge, std::nullopt});
  ASSERT_TRUE(result->value);
  EXPECT_EQ(*result->value, knowledge);
  EXPECT_TRUE(logged(Log::Level::info, "타르노 검색: 지식 7자 · 사실 4자"));
  EXPECT_EQ(desk.clock.pendingTimers(), timers);  // a finished call leaves no deadline behind
}

TEST_F(HeadlessEngineTest, RetrievalYieldsNothingOnEmptyQueryNullOrUncarriableResult) {
  auto empty = fake::start(desk.clock, engine.retrieve(" \n\t", "민수"));
  ASSERT_TRUE(empty->value);
  EXPECT_FALSE(*empty->value);
  EXPECT_TRUE(desk.webViews.loads.empty()) << "an empty query starts no load";

  becomeReady();
  capture.clear();
  auto none = fake::start(desk.clock, engine.retrieve("회의", "민수"));
  EXPECT_EQ(view().calls[0].arguments["recipient"], "민수");
  view().finishCall({Json(nullptr), std::nullopt});
  EXPECT_FALSE(*none->value);
  EXPECT_TRUE(capture.records().empty());

  auto nan = fake::start(desk.clock, engine.retrieve("회의", std::nullopt));
  view().finishCall({Json{{"knowledge", "x"}, {"score", std::numeric_limits<double>::quiet_NaN()}},
                     std::nullopt});
  EXPECT_FALSE(*nan->value);
  EXPECT_TRUE(logged(Log::Level::error, "타르노 검색 결과를 요청에 실을 수 없는 모양이라 버린다"));
}

TEST_F(HeadlessEngineTest, RetrievalEndsWithinSixAndAHalfSeconds) {
  engine.ensureLoaded();
  auto stuck = fake::start(desk.clock, engine.retrieve("회의", std::nullopt));
  desk.clock.advance(5.85);
  EXPECT_FALSE(stuck->value);
  desk.clock.advance(0.3);
  ASSERT_TRUE(stuck->value) << "a page that stays loading gives nothing after 6 s";
  EXPECT_FALSE(*stuck->value);

  desk.clock.advance(50);  // timed out at 20 s, backed off 30 s: load again
  engine.ensureLoaded();
  auto late = fake::start(desk.clock, engine.retrieve("회의", std::nullopt));
  desk.clock.advance(5.9);
  post({{"type", "headless-ready"}});
  desk.clock.advance(0.1);
  ASSERT_EQ(view().calls.size(), 1u) << "ready just before the deadline: the call still runs";
  desk.clock.advance(0.45);
  EXPECT_FALSE(late->value);
  desk.clock.advance(0.1);
  ASSERT_TRUE(late->value) << "the script gets at least 0.5 s";
  EXPECT_FALSE(*late->value);
}

TEST_F(HeadlessEngineTest, ACallThatExpiresReportsWholeSecondsAndIgnoresItsLateValue) {
  becomeReady();
  auto half = fake::start(desk.clock, engine.call("return 1;", Json::object(), 0.5));
  desk.clock.advance(0.5);
  ASSERT_TRUE(half->value);
  EXPECT_EQ(half->value->failure, "시한 초과 (0초)");
  view().finishCall({Json(1), std::nullopt});  // late: ignored
  EXPECT_FALSE(half->value->value);

  auto thrown = fake::start(desk.clock, engine.call("throw new Error('x')", Json::object(), 6.9));
  view().finishCall({std::nullopt, "Error: x"});
  EXPECT_EQ(thrown->value->failure, "Error: x");
  desk.clock.advance(7);
  EXPECT_EQ(thrown->value->failure, "Error: x");
  auto slow = fake::start(desk.clock, engine.call("return 1;", Json::object(), 6.9));
  desk.clock.advance(6.9);
  EXPECT_EQ(slow->value->failure, "시한 초과 (6초)");
}

TEST_F(HeadlessEngineTest, IngestOutcomes) {
  becomeReady();
  engine.ingest("메모", "제목", "맥락", "ko");
  ASSERT_EQ(view().calls.size(), 1u);
  EXPECT_EQ(view().calls[0].body, HeadlessEngine::kIngestScript);
  EXPECT_EQ(view().calls[0].arguments,
            (Json{{"text", "메모"}, {"title", "제목"}, {"context", "맥락"}, {"lang", "ko"}}));
  view().finishCall({Json{{"status", 200}}, std::nullopt});
  EXPECT_TRUE(logged(Log::Level::notice, "답글에서 배운 것을 타르노에 적었다"));

  engine.ingest("a", "", "", "ko");
  view().finishCall({Json{{"status", 500}}, std::nullopt});
  EXPECT_TRUE(logged(Log::Level::error, "타르노 적재 실패 — 응답 500"));
  engine.ingest("b", "", "", "ko");
  view().finishCall({std::nullopt, "Error: disk full"});
  EXPECT_TRUE(logged(Log::Level::error, "타르노 적재 실패: Error: disk full"));
  EXPECT_TRUE(engine.queue().empty()) << "neither is retried";

  engine.ingest("c", "", "", "ko");
  view().finishCall({std::nullopt, "Error: tarn-busy"});
  engine.ingest("d", "", "", "ko");
  bridge.isDashboardActive = [] { return true; };  // the dashboard took the storage meanwhile
  view().finishCall({std::nullopt, "Error: quota"});
  ASSERT_EQ(engine.queue().size(), 2u);
  EXPECT_EQ(engine.queue()[1].text, "d");
  EXPECT_TRUE(logged(Log::Level::notice, "타르노 적재를 미뤄둔다 (tarn-busy, 대기 2건)"));
}

TEST_F(HeadlessEngineTest, HeldNotesKeepTheNewestTwentyAndFlushInOrderOneByOne) {
  Keychain::remove(desk.secrets, Keychain::kSessionToken);
  for (int i = 1; i <= 21; ++i)
    engine.ingest(std::to_string(i), "", "", "ko");
  ASSERT_EQ(engine.queue().size(), 20u);
  EXPECT_EQ(engine.queue().front().text, "2");
  EXPECT_EQ(engine.queue().back().text, "21");
  EXPECT_TRUE(logged(Log::Level::notice, "타르노 적재를 미뤄둔다 (엔진 없음, 대기 20건)"));

  signIn("token-1");
  bridge.isDashboardActive = [] { return true; };
  engine.ingest("22", "", "", "ko");
  EXPECT_TRUE(logged(Log::Level::notice, "타르노 적재를 미뤄둔다 (대시보드 사용 중, 대기 20건)"));
  EXPECT_TRUE(desk.webViews.loads.empty()) << "a note held for the dashboard loads nothing";
  engine.ensureLoaded();
  post({{"type", "headless-ready"}});
  EXPECT_EQ(engine.queue().size(), 20u) << "nothing flushes while the dashboard is active";

  bridge.isDashboardActive = [] { return false; };
  engine.flushQueue();
  EXPECT_TRUE(logged(Log::Level::notice, "밀려 있던 타르노 적재 20건을 다시 넣는다"));
  EXPECT_TRUE(engine.queue().empty());
  for (int i = 3; i <= 22; ++i) {
    ASSERT_EQ(view().calls.size(), 1u) << "one at a time";
    EXPECT_EQ(view().calls[0].arguments["text"], std::to_string(i));
    view().finishCall({Json{{"status", 200}}, std::nullopt});
  }
  EXPECT_TRUE(view().calls.empty());
}

}  // namespace
