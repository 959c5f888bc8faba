#include "platform/linux/CurlHttp.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "StandInBackend.h"
#include "fake/RunTask.h"

namespace {

using platform::HttpError;
using platform::HttpRequest;
using platform::HttpResponse;

class CurlHttpTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { backend = std::make_unique<StandInBackend>(); }
  static void TearDownTestSuite() { backend.reset(); }
  void SetUp() override { backend->reset(); }

  HttpRequest get(const std::string& path, double timeout = 10) {
    HttpRequest r;
    r.url = backend->url() + path;
    r.timeoutSeconds = timeout;
    return r;
  }

  static inline std::unique_ptr<StandInBackend> backend;
  ManualClock clock;
  linuxport::CurlHttp http{clock};
};

TEST_F(CurlHttpTest, CarriesMethodHeadersAndBodiesBothWays) {
  backend->route("POST", "/rewrite",
                 {{"status", 418}, {"body", "teapot"}, {"contentType", "text/plain"}});
  HttpRequest r = get("/rewrite");
  r.method = "POST";
  r.headers["X-Probe"] = "한글 값";
  r.body = std::string("a\0b", 3);
  HttpResponse response = runTask(clock, http.send(r));

  EXPECT_EQ(response.status, 418);
  EXPECT_EQ(response.body, "teapot");
  EXPECT_EQ(response.headers["content-type"], "text/plain");
  EXPECT_EQ(response.headers["x-mirelo-stand-in"], "1") << "names arrive in lower case";
  Json seen = backend->requests().back();
  EXPECT_EQ(seen["method"], "POST");
  EXPECT_EQ(seen["headers"]["x-probe"], "한글 값");
  EXPECT_EQ(seen["body"].get<std::string>(), std::string("a\0b", 3));
  EXPECT_FALSE(seen["headers"].contains("expect"));
}

TEST_F(CurlHttpTest, ResumesTheAwaitingTaskOnTheMainContext) {
  auto main = std::this_thread::get_id();
  auto check = [](linuxport::CurlHttp& h, HttpRequest r) -> Task<std::thread::id> {
    co_await h.send(r);
    co_return std::this_thread::get_id();
  };
  EXPECT_EQ(runTask(clock, check(http, get("/usage"))), main);
}

TEST_F(CurlHttpTest, ARefusedConnectionIsAKoreanTransportErrorWithCurlsReason) {
  HttpRequest r;
  r.url = "http://127.0.0.1:" + std::to_string(StandInBackend::closedPort()) + "/usage";
  auto error = failureOf<HttpError>(clock, http.send(r));
  ASSERT_TRUE(error);
  std::string text = error->what();
  EXPECT_EQ(text.rfind("서버에 연결하지 못했습니다 (", 0), 0u) << text;
  EXPECT_NE(text.find("onnect"), std::string::npos) << text;
  EXPECT_EQ(text.back(), ')');
}

TEST_F(CurlHttpTest, ASlowAnswerEndsAtTheRequestsTimeOut) {
  backend->route("GET", "/usage", {{"delaySeconds", 3}});
  auto error = failureOf<HttpError>(clock, http.send(get("/usage", 0.3)));
  ASSERT_TRUE(error);
  EXPECT_NE(std::string(error->what()).find("timed out"), std::string::npos) << error->what();
}

TEST_F(CurlHttpTest, AFastRequestIsNotHeldUpByASlowOne) {
  backend->route("GET", "/usage", {{"delaySeconds", 1.5}, {"body", "slow"}});
  bool slowDone = false;
  spawn([](linuxport::CurlHttp& h, HttpRequest r, bool& done) -> Task<void> {
    co_await h.send(r);
    done = true;
  }(http, get("/usage"), slowDone));
  HttpResponse fast = runTask(clock, http.send(get("/o/oauth2/v2/auth")));
  EXPECT_EQ(fast.status, 400);
  EXPECT_FALSE(slowDone);
  EXPECT_TRUE(clock.runUntil([&] { return slowDone; }, 10));
}

TEST_F(CurlHttpTest, BodiesOverTenMegabytesAreRefused) {
  const std::string expected = "서버 응답이 너무 큽니다 (10 MB 초과)";
  Json huge = {{"body", std::string(1024, 'x')}, {"repeat", 10 * 1024 + 1}};
  backend->route("GET", "/usage", huge);
  auto announced = failureOf<HttpError>(clock, http.send(get("/usage")));
  ASSERT_TRUE(announced);
  EXPECT_EQ(std::string(announced->what()), expected);

  huge["chunked"] = true;  // no Content-Length: refused while it streams in
  backend->route("GET", "/usage", huge);
  auto streamed = failureOf<HttpError>(clock, http.send(get("/usage")));
  ASSERT_TRUE(streamed);
  EXPECT_EQ(std::string(streamed->what()), expected);

  backend->route("GET", "/usage", {{"body", std::string(1024, 'x')}, {"repeat", 10 * 1024}});
  EXPECT_EQ(runTask(clock, http.send(get("/usage"))).body.size(), 10u * 1024 * 1024);
}

}  // namespace
