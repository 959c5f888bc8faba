#include "platform/linux/AtspiTextAccess.h"

#include <algorithm>
#include <cstring>

#include "platform/linux/AtspiCalls.h"
#include "platform/linux/AtspiEmbeddedText.h"
#include "platform/linux/AtspiRoles.h"
#include "platform/linux/TextOffsets.h"

namespace AtspiTextAccess {

using namespace AtspiCalls;
using platform::Rect;
using platform::TextRange;
namespace TextOffsets = linuxport::TextOffsets;

namespace {

std::optional<std::string> textBetween(AtspiText* t, gint start, gint end) {
  if (end <= start) return std::string();
  GError* error = nullptr;
  return takeString(atspi_text_get_text(t, start, end, &error), error);
}

struct Span {
  gint start = 0, end = 0;  // code points
};

// Selection 0, or the caret as an empty span.
std::optional<Span> selectionOrCaret(AtspiText* t) {
  GError* error = nullptr;
  gint n = atspi_text_get_n_selections(t, &error);
  if (failed(error)) return std::nullopt;
  if (n > 0) {
    AtspiRange* range = atspi_text_get_selection(t, 0, &error);
    if (failed(error) || !range) {
      g_free(range);
      return std::nullopt;
    }
    Span span{std::min(range->start_offset, range->end_offset),
              std::max(range->start_offset, range->end_offset)};
    g_free(range);
    gint caret = atspi_text_get_caret_offset(t, &error);
    if (failed(error)) return std::nullopt;
    // The caret is at one end of a selection; GTK 4 goes on telling a selection the text has
    // since been typed over.
    if (span.end > span.start && (caret == span.start || caret == span.end)) return span;
    return Span{std::max(caret, 0), std::max(caret, 0)};
  }
  gint caret = atspi_text_get_caret_offset(t, &error);
  if (failed(error)) return std::nullopt;
  caret = std::max(caret, 0);
  return Span{caret, caret};
}

// The UTF-16 range as code points of the element's text; never splits a character.
std::optional<Span> codePointSpan(const std::string& text, const TextRange& range) {
  if (range.location < 0 || range.length < 0) return std::nullopt;
  auto start = static_cast<gint>(TextOffsets::codePointsFromUtf16(text, range.location));
  auto end = static_cast<gint>(
      TextOffsets::codePointsFromUtf16(text, range.location + range.length, true));
  return Span{start, std::max(start, end)};
}

std::optional<Rect> characterBox(AtspiText* t, gint offset) {
  GError* error = nullptr;
  return toRect(atspi_text_get_character_extents(t, offset, ATSPI_COORD_TYPE_SCREEN, &error),
                error);
}

// A zero-width caret box before the character at offset, or after the last one.
std::optional<Rect> caretBox(AtspiText* t, gint offset) {
  GError* error = nullptr;
  gint count = atspi_text_get_character_count(t, &error);
  if (failed(error)) return std::nullopt;
  if (offset < count) {
    auto box = characterBox(t, offset);
    if (box) box->width = 0;
    return box;
  }
  if (count == 0) return std::nullopt;
  auto box = characterBox(t, count - 1);
  if (box) box->x += box->width, box->width = 0;
  return box;
}

// How many offsets text takes at offset in the element (fillers included), when it is there.
std::optional<gint> insertedLength(AtspiText* t, gint offset, const std::string& text) {
  auto length = static_cast<gint>(g_utf8_strlen(text.c_str(), -1));
  for (gint padded : {length, static_cast<gint>(TextOffsets::utf16FromCodePoints(text, length))}) {
    auto there = textBetween(t, offset, offset + padded);
    if (there && TextOffsets::withoutFillers(*there) == text) return padded;
  }
  return std::nullopt;
}

// A single-line field would keep newlines it cannot show: they become blanks.
std::string fitForField(AtspiAccessible* a, std::string text) {
  if (hasState(a, ATSPI_STATE_MULTI_LINE)) return text;
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += (text[i] == '\n' || text[i] == '\r') ? ' ' : text[i];
  }
  return out;
}

std::string codePointsBetween(const std::string& text, gint start, gint end) {
  size_t from = TextOffsets::byteOffsetOfCodePoint(text, start);
  return text.substr(from, TextOffsets::byteOffsetOfCodePoint(text, end) - from);
}

}  // namespace

std::optional<std::string> wholeText(AtspiText* t) {
  GError* error = nullptr;
  auto text = takeString(atspi_text_get_text(t, 0, -1, &error), error);
  if (!text || !text->empty()) return text;
  // Some toolkits answer "" to (0, -1): ask with the character count.
  gint count = atspi_text_get_character_count(t, &error);
  if (failed(error)) return std::nullopt;
  if (count <= 0) return text;
  return takeString(atspi_text_get_text(t, 0, count, &error), error);
}

std::optional<std::string> valueText(AtspiText* t) {
  auto text = wholeText(t);
  if (!text) return std::nullopt;
  if (auto flat = AtspiEmbeddedText::flatten(t, *text))
    return TextOffsets::withoutFillers(flat->text.text());
  return TextOffsets::withoutFillers(*text);
}

namespace {

// The text and its selection (or caret), flattened where it holds embedded objects.
std::optional<std::pair<std::string, Span>> textAndSelection(AtspiText* t) {
  auto text = wholeText(t);
  if (!text) return std::nullopt;
  if (auto flat = AtspiEmbeddedText::flatten(t, *text)) {
    auto span = AtspiEmbeddedText::selectionOrCaret(*flat);
    if (!span) return std::nullopt;
    return std::pair{flat->text.text(),
                     Span{static_cast<gint>(span->start), static_cast<gint>(span->end)}};
  }
  auto span = selectionOrCaret(t);
  if (!span) return std::nullopt;
  return std::pair{std::move(*text), *span};
}

}  // namespace

std::optional<std::string> selectedText(AtspiText* t) {
  auto read = textAndSelection(t);
  if (!read) return std::nullopt;
  return TextOffsets::withoutFillers(
      codePointsBetween(read->first, read->second.start, read->second.end));
}

std::optional<TextRange> selectedRange(AtspiText* t) {
  auto read = textAndSelection(t);
  if (!read) return std::nullopt;
  const auto& [text, span] = *read;
  long location = TextOffsets::utf16FromCodePoints(text, span.start);
  long end = TextOffsets::utf16FromCodePoints(text, span.end);
  return TextRange{location, end - location};
}

std::optional<Rect> boundsForRange(AtspiAccessible* a, const TextRange& range) {
  auto t = textOf(a);
  if (!t) return std::nullopt;
  auto text = wholeText(t.get());
  auto span = text ? codePointSpan(*text, range) : std::nullopt;
  if (!span) return std::nullopt;
  if (span->end == span->start) return caretBox(t.get(), span->start);
  GError* error = nullptr;
  return toRect(atspi_text_get_range_extents(t.get(), span->start, span->end,
                                             ATSPI_COORD_TYPE_SCREEN, &error),
                error);
}

std::optional<std::string> placeholderOf(AtspiAccessible* a) {
  GError* error = nullptr;
  GHashTable* attributes = atspi_accessible_get_attributes(a, &error);
  if (failed(error) || !attributes) return std::nullopt;
  std::optional<std::string> result;
  if (auto* p = static_cast<const char*>(g_hash_table_lookup(attributes, "placeholder-text"))) {
    result = p;
  } else if (auto* from = static_cast<const char*>(g_hash_table_lookup(attributes, "name-from"));
             from && std::strcmp(from, "placeholder") == 0) {
    result = takeString(atspi_accessible_get_name(a, &error), error);  // Chromium's way
  }
  g_hash_table_unref(attributes);
  return result;
}

namespace {

// Firefox and Thunderbird answer true to setting the text contents and change nothing, and
// show inserted text only later: their fields take text by paste.
bool isGecko(AtspiAccessible* a) {
  GError* error = nullptr;
  gchar* toolkit = atspi_accessible_get_toolkit_name(a, &error);
  bool gecko = !failed(error) && toolkit && std::strcmp(toolkit, "Gecko") == 0;
  g_free(toolkit);
  return gecko;
}

}  // namespace

// Whether the element takes text through the editable-text interface.
std::optional<bool> acceptsText(AtspiAccessible* a) {
  auto states = statesOf(a);
  if (!states) return std::nullopt;
  if (!atspi_state_set_contains(states->get(), ATSPI_STATE_EDITABLE)) return false;
  auto role = roleOf(a);
  if (!role) return std::nullopt;
  if (AtspiRoles::hidesText(*role) || isGecko(a)) return false;
  GPtr<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(a), g_object_unref);
  return editable != nullptr;
}

bool writeWholeText(AtspiAccessible* a, const std::string& value) {
  GPtr<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(a), g_object_unref);
  if (!editable) return false;
  std::string text = fitForField(a, value);
  GError* error = nullptr;
  gboolean ok = atspi_editable_text_set_text_contents(editable.get(), text.c_str(), &error);
  if (failed(error) || !ok) return false;
  if (auto t = textOf(a)) {  // the caret after the new text, as after typing it
    atspi_text_set_caret_offset(t.get(), static_cast<gint>(g_utf8_strlen(text.c_str(), -1)),
                                &error);
    failed(error);
  }
  return true;
}

// The new text goes in after the selection before the selection is deleted, so that a field
// that refuses the text keeps the user's; a failed delete takes the new text out again.
bool replaceSelection(AtspiAccessible* a, const std::string& value) {
  GPtr<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(a), g_object_unref);
  auto t = textOf(a);
  if (!editable || !t) return false;
  auto span = selectionOrCaret(t.get());
  if (!span) return false;
  std::string text = fitForField(a, value);
  GError* error = nullptr;
  // The length is in bytes, although every offset counts characters.
  gboolean inserted = atspi_editable_text_insert_text(editable.get(), span->end, text.c_str(),
                                                      static_cast<gint>(text.size()), &error);
  // A toolkit may report success for text its field refused: the text must be there.
  auto length = insertedLength(t.get(), span->end, text);
  if (failed(error) || !inserted || !length) return false;
  if (span->end > span->start) {
    gboolean deleted =
        atspi_editable_text_delete_text(editable.get(), span->start, span->end, &error);
    if (failed(error) || !deleted) {
      atspi_editable_text_delete_text(editable.get(), span->end, span->end + *length, &error);
      failed(error);
      return false;
    }
  }
  atspi_text_set_caret_offset(t.get(), span->start + *length, &error);
  failed(error);
  return true;
}

namespace {

bool selectSpan(AtspiText* t, const Span& span) {
  GError* error = nullptr;
  if (span.end == span.start) {
    gboolean ok = atspi_text_set_caret_offset(t, span.start, &error);
    return !failed(error) && ok;
  }
  gint n = atspi_text_get_n_selections(t, &error);
  if (failed(error)) n = 0;
  // Setting selection 0 fails while there is none (GTK); adding is refused by some browsers.
  for (bool replace : {n > 0, n <= 0}) {
    gboolean ok = replace ? atspi_text_set_selection(t, 0, span.start, span.end, &error)
                          : atspi_text_add_selection(t, span.start, span.end, &error);
    if (!failed(error) && ok) return true;
  }
  return false;
}

// Only the whole of a text with embedded objects can be selected: its own offsets do not
// reach inside them.
std::optional<Span> wholeSpanOf(AtspiText* t, const std::string& text, const TextRange& range) {
  auto flat = AtspiEmbeddedText::flatten(t, text);
  if (!flat || range.location != 0) return std::nullopt;
  if (range.length < TextOffsets::utf16FromCodePoints(flat->text.text(), flat->text.length()))
    return std::nullopt;
  return Span{0, static_cast<gint>(g_utf8_strlen(text.c_str(), -1))};
}

}  // namespace

bool selectRange(AtspiAccessible* a, const TextRange& range) {
  auto t = textOf(a);
  if (!t) return false;
  auto text = wholeText(t.get());
  if (!text) return false;
  auto span = !AtspiEmbeddedText::holdsEmbedded(*text) ? codePointSpan(*text, range)
                                                       : wholeSpanOf(t.get(), *text, range);
  return span && selectSpan(t.get(), *span);
}

}  // namespace AtspiTextAccess
