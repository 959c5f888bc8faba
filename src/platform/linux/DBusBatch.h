#pragma once

#include <dbus/dbus.h>

#include <cstddef>
#include <functional>
#include <string>

namespace linuxport {

// Method calls to one peer over a libdbus connection with many in flight at once, so the peer
// answers them back to back instead of one round trip each. Each call is bounded by the
// time-out; main thread only (the replies are read while blocking, other messages stay queued
// for the main loop).
class DBusBatch {
 public:
  static constexpr size_t kInFlight = 128;

  DBusBatch(DBusConnection* bus, std::string destination, int timeoutMs);

  // A new call for item i (its destination is set here), or null for none.
  using Make = std::function<DBusMessage*(size_t i)>;
  // The reply to item i's call; null when the peer answered with an error.
  using Take = std::function<void(size_t i, DBusMessage* reply)>;

  // False when a call went unanswered in time or the connection broke: the answers taken so
  // far are then incomplete.
  bool run(size_t count, const Make& make, const Take& take);

  // A method call on an object of the peer, arguments appended by the caller.
  static DBusMessage* call(const char* path, const char* interface, const char* method);

 private:
  bool answer(size_t i, DBusPendingCall* pending, const Take& take);

  DBusConnection* bus_;
  std::string destination_;
  int timeoutMs_;
};

}  // namespace linuxport
