#include "base/Text.h"

#include <gtest/gtest.h>

namespace {

TEST(TextCount, CountsWhatAReaderSeesAsOneCharacter) {
  EXPECT_EQ(Text::characterCount(""), 0);
  EXPECT_EQ(Text::characterCount("안녕하세요"), 5);
  // Conjoining jamo (ᄒ + ᅡ + ᆫ) form one syllable.
  EXPECT_EQ(Text::characterCount("\u1112\u1161\u11AB"), 1);
  // e + combining acute accent.
  EXPECT_EQ(Text::characterCount("e\u0301"), 1);
  // Family emoji joined with ZWJ, and a flag of two regional indicators.
  EXPECT_EQ(Text::characterCount("👨‍👩‍👧"), 1);
  EXPECT_EQ(Text::characterCount("🇰🇷"), 1);
  EXPECT_EQ(Text::characterCount("a👍🏽b"), 3);
  EXPECT_EQ(Text::characterCount("\r\n"), 1);
}

TEST(TextCount, Utf16LengthCountsSurrogatePairsTwice) {
  EXPECT_EQ(Text::utf16Length("한글"), 2);
  EXPECT_EQ(Text::utf16Length("😀"), 2);
  EXPECT_EQ(Text::utf16Length("👨‍👩‍👧"), 8);
  EXPECT_EQ(Text::byteOffsetOfUtf16("a😀b", 3), 5u);
  EXPECT_EQ(Text::utf16OffsetOfByte("a😀b", 5), 3);
  EXPECT_EQ(Text::byteOffsetOfUtf16("ab", 10), 2u);
}

TEST(TextSlices, PrefixAndSuffixNeverSplitACharacter) {
  EXPECT_EQ(Text::prefix("가👨‍👩‍👧나", 2), "가👨‍👩‍👧");
  EXPECT_EQ(Text::suffix("가👨‍👩‍👧나", 2), "👨‍👩‍👧나");
  EXPECT_EQ(Text::prefix("abc", 10), "abc");
  EXPECT_EQ(Text::suffix("abc", 0), "");
  EXPECT_EQ(Text::prefix("e\u0301x", 1), "e\u0301");
}

TEST(TextTrim, TrimsEveryKindOfBlankAtBothEndsOnly) {
  EXPECT_EQ(Text::trimmed("  \t\n안녕 하세요\r\n "), "안녕 하세요");
  // No-break space, ideographic space, line and paragraph separators.
  EXPECT_EQ(Text::trimmed("\u00A0\u3000x\u2028\u2029\u0085"), "x");
  EXPECT_TRUE(Text::isBlank(" \n\u3000"));
  EXPECT_FALSE(Text::isBlank(" . "));
  // A zero-width space is not white space.
  EXPECT_EQ(Text::trimmed("\u200Bx"), "\u200Bx");
}

TEST(TextRegex, FindsMatchesWithGroupsAndByteOffsets) {
  Text::Regex re("(\\d+)일 전");
  ASSERT_TRUE(re.valid());
  auto m = re.firstMatch("메일 3일 전 보냄");
  ASSERT_TRUE(m);
  EXPECT_EQ(*m->groups[1], "3");
  EXPECT_EQ(std::string("메일 3일 전 보냄").substr(m->begin, m->end - m->begin), "3일 전");
  EXPECT_EQ(re.allMatches("1일 전, 22일 전").size(), 2u);
}

TEST(TextRegex, CaseInsensitiveOnlyWhenAsked) {
  Text::Regex exact("^On .* wrote:$");
  Text::Regex loose("^on .* wrote:$", true);
  EXPECT_FALSE(exact.search("on Mon, Kim wrote:"));
  EXPECT_TRUE(loose.search("ON Mon, Kim WROTE:"));
  EXPECT_TRUE(loose.matchesWhole("On x wrote:"));
  EXPECT_FALSE(loose.matchesWhole("On x wrote: more"));
}

TEST(TextRegex, ReplacesAndRejectsBadPatterns) {
  Text::Regex spaces("\\s+");
  EXPECT_EQ(spaces.replaceAll("a  b\n\nc", " "), "a b c");
  Text::Regex broken("(unclosed");
  EXPECT_FALSE(broken.valid());
  EXPECT_FALSE(broken.search("unclosed"));
  EXPECT_EQ(broken.replaceAll("x", "y"), "x");
}

}  // namespace
