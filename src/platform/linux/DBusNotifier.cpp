#include "platform/linux/DBusNotifier.h"

#include <gio/gio.h>

#include <memory>

#include "platform/linux/SessionBus.h"

namespace linuxport {

namespace {

// Notification servers may read title and body as markup: both are sent as escaped text.
std::string escaped(const std::string& text) {
  gchar* e = g_markup_escape_text(text.c_str(), static_cast<gssize>(text.size()));
  std::string out(e);
  g_free(e);
  return out;
}

struct Message {
  std::string title;
  std::string body;
};

void send(GObject*, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Message> m(static_cast<Message*>(data));
  GDBusConnection* bus = g_bus_get_finish(result, nullptr);
  if (!bus) return;
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string("mirelo"));
  GVariant* args =
      g_variant_new("(susssasa{sv}i)", "Mirelo", 0u, "mirelo", escaped(m->title).c_str(),
                    escaped(m->body).c_str(), nullptr, &hints, -1);
  g_dbus_connection_call(bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                         "org.freedesktop.Notifications", "Notify", args, G_VARIANT_TYPE("(u)"),
                         G_DBUS_CALL_FLAGS_NO_AUTO_START, DBusNotifier::kTimeoutMs, nullptr,
                         nullptr, nullptr);
  g_object_unref(bus);
}

}  // namespace

void DBusNotifier::post(const std::string& identifier, const std::string& title,
                        const std::string& body) {
  (void)identifier;  // every message is its own notification: replaces-id stays 0
  if (!sessionBusReachable()) return;
  g_bus_get(G_BUS_TYPE_SESSION, nullptr, send, new Message{title, body});
}

}  // namespace linuxport
