#pragma once

// A StatusNotifierWatcher stand-in on the session bus, and a dbusmenu client that reads and
// clicks an item's exported menu the way a tray does. Calls are asynchronous with the main
// loop pumped, so the item may live in this same process.
#include <gio/gio.h>

#include <optional>
#include <string>
#include <vector>

#include "FixtureApp.h"

namespace desktoptest {

class TrayWatcher {
 public:
  TrayWatcher() {
    static const char* kXml =
        "<node><interface name='org.kde.StatusNotifierWatcher'>"
        "<method name='RegisterStatusNotifierItem'><arg type='s' direction='in'/></method>"
        "<method name='RegisterStatusNotifierHost'><arg type='s' direction='in'/></method>"
        "<property name='RegisteredStatusNotifierItems' type='as' access='read'/>"
        "<property name='IsStatusNotifierHostRegistered' type='b' access='read'/>"
        "<property name='ProtocolVersion' type='i' access='read'/>"
        "<signal name='StatusNotifierItemRegistered'><arg type='s'/></signal>"
        "</interface></node>";
    info_ = g_dbus_node_info_new_for_xml(kXml, nullptr);
    bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    static const GDBusInterfaceVTable vtable{
        &TrayWatcher::call, &TrayWatcher::property, nullptr, {}};
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

  // The items registered so far: the sender and what it registered (a path or a bus name).
  struct Item {
    std::string sender, service;
  };
  std::vector<Item> items;

 private:
  static void call(GDBusConnection*, const char* sender, const char*, const char*,
                   const char* method, GVariant* params, GDBusMethodInvocation* invocation,
                   gpointer self) {
    const char* service = nullptr;
    g_variant_get(params, "(&s)", &service);
    if (std::string(method) == "RegisterStatusNotifierItem")
      static_cast<TrayWatcher*>(self)->items.push_back({sender, service});
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }
  static GVariant* property(GDBusConnection*, const char*, const char*, const char*,
                            const char* name, GError**, gpointer self) {
    std::string n(name);
    if (n == "IsStatusNotifierHostRegistered") return g_variant_new_boolean(TRUE);
    if (n == "ProtocolVersion") return g_variant_new_int32(0);
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("as"));
    for (const auto& i : static_cast<TrayWatcher*>(self)->items)
      g_variant_builder_add(&b, "s", i.service.c_str());
    return g_variant_builder_end(&b);
  }

  GDBusNodeInfo* info_ = nullptr;
  GDBusConnection* bus_ = nullptr;
  unsigned object_ = 0, owner_ = 0;
};

// Reads and clicks a dbusmenu from a connection of its own.
class DbusMenuClient {
 public:
  DbusMenuClient(std::string dest, std::string path)
      : dest_(std::move(dest)), path_(std::move(path)) {
    char* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    bus_ = g_dbus_connection_new_for_address_sync(
        address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    g_free(address);
  }
  ~DbusMenuClient() {
    if (bus_) g_object_unref(bus_);
  }

  // The menu as lines in FakeStatusItem's notation.
  std::vector<std::string> lines() {
    std::vector<std::string> out;
    GVariant* reply =
        call("GetLayout", g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
    if (!reply) return out;
    GVariant* root = g_variant_get_child_value(reply, 1);
    ids_.clear();
    describeChildren(root, "", out);
    g_variant_unref(root);
    g_variant_unref(reply);
    return out;
  }
  // Clicks the first row with this label (as lines() last saw it).
  bool click(const std::string& label) {
    lines();
    for (const auto& [l, id] : ids_)
      if (l == label) {
        GVariant* r =
            call("Event", g_variant_new("(isvu)", id, "clicked", g_variant_new_int32(0), 0u));
        if (r) g_variant_unref(r);
        return r != nullptr;
      }
    return false;
  }

 private:
  GVariant* call(const char* method, GVariant* params) {
    struct Result {
      GVariant* value = nullptr;
      bool done = false;
    } result;
    g_dbus_connection_call(
        bus_, dest_.c_str(), path_.c_str(), "com.canonical.dbusmenu", method, params, nullptr,
        G_DBUS_CALL_FLAGS_NONE, 2000, nullptr,
        [](GObject* source, GAsyncResult* res, gpointer data) {
          auto* r = static_cast<Result*>(data);
          r->value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), res, nullptr);
          r->done = true;
        },
        &result);
    pumpUntil([&] { return result.done; }, 3000);
    return result.value;
  }
  void describeChildren(GVariant* node, const std::string& indent, std::vector<std::string>& out) {
    GVariant* children = g_variant_get_child_value(node, 2);
    for (gsize i = 0; i < g_variant_n_children(children); ++i) {
      GVariant* boxed = g_variant_get_child_value(children, i);
      GVariant* child = g_variant_get_variant(boxed);
      describe(child, indent, out);
      g_variant_unref(child);
      g_variant_unref(boxed);
    }
    g_variant_unref(children);
  }
  void describe(GVariant* node, const std::string& indent, std::vector<std::string>& out) {
    gint32 id = 0;
    g_variant_get_child(node, 0, "i", &id);
    GVariant* props = g_variant_get_child_value(node, 1);
    GVariantDict dict;
    g_variant_dict_init(&dict, props);
    const char* type = nullptr;
    if (g_variant_dict_lookup(&dict, "visible", "b", nullptr)) {
      gboolean visible = TRUE;
      g_variant_dict_lookup(&dict, "visible", "b", &visible);
      if (!visible) {
        g_variant_dict_clear(&dict);
        g_variant_unref(props);
        return;
      }
    }
    if (g_variant_dict_lookup(&dict, "type", "&s", &type) && std::string(type) == "separator") {
      out.push_back(indent + "---");
    } else {
      const char* label = "";
      g_variant_dict_lookup(&dict, "label", "&s", &label);
      gboolean enabled = TRUE;
      g_variant_dict_lookup(&dict, "enabled", "b", &enabled);
      const char* toggle = nullptr;
      gint32 state = 0;
      std::string line = indent;
      if (g_variant_dict_lookup(&dict, "toggle-type", "&s", &toggle) && *toggle) {
        g_variant_dict_lookup(&dict, "toggle-state", "i", &state);
        line += state == 1 ? "[x] " : "[ ] ";
      }
      const char* display = nullptr;
      bool submenu = g_variant_dict_lookup(&dict, "children-display", "&s", &display) &&
                     std::string(display) == "submenu";
      line += label;
      if (!enabled && !submenu) line += " (off)";
      ids_.emplace_back(label, id);
      out.push_back(line);
      describeChildren(node, indent + "> ", out);
    }
    g_variant_dict_clear(&dict);
    g_variant_unref(props);
  }

  std::string dest_, path_;
  GDBusConnection* bus_ = nullptr;
  std::vector<std::pair<std::string, gint32>> ids_;
};

}  // namespace desktoptest
