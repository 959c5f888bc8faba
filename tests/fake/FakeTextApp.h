#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fake/FakeDesktop.h"
#include "platform/AXNames.h"

namespace fake {

// An application with one text field on the fake desktop: it keeps its text and selection
// (UTF-16 units) in the field's attributes and reacts to accessibility writes and to the
// copy, paste and select-all shortcuts as a text editor does.
class FakeTextApp {
 public:
  FakeTextApp(FakeDesktop& desk, platform::RunningApplication app,
              std::string role = platform::AXRoleName::kTextArea);
  ~FakeTextApp();

  // Puts the application in front with its field focused.
  void bringToFront();
  void setText(std::string text, platform::TextRange selection = {});
  std::string selected() const;

  platform::RunningApplication app;
  std::shared_ptr<FakeElement> field;
  std::string text;
  platform::TextRange selection;

  bool copies = true;                   // copy puts a non-empty selection on the clipboard
  bool pastes = true;                   // paste inserts the clipboard's text
  std::set<std::string> ignoredWrites;  // attributes whose writes succeed but change nothing
  // How the application reshapes text it receives (adds a newline, doubles blanks, …).
  std::function<std::string(const std::string&)> reshape;

 private:
  void onWrite(const std::string& attribute, const platform::AXValue& value);
  void onShortcut(platform::Shortcut shortcut);
  void replaceSelection(const std::string& inserted);
  void sync();

  FakeDesktop& desk_;
};

}  // namespace fake
