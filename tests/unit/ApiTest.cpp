#include "account/Api.h"

#include <gtest/gtest.h>

namespace {

TEST(ApiRequests, PathsAreAppendedAsOneComponent) {
  EXPECT_EQ(Api::endpoint("https://api.mirelo.app", "usage"), "https://api.mirelo.app/usage");
  EXPECT_EQ(Api::endpoint("https://h/", "usage"), "https://h/usage");
  EXPECT_EQ(Api::endpoint("https://h/v1/", "auth/google"), "https://h/v1/auth/google");
  EXPECT_EQ(Api::endpoint("http://127.0.0.1:8787?x=1", "rewrite"),
            "http://127.0.0.1:8787/rewrite?x=1");
}

}  // namespace
