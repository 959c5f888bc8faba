#include "field/Focus.h"

#include <cctype>

#include "account/Settings.h"
#include "base/Text.h"
#include "field/AX.h"
#include "field/Clipboard.h"
#include "platform/AXNames.h"

namespace Focus {

ReadFailure ReadFailure::unreadable(std::string appName) {
  ReadFailure f(Kind::unreadable);
  f.appName_ = std::move(appName);
  return f;
}

ReadFailure ReadFailure::empty(FocusedField field) {
  ReadFailure f(Kind::empty);
  f.field_ = std::move(field);
  return f;
}

ReadFailure ReadFailure::isBrowser() {
  return ReadFailure(Kind::isBrowser);
}

ReadFailure ReadFailure::noFocusedField() {
  return ReadFailure(Kind::noFocusedField);
}

const char* ReadFailure::what() const noexcept {
  switch (kind_) {
    case Kind::unreadable:
      return "focused field unreadable";
    case Kind::empty:
      return "focused field empty";
    case Kind::isBrowser:
      return "browser handling is off";
    case Kind::noFocusedField:
      return "no focused field";
  }
  return "focused field not read";
}

const std::set<std::string, std::less<>>& browserBundleIDs() {
  static const std::set<std::string, std::less<>> ids = {
      "com.google.Chrome", "com.google.Chrome.beta", "com.google.Chrome.canary",
      "com.microsoft.edgemac", "com.apple.Safari", "com.apple.SafariTechnologyPreview",
      "org.mozilla.firefox", "company.thebrowser.Browser", "com.naver.Whale", "com.brave.Browser",
      "com.vivaldi.Vivaldi", "com.operasoftware.Opera",
      // What the desktop reports for browsers on Linux.
      "firefox", "firefox-esr", "google-chrome", "chromium", "chromium-browser",
      "org.chromium.Chromium", "brave-browser", "microsoft-edge", "com.microsoft.Edge",
      "vivaldi-stable", "opera", "naver-whale", "org.gnome.Epiphany"};
  return ids;
}

bool isBrowser(std::string_view bundleID) {
  return browserBundleIDs().contains(bundleID);
}

bool isTerminalProgram(std::string_view bundleID) {
  static const std::set<std::string, std::less<>> ids = {"xterm",
                                                         "uxterm",
                                                         "gnome-terminal",
                                                         "gnome-terminal-server",
                                                         "org.gnome.terminal",
                                                         "org.gnome.console",
                                                         "kgx",
                                                         "org.gnome.ptyxis",
                                                         "ptyxis",
                                                         "konsole",
                                                         "org.kde.konsole",
                                                         "yakuake",
                                                         "xfce4-terminal",
                                                         "mate-terminal",
                                                         "lxterminal",
                                                         "qterminal",
                                                         "tilix",
                                                         "com.gexperts.tilix",
                                                         "terminator",
                                                         "guake",
                                                         "tilda",
                                                         "sakura",
                                                         "terminology",
                                                         "alacritty",
                                                         "kitty",
                                                         "foot",
                                                         "footclient",
                                                         "wezterm",
                                                         "org.wezfurlong.wezterm",
                                                         "urxvt",
                                                         "rxvt",
                                                         "rxvt-unicode",
                                                         "st",
                                                         "st-256color",
                                                         "eterm",
                                                         "cool-retro-term",
                                                         "x-terminal-emulator",
                                                         "com.raggesilver.blackbox",
                                                         "io.elementary.terminal",
                                                         "deepin-terminal",
                                                         "hyper",
                                                         "tabby"};
  std::string lower(bundleID);
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ids.contains(lower);
}

std::optional<bool> isTerminal(platform::Accessibility& ax, const platform::ElementRef& element,
                               std::string_view bundleID) {
  if (isTerminalProgram(bundleID)) return true;
  auto role = AX::string(ax, element, platform::AXAttribute::kRole);
  if (!role) return std::nullopt;
  constexpr int kMaxDepth = 64;
  std::optional<platform::ElementRef> current = element;
  for (int depth = 0; current && depth < kMaxDepth; ++depth) {
    auto own = AX::string(ax, *current, platform::AXAttribute::kRole);
    if (own == platform::AXRoleName::kTerminal) return true;
    if (own == platform::AXRoleName::kWindow || own == platform::AXRoleName::kApplication) break;
    current = AX::element(ax, *current, platform::AXAttribute::kParent);
  }
  return false;
}

std::optional<std::string> meaningful(const std::optional<std::string>& text,
                                      const std::optional<std::string>& placeholder) {
  if (!text) return std::nullopt;
  auto trimmed = Text::trimmed(*text);
  if (trimmed.empty()) return std::nullopt;
  if (placeholder && trimmed == Text::trimmed(*placeholder)) return std::nullopt;
  return text;
}

namespace {

constexpr const char* kEditableRoles[] = {
    platform::AXRoleName::kTextField, platform::AXRoleName::kTextArea,
    platform::AXRoleName::kComboBox, platform::AXRoleName::kSearchField};

bool isEditable(platform::Accessibility& ax, const platform::ElementRef& e) {
  if (auto role = AX::string(ax, e, platform::AXAttribute::kRole))
    for (const char* editable : kEditableRoles)
      if (*role == editable) return true;
  return AX::isSettable(ax, e, platform::AXAttribute::kValue) ||
         AX::isSettable(ax, e, platform::AXAttribute::kSelectedText);
}

}  // namespace

Task<FocusedField> read(platform::Platform services) {
  auto& ax = services.accessibility;
  auto app = services.workspace.frontmostApplication();
  if (!app) throw ReadFailure::noFocusedField();

  FocusedField field;
  field.pid = app->pid;
  field.bundleID = app->bundleID;
  field.appName = app->name.empty() ? app->bundleID : app->name;

  const bool browser = isBrowser(field.bundleID);
  if (browser && !Settings::handleBrowsers(services.defaults)) throw ReadFailure::isBrowser();
  AX::wakeAccessibility(ax, field.pid, browser);

  auto focused = AX::element(ax, ax.systemWide(), platform::AXAttribute::kFocusedUIElement);
  if (!focused && browser) {
    co_await sleepFor(services.clock, kBrowserFocusWait);
    focused = AX::element(ax, ax.systemWide(), platform::AXAttribute::kFocusedUIElement);
  }
  if (!focused) throw ReadFailure::noFocusedField();
  field.element = *focused;

  auto rawValue = AX::string(ax, field.element, platform::AXAttribute::kValue);
  auto rawSelected = AX::string(ax, field.element, platform::AXAttribute::kSelectedText);
  auto placeholder = AX::string(ax, field.element, platform::AXAttribute::kPlaceholderValue);
  auto range = AX::range(ax, field.element, platform::AXAttribute::kSelectedTextRange);
  auto value = meaningful(rawValue, placeholder);
  auto selected = meaningful(rawSelected, placeholder);

  if (selected && !selected->empty()) {
    field.value = value;
    field.selectedText = selected;
    field.selectedRange = range;
    field.readMethod = FocusedField::ReadMethod::axSelected;
    co_return field;
  }
  if (value && !value->empty()) {
    field.value = value;
    field.selectedRange = range;
    field.readMethod = FocusedField::ReadMethod::axValue;
    co_return field;
  }
  // A plain Ctrl+C interrupts the program running in a terminal: no copy unless the element
  // is known not to be one.
  const auto terminal = isTerminal(ax, field.element, field.bundleID);
  field.terminal = terminal.value_or(true);
  std::optional<std::string> copied;
  if (terminal) copied = co_await Clipboard::copySelection(services, *terminal);
  if (copied && !copied->empty()) {
    field.selectedText = copied;
    field.readMethod = FocusedField::ReadMethod::clipboardCopy;
    co_return field;
  }
  if (!rawValue) throw ReadFailure::unreadable(field.appName);
  if (!isEditable(ax, field.element)) throw ReadFailure::noFocusedField();
  field.value = std::string();
  field.selectedRange = range;
  field.readMethod = FocusedField::ReadMethod::axValue;
  throw ReadFailure::empty(std::move(field));
}

}  // namespace Focus
