#include "platform/linux/TextOffsets.h"

namespace linuxport::TextOffsets {

namespace {

// Length in bytes of the UTF-8 sequence starting with lead (1 for stray bytes).
size_t sequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

constexpr std::string_view kFiller = "\xEF\xBB\xBF";  // U+FEFF

// Whether a filler starts at byte i, right after a character outside the BMP.
bool fillerAt(std::string_view text, size_t i, size_t previousLength) {
  return previousLength == 4 && text.substr(i, kFiller.size()) == kFiller;
}

}  // namespace

long utf16FromCodePoints(std::string_view text, long codePoints) {
  long units = 0;
  size_t i = 0, previous = 0;
  for (long n = 0; n < codePoints && i < text.size(); ++n) {
    size_t len = sequenceLength(static_cast<unsigned char>(text[i]));
    if (!fillerAt(text, i, previous)) units += len == 4 ? 2 : 1;
    previous = len;
    i += len;
  }
  return units;
}

long codePointsFromUtf16(std::string_view text, long utf16, bool roundUp) {
  long units = 0, points = 0;
  size_t i = 0;
  while (units < utf16 && i < text.size()) {
    size_t len = sequenceLength(static_cast<unsigned char>(text[i]));
    long width = len == 4 ? 2 : 1;
    if (units + width > utf16 && !roundUp) break;
    units += width;
    ++points;
    i += len;
    if (fillerAt(text, i, len)) ++points, i += kFiller.size();
  }
  return points;
}

std::string withoutFillers(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t previous = 0;
  for (size_t i = 0; i < text.size();) {
    size_t len = sequenceLength(static_cast<unsigned char>(text[i]));
    if (!fillerAt(text, i, previous)) out.append(text.substr(i, len));
    previous = len;
    i += len;
  }
  return out;
}

size_t byteOffsetOfCodePoint(std::string_view text, long codePoints) {
  size_t i = 0;
  for (long n = 0; n < codePoints && i < text.size(); ++n)
    i += sequenceLength(static_cast<unsigned char>(text[i]));
  return i < text.size() ? i : text.size();
}

}  // namespace linuxport::TextOffsets
