#pragma once

// Waiting on the real main loop, in the desktop tests.
#include <glib.h>

#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>

#include "base/Async.h"

namespace desktoptest {

// Runs the default main context until pred holds or timeoutMs passes; returns pred().
template <typename P>
bool pumpUntil(P pred, int timeoutMs = 3000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return pred();
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    g_usleep(2000);
  }
  return true;
}

inline void pumpFor(int ms) {
  pumpUntil([] { return false; }, ms);
}

// Starts a task on the main loop; its result appears once it has finished.
template <typename T>
std::shared_ptr<std::optional<T>> start(Task<T> task) {
  auto result = std::make_shared<std::optional<T>>();
  spawn([](Task<T> t, std::shared_ptr<std::optional<T>> r) -> Task<void> {
    r->emplace(co_await std::move(t));
  }(std::move(task), result));
  return result;
}

// Runs a task on the real main loop to its end; rethrows its failure.
template <typename T>
T runOnLoop(Task<T> task, int timeoutMs = 20000) {
  std::optional<T> value;
  std::exception_ptr error;
  bool done = false;
  spawn([](Task<T> t, std::optional<T>& v, std::exception_ptr& e, bool& d) -> Task<void> {
    try {
      v.emplace(co_await std::move(t));
    } catch (...) {
      e = std::current_exception();
    }
    d = true;
  }(std::move(task), value, error, done));
  pumpUntil([&] { return done; }, timeoutMs);
  if (error) std::rethrow_exception(error);
  if (!done) throw std::runtime_error("task did not finish");
  return std::move(*value);
}

}  // namespace desktoptest
