#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Text measures in user-perceived characters (grapheme clusters) and UTF-16 code units,
// trimming, and Unicode regular expressions. All strings are UTF-8.
namespace Text {

// Number of grapheme clusters ("%ld자" counts, length limits).
long characterCount(std::string_view s);
// The first / last n grapheme clusters.
std::string prefix(std::string_view s, long n);
std::string suffix(std::string_view s, long n);
// Length in UTF-16 code units (ranges handed to the accessibility interface).
long utf16Length(std::string_view s);
// Converts between UTF-16 unit offsets and byte offsets into s (clamped to the string).
size_t byteOffsetOfUtf16(std::string_view s, long utf16Offset);
long utf16OffsetOfByte(std::string_view s, size_t byteOffset);
// Trims every Unicode White_Space character (line separators and newlines included) at both ends.
std::string trimmed(std::string_view s);
bool isBlank(std::string_view s);

// A compiled ICU regular expression; compile once, use many times (not thread-safe per object).
class Regex {
 public:
  struct Match {
    size_t begin = 0;  // byte offsets into the searched text
    size_t end = 0;
    std::vector<std::optional<std::string>> groups;  // [0] is the whole match
  };

  explicit Regex(std::string_view pattern, bool caseInsensitive = false, bool multiline = false);
  ~Regex();
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  bool valid() const;
  // True when the pattern occurs anywhere in text.
  bool search(std::string_view text) const;
  // True when the pattern matches the whole text.
  bool matchesWhole(std::string_view text) const;
  std::optional<Match> firstMatch(std::string_view text) const;
  std::vector<Match> allMatches(std::string_view text) const;
  std::string replaceAll(std::string_view text, std::string_view replacement) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace Text
