#pragma once

#include <string>
#include <string_view>

namespace linuxport {

// AT-SPI counts text offsets in code points (an emoji is one); the accessibility seam counts
// UTF-16 code units (an emoji outside the BMP is two). Both directions over a UTF-8 string.
// Firefox and Thunderbird count UTF-16 units instead and make their text fit by following
// each character outside the BMP with a U+FEFF filler: a filler there counts no unit of its
// own, belongs to the character before it, and never reaches a reader.
namespace TextOffsets {

// UTF-16 units taken by the first codePoints code points of text (clamped to the text).
long utf16FromCodePoints(std::string_view text, long codePoints);
// Code points before UTF-16 offset utf16 (clamped). An offset inside a surrogate pair falls
// to the pair's start, or with roundUp to its end, so a range never splits a character.
long codePointsFromUtf16(std::string_view text, long utf16, bool roundUp = false);
// Byte offset of the code point at index codePoints (clamped to the text's size).
size_t byteOffsetOfCodePoint(std::string_view text, long codePoints);
// text without the fillers after characters outside the BMP.
std::string withoutFillers(std::string_view text);

}  // namespace TextOffsets
}  // namespace linuxport
