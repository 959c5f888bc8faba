#include "platform/linux/TextOffsets.h"

#include <gtest/gtest.h>

namespace {

using namespace linuxport::TextOffsets;

// "a😀b한": code points a, 😀, b, 한 (4); UTF-16 units a, 😀 (2), b, 한 (5).
const char* kMixed =
    "a\xF0\x9F\x98\x80"
    "b\xED\x95\x9C";

TEST(TextOffsets, CodePointsToUtf16CountsAstralCharactersTwice) {
  EXPECT_EQ(utf16FromCodePoints(kMixed, 0), 0);
  EXPECT_EQ(utf16FromCodePoints(kMixed, 1), 1);
  EXPECT_EQ(utf16FromCodePoints(kMixed, 2), 3);
  EXPECT_EQ(utf16FromCodePoints(kMixed, 4), 5);
  EXPECT_EQ(utf16FromCodePoints(kMixed, 99), 5) << "clamped to the text";
  EXPECT_EQ(utf16FromCodePoints("", 3), 0);
}

TEST(TextOffsets, Utf16ToCodePointsNeverSplitsASurrogatePair) {
  EXPECT_EQ(codePointsFromUtf16(kMixed, 1), 1);
  EXPECT_EQ(codePointsFromUtf16(kMixed, 3), 2);
  EXPECT_EQ(codePointsFromUtf16(kMixed, 2), 1) << "inside the emoji: its start";
  EXPECT_EQ(codePointsFromUtf16(kMixed, 2, true), 2) << "rounded up: its end";
  EXPECT_EQ(codePointsFromUtf16(kMixed, 5), 4);
  EXPECT_EQ(codePointsFromUtf16(kMixed, 50, true), 4);
  for (long cp = 0; cp <= 4; ++cp)
    EXPECT_EQ(codePointsFromUtf16(kMixed, utf16FromCodePoints(kMixed, cp)), cp);
}

// The same text as Firefox gives it: the emoji followed by a U+FEFF filler.
TEST(TextOffsets, FillersAfterAstralCharactersCountNoUnit) {
  const std::string padded =
      "a\xF0\x9F\x98\x80\xEF\xBB\xBF"
      "b\xED\x95\x9C";
  EXPECT_EQ(withoutFillers(padded), kMixed);
  EXPECT_EQ(utf16FromCodePoints(padded, 3), 3) << "emoji and filler are two units";
  EXPECT_EQ(utf16FromCodePoints(padded, 5), 5);
  EXPECT_EQ(codePointsFromUtf16(padded, 3), 3) << "the filler goes with its emoji";
  EXPECT_EQ(codePointsFromUtf16(padded, 2), 1);
  EXPECT_EQ(codePointsFromUtf16(padded, 2, true), 3);
  EXPECT_EQ(codePointsFromUtf16(padded, 4), 4);
  const std::string lone =
      "\xEF\xBB\xBF"
      "a\xEF\xBB\xBF";  // not after an emoji: text
  EXPECT_EQ(withoutFillers(lone), lone);
  EXPECT_EQ(utf16FromCodePoints(lone, 3), 3);
}

TEST(TextOffsets, ByteOffsets) {
  EXPECT_EQ(byteOffsetOfCodePoint(kMixed, 0), 0u);
  EXPECT_EQ(byteOffsetOfCodePoint(kMixed, 2), 5u);
  EXPECT_EQ(byteOffsetOfCodePoint(kMixed, 3), 6u);
  EXPECT_EQ(byteOffsetOfCodePoint(kMixed, 9), 9u);
}

}  // namespace
