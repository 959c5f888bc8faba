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

}  // namespace

long utf16FromCodePoints(std::string_view text, long codePoints) {
  long units = 0;
  size_t i = 0;
  for (long n = 0; n < codePoints && i < text.size(); ++n) {
    size_t len = sequenceLength(static_cast<unsigned char>(text[i]));
    units += len == 4 ? 2 : 1;
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
  }
  return points;
}

size_t byteOffsetOfCodePoint(std::string_view text, long codePoints) {
  size_t i = 0;
  for (long n = 0; n < codePoints && i < text.size(); ++n)
    i += sequenceLength(static_cast<unsigned char>(text[i]));
  return i < text.size() ? i : text.size();
}

}  // namespace linuxport::TextOffsets
