#include "account/Api.h"

#include <gtest/gtest.h>

#include "account/Auth.h"
#include "account/Keychain.h"
#include "fake/FakeDesktop.h"
#include "fake/RunTask.h"

namespace {

platform::HttpResponse ok(std::string body) {
  return {200, {}, std::move(body)};
}

TEST(ApiRequests, EachCallHasItsOwnTimeOut) {
  fake::FakeDesktop desk;
  auto p = desk.platform();
  Keychain::set(desk.secrets, "tok", Keychain::kSessionToken);
  desk.http.handler = [](const platform::HttpRequest& r) {
    if (r.url.ends_with("/rewrite")) return ok(R"({"rewritten":"r"})");
    if (r.url.ends_with("/generate")) return ok(R"({"reply":"g"})");
    if (r.url.ends_with("/token")) return ok(R"({"access_token":"a"})");
    if (r.url.ends_with("/auth/google")) return ok(R"({"token":"t"})");
    return ok("{}");
  };
  fake::runToEnd(desk.clock, Api::rewrite(p, "x", std::nullopt, std::nullopt));
  fake::runToEnd(desk.clock, Api::generate(p, "x", std::nullopt, std::nullopt));
  fake::runToEnd(desk.clock, Api::usage(p));
  fake::runToEnd(desk.clock, Auth::exchange(p, "c", "v", "id", "http://127.0.0.1:1"));
  fake::runToEnd(desk.clock, Auth::mintSession(p, "a"));

  ASSERT_EQ(desk.http.requests.size(), 5u);
  const double expected[] = {45, 45, 10, 60, 60};
  for (size_t i = 0; i < 5; ++i)
    EXPECT_EQ(desk.http.requests[i].timeoutSeconds, expected[i]) << desk.http.requests[i].url;
  EXPECT_EQ(desk.http.requests[3].url, "https://oauth2.googleapis.com/token");
  EXPECT_EQ(desk.http.requests[4].url, "https://api.mirelo.app/auth/google");
}

TEST(ApiRequests, PathsAreAppendedAsOneComponent) {
  EXPECT_EQ(Api::endpoint("https://api.mirelo.app", "usage"), "https://api.mirelo.app/usage");
  EXPECT_EQ(Api::endpoint("https://h/", "usage"), "https://h/usage");
  EXPECT_EQ(Api::endpoint("https://h/v1/", "auth/google"), "https://h/v1/auth/google");
  EXPECT_EQ(Api::endpoint("http://127.0.0.1:8787?x=1", "rewrite"),
            "http://127.0.0.1:8787/rewrite?x=1");
}

}  // namespace
