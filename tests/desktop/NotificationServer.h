#pragma once

// A notification server on the session bus, as a desktop's would be: it records the title and
// body of each notification it is sent. Calls reach it while the main loop runs.
#include <gio/gio.h>

#include <string>
#include <vector>

namespace desktoptest {

class NotificationServer {
 public:
  struct Received {
    std::string summary;
    std::string body;
  };

  NotificationServer() {
    info_ = g_dbus_node_info_new_for_xml(
        "<node><interface name='org.freedesktop.Notifications'><method name='Notify'>"
        "<arg type='s' direction='in'/><arg type='u' direction='in'/>"
        "<arg type='s' direction='in'/><arg type='s' direction='in'/>"
        "<arg type='s' direction='in'/><arg type='as' direction='in'/>"
        "<arg type='a{sv}' direction='in'/><arg type='i' direction='in'/>"
        "<arg type='u' direction='out'/></method></interface></node>",
        nullptr);
    static const GDBusInterfaceVTable vtable{&NotificationServer::call, nullptr, nullptr, {}};
    object_ =
        g_dbus_connection_register_object(bus_, "/org/freedesktop/Notifications",
                                          info_->interfaces[0], &vtable, this, nullptr, nullptr);
    // Replaces an earlier owner, so that each test has its own server.
    GVariant* owned = g_dbus_connection_call_sync(
        bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", "org.freedesktop.Notifications", 4u),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    owned_ = owned != nullptr;
    if (owned) g_variant_unref(owned);
  }
  ~NotificationServer() {
    g_dbus_connection_call_sync(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                "org.freedesktop.DBus", "ReleaseName",
                                g_variant_new("(s)", "org.freedesktop.Notifications"), nullptr,
                                G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    g_dbus_connection_unregister_object(bus_, object_);
    g_object_unref(bus_);
    g_dbus_node_info_unref(info_);
  }
  NotificationServer(const NotificationServer&) = delete;
  NotificationServer& operator=(const NotificationServer&) = delete;

  bool owned() const { return owned_; }
  const std::vector<Received>& received() const { return received_; }
  bool receivedTitle(const std::string& summary) const {
    for (const auto& r : received_)
      if (r.summary == summary) return true;
    return false;
  }

 private:
  static void call(GDBusConnection*, const char*, const char*, const char*, const char*,
                   GVariant* params, GDBusMethodInvocation* invocation, gpointer data) {
    const gchar* summary = nullptr;
    const gchar* body = nullptr;
    g_variant_get(params, "(&su&s&s&s@as@a{sv}i)", nullptr, nullptr, nullptr, &summary, &body,
                  nullptr, nullptr, nullptr);
    auto* self = static_cast<NotificationServer*>(data);
    self->received_.push_back({summary, body});
    g_dbus_method_invocation_return_value(
        invocation, g_variant_new("(u)", static_cast<guint32>(self->received_.size())));
  }

  GDBusConnection* bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  GDBusNodeInfo* info_ = nullptr;
  unsigned object_ = 0;
  bool owned_ = false;
  std::vector<Received> received_;
};

}  // namespace desktoptest
