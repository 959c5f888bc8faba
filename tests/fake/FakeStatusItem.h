#pragma once

#include <string>
#include <vector>

#include "platform/StatusItem.h"

namespace fake {

// Keeps the last menu and look; a test reads the rows as text and clicks them by title.
class FakeStatusItem : public platform::StatusItem {
 public:
  void setMenu(std::vector<Row> newRows) override { rows = std::move(newRows); }
  void setAppearance(bool isDimmed, const std::string& newTitle) override {
    dimmed = isDimmed;
    title = newTitle;
  }
  bool hostPresent() override { return true; }

  // One line per row: "---" for separators, "[x] " / "[ ] " before checkable rows, " (off)"
  // after disabled ones, "> " before the rows of a submenu.
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    walk(rows, "", [&](const Row& row, const std::string& indent) {
      std::string check = row.checked ? (*row.checked ? "[x] " : "[ ] ") : "";
      bool off = row.kind == Row::Kind::item && !row.action;
      out.push_back(indent + (row.kind == Row::Kind::separator
                                  ? "---"
                                  : check + row.title + (off ? " (off)" : "")));
    });
    return out;
  }
  // Runs the action of the first enabled row (submenus included) with this title.
  bool click(const std::string& rowTitle) {
    std::function<void()> action;  // a copy: the menu may be replaced while it runs
    walk(rows, "", [&](const Row& row, const std::string&) {
      if (!action && row.title == rowTitle) action = row.action;
    });
    if (action) action();
    return bool(action);
  }

  std::vector<Row> rows;
  bool dimmed = false;
  std::string title;

 private:
  template <class F>
  static void walk(const std::vector<Row>& rows, const std::string& indent, const F& visit) {
    for (const auto& row : rows) {
      visit(row, indent);
      walk(row.children, indent + "> ", visit);
    }
  }
};

}  // namespace fake
