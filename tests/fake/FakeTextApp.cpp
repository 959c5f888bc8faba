#include "fake/FakeTextApp.h"

#include "base/Text.h"
#include "platform/AXNames.h"

namespace fake {

FakeTextApp::FakeTextApp(FakeDesktop& desk, platform::RunningApplication app, std::string role)
    : app(std::move(app)), field(FakeElement::make("field")), desk_(desk) {
  field->set(platform::AXAttribute::kRole, std::move(role));
  field->settable = {platform::AXAttribute::kValue, platform::AXAttribute::kSelectedText,
                     platform::AXAttribute::kSelectedTextRange};
  field->onWrite = [this](FakeElement&, const std::string& name, const platform::AXValue& v) {
    onWrite(name, v);
  };
  desk_.keyboard.onShortcut = [this](platform::Shortcut s) { onShortcut(s); };
  sync();
}

FakeTextApp::~FakeTextApp() {
  desk_.keyboard.onShortcut = nullptr;
  field->onWrite = nullptr;
}

void FakeTextApp::bringToFront() {
  desk_.workspace.frontmost = app;
  desk_.accessibility.focus(field);
}

void FakeTextApp::setText(std::string t, platform::TextRange s) {
  text = std::move(t);
  selection = s;
  sync();
}

std::string FakeTextApp::selected() const {
  size_t begin = Text::byteOffsetOfUtf16(text, selection.location);
  size_t end = Text::byteOffsetOfUtf16(text, selection.location + selection.length);
  return text.substr(begin, end - begin);
}

void FakeTextApp::replaceSelection(const std::string& inserted) {
  std::string shaped = reshape ? reshape(inserted) : inserted;
  size_t begin = Text::byteOffsetOfUtf16(text, selection.location);
  size_t end = Text::byteOffsetOfUtf16(text, selection.location + selection.length);
  text = text.substr(0, begin) + shaped + text.substr(end);
  selection = {selection.location + Text::utf16Length(shaped), 0};
}

void FakeTextApp::onWrite(const std::string& attribute, const platform::AXValue& value) {
  if (ignoredWrites.count(attribute)) return;
  if (attribute == platform::AXAttribute::kValue) {
    selection = {0, Text::utf16Length(text)};
    replaceSelection(std::get<std::string>(value));
  } else if (attribute == platform::AXAttribute::kSelectedText) {
    replaceSelection(std::get<std::string>(value));
  } else if (attribute == platform::AXAttribute::kSelectedTextRange) {
    selection = std::get<platform::TextRange>(value);
  }
  sync();
}

void FakeTextApp::onShortcut(platform::Shortcut shortcut) {
  switch (shortcut) {
    case platform::Shortcut::copy:
    case platform::Shortcut::copyInTerminal:
      if (copies && selection.length > 0) desk_.pasteboard.setString(selected());
      break;
    case platform::Shortcut::paste:
      if (auto s = desk_.pasteboard.string(); pastes && s) replaceSelection(*s);
      break;
    case platform::Shortcut::selectAll:
      selection = {0, Text::utf16Length(text)};
      break;
  }
  sync();
}

void FakeTextApp::sync() {
  field->attributes[platform::AXAttribute::kValue] = text;
  field->attributes[platform::AXAttribute::kSelectedText] = selected();
  field->attributes[platform::AXAttribute::kSelectedTextRange] = selection;
}

}  // namespace fake
