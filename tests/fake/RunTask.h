#pragma once

#include <cmath>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>

#include "base/Async.h"
#include "base/Clock.h"

namespace fake {

// A task started on a clock: its value (true for a void task) or failure once it is done.
template <typename T>
struct Outcome {
  std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> value;
  std::exception_ptr error;
  double finishedAt = 0;
  bool done = false;

  T get() {
    if (error) std::rethrow_exception(error);
    if constexpr (!std::is_void_v<T>) return std::move(*value);
  }
};

template <typename T>
std::shared_ptr<Outcome<T>> start(Clock& clock, Task<T> task) {
  auto outcome = std::make_shared<Outcome<T>>();
  spawn([](Clock& c, Task<T> t, std::shared_ptr<Outcome<T>> o) -> Task<void> {
    try {
      if constexpr (std::is_void_v<T>) {
        co_await std::move(t);
        o->value.emplace(true);
      } else {
        o->value.emplace(co_await std::move(t));
      }
    } catch (...) {
      o->error = std::current_exception();
    }
    o->finishedAt = c.now();
    o->done = true;
  }(clock, std::move(task), outcome));
  return outcome;
}

// Runs a task to its end on the manual clock, moving time in 1 ms steps. Returns its value
// or rethrows its failure; elapsed gets the clock time the task took, in whole microseconds.
template <typename T>
T runToEnd(ManualClock& clock, Task<T> task, double* elapsed = nullptr, double limitSeconds = 30) {
  const double startedAt = clock.now();
  auto outcome = start(clock, std::move(task));
  clock.runPending();
  for (int step = 0; !outcome->done && step < limitSeconds * 1000; ++step)
    clock.advance(0.001);
  if (!outcome->done) throw std::runtime_error("task did not finish");
  // Microseconds: the manual clock's epoch-sized values carry rounding noise below that.
  if (elapsed) *elapsed = std::round((outcome->finishedAt - startedAt) * 1e6) / 1e6;
  return outcome->get();
}

// Runs a task to its end without moving the clock, waiting in real time for the work that
// other threads (the HTTP worker, the loopback listener) post to it.
template <typename T>
T runTask(ManualClock& clock, Task<T> task, double realTimeoutSeconds = 30) {
  auto outcome = start(clock, std::move(task));
  if (!clock.runUntil([&] { return outcome->done; }, realTimeoutSeconds))
    throw std::runtime_error("the task did not finish in time");
  return outcome->get();
}

// The error of type E that runTask ends with; absent when it succeeds or throws another type.
template <typename E, typename T>
std::optional<E> failureOf(ManualClock& clock, Task<T> task) {
  try {
    runTask(clock, std::move(task));
  } catch (const E& e) {
    return e;
  } catch (...) {
  }
  return std::nullopt;
}

}  // namespace fake

using fake::failureOf;
using fake::runTask;
