#pragma once

#include <memory>

namespace linuxport {

// Whether the session is locked, learnt without blocking: logind's LockedHint of this
// process's session (read once, then followed through its change signals) and the
// screen-saver interfaces of the desktop (their ActiveChanged signals). Every call is
// asynchronous with a time-out, and every reply's type is checked before it is read.
class SessionLockWatch {
 public:
  SessionLockWatch();
  ~SessionLockWatch();
  SessionLockWatch(const SessionLockWatch&) = delete;
  SessionLockWatch& operator=(const SessionLockWatch&) = delete;

  // Connects to the buses and starts following; a second call does nothing.
  void start();
  bool locked() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace linuxport
