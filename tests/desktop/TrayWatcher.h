#pragma once

// A tray as the desktop's would be: a StatusNotifierWatcher stand-in on the session bus that
// reads and clicks the registered item's menu over dbusmenu. Calls go out asynchronously
// with the main loop pumped, so the item may live in this same process.
#include <gio/gio.h>

#include <string>
#include <utility>
#include <vector>

#include "FixtureApp.h"

namespace desktoptest {

inline GVariant* callPumped(GDBusConnection* bus, const std::string& dest, const std::string& path,
                            const char* iface, const char* method, GVariant* params) {
  std::pair<GVariant*, bool> result{nullptr, false};
  g_dbus_connection_call(
      bus, dest.c_str(), path.c_str(), iface, method, params, nullptr, G_DBUS_CALL_FLAGS_NONE, 2000,
      nullptr,
      [](GObject* source, GAsyncResult* res, gpointer data) {
        auto* r = static_cast<std::pair<GVariant*, bool>*>(data);
        *r = {g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), res, nullptr), true};
      },
      &result);
  pumpUntil([&] { return result.second; }, 3000);
  return result.first;
}

class TrayWatcher {
 public:
  TrayWatcher() {
    info_ = g_dbus_node_info_new_for_xml(
        "<node><interface name='org.kde.StatusNotifierWatcher'>"
        "<method name='RegisterStatusNotifierItem'><arg type='s' direction='in'/></method>"
        "</interface></node>",
        nullptr);
    static const GDBusInterfaceVTable vtable{&TrayWatcher::call, nullptr, nullptr, {}};
    object_ = g_dbus_connection_register_object(
        bus_, "/StatusNotifierWatcher", info_->interfaces[0], &vtable, this, nullptr, nullptr);
    owner_ = g_bus_own_name_on_connection(bus_, "org.kde.StatusNotifierWatcher",
                                          G_BUS_NAME_OWNER_FLAGS_NONE, nullptr, nullptr, nullptr,
                                          nullptr);
  }
  ~TrayWatcher() {
    g_bus_unown_name(owner_);
    g_dbus_connection_unregister_object(bus_, object_);
    g_object_unref(bus_);
    g_dbus_node_info_unref(info_);
  }
  bool registered() const { return !sender_.empty(); }
  // The registered item's menu as lines in FakeStatusItem's notation.
  std::vector<std::string> lines() {
    std::vector<std::string> out;
    ids_.clear();
    g_autoptr(GVariant) reply =
        menuCall("GetLayout", g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
    if (!reply) return out;
    g_autoptr(GVariant) root = g_variant_get_child_value(reply, 1);
    describe(root, "", out);
    return out;
  }
  // Clicks the first row with this label.
  bool click(const std::string& label) {
    lines();
    for (const auto& [l, id] : ids_)
      if (l == label) {
        g_autoptr(GVariant) r =
            menuCall("Event", g_variant_new("(isvu)", id, "clicked", g_variant_new_int32(0), 0u));
        return r != nullptr;
      }
    return false;
  }

 private:
  static void call(GDBusConnection*, const char* sender, const char*, const char*, const char*,
                   GVariant* params, GDBusMethodInvocation* invocation, gpointer data) {
    auto* self = static_cast<TrayWatcher*>(data);
    const char* service = nullptr;
    g_variant_get(params, "(&s)", &service);
    self->sender_ = sender;
    self->path_ = service[0] == '/' ? service : "/StatusNotifierItem";
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }

  GVariant* menuCall(const char* method, GVariant* params) {
    if (menuPath_.empty()) {
      g_autoptr(GVariant) reply =
          callPumped(bus_, sender_, path_, "org.freedesktop.DBus.Properties", "Get",
                     g_variant_new("(ss)", "org.kde.StatusNotifierItem", "Menu"));
      if (!reply) return nullptr;
      g_autoptr(GVariant) inner = nullptr;
      g_variant_get(reply, "(v)", &inner);
      menuPath_ = g_variant_get_string(inner, nullptr);
    }
    return callPumped(bus_, sender_, menuPath_, "com.canonical.dbusmenu", method, params);
  }
  // Adds the visible children of a layout node as lines, each followed by its own children.
  void describe(GVariant* node, const std::string& indent, std::vector<std::string>& out) {
    g_autoptr(GVariant) children = g_variant_get_child_value(node, 2);
    for (gsize i = 0; i < g_variant_n_children(children); ++i) {
      g_autoptr(GVariant) boxed = g_variant_get_child_value(children, i);
      g_autoptr(GVariant) child = g_variant_get_variant(boxed);
      g_autoptr(GVariant) props = g_variant_get_child_value(child, 1);
      gboolean visible = TRUE, enabled = TRUE;
      gint32 id = 0, state = 0;
      const char *type = "", *label = "", *toggle = "";
      g_variant_get_child(child, 0, "i", &id);
      g_variant_lookup(props, "visible", "b", &visible);
      g_variant_lookup(props, "enabled", "b", &enabled);
      g_variant_lookup(props, "toggle-state", "i", &state);
      g_variant_lookup(props, "type", "&s", &type);
      g_variant_lookup(props, "label", "&s", &label);
      g_variant_lookup(props, "toggle-type", "&s", &toggle);
      if (!visible) continue;
      if (std::string(type) == "separator") {
        out.push_back(indent + "---");
        continue;
      }
      std::string check = *toggle ? (state == 1 ? "[x] " : "[ ] ") : "";
      out.push_back(indent + check + label + (enabled ? "" : " (off)"));
      ids_.emplace_back(label, id);
      describe(child, indent + "> ", out);
    }
  }

  GDBusNodeInfo* info_ = nullptr;
  GDBusConnection* bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  unsigned object_ = 0, owner_ = 0;
  std::string sender_, path_, menuPath_;
  std::vector<std::pair<std::string, gint32>> ids_;
};

}  // namespace desktoptest
