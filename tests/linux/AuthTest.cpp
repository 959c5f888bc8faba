#include "account/Auth.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "StandInBackend.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "base/Text.h"
#include "fake/FakeDesktop.h"
#include "fake/RunTask.h"
#include "platform/linux/OpenURL.h"

namespace {

using Auth::AuthError;

// Opens URLs like the desktop would ($BROWSER), remembering them.
class BrowserWorkspace : public fake::FakeWorkspace {
 public:
  bool open(const std::string& url) override {
    openedURLs.push_back(url);
    return followRedirect && linuxport::openURL(url);
  }
  bool followRedirect = true;
};

std::string queryValue(const std::string& url, const std::string& name) {
  auto m = Text::Regex("[?&]" + name + "=([^&]*)").firstMatch(url);
  if (!m || !m->groups[1]) return "";
  gchar* raw = g_uri_unescape_string(m->groups[1]->c_str(), nullptr);
  std::string out = raw ? raw : "";
  g_free(raw);
  return out;
}

class AuthTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    backend = std::make_unique<StandInBackend>();
    // The "browser": follows the consent page's redirect back to the listener.
    char dirTemplate[] = "/tmp/mirelo-browser-XXXXXX";
    browserDir = mkdtemp(dirTemplate);
    std::string script = browserDir + "/browser";
    std::ofstream(script) << "#!/bin/sh\nexec curl -sS -L --max-time 20 -o /dev/null \"$1\"\n";
    chmod(script.c_str(), 0755);
    setenv("BROWSER", script.c_str(), 1);
  }
  static void TearDownTestSuite() {
    backend.reset();
    unsetenv("BROWSER");
    std::filesystem::remove_all(browserDir);
  }

  void SetUp() override {
    backend->reset();
    auto& d = desk.defaults.values;
    d["MireloBackendURL"] = backend->url();
    d["MireloGoogleAuthURL"] = backend->url() + "/o/oauth2/v2/auth";
    d["MireloGoogleTokenURL"] = backend->url() + "/token";
    d["MireloGoogleClientID"] = "stand-in-client.apps";
    d["accountEmail"] = "old@example.com";
    Keychain::set(desk.secrets, "old-token", Keychain::kSessionToken);
  }

  Json requestTo(const std::string& path) {
    for (const auto& r : backend->requests())
      if (r["path"] == path) return r;
    return Json();
  }

  // A failed sign-in leaves the earlier session as it was.
  void expectNothingWritten() {
    EXPECT_EQ(Keychain::get(desk.secrets, Keychain::kSessionToken), "old-token");
    EXPECT_EQ(desk.defaults.values["accountEmail"], "old@example.com");
  }

  // Starts a sign-in whose redirect the test delivers itself with the given query.
  std::optional<AuthError> redirectWith(const std::string& query) {
    workspace.followRedirect = false;
    bool done = false;
    std::optional<AuthError> error;
    spawn([](platform::Platform& p, bool& d, std::optional<AuthError>& e) -> Task<void> {
      try {
        co_await Auth::signIn(p);
      } catch (const AuthError& caught) {
        e = caught;
      }
      d = true;
    }(p, done, error));
    std::string url = workspace.openedURLs.back();
    std::string state = queryValue(url, "state");
    std::string swapped = state;
    for (char& c : swapped)
      c = g_ascii_isupper(c) ? g_ascii_tolower(c) : g_ascii_toupper(c);
    std::string q = Text::Regex("STATE").replaceAll(query, state);
    q = Text::Regex("SWAPPED").replaceAll(q, swapped);
    platform::HttpRequest callback;
    callback.url = queryValue(url, "redirect_uri") + "/?" + q;
    runTask(desk.clock, http.send(callback));
    EXPECT_TRUE(desk.clock.runUntil([&] { return done; }, 10));
    return error;
  }

  static inline std::unique_ptr<StandInBackend> backend;
  static inline std::string browserDir;
  fake::FakeDesktop desk;
  BrowserWorkspace workspace;
  linuxport::CurlHttp http{desk.clock};
  platform::Platform p{desk.clock,      desk.accessibility, desk.keyboard,
                       desk.pasteboard, workspace,          desk.defaults,
                       desk.secrets,    desk.notifier,      http,
                       desk.ui,         desk.webViews,      desk.updater};
};

TEST(Pkce, ChallengeIsTheS256TransformOfRfc7636AppendixB) {
  EXPECT_EQ(Auth::codeChallenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
            "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
  // Sizes and alphabet of verifier, state and challenge show in the sign-in's own URL.
  EXPECT_NE(Auth::randomURLSafe(32), Auth::randomURLSafe(32));
}

TEST(AuthEncoding, AuthorizationURLAndFormBody) {
  EXPECT_EQ(Auth::authorizationURL("https://accounts.example/o/oauth2/v2/auth", "id+1.apps",
                                   "http://127.0.0.1:4321", "chal-_", "st"),
            "https://accounts.example/o/oauth2/v2/auth?client_id=id%2B1.apps"
            "&redirect_uri=http://127.0.0.1:4321&response_type=code&scope=openid%20email"
            "&code_challenge=chal-_&code_challenge_method=S256&state=st");
  EXPECT_EQ(Auth::formEncode({{"redirect_uri", "http://127.0.0.1:5"}, {"code", "a-b_c.d~ 한"}}),
            "redirect_uri=http%3A%2F%2F127%2E0%2E0%2E1%3A5&code=a%2Db%5Fc%2Ed%7E%20%ED%95%9C");
}

TEST_F(AuthTest, SignsInThroughTheBrowserAndStoresTheSession) {
  desk.defaults.values["MireloGoogleClientSecret"] = "";
  desk.defaults.infoValues["MireloGoogleClientSecret"] = "from-info";
  runTask(desk.clock, Auth::signIn(p));

  auto token = Keychain::get(desk.secrets, Keychain::kSessionToken);
  ASSERT_TRUE(token);
  EXPECT_EQ(token->rfind("stand-in-session-", 0), 0u);
  EXPECT_EQ(desk.defaults.values["accountEmail"], "stand-in@mirelo.invalid");

  ASSERT_EQ(workspace.openedURLs.size(), 1u);
  const std::string& url = workspace.openedURLs[0];
  Text::Regex expected("\\Q" + backend->url() +
                       "\\E/o/oauth2/v2/auth\\?client_id=stand-in-client\\.apps"
                       "&redirect_uri=http://127\\.0\\.0\\.1:[0-9]+&response_type=code"
                       "&scope=openid%20email&code_challenge=[A-Za-z0-9_-]{43}"
                       "&code_challenge_method=S256&state=[A-Za-z0-9_-]{43}");
  EXPECT_TRUE(expected.matchesWhole(url)) << url;

  Json exchange = requestTo("/token");
  EXPECT_EQ(exchange["headers"]["content-type"], "application/x-www-form-urlencoded");
  EXPECT_FALSE(exchange["headers"].contains("authorization"));
  EXPECT_EQ(exchange["params"]["redirect_uri"], queryValue(url, "redirect_uri"));
  EXPECT_EQ(exchange["params"]["code_verifier"].get<std::string>().size(), 86u);
  EXPECT_FALSE(exchange["params"].contains("client_secret")) << "an empty secret is not sent";

  Json mint = requestTo("/auth/google");
  EXPECT_EQ(mint["headers"]["content-type"], "application/json");
  EXPECT_FALSE(mint["headers"].contains("authorization"));
  EXPECT_EQ(Json::parse(mint["body"].get<std::string>()),
            (Json{{"accessToken", "stand-in-google-token-" +
                                      exchange["params"]["code"].get<std::string>().substr(14)}}));
}

TEST_F(AuthTest, SendsAConfiguredSecretAndForgetsTheEmailWhenTheBackendSendsNone) {
  desk.defaults.infoValues["MireloGoogleClientSecret"] = "s3cret/+";
  backend->route("POST", "/auth/google", {{"body", R"({"token":"new-token","email":7})"}});
  runTask(desk.clock, Auth::signIn(p));
  EXPECT_EQ(requestTo("/token")["params"]["client_secret"], "s3cret/+");
  EXPECT_EQ(Keychain::get(desk.secrets, Keychain::kSessionToken), "new-token");
  EXPECT_FALSE(desk.defaults.values.contains("accountEmail"));
}

TEST_F(AuthTest, RejectedExchangesAndSessionsWriteNothing) {
  const std::pair<std::string, Json> cases[] = {
      {"/token", {{"status", 400}, {"body", R"({"error":"invalid_grant"})"}}},
      {"/token", {{"status", 401}, {"bodyHex", "fffe"}}},
      {"/token", {{"body", R"({"token_type":"Bearer"})"}}},
      {"/auth/google", {{"status", 500}, {"body", "oops"}}},
      {"/auth/google", {{"body", R"({"email":"a@b"})"}}},
      {"/auth/google", {{"body", R"({"token":""})"}}},
  };
  std::vector<std::string> descriptions;
  for (const auto& [path, answer] : cases) {
    backend->reset();
    backend->route("POST", path, answer);
    auto error = failureOf<AuthError>(desk.clock, Auth::signIn(p));
    ASSERT_TRUE(error) << path;
    EXPECT_EQ(error->kind(), path == "/token" ? AuthError::Kind::google : AuthError::Kind::server);
    descriptions.push_back(error->description());
    expectNothingWritten();
  }
  EXPECT_EQ(descriptions, (std::vector<std::string>{
                              R"(구글 로그인 실패: {"error":"invalid_grant"})",
                              "구글 로그인 실패: 토큰 교환 실패",
                              "구글 로그인 실패: 응답에 access_token 이 없습니다",
                              "서버 로그인 실패: oops",
                              "서버 로그인 실패: 응답에 token 이 없습니다",
                              "서버 로그인 실패: 응답에 token 이 없습니다",
                          }));
}

TEST_F(AuthTest, TheRedirectMustCarryTheSameStateAndACode) {
  for (const char* query : {"code=c&state=SWAPPED", "code=c", "code=c&state="}) {
    auto mismatch = redirectWith(query);
    ASSERT_TRUE(mismatch) << query;
    EXPECT_EQ(mismatch->description(), "구글 로그인 실패: state 가 일치하지 않습니다");
  }

  auto denied = redirectWith("error=access_denied&state=STATE");
  ASSERT_TRUE(denied);
  EXPECT_EQ(denied->description(), "구글 로그인 실패: access_denied");
  EXPECT_TRUE(requestTo("/token").is_null());
  expectNothingWritten();
}

TEST_F(AuthTest, WithoutAClientIDOrAStoreForTheSessionNothingIsWritten) {
  desk.defaults.values["MireloGoogleClientID"] = "";
  desk.defaults.infoValues["MireloGoogleClientID"] = "from-info";
  auto error = failureOf<AuthError>(desk.clock, Auth::signIn(p));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->kind(), AuthError::Kind::noClientID);
  EXPECT_STREQ(error->what(), "OAuth 클라이언트가 설정되지 않았습니다");
  EXPECT_TRUE(workspace.openedURLs.empty());

  desk.defaults.values["MireloGoogleClientID"] = "stand-in-client.apps";
  desk.secrets.storesFail = true;
  error = failureOf<AuthError>(desk.clock, Auth::signIn(p));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->kind(), AuthError::Kind::keychain);
  EXPECT_NE(std::string(error->what()).find("저장소를 쓸 수 없습니다"), std::string::npos);
  expectNothingWritten();
}

}  // namespace
