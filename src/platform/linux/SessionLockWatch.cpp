#include "platform/linux/SessionLockWatch.h"
#include "platform/linux/SessionBus.h"

#include <gio/gio.h>
#include <unistd.h>

namespace linuxport {

namespace {

constexpr int kCallTimeoutMs = 1000;
constexpr const char* kLogin1 = "org.freedesktop.login1";
constexpr const char* kSessionInterface = "org.freedesktop.login1.Session";
// Each desktop's screen saver answers on the session bus under the name of its interface.
constexpr const char* kScreenSavers[] = {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver",
                                         "org.mate.ScreenSaver", "org.cinnamon.ScreenSaver"};

}  // namespace

struct SessionLockWatch::State {
  GCancellable* cancellable = g_cancellable_new();
  GDBusConnection* system = nullptr;
  GDBusConnection* session = nullptr;
  guint lockedSignal = 0;
  guint saverSignal = 0;
  bool lockedHint = false;
  bool saverActive = false;
  bool started = false;

  ~State() {
    g_cancellable_cancel(cancellable);
    if (system && lockedSignal) g_dbus_connection_signal_unsubscribe(system, lockedSignal);
    if (session && saverSignal) g_dbus_connection_signal_unsubscribe(session, saverSignal);
    if (system) g_object_unref(system);
    if (session) g_object_unref(session);
    g_object_unref(cancellable);
  }
};

namespace {

using State = SessionLockWatch::State;

// Callbacks hold the state weakly: a reply arriving after the watch is gone does nothing.
using Weak = std::weak_ptr<State>;

Weak* holdWeakly(const std::shared_ptr<State>& state) {
  return new Weak(state);
}

std::shared_ptr<State> take(gpointer data) {
  auto* weak = static_cast<Weak*>(data);
  auto state = weak->lock();
  delete weak;
  return state;
}

// The bus g_bus_get answered with, and the watch it was asked for; null when either is gone.
std::shared_ptr<State> takeWithBus(GAsyncResult* result, gpointer data, GDBusConnection*& bus) {
  bus = g_bus_get_finish(result, nullptr);
  auto state = take(data);
  if (bus && !state) g_clear_object(&bus);
  return bus ? state : nullptr;
}

GVariant* finish(GObject* source, GAsyncResult* result) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (error) g_error_free(error);
  return reply;
}

void readLockedHint(const std::shared_ptr<State>& state, const char* path);

void onLockedHint(GObject* source, GAsyncResult* result, gpointer data) {
  GVariant* reply = finish(source, result);
  auto state = take(data);
  if (!reply) return;
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  if (state && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN))
    state->lockedHint = g_variant_get_boolean(value);
  g_variant_unref(value);
  g_variant_unref(reply);
}

void onSessionPropertiesChanged(GDBusConnection*, const gchar*, const gchar* path, const gchar*,
                                const gchar*, GVariant* parameters, gpointer data) {
  auto state = static_cast<Weak*>(data)->lock();
  if (!state || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)"))) return;
  const gchar* interface = nullptr;
  GVariant* changed = nullptr;
  GVariant* invalidated = nullptr;
  g_variant_get(parameters, "(&s@a{sv}@as)", &interface, &changed, &invalidated);
  if (g_strcmp0(interface, kSessionInterface) == 0) {
    gboolean locked = FALSE;
    if (g_variant_lookup(changed, "LockedHint", "b", &locked)) {
      state->lockedHint = locked;
    } else {
      const gchar** names = g_variant_get_strv(invalidated, nullptr);
      for (const gchar** n = names; n && *n; ++n)
        if (g_strcmp0(*n, "LockedHint") == 0) readLockedHint(state, path);
      g_free(names);
    }
  }
  g_variant_unref(changed);
  g_variant_unref(invalidated);
}

void readLockedHint(const std::shared_ptr<State>& state, const char* path) {
  g_dbus_connection_call(state->system, kLogin1, path, "org.freedesktop.DBus.Properties", "Get",
                         g_variant_new("(ss)", kSessionInterface, "LockedHint"),
                         G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
                         state->cancellable, onLockedHint, holdWeakly(state));
}

void onSessionPath(GObject* source, GAsyncResult* result, gpointer data) {
  GVariant* reply = finish(source, result);
  auto state = take(data);
  if (!reply) return;
  const gchar* path = nullptr;
  g_variant_get(reply, "(&o)", &path);
  if (state) {
    state->lockedSignal = g_dbus_connection_signal_subscribe(
        state->system, kLogin1, "org.freedesktop.DBus.Properties", "PropertiesChanged", path,
        kSessionInterface, G_DBUS_SIGNAL_FLAGS_NONE, onSessionPropertiesChanged, holdWeakly(state),
        [](gpointer weak) { delete static_cast<Weak*>(weak); });
    readLockedHint(state, path);
  }
  g_variant_unref(reply);
}

void onSystemBus(GObject*, GAsyncResult* result, gpointer data) {
  GDBusConnection* bus = nullptr;
  auto state = takeWithBus(result, data, bus);
  if (!state) return;
  state->system = bus;
  g_dbus_connection_call(bus, kLogin1, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                         "GetSessionByPID", g_variant_new("(u)", static_cast<guint32>(getpid())),
                         G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
                         state->cancellable, onSessionPath, holdWeakly(state));
}

void onSaverActive(GObject* source, GAsyncResult* result, gpointer data) {
  GVariant* reply = finish(source, result);
  auto state = take(data);
  if (!reply) return;
  gboolean active = FALSE;
  g_variant_get(reply, "(b)", &active);
  if (state && active) state->saverActive = true;
  g_variant_unref(reply);
}

void onSaverChanged(GDBusConnection*, const gchar*, const gchar*, const gchar* interface,
                    const gchar*, GVariant* parameters, gpointer data) {
  auto state = static_cast<Weak*>(data)->lock();
  if (!state || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
  bool known = false;
  for (const char* saver : kScreenSavers)
    if (g_strcmp0(interface, saver) == 0) known = true;
  if (!known) return;
  gboolean active = FALSE;
  g_variant_get(parameters, "(b)", &active);
  state->saverActive = active;
}

void onSessionBus(GObject*, GAsyncResult* result, gpointer data) {
  GDBusConnection* bus = nullptr;
  auto state = takeWithBus(result, data, bus);
  if (!state) return;
  state->session = bus;
  state->saverSignal = g_dbus_connection_signal_subscribe(
      bus, nullptr, nullptr, "ActiveChanged", nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      onSaverChanged, holdWeakly(state), [](gpointer weak) { delete static_cast<Weak*>(weak); });
  for (const char* saver : kScreenSavers) {
    std::string path = "/" + std::string(saver);
    for (char& c : path)
      if (c == '.') c = '/';
    g_dbus_connection_call(bus, saver, path.c_str(), saver, "GetActive", nullptr,
                           G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs,
                           state->cancellable, onSaverActive, holdWeakly(state));
  }
}

}  // namespace

SessionLockWatch::SessionLockWatch() : state_(std::make_shared<State>()) {}

SessionLockWatch::~SessionLockWatch() = default;

void SessionLockWatch::start() {
  if (state_->started) return;
  state_->started = true;
  g_bus_get(G_BUS_TYPE_SYSTEM, state_->cancellable, onSystemBus, holdWeakly(state_));
  if (sessionBusReachable())
    g_bus_get(G_BUS_TYPE_SESSION, state_->cancellable, onSessionBus, holdWeakly(state_));
}

bool SessionLockWatch::locked() const {
  return state_->lockedHint || state_->saverActive;
}

}  // namespace linuxport
