#include "platform/linux/DBusNotifier.h"

#include <gio/gio.h>

namespace linuxport {

void DBusNotifier::post(const std::string& identifier, const std::string& title,
                        const std::string& body) {
  (void)identifier;  // every message is its own notification: replaces-id stays 0
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (!bus) return;
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string("mirelo"));
  GVariant* args = g_variant_new("(susssasa{sv}i)", "Mirelo", 0u, "mirelo", title.c_str(),
                                 body.c_str(), nullptr, &hints, -1);
  g_dbus_connection_call(bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                         "org.freedesktop.Notifications", "Notify", args, G_VARIANT_TYPE("(u)"),
                         G_DBUS_CALL_FLAGS_NO_AUTO_START, kTimeoutMs, nullptr, nullptr, nullptr);
  g_object_unref(bus);
}

}  // namespace linuxport
