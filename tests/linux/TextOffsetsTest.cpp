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

TEST(TextOffsets, ByteOffsets) {
  EXPECT_EQ(byteOffsetOfCodePoint(kMixed, 0), 0u);
  EXPECT_EQ(byteOffsetOfCodePoint(kMixed, 2), 5u);
  EXPECT_EQ(byteOffsetOfCodePoint(kMixed, 3), 6u);
  EXPECT_EQ(byteOffsetOfCodePoint(kMixed, 9), 9u);
}

}  // namespace
