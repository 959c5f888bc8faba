#pragma once

#include <atspi/atspi.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/AtspiCalls.h"
#include "platform/linux/AtspiFlatText.h"

// Text that holds embedded objects (U+FFFC), as a browser's editable section holds its
// paragraphs and a paragraph its links: read with each object's own text in its place.
namespace AtspiEmbeddedText {

// The text with its embedded objects' texts in place, and the objects by number.
struct Flat {
  linuxport::AtspiFlatText text;
  std::vector<AtspiCalls::GPtr<AtspiText>> objects;
};

bool holdsEmbedded(std::string_view text);
// The flattening of t, whose own text is text; null when it holds no embedded object or they
// cannot be followed. The same flattening serves until the main loop turns.
std::shared_ptr<const Flat> flatten(AtspiText* t, const std::string& text);
// Selection 0 of the flattened text, or its caret as an empty span; absent when the selection
// cannot be told.
std::optional<linuxport::AtspiFlatText::Span> selectionOrCaret(const Flat& flat);

}  // namespace AtspiEmbeddedText
