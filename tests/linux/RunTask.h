#pragma once

#include <exception>
#include <optional>
#include <stdexcept>

#include "base/Async.h"
#include "base/Clock.h"

// Runs a task to its end on a manual clock, pumping the work other threads post to it.
template <typename T>
T runTask(ManualClock& clock, Task<T> task, double realTimeoutSeconds = 30) {
  struct Outcome {
    std::optional<T> value;
    std::exception_ptr error;
    bool done = false;
  };
  auto outcome = std::make_shared<Outcome>();
  spawn([](Task<T> t, std::shared_ptr<Outcome> o) -> Task<void> {
    try {
      o->value.emplace(co_await std::move(t));
    } catch (...) {
      o->error = std::current_exception();
    }
    o->done = true;
  }(std::move(task), outcome));
  if (!clock.runUntil([&] { return outcome->done; }, realTimeoutSeconds))
    throw std::runtime_error("the task did not finish in time");
  if (outcome->error) std::rethrow_exception(outcome->error);
  return std::move(*outcome->value);
}

inline void runTask(ManualClock& clock, Task<void> task, double realTimeoutSeconds = 30) {
  auto wrapped = [](Task<void> t) -> Task<bool> {
    co_await std::move(t);
    co_return true;
  };
  runTask(clock, wrapped(std::move(task)), realTimeoutSeconds);
}

// The error of type E that the task ends with; absent when it succeeds or throws another type.
template <typename E, typename T>
std::optional<E> failureOf(ManualClock& clock, Task<T> task, double realTimeoutSeconds = 30) {
  try {
    runTask(clock, std::move(task), realTimeoutSeconds);
  } catch (const E& e) {
    return e;
  } catch (...) {
  }
  return std::nullopt;
}
