#include "base/Text.h"

#include <unicode/brkiter.h>
#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <mutex>

namespace Text {

namespace {

icu::UnicodeString toUnicode(std::string_view s) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

std::string toUtf8(const icu::UnicodeString& u) {
  std::string out;
  u.toUTF8String(out);
  return out;
}

// Grapheme boundaries as UTF-16 offsets into u, first boundary 0, last u.length().
std::vector<int32_t> graphemeBoundaries(const icu::UnicodeString& u) {
  static std::mutex mutex;
  static std::unique_ptr<icu::BreakIterator> prototype;
  std::unique_ptr<icu::BreakIterator> it;
  {
    std::lock_guard lock(mutex);
    if (!prototype) {
      UErrorCode status = U_ZERO_ERROR;
      prototype.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
      if (U_FAILURE(status)) prototype.reset();
    }
    if (prototype) it.reset(prototype->clone());
  }
  std::vector<int32_t> bounds;
  if (!it) {  // no ICU data: fall back to code points
    for (int32_t i = 0; i < u.length(); i = u.moveIndex32(i, 1))
      bounds.push_back(i);
    bounds.push_back(u.length());
    return bounds;
  }
  it->setText(u);
  for (int32_t p = it->first(); p != icu::BreakIterator::DONE; p = it->next())
    bounds.push_back(p);
  if (bounds.empty()) bounds.push_back(0);
  return bounds;
}

bool isTrimmable(UChar32 c) {
  return u_hasBinaryProperty(c, UCHAR_WHITE_SPACE) || c == 0x2028 || c == 0x2029 || c == 0x85;
}

}  // namespace

long characterCount(std::string_view s) {
  if (s.empty()) return 0;
  return static_cast<long>(graphemeBoundaries(toUnicode(s)).size()) - 1;
}

std::string prefix(std::string_view s, long n) {
  if (n <= 0) return {};
  auto u = toUnicode(s);
  auto b = graphemeBoundaries(u);
  if (static_cast<size_t>(n) >= b.size() - 1) return std::string(s);
  return toUtf8(u.tempSubString(0, b[n]));
}

std::string suffix(std::string_view s, long n) {
  if (n <= 0) return {};
  auto u = toUnicode(s);
  auto b = graphemeBoundaries(u);
  long count = static_cast<long>(b.size()) - 1;
  if (n >= count) return std::string(s);
  return toUtf8(u.tempSubString(b[count - n]));
}

long utf16Length(std::string_view s) {
  return toUnicode(s).length();
}

size_t byteOffsetOfUtf16(std::string_view s, long utf16Offset) {
  long units = 0;
  int32_t i = 0;
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  const auto len = static_cast<int32_t>(s.size());
  while (i < len && units < utf16Offset) {
    UChar32 c;
    U8_NEXT(p, i, len, c);
    units += (c >= 0x10000) ? 2 : 1;
  }
  return static_cast<size_t>(i);
}

long utf16OffsetOfByte(std::string_view s, size_t byteOffset) {
  if (byteOffset > s.size()) byteOffset = s.size();
  return utf16Length(s.substr(0, byteOffset));
}

std::string trimmed(std::string_view s) {
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  const auto len = static_cast<int32_t>(s.size());
  int32_t start = 0;
  while (start < len) {
    int32_t next = start;
    UChar32 c;
    U8_NEXT(p, next, len, c);
    if (!isTrimmable(c)) break;
    start = next;
  }
  int32_t end = len;
  while (end > start) {
    int32_t prev = end;
    UChar32 c;
    U8_PREV(p, 0, prev, c);
    if (!isTrimmable(c)) break;
    end = prev;
  }
  return std::string(s.substr(start, end - start));
}

bool isBlank(std::string_view s) {
  return trimmed(s).empty();
}

struct Regex::Impl {
  std::unique_ptr<icu::RegexPattern> pattern;
  mutable std::unique_ptr<icu::RegexMatcher> matcher;
};

Regex::Regex(std::string_view pattern, bool caseInsensitive, bool multiline)
    : impl_(std::make_unique<Impl>()) {
  UErrorCode status = U_ZERO_ERROR;
  UParseError parseError;
  uint32_t flags =
      (caseInsensitive ? UREGEX_CASE_INSENSITIVE : 0) | (multiline ? UREGEX_MULTILINE : 0);
  impl_->pattern.reset(icu::RegexPattern::compile(toUnicode(pattern), flags, parseError, status));
  if (U_FAILURE(status)) {
    impl_->pattern.reset();
    return;
  }
  impl_->matcher.reset(impl_->pattern->matcher(status));
  if (U_FAILURE(status)) impl_->matcher.reset();
}

Regex::~Regex() = default;

bool Regex::valid() const {
  return impl_->matcher != nullptr;
}

bool Regex::search(std::string_view text) const {
  return firstMatch(text).has_value();
}

bool Regex::matchesWhole(std::string_view text) const {
  if (!valid()) return false;
  auto u = toUnicode(text);
  impl_->matcher->reset(u);
  UErrorCode status = U_ZERO_ERROR;
  bool m = impl_->matcher->matches(status);
  return U_SUCCESS(status) && m;
}

std::optional<Regex::Match> Regex::firstMatch(std::string_view text) const {
  auto all = allMatches(text);
  if (all.empty()) return std::nullopt;
  return all.front();
}

std::vector<Regex::Match> Regex::allMatches(std::string_view text) const {
  std::vector<Match> out;
  if (!valid()) return out;
  auto u = toUnicode(text);
  auto& m = *impl_->matcher;
  m.reset(u);
  UErrorCode status = U_ZERO_ERROR;
  // Matches come in order, so UTF-16 offsets map to byte offsets by walking forward.
  long lastUnits = 0;
  size_t lastBytes = 0;
  auto bytesAt = [&](int32_t utf16) {
    if (utf16 < lastUnits) {
      lastUnits = 0;
      lastBytes = 0;
    }
    lastBytes += byteOffsetOfUtf16(text.substr(lastBytes), utf16 - lastUnits);
    lastUnits = utf16;
    return lastBytes;
  };
  while (m.find(status) && U_SUCCESS(status)) {
    Match match;
    int32_t s = m.start(status), e = m.end(status);
    match.begin = bytesAt(s);
    match.end = bytesAt(e);
    for (int32_t g = 0; g <= m.groupCount(); ++g) {
      if (m.start(g, status) < 0) {
        match.groups.emplace_back(std::nullopt);
      } else {
        match.groups.emplace_back(toUtf8(m.group(g, status)));
      }
    }
    out.push_back(std::move(match));
  }
  return out;
}

std::string Regex::replaceAll(std::string_view text, std::string_view replacement) const {
  if (!valid()) return std::string(text);
  auto& m = *impl_->matcher;
  auto u = toUnicode(text);  // the matcher keeps a reference to its input
  m.reset(u);
  UErrorCode status = U_ZERO_ERROR;
  auto result = m.replaceAll(toUnicode(replacement), status);
  if (U_FAILURE(status)) return std::string(text);
  return toUtf8(result);
}

}  // namespace Text
