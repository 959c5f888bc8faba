#include "platform/linux/AtspiTrust.h"

#include <atspi/atspi.h>
#include <gio/gio.h>

#include <utility>

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

// org.a11y.Status.IsEnabled: Chromium and Electron expose a tree only when it was on as they
// started; Firefox and Thunderbird (without GNOME_ACCESSIBILITY=1) join as soon as it turns on.
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

// One asynchronous check: the launcher's address, a connection to that bus, the registry's
// child count. Deleted by finish(), which answers once.
struct Check {
  std::function<void(bool)> answer;
  GCancellable* cancellable = g_cancellable_new();
  guint deadline = 0;
  GDBusConnection* registryBus = nullptr;

  ~Check() {
    if (deadline) g_source_remove(deadline);
    if (registryBus) {
      g_dbus_connection_close(registryBus, nullptr, nullptr, nullptr);
      g_object_unref(registryBus);
    }
    g_object_unref(cancellable);
  }
};

void finish(Check* check, bool trusted) {
  auto answer = std::move(check->answer);
  delete check;
  answer(trusted);
}

GVariant* replyOf(GObject* source, GAsyncResult* result) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  failed(error);
  return reply;
}

void onChildCount(GObject* source, GAsyncResult* result, gpointer data) {
  auto* check = static_cast<Check*>(data);
  GVariant* reply = replyOf(source, result);
  if (!reply) return finish(check, false);
  GVariant* inner = nullptr;
  g_variant_get(reply, "(v)", &inner);
  bool listed = g_variant_is_of_type(inner, G_VARIANT_TYPE_INT32) && g_variant_get_int32(inner) > 0;
  g_variant_unref(inner);
  g_variant_unref(reply);
  finish(check, listed);
}

void onRegistryBus(GObject*, GAsyncResult* result, gpointer data) {
  auto* check = static_cast<Check*>(data);
  GError* error = nullptr;
  check->registryBus = g_dbus_connection_new_for_address_finish(result, &error);
  if (failed(error) || !check->registryBus) return finish(check, false);
  g_dbus_connection_call(check->registryBus, "org.a11y.atspi.Registry",
                         "/org/a11y/atspi/accessible/root", "org.freedesktop.DBus.Properties",
                         "Get", g_variant_new("(ss)", "org.a11y.atspi.Accessible", "ChildCount"),
                         G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kBusTimeoutMs,
                         check->cancellable, onChildCount, check);
}

void onAddress(GObject* source, GAsyncResult* result, gpointer data) {
  auto* check = static_cast<Check*>(data);
  GVariant* reply = replyOf(source, result);
  if (!reply) return finish(check, false);
  const gchar* address = nullptr;
  g_variant_get(reply, "(&s)", &address);
  if (address && *address) {
    auto flags = GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                      G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
    g_dbus_connection_new_for_address(address, flags, nullptr, check->cancellable, onRegistryBus,
                                      check);
  }
  bool asked = address && *address;
  g_variant_unref(reply);
  if (!asked) finish(check, false);
}

void onSessionBus(GObject*, GAsyncResult* result, gpointer data) {
  auto* check = static_cast<Check*>(data);
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_finish(result, &error);
  if (failed(error) || !bus) return finish(check, false);
  g_dbus_connection_call(bus, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                         nullptr, G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, kBusTimeoutMs,
                         check->cancellable, onAddress, check);
  g_object_unref(bus);
}

// Cancels what the check waits for; the cancelled step then answers false.
gboolean onDeadline(gpointer data) {
  auto* check = static_cast<Check*>(data);
  check->deadline = 0;
  g_cancellable_cancel(check->cancellable);
  return G_SOURCE_REMOVE;
}

gboolean answerUntrusted(gpointer data) {
  finish(static_cast<Check*>(data), false);
  return G_SOURCE_REMOVE;
}

}  // namespace

void check(bool available, std::function<void(bool)> answer) {
  auto* check = new Check{std::move(answer)};
  if (!available || !linuxport::sessionBusReachable()) {
    g_idle_add(answerUntrusted, check);
    return;
  }
  check->deadline = g_timeout_add(kCheckTimeoutMs, onDeadline, check);
  g_bus_get(G_BUS_TYPE_SESSION, check->cancellable, onSessionBus, check);
}

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
         (enabled ? "예 — 켜지기 전에 시작한 Chromium 계열 브라우저는 다시 시작해야 보입니다"
                  : "아니오 — 손쉬운 사용 권한을 허용하면 Firefox·Thunderbird 는 바로 보이고, "
                    "Chromium 계열은 다시 시작해야 보입니다") +
         ")";
}

}  // namespace AtspiTrust
