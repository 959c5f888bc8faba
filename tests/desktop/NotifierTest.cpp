// Runs inside tests/desktop/session: this test is the notification server on the session bus.
#include "platform/linux/DBusNotifier.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr const char* kInterface =
    "<node><interface name='org.freedesktop.Notifications'><method name='Notify'>"
    "<arg type='s' direction='in'/><arg type='u' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='as' direction='in'/>"
    "<arg type='a{sv}' direction='in'/><arg type='i' direction='in'/>"
    "<arg type='u' direction='out'/></method></interface></node>";

struct Received {
  std::string summary;
  std::string body;
};

void onCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
            GVariant* parameters, GDBusMethodInvocation* invocation, gpointer user) {
  const gchar* summary = nullptr;
  const gchar* body = nullptr;
  g_variant_get(parameters, "(&su&s&s&s@as@a{sv}i)", nullptr, nullptr, nullptr, &summary, &body,
                nullptr, nullptr, nullptr);
  static_cast<std::vector<Received>*>(user)->push_back({summary, body});
  g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", 7u));
}

// Servers that read markup get "&" and "<" as text, not as broken markup.
TEST(NotificationsOnDesktop, TitleAndBodyArriveAsEscapedText) {
  ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr)
      << "run me through tests/desktop/session";
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  ASSERT_TRUE(bus);
  std::vector<Received> received;
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
  GDBusInterfaceVTable vtable = {onCall, nullptr, nullptr, {}};
  guint object =
      g_dbus_connection_register_object(bus, "/org/freedesktop/Notifications", node->interfaces[0],
                                        &vtable, &received, nullptr, nullptr);
  GVariant* owned = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", "org.freedesktop.Notifications", 4u), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  ASSERT_TRUE(owned);
  g_variant_unref(owned);

  linuxport::DBusNotifier notifier;
  notifier.post("id", "A & B <i>", "1 < 2 & \"따옴표\"");
  for (int i = 0; i < 500 && received.empty(); ++i)
    g_main_context_iteration(nullptr, TRUE);

  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].summary, "A &amp; B &lt;i&gt;");
  EXPECT_EQ(received[0].body, "1 &lt; 2 &amp; &quot;따옴표&quot;");
  g_dbus_connection_unregister_object(bus, object);
  g_dbus_node_info_unref(node);
  g_object_unref(bus);
}

}  // namespace
