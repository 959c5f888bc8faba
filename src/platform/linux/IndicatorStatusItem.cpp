#include "platform/linux/IndicatorStatusItem.h"

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

#include <functional>
#include <memory>

#include "platform/linux/SessionBus.h"

namespace linuxport {

namespace {

using Row = platform::StatusItem::Row;
using Action = std::function<void()>;

// Runs an item's action on the next turn of the main loop: the action may replace the menu
// whose signal is being emitted.
void activated(GtkMenuItem*, gpointer data) {
  auto* copy = new Action(*static_cast<Action*>(data));
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer d) -> gboolean {
        (*static_cast<Action*>(d))();
        return G_SOURCE_REMOVE;
      },
      copy, [](gpointer d) { delete static_cast<Action*>(d); });
}

void connectAction(GtkWidget* widget, const Action& action) {
  if (!action) {
    gtk_widget_set_sensitive(widget, FALSE);
    return;
  }
  g_signal_connect_data(
      widget, "activate", G_CALLBACK(activated), new Action(action),
      [](gpointer d, GClosure*) { delete static_cast<Action*>(d); }, GConnectFlags(0));
}

GtkWidget* buildMenu(const std::vector<Row>& rows);

GtkWidget* buildRow(const Row& row) {
  if (row.kind == Row::Kind::separator) return gtk_separator_menu_item_new();
  if (row.kind == Row::Kind::submenu) {
    GtkWidget* item = gtk_menu_item_new_with_label(row.title.c_str());
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), buildMenu(row.children));
    return item;
  }
  GtkWidget* item;
  if (row.checked) {
    item = gtk_check_menu_item_new_with_label(row.title.c_str());
    gtk_check_menu_item_set_draw_as_radio(GTK_CHECK_MENU_ITEM(item), row.radio);
    // Before the action is connected: setting the state activates the item.
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), *row.checked);
  } else {
    item = gtk_menu_item_new_with_label(row.title.c_str());
  }
  connectAction(item, row.action);
  return item;
}

GtkWidget* buildMenu(const std::vector<Row>& rows) {
  GtkWidget* menu = gtk_menu_new();
  for (const auto& row : rows)
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), buildRow(row));
  gtk_widget_show_all(menu);
  return menu;
}

}  // namespace

IndicatorStatusItem::IndicatorStatusItem(std::string iconThemePath, std::string iconName,
                                         std::string dimmedIconName)
    : iconName_(std::move(iconName)), dimmedIconName_(std::move(dimmedIconName)) {
  if (!sessionBusReachable()) {
    // No bus, so no tray: said once the owner has had a chance to listen.
    noBusAnswer_ = g_idle_add(
        [](gpointer self) -> gboolean {
          auto* me = static_cast<IndicatorStatusItem*>(self);
          me->noBusAnswer_ = 0;
          me->hostChanged(false);
          return G_SOURCE_REMOVE;
        },
        this);
    return;
  }
  indicator_ = app_indicator_new(kId, iconName_.c_str(), APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
  if (!iconThemePath.empty()) app_indicator_set_icon_theme_path(indicator_, iconThemePath.c_str());
  app_indicator_set_title(indicator_, "Mirelo");
  app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_ACTIVE);
  if (sessionBusReachable())
    watch_ =
        g_bus_watch_name(G_BUS_TYPE_SESSION, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                         reinterpret_cast<GBusNameAppearedCallback>(&hostAppeared),
                         reinterpret_cast<GBusNameVanishedCallback>(&hostVanished), this, nullptr);
}

IndicatorStatusItem::~IndicatorStatusItem() {
  if (noBusAnswer_) g_source_remove(noBusAnswer_);
  if (watch_) g_bus_unwatch_name(watch_);
  if (indicator_) {
    app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_PASSIVE);
    g_object_unref(indicator_);
  }
  if (menu_) {
    gtk_widget_destroy(menu_);
    g_object_unref(menu_);
  }
}

void IndicatorStatusItem::setMenu(std::vector<Row> rows) {
  if (!indicator_) return;
  GtkWidget* old = menu_;
  // Held here as well as by the indicator, which drops the old one when given the new one.
  menu_ = GTK_WIDGET(g_object_ref_sink(buildMenu(rows)));
  app_indicator_set_menu(indicator_, GTK_MENU(menu_));
  if (old) {
    gtk_widget_destroy(old);
    g_object_unref(old);
  }
}

void IndicatorStatusItem::setAppearance(bool dimmed, const std::string& title) {
  if (!indicator_) return;
  const std::string& name = dimmed ? dimmedIconName_ : iconName_;
  app_indicator_set_icon_full(indicator_, name.c_str(), title.c_str());
  app_indicator_set_title(indicator_, title.c_str());
}

void IndicatorStatusItem::hostAppeared(void*, const char*, const char*, void* self) {
  static_cast<IndicatorStatusItem*>(self)->hostChanged(true);
}

void IndicatorStatusItem::hostVanished(void*, const char*, void* self) {
  static_cast<IndicatorStatusItem*>(self)->hostChanged(false);
}

void IndicatorStatusItem::hostChanged(bool present) {
  hostPresent_ = present;
  if (onHostChange) onHostChange(present);
}

}  // namespace linuxport
