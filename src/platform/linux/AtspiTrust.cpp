#include "platform/linux/AtspiTrust.h"

#include <atspi/atspi.h>
#include <gio/gio.h>

#include "platform/linux/AtspiCalls.h"
#include "platform/linux/SessionBus.h"

namespace AtspiTrust {

using AtspiCalls::failed;
using AtspiCalls::GPtr;

namespace {

// The reply, checked to be of replyType (GDBus fails a call whose reply is of another type).
GVariant* callBus(GDBusConnection* bus, const char* interface, const char* method,
                  GVariant* parameters, const char* replyType) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.a11y.Bus", "/org/a11y/bus", interface, method, parameters,
      G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NONE, kBusTimeoutMs, nullptr, &error);
  failed(error);
  return reply;
}

// Whether the accessibility bus launcher answers with an address.
bool busAnswers(GDBusConnection* bus) {
  GVariant* reply = callBus(bus, "org.a11y.Bus", "GetAddress", nullptr, "(s)");
  if (!reply) return false;
  const gchar* address = nullptr;
  g_variant_get(reply, "(&s)", &address);
  bool ok = address && *address;
  g_variant_unref(reply);
  return ok;
}

// org.a11y.Status.IsEnabled: browsers, Qt and Electron expose a tree only when it was on
// as they started.
bool accessibilityEnabled(GDBusConnection* bus) {
  GVariant* reply = callBus(bus, "org.freedesktop.DBus.Properties", "Get",
                            g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"), "(v)");
  if (!reply) return false;
  GVariant* inner = nullptr;
  g_variant_get(reply, "(v)", &inner);
  bool enabled =
      inner && g_variant_is_of_type(inner, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(inner);
  if (inner) g_variant_unref(inner);
  g_variant_unref(reply);
  return enabled;
}

// Turns the desktop's accessibility on (the launcher stores it in the user's settings).
void enableAccessibility(GDBusConnection* bus) {
  if (accessibilityEnabled(bus)) return;
  GVariant* reply = callBus(
      bus, "org.freedesktop.DBus.Properties", "Set",
      g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(TRUE)), "()");
  if (reply) g_variant_unref(reply);
}

GDBusConnection* sessionBus() {
  if (!linuxport::sessionBusReachable()) return nullptr;
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  failed(error);
  return bus;
}

}  // namespace

bool busAnswers() {
  GDBusConnection* bus = sessionBus();
  bool reachable = bus && busAnswers(bus);
  if (bus) g_object_unref(bus);
  return reachable;
}

bool trusted(bool prompt) {
  GDBusConnection* bus = sessionBus();
  if (!bus) return false;
  if (prompt) enableAccessibility(bus);
  bool answers = busAnswers(bus);
  g_object_unref(bus);
  if (!answers) return false;
  GPtr<AtspiAccessible> desktop(atspi_get_desktop(0), g_object_unref);
  GError* error = nullptr;
  gint applications = desktop ? atspi_accessible_get_child_count(desktop.get(), &error) : 0;
  return !failed(error) && applications > 0;
}

std::string wakeDescription() {
  GDBusConnection* bus = sessionBus();
  bool enabled = bus && accessibilityEnabled(bus);
  if (bus) g_object_unref(bus);
  return std::string("기록만 (AT-SPI 는 늘 켜져 있음, org.a11y.Status.IsEnabled: ") +
         (enabled ? "예" : "아니오 — 브라우저는 켜진 뒤 시작해야 보입니다") + ")";
}

}  // namespace AtspiTrust
