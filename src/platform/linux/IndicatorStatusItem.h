#pragma once

#include <string>
#include <vector>

#include "platform/StatusItem.h"

typedef struct _AppIndicator AppIndicator;
typedef struct _GtkWidget GtkWidget;

namespace linuxport {

// A StatusNotifierItem through Ayatana AppIndicator, its menu a GtkMenu exported over dbusmenu.
// The tray is watched through the bus name of the StatusNotifierWatcher; the indicator itself
// registers again whenever a watcher appears.
class IndicatorStatusItem : public platform::StatusItem {
 public:
  static constexpr const char* kId = "com.mirelo.app";
  static constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";

  // iconThemePath may be empty (then the names are looked up in the desktop's icon theme).
  IndicatorStatusItem(std::string iconThemePath, std::string iconName, std::string dimmedIconName);
  ~IndicatorStatusItem() override;
  IndicatorStatusItem(const IndicatorStatusItem&) = delete;
  IndicatorStatusItem& operator=(const IndicatorStatusItem&) = delete;

  void setMenu(std::vector<Row> rows) override;
  void setAppearance(bool dimmed, const std::string& title) override;
  bool hostPresent() override { return hostPresent_; }
  // The current menu, to open it directly (screenshots).
  GtkWidget* menuWidget() const { return menu_; }

 private:
  static void hostAppeared(void* connection, const char* name, const char* owner, void* self);
  static void hostVanished(void* connection, const char* name, void* self);
  void hostChanged(bool present);

  AppIndicator* indicator_ = nullptr;
  GtkWidget* menu_ = nullptr;
  std::string iconName_, dimmedIconName_;
  unsigned watch_ = 0;
  unsigned noBusAnswer_ = 0;
  bool hostPresent_ = false;
};

}  // namespace linuxport
