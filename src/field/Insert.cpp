#include "field/Insert.h"

#include "base/Text.h"
#include "field/AX.h"
#include "field/AppMemory.h"
#include "field/Clipboard.h"
#include "field/Focus.h"
#include "platform/AXNames.h"

namespace Insert {

namespace {

bool setIfSettable(platform::Accessibility& ax, const FocusedField& field,
                   std::string_view attribute, const platform::AXValue& value) {
  return AX::isSettable(ax, field.element, attribute) &&
         ax.setAttribute(field.element, attribute, value);
}

// Selects the field's whole text. The length is the field's current one: an earlier method
// may have changed the text without passing verification, and selecting only the length read
// before would leave part of it beside the pasted answer.
Task<bool> selectAll(platform::Platform services, const FocusedField& field) {
  if (field.value) {
    auto current = AX::string(services.accessibility, field.element, platform::AXAttribute::kValue);
    long n = Text::utf16Length(current ? *current : *field.value);
    if (n >= 1 &&
        setIfSettable(services.accessibility, field, platform::AXAttribute::kSelectedTextRange,
                      platform::TextRange{0, n}))
      co_return true;
  }
  if (!co_await services.keyboard.postShortcut(platform::Shortcut::selectAll)) co_return false;
  co_await sleepFor(services.clock, kSelectAllWait);
  co_return true;
}

Task<bool> attempt(platform::Platform services, InsertMethod method, const std::string& text,
                   const FocusedField& field) {
  switch (method) {
    case InsertMethod::axSelectedText:
      co_return setIfSettable(services.accessibility, field, platform::AXAttribute::kSelectedText,
                              text);
    case InsertMethod::axValue:
      co_return setIfSettable(services.accessibility, field, platform::AXAttribute::kValue, text);
    case InsertMethod::paste: {
      // The user may have switched applications since the read: never paste elsewhere.
      auto front = services.workspace.frontmostApplication();
      if (!front || front->pid != field.pid) co_return false;
      // Pasting beside the draft instead of over it would be worse than not pasting.
      if (!field.hasSelection() && !co_await selectAll(services, field)) co_return false;
      co_return co_await Clipboard::paste(services, text);
    }
  }
  co_return false;
}

Task<bool> verify(platform::Platform services, const std::string& text, const FocusedField& field,
                  InsertMethod method) {
  const std::string expected = normalize(text);
  for (int poll = 0; poll < kVerifyPolls; ++poll) {
    co_await sleepFor(services.clock, kVerifyPollInterval);
    auto value = AX::string(services.accessibility, field.element, platform::AXAttribute::kValue);
    // A paste that cannot be checked counts as done; an accessibility write cannot.
    if (!value) co_return method == InsertMethod::paste;
    auto shown = normalize(*value);
    bool holds =
        field.hasSelection() ? shown.find(expected) != std::string::npos : shown == expected;
    if (holds) co_return true;
  }
  co_return false;
}

}  // namespace

std::vector<InsertMethod> baseOrder(const FocusedField& field) {
  if (Focus::isBrowser(field.bundleID)) return {InsertMethod::paste};
  if (field.hasSelection()) return {InsertMethod::axSelectedText, InsertMethod::paste};
  return {InsertMethod::axValue, InsertMethod::axSelectedText, InsertMethod::paste};
}

std::string normalize(std::string_view text) {
  static const Text::Regex whitespace("\\s+");
  return Text::trimmed(whitespace.replaceAll(text, " "));
}

Task<InsertResult> write(platform::Platform services, std::string text, FocusedField field) {
  // What reaches a terminal runs as a command: the answer stays on the clipboard.
  const auto methods = field.terminal ? std::vector<InsertMethod>{}
                                      : AppMemory::order(field.bundleID, baseOrder(field));
  for (InsertMethod method : methods) {
    if (!co_await attempt(services, method, text, field)) continue;
    if (!co_await verify(services, text, field, method)) continue;
    AppMemory::remember(field.bundleID, method);
    co_return InsertResult::inserted(method);
  }
  Clipboard::leaveText(services.pasteboard, text);
  co_return InsertResult::leftOnClipboard();
}

}  // namespace Insert
