#include "app/RewriteUndo.h"

#include "base/Text.h"
#include "field/AX.h"
#include "field/Clipboard.h"
#include "field/Insert.h"
#include "platform/AXNames.h"

namespace {

// Where `written` stands in the field's current text, in UTF-16 units: at the place of the
// selection it replaced, else its only occurrence.
std::optional<platform::TextRange> locate(const std::string& current, const std::string& written,
                                          std::optional<platform::TextRange> replaced) {
  const long length = Text::utf16Length(written);
  if (replaced) {
    size_t from = Text::byteOffsetOfUtf16(current, replaced->location);
    size_t to = Text::byteOffsetOfUtf16(current, replaced->location + length);
    if (current.compare(from, to - from, written) == 0)
      return platform::TextRange{replaced->location, length};
  }
  size_t at = current.find(written);
  if (at == std::string::npos || current.find(written, at + 1) != std::string::npos)
    return std::nullopt;
  return platform::TextRange{Text::utf16OffsetOfByte(current, at), length};
}

}  // namespace

RewriteUndo::RewriteUndo(platform::Platform platform) : p_(platform) {}

void RewriteUndo::keep(const FocusedField& field, std::string written) {
  std::string original =
      field.hasSelection() ? *field.selectedText : field.value.value_or(std::string());
  kept_ = Kept{field, std::move(original), std::move(written)};
  expiry_.start(p_.clock, kKeepSeconds, false, [this] { forget(); });
  changed();
}

void RewriteUndo::forget() {
  expiry_.stop();
  if (!kept_) return;
  kept_.reset();
  changed();
}

void RewriteUndo::changed() {
  if (onChanged) onChanged();
}

Task<RewriteUndo::Outcome> RewriteUndo::undo() {
  if (!kept_) co_return Outcome::nothingKept;
  Kept kept = std::move(*kept_);
  forget();
  co_return co_await restore(p_, std::move(kept));
}

std::optional<FocusedField> RewriteUndo::target(const Kept& kept, const std::string& current) {
  FocusedField field = kept.field;
  field.value = current;
  if (!kept.field.hasSelection()) {
    if (Insert::normalize(current) != Insert::normalize(kept.written)) return std::nullopt;
    return field;
  }
  auto range = locate(current, kept.written, kept.field.selectedRange);
  if (!range) return std::nullopt;
  field.selectedText = kept.written;
  field.selectedRange = range;
  return field;
}

Task<RewriteUndo::Outcome> RewriteUndo::restore(platform::Platform p, Kept kept) {
  namespace Attr = platform::AXAttribute;
  auto current = AX::string(p.accessibility, kept.field.element, Attr::kValue);
  if (!current) {
    Clipboard::leaveText(p.pasteboard, kept.original);
    co_return Outcome::failed;
  }
  auto field = target(kept, *current);
  if (!field) {
    Clipboard::leaveText(p.pasteboard, kept.original);
    co_return Outcome::changed;
  }
  // The write replaces the selection: it must be exactly the text Mirelo wrote.
  if (field->hasSelection() &&
      !(AX::isSettable(p.accessibility, field->element, Attr::kSelectedTextRange) &&
        p.accessibility.setAttribute(field->element, Attr::kSelectedTextRange,
                                     *field->selectedRange))) {
    Clipboard::leaveText(p.pasteboard, kept.original);
    co_return Outcome::failed;
  }
  // A write that fails leaves the text on the clipboard itself.
  InsertResult result = co_await Insert::write(p, kept.original, *field);
  co_return result.isInserted() ? Outcome::restored : Outcome::failed;
}
