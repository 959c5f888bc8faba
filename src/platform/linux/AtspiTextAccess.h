#pragma once

#include <atspi/atspi.h>

#include <optional>
#include <string>

#include "platform/Accessibility.h"

// Reading and writing a field's text over AT-SPI. Ranges are UTF-16 units above the seam and
// code points in AT-SPI; every failure reads as absent (or false).
namespace AtspiTextAccess {

// The whole text as the element has it.
std::optional<std::string> wholeText(AtspiText* t);
// The whole text with each embedded object's text in its place (a browser's editable section
// holds its paragraphs as embedded objects). The selection and its range count in this text.
std::optional<std::string> valueText(AtspiText* t);
// The selected text, empty at a caret.
std::optional<std::string> selectedText(AtspiText* t);
// Selection 0, or the caret as an empty range.
std::optional<platform::TextRange> selectedRange(AtspiText* t);
// The screen box of a range; a zero-width caret box for an empty one.
std::optional<platform::Rect> boundsForRange(AtspiAccessible* a, const platform::TextRange& range);
std::optional<std::string> placeholderOf(AtspiAccessible* a);

// Whether the element takes text through the editable-text interface.
std::optional<bool> acceptsText(AtspiAccessible* a);
// Replaces the whole text; the caret ends after it.
bool writeWholeText(AtspiAccessible* a, const std::string& value);
// Replaces the selection (or inserts at the caret); the caret ends after the new text.
bool replaceSelection(AtspiAccessible* a, const std::string& value);
bool selectRange(AtspiAccessible* a, const platform::TextRange& range);

}  // namespace AtspiTextAccess
