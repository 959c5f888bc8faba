#include <gtest/gtest.h>

#include <memory>

#include "StandInBackend.h"
#include "account/Api.h"
#include "account/Keychain.h"
#include "base/Log.h"
#include "fake/FakeDesktop.h"
#include "fake/RunTask.h"

namespace {

using Api::ApiError;
using Kind = ApiError::Kind;
using Failure = std::pair<Kind, std::string>;

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

  // The one request the backend saw since the last reset, with its JSON body parsed.
  Json lastRequest() {
    Json all = backend->requests();
    EXPECT_EQ(all.size(), 1u);
    Json r = all.back();
    r["json"] = JsonValue::parse(r["body"].get<std::string>()).value_or(Json());
    backend->reset();
    return r;
  }
  // The kind and text of the error the task ends with.
  template <typename T>
  Failure failure(Task<T> task) {
    auto e = failureOf<ApiError>(desk.clock, std::move(task));
    return e ? Failure{e->kind(), e->description()} : Failure{Kind::server, "(succeeded)"};
  }
  bool signedIn() { return Keychain::get(desk.secrets, Keychain::kSessionToken).has_value(); }
  bool logged(const std::string& line) { return log.contains("api", Log::Level::info, line); }

  static inline std::unique_ptr<StandInBackend> backend;
  fake::FakeDesktop desk;
  linuxport::CurlHttp http{desk.clock};
  platform::Platform p = desk.platform(&http);
  Log::Capture log;
};

TEST_F(ApiLoopbackTest, RewriteSendsTheDraftWithTheBearerTokenAndLogsOnlyCounts) {
  EXPECT_EQ(
      runTask(desk.clock, Api::rewrite(p, "안녕하세요 👋🏽", std::nullopt, std::nullopt)),
      "[stand-in rewrite] 안녕하세요 👋🏽");
  Json r = lastRequest();
  EXPECT_EQ(r["method"], "POST");
  EXPECT_EQ(r["path"], "/rewrite");
  EXPECT_EQ(r["headers"]["authorization"], "Bearer tok-123");
  EXPECT_EQ(r["headers"]["content-type"], "application/json");
  EXPECT_EQ(r["json"], (Json{{"text", "안녕하세요 👋🏽"}, {"useKb", false}}));
  EXPECT_TRUE(logged("POST " + backend->url() + "/rewrite (7자)"));
  EXPECT_TRUE(logged("응답 200"));
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

  Json kb = {{"knowledge", "지식"}, {"facts", Json::array({"a"})}};
  auto generated = runTask(desk.clock, Api::generate(p, "맥락 글", kb, std::string()));
  EXPECT_EQ(generated.reply, "[stand-in reply] 맥락 4자를 읽었습니다.");
  EXPECT_EQ(generated.memoryNote, "[stand-in memory] 맥락 4자");
  Json r = lastRequest();
  EXPECT_EQ(r["path"], "/generate");
  EXPECT_EQ(r["json"], (Json{{"context", "맥락 글"}, {"useKb", true}, {"kb", kb}}));
  EXPECT_TRUE(logged("POST " + backend->url() + "/generate (맥락 4자, 타르노 실음)"));

  runTask(desk.clock, Api::generate(p, "", std::nullopt, std::string("원글")));
  EXPECT_EQ(lastRequest()["json"],
            (Json{{"context", ""}, {"useKb", false}, {"sourcePost", "원글"}}));
  EXPECT_TRUE(logged("POST " + backend->url() + "/generate (맥락 0자, 타르노 없음)"));
}

TEST_F(ApiLoopbackTest, EveryStatusMapsToItsError) {
  struct Case {
    const char* path;
    int status;
    std::string body;
    Failure expected;
  };
  const Case cases[] = {
      {"/rewrite", 200, R"({"other":1})", {Kind::server, "서버 오류 (200)"}},
      {"/rewrite", 200, R"({"rewritten":5,"error":"틀린 형식"})", {Kind::server, "틀린 형식"}},
      {"/rewrite", 200, "[1,2]", {Kind::server, "서버 오류 (200)"}},
      {"/rewrite", 200, "not json", {Kind::server, "서버 오류 (200)"}},
      {"/rewrite", 402, "", {Kind::capReached, "이번 달 한도를 다 썼습니다"}},
      {"/rewrite", 402, R"({"error":"한도 초과"})", {Kind::capReached, "한도 초과"}},
      {"/rewrite",
       422,
       R"({"code":"placeholder_draft"})",
       {Kind::placeholderDraft, "입력창이 비어 있습니다"}},
      {"/rewrite", 422, R"({"code":"other","error":"다른 이유"})", {Kind::server, "다른 이유"}},
      {"/rewrite", 422, R"({"code":5})", {Kind::server, "서버 오류 (422)"}},
      {"/rewrite", 500, R"({"error":"boom"})", {Kind::server, "boom"}},
      {"/rewrite", 500, "<html><body>Internal</body></html>", {Kind::server, "서버 오류 (500)"}},
      {"/rewrite", 503, R"({"error":42})", {Kind::server, "서버 오류 (503)"}},
      // A reply is never a placeholder.
      {"/generate", 422, R"({"code":"placeholder_draft"})", {Kind::server, "서버 오류 (422)"}},
  };
  for (const auto& c : cases) {
    backend->route("POST", c.path, {{"status", c.status}, {"body", c.body}});
    EXPECT_EQ(c.path == std::string("/rewrite")
                  ? failure(Api::rewrite(p, "x", std::nullopt, std::nullopt))
                  : failure(Api::generate(p, "c", std::nullopt, std::nullopt)),
              c.expected)
        << c.status << " " << c.body;
    EXPECT_TRUE(logged("응답 " + std::to_string(c.status)));
  }
  EXPECT_TRUE(signedIn());

  backend->route("POST", "/generate",
                 {{"status", 200}, {"body", R"({"reply":"답","memoryNote":7})"}});
  auto generated = runTask(desk.clock, Api::generate(p, "c", std::nullopt, std::nullopt));
  EXPECT_EQ(generated.reply, "답");
  EXPECT_FALSE(generated.memoryNote);
}

TEST_F(ApiLoopbackTest, A401EndsTheSessionForRewriteAndGenerateButNotForUsage) {
  backend->route("GET", "/usage", {{"status", 401}, {"body", R"({"error":"expired"})"}});
  EXPECT_EQ(failure(Api::usage(p)).second, "사용량을 읽지 못했습니다");
  EXPECT_TRUE(signedIn());

  backend->route("POST", "/generate", {{"status", 401}, {"body", R"({"error":"expired"})"}});
  EXPECT_EQ(failure(Api::generate(p, "c", std::nullopt, std::nullopt)),
            (Failure{Kind::unauthorized, "로그인이 만료되었습니다. 다시 로그인해 주세요"}));
  EXPECT_FALSE(signedIn());
  EXPECT_FALSE(desk.defaults.values.contains("accountEmail"));
  EXPECT_TRUE(desk.defaults.values.contains("MireloBackendURL"));

  backend->reset();
  EXPECT_EQ(failure(Api::rewrite(p, "x", std::nullopt, std::nullopt)),
            (Failure{Kind::notSignedIn, "먼저 로그인해 주세요"}));
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
  EXPECT_EQ(mistyped.plan, "free");

  for (const Json& answer : {Json{{"status", 200}, {"body", "[]"}}, Json{{"status", 500}},
                             Json{{"status", 402}, {"body", "{}"}}}) {
    backend->route("GET", "/usage", answer);
    EXPECT_EQ(failure(Api::usage(p)).second, "사용량을 읽지 못했습니다") << answer;
  }
}

TEST(ApiRequests, PathsAreAppendedAsOneComponent) {
  EXPECT_EQ(Api::endpoint("https://api.mirelo.app", "usage"), "https://api.mirelo.app/usage");
  EXPECT_EQ(Api::endpoint("https://h/", "usage"), "https://h/usage");
  EXPECT_EQ(Api::endpoint("https://h/v1/", "auth/google"), "https://h/v1/auth/google");
  EXPECT_EQ(Api::endpoint("http://127.0.0.1:8787?x=1", "rewrite"),
            "http://127.0.0.1:8787/rewrite?x=1");
}

}  // namespace
