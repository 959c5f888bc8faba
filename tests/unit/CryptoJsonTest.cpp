#include <gtest/gtest.h>

#include "base/Crypto.h"
#include "base/Json.h"

namespace {

TEST(Crypto, Base64urlHasNoPaddingAndUrlSafeDigits) {
  EXPECT_EQ(Crypto::base64url(""), "");
  EXPECT_EQ(Crypto::base64url("f"), "Zg");
  EXPECT_EQ(Crypto::base64url("foo"), "Zm9v");
  EXPECT_EQ(Crypto::base64url(std::string("\xfb\xff", 2)), "-_8");
}

TEST(JsonValues, TypedLookupsTreatOtherTypesAsAbsent) {
  auto j =
      *JsonValue::parse(R"({"reply":"안녕","spentKrw":1200,"capKrw":5000.5,"flag":true,"n":null})");
  EXPECT_EQ(JsonValue::string(j, "reply"), "안녕");
  EXPECT_FALSE(JsonValue::string(j, "spentKrw"));
  EXPECT_EQ(JsonValue::number(j, "spentKrw"), 1200);
  EXPECT_EQ(JsonValue::number(j, "capKrw"), 5000.5);
  EXPECT_FALSE(JsonValue::number(j, "reply"));
  EXPECT_FALSE(JsonValue::number(j, "n"));
  EXPECT_EQ(JsonValue::boolean(j, "flag"), true);
  EXPECT_FALSE(JsonValue::string(j, "missing"));
  EXPECT_FALSE(JsonValue::string(Json::array({1}), "reply"));
  EXPECT_FALSE(JsonValue::parse("{not json"));
}

}  // namespace
