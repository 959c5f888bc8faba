#include "platform/linux/DBusBatch.h"

#include <cstring>
#include <deque>
#include <utility>

namespace linuxport {

namespace {

// Errors that say nothing about the object asked, only that the peer cannot be reached.
bool unreachable(const char* error) {
  return error && (std::strcmp(error, DBUS_ERROR_NO_REPLY) == 0 ||
                   std::strcmp(error, DBUS_ERROR_TIMEOUT) == 0 ||
                   std::strcmp(error, DBUS_ERROR_DISCONNECTED) == 0 ||
                   std::strcmp(error, DBUS_ERROR_NO_MEMORY) == 0);
}

}  // namespace

DBusBatch::DBusBatch(DBusConnection* bus, std::string destination, int timeoutMs)
    : bus_(bus), destination_(std::move(destination)), timeoutMs_(timeoutMs) {}

DBusMessage* DBusBatch::call(const char* path, const char* interface, const char* method) {
  return dbus_message_new_method_call(nullptr, path, interface, method);
}

bool DBusBatch::run(size_t count, const Make& make, const Take& take) {
  if (!bus_ || !dbus_connection_get_is_connected(bus_)) return false;
  std::deque<std::pair<size_t, DBusPendingCall*>> pending;
  bool ok = true;
  size_t next = 0;
  while (ok && (next < count || !pending.empty())) {
    for (; ok && next < count && pending.size() < kInFlight; ++next) {
      DBusMessage* message = make(next);
      if (!message) continue;
      DBusPendingCall* call = nullptr;
      if (!destination_.empty()) dbus_message_set_destination(message, destination_.c_str());
      ok = dbus_connection_send_with_reply(bus_, message, &call, timeoutMs_) && call;
      dbus_message_unref(message);
      if (ok) pending.emplace_back(next, call);
    }
    if (!ok || pending.empty()) break;
    auto [i, call] = pending.front();
    pending.pop_front();
    ok = answer(i, call, take);
  }
  for (auto& [i, call] : pending) {
    dbus_pending_call_cancel(call);
    dbus_pending_call_unref(call);
  }
  return ok && dbus_connection_get_is_connected(bus_);
}

bool DBusBatch::answer(size_t i, DBusPendingCall* pending, const Take& take) {
  dbus_pending_call_block(pending);
  DBusMessage* reply = dbus_pending_call_steal_reply(pending);
  dbus_pending_call_unref(pending);
  if (!reply) return false;
  bool ok = true;
  if (dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_ERROR) {
    ok = !unreachable(dbus_message_get_error_name(reply));
    if (ok) take(i, nullptr);
  } else {
    take(i, reply);
  }
  dbus_message_unref(reply);
  return ok;
}

}  // namespace linuxport
