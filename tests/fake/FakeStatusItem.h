#pragma once

#include <string>
#include <vector>

#include "platform/StatusItem.h"

namespace fake {

// Keeps the last menu and look; a test reads the rows as text and clicks them by title.
class FakeStatusItem : public platform::StatusItem {
 public:
  void setMenu(std::vector<Row> newRows) override {
    rows = std::move(newRows);
    ++menus;
  }
  void setAppearance(bool isDimmed, const std::string& newTitle) override {
    dimmed = isDimmed;
    title = newTitle;
  }
  bool hostPresent() override { return host; }

  // One line per row: "---" for separators, "[x] " / "[ ] " before checkable rows, " (off)"
  // after disabled ones, "> " before the rows of a submenu.
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    for (const auto& row : rows)
      describe(row, "", out);
    return out;
  }
  // Runs the action of the first enabled row (submenus included) with this title.
  bool click(const std::string& rowTitle) {
    for (const auto& row : rows)
      if (clickIn(row, rowTitle)) return true;
    return false;
  }

  std::vector<Row> rows;
  int menus = 0;
  bool dimmed = false;
  std::string title;
  bool host = true;

 private:
  static void describe(const Row& row, const std::string& indent, std::vector<std::string>& out) {
    if (row.kind == Row::Kind::separator) {
      out.push_back(indent + "---");
      return;
    }
    std::string line = indent;
    if (row.checked) line += *row.checked ? "[x] " : "[ ] ";
    line += row.title;
    if (row.kind == Row::Kind::item && !row.action) line += " (off)";
    out.push_back(line);
    for (const auto& child : row.children)
      describe(child, indent + "> ", out);
  }
  static bool clickIn(const Row& row, const std::string& rowTitle) {
    if (row.kind == Row::Kind::item && row.title == rowTitle && row.action) {
      auto action = row.action;  // the menu may be replaced while it runs
      action();
      return true;
    }
    for (const auto& child : row.children)
      if (clickIn(child, rowTitle)) return true;
    return false;
  }
};

}  // namespace fake
