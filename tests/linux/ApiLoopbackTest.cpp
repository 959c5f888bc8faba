#include <gtest/gtest.h>

#include <memory>

#include "StandInBackend.h"
#include "account/Api.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "base/Log.h"
#include "fake/FakeDesktop.h"
#include "fake/RunTask.h"

namespace {

using Api::ApiError;
using Kind = ApiError::Kind;

class ApiLoopbackTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { backend = std::make_unique<StandInBackend>(); }
  static void TearDownTestSuite() { backend.reset(); }

  void SetUp() override {
    backend->reset();
    desk.defaults.values["MireloBackendURL"] = backend->url();
    desk.defaults.values["accountEmail"] = "me@example.com";
    Keychain::set(desk.secrets, "tok-123", Keychain::kSessionToken);
  }

  // The one request the backend saw, with its JSON body parsed.
  Json lastRequest() {
    Json all = backend->requests();
    EXPECT_EQ(all.size(), 1u);
    Json r = all.back();
    r["json"] = JsonValue::parse(r["body"].get<std::string>()).value_or(Json());
    return r;
  }

  template <typename T>
  std::optional<ApiError> apiFailure(Task<T> task) {
    return failureOf<ApiError>(desk.clock, std::move(task));
  }

  bool signedIn() { return Keychain::get(desk.secrets, Keychain::kSessionToken).has_value(); }

  static inline std::unique_ptr<StandInBackend> backend;
  fake::FakeDesktop desk;
  linuxport::CurlHttp http{desk.clock};
  platform::Platform p{desk.clock,      desk.accessibility, desk.keyboard,
                       desk.pasteboard, desk.workspace,     desk.defaults,
                       desk.secrets,    desk.notifier,      http,
                       desk.ui,         desk.webViews,      desk.updater};
  Log::Capture log;
};

TEST_F(ApiLoopbackTest, RewriteSendsTheDraftWithTheBearerTokenAndLogsOnlyCounts) {
  std::string result =
      runTask(desk.clock, Api::rewrite(p, "안녕하세요 👋🏽", std::nullopt, std::nullopt));
  EXPECT_EQ(result, "[stand-in rewrite] 안녕하세요 👋🏽");

  Json r = lastRequest();
  EXPECT_EQ(r["method"], "POST");
  EXPECT_EQ(r["path"], "/rewrite");
  EXPECT_EQ(r["headers"]["authorization"], "Bearer tok-123");
  EXPECT_EQ(r["headers"]["content-type"], "application/json");
  EXPECT_EQ(r["json"], (Json{{"text", "안녕하세요 👋🏽"}, {"useKb", false}}));
  EXPECT_TRUE(log.contains("api", Log::Level::info, "POST " + backend->url() + "/rewrite (7자)"));
  EXPECT_TRUE(log.contains("api", Log::Level::info, "응답 200"));
  for (const auto& record : log.records()) {
    EXPECT_EQ(record.message.find("tok-123"), std::string::npos);
    EXPECT_EQ(record.message.find("안녕"), std::string::npos);
  }
}

TEST_F(ApiLoopbackTest, OptionalFieldsFollowWhatTheCallerGave) {
  runTask(desk.clock, Api::rewrite(p, "draft", std::string(), Json::object()));
  EXPECT_EQ(
      lastRequest()["json"],
      (Json{{"text", "draft"}, {"useKb", true}, {"kb", Json::object()}, {"instruction", ""}}));

  backend->reset();
  Json kb = {{"knowledge", "지식"}, {"facts", Json::array({"a"})}};
  auto generated = runTask(desk.clock, Api::generate(p, "맥락 글", kb, std::string()));
  EXPECT_EQ(generated.reply, "[stand-in reply] 맥락 4자를 읽었습니다.");
  EXPECT_EQ(generated.memoryNote, "[stand-in memory] 맥락 4자");
  Json r = lastRequest();
  EXPECT_EQ(r["path"], "/generate");
  EXPECT_EQ(r["json"], (Json{{"context", "맥락 글"}, {"useKb", true}, {"kb", kb}}));
  EXPECT_TRUE(log.contains("api", Log::Level::info,
                           "POST " + backend->url() + "/generate (맥락 4자, 타르노 실음)"));

  backend->reset();
  runTask(desk.clock, Api::generate(p, "", std::nullopt, std::string("원글")));
  EXPECT_EQ(lastRequest()["json"],
            (Json{{"context", ""}, {"useKb", false}, {"sourcePost", "원글"}}));
  EXPECT_TRUE(log.contains("api", Log::Level::info,
                           "POST " + backend->url() + "/generate (맥락 0자, 타르노 없음)"));
}

TEST_F(ApiLoopbackTest, RewriteMapsEveryStatusToItsError) {
  struct Case {
    int status;
    std::string body;
    Kind kind;
    std::string description;
  };
  const Case cases[] = {
      {200, R"({"other":1})", Kind::server, "서버 오류 (200)"},
      {200, R"({"rewritten":5,"error":"틀린 형식"})", Kind::server, "틀린 형식"},
      {200, "[1,2]", Kind::server, "서버 오류 (200)"},
      {200, "not json", Kind::server, "서버 오류 (200)"},
      {402, "", Kind::capReached, "이번 달 한도를 다 썼습니다"},
      {402, R"({"error":"한도 초과"})", Kind::capReached, "한도 초과"},
      {422, R"({"code":"placeholder_draft"})", Kind::placeholderDraft, "입력창이 비어 있습니다"},
      {422, R"({"code":"other","error":"다른 이유"})", Kind::server, "다른 이유"},
      {422, R"({"code":5})", Kind::server, "서버 오류 (422)"},
      {500, R"({"error":"boom"})", Kind::server, "boom"},
      {500, "<html><body>Internal</body></html>", Kind::server, "서버 오류 (500)"},
      {503, R"({"error":42})", Kind::server, "서버 오류 (503)"},
  };
  for (const auto& c : cases) {
    backend->route("POST", "/rewrite", {{"status", c.status}, {"body", c.body}});
    auto error = apiFailure(Api::rewrite(p, "x", std::nullopt, std::nullopt));
    ASSERT_TRUE(error) << c.status << " " << c.body;
    EXPECT_EQ(error->kind(), c.kind) << c.status << " " << c.body;
    EXPECT_EQ(error->description(), c.description) << c.status << " " << c.body;
    EXPECT_TRUE(log.contains("api", Log::Level::info, "응답 " + std::to_string(c.status)));
  }
  EXPECT_TRUE(signedIn());
}

TEST_F(ApiLoopbackTest, GenerateTreatsPlaceholderLikeAnyFailureAndIgnoresAMistypedNote) {
  backend->route("POST", "/generate",
                 {{"status", 422}, {"body", R"({"code":"placeholder_draft"})"}});
  auto error = apiFailure(Api::generate(p, "c", std::nullopt, std::nullopt));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->kind(), Kind::server);
  EXPECT_EQ(error->description(), "서버 오류 (422)");

  backend->route("POST", "/generate",
                 {{"status", 200}, {"body", R"({"reply":"답","memoryNote":7})"}});
  auto generated = runTask(desk.clock, Api::generate(p, "c", std::nullopt, std::nullopt));
  EXPECT_EQ(generated.reply, "답");
  EXPECT_FALSE(generated.memoryNote);
}

TEST_F(ApiLoopbackTest, A401EndsTheSessionForRewriteAndGenerateButNotForUsage) {
  backend->route("GET", "/usage", {{"status", 401}, {"body", R"({"error":"expired"})"}});
  auto usageError = apiFailure(Api::usage(p));
  ASSERT_TRUE(usageError);
  EXPECT_EQ(usageError->description(), "사용량을 읽지 못했습니다");
  EXPECT_TRUE(signedIn());

  backend->route("POST", "/generate", {{"status", 401}, {"body", R"({"error":"expired"})"}});
  auto error = apiFailure(Api::generate(p, "c", std::nullopt, std::nullopt));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->kind(), Kind::unauthorized);
  EXPECT_STREQ(error->what(), "로그인이 만료되었습니다. 다시 로그인해 주세요");
  EXPECT_FALSE(signedIn());
  EXPECT_FALSE(desk.defaults.values.contains("accountEmail"));
  EXPECT_TRUE(desk.defaults.values.contains("MireloBackendURL"));

  backend->reset();
  auto again = apiFailure(Api::rewrite(p, "x", std::nullopt, std::nullopt));
  ASSERT_TRUE(again);
  EXPECT_EQ(again->kind(), Kind::notSignedIn);
  EXPECT_EQ(again->description(), "먼저 로그인해 주세요");
  EXPECT_TRUE(backend->requests().empty()) << "no token, no request";
}

TEST_F(ApiLoopbackTest, UsageReadsNumbersAndPlanLeniently) {
  Api::Usage standIn = runTask(desk.clock, Api::usage(p));
  EXPECT_EQ(standIn.spentKrw, 0);
  EXPECT_EQ(standIn.capKrw, 10000);
  EXPECT_EQ(standIn.plan, "stand-in");
  Json r = lastRequest();
  EXPECT_EQ(r["method"], "GET");
  EXPECT_EQ(r["headers"]["authorization"], "Bearer tok-123");
  EXPECT_FALSE(r["headers"].contains("content-type"));

  backend->route("GET", "/usage", {{"body", R"({"spentKrw":1200})"}});
  Api::Usage partial = runTask(desk.clock, Api::usage(p));
  EXPECT_EQ(partial.spentKrw, 1200);
  EXPECT_FALSE(partial.capKrw);
  EXPECT_EQ(partial.plan, "free");

  backend->route("GET", "/usage", {{"body", R"({"spentKrw":"1200","capKrw":null,"plan":3})"}});
  Api::Usage mistyped = runTask(desk.clock, Api::usage(p));
  EXPECT_FALSE(mistyped.spentKrw);
  EXPECT_FALSE(mistyped.capKrw);
  EXPECT_EQ(mistyped.plan, "free");

  for (const Json& answer : {Json{{"status", 200}, {"body", "[]"}}, Json{{"status", 500}},
                             Json{{"status", 402}, {"body", "{}"}}}) {
    backend->route("GET", "/usage", answer);
    auto error = apiFailure(Api::usage(p));
    ASSERT_TRUE(error) << answer;
    EXPECT_EQ(error->description(), "사용량을 읽지 못했습니다");
  }
}

}  // namespace
