#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The program's item in the desktop's tray, with its menu. The menu is replaced whole on every
// change; an open menu keeps what it showed until it closes.
class StatusItem {
 public:
  // One menu row. A row without an action is shown disabled.
  struct Row {
    enum class Kind { item, separator, submenu };
    Kind kind = Kind::item;
    std::string title;
    std::function<void()> action;
    // A check mark (check items and radio items); absent for plain items.
    std::optional<bool> checked;
    bool radio = false;
    std::vector<Row> children;

    static Row separator() { return Row{Kind::separator, {}, {}, {}, false, {}}; }
  };

  virtual ~StatusItem() = default;
  virtual void setMenu(std::vector<Row> rows) = 0;
  // The dimmed icon when the trigger is not ready; title is what the desktop shows on hover.
  virtual void setAppearance(bool dimmed, const std::string& title) = 0;
  // Whether a tray on the desktop shows the item now.
  virtual bool hostPresent() = 0;

  // Called on the main loop with the first answer about a tray, and whenever one comes or goes.
  std::function<void(bool present)> onHostChange;
};

}  // namespace platform
