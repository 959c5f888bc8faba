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

// Runs a task to its end on the manual clock, moving time in 1 ms steps. Returns its value
// or rethrows its failure; elapsed gets the clock time the task took, in whole microseconds.
template <typename T>
T runToEnd(ManualClock& clock, Task<T> task, double* elapsed = nullptr, double limitSeconds = 30) {
  using Stored = std::conditional_t<std::is_void_v<T>, bool, T>;
  struct State {
    bool done = false;
    std::optional<Stored> value;
    std::exception_ptr error;
    double finishedAt = 0;
  };
  auto state = std::make_shared<State>();
  const double start = clock.now();
  spawn([](Clock& c, Task<T> t, std::shared_ptr<State> s) -> Task<void> {
    try {
      if constexpr (std::is_void_v<T>) {
        co_await std::move(t);
        s->value.emplace(true);
      } else {
        s->value.emplace(co_await std::move(t));
      }
    } catch (...) {
      s->error = std::current_exception();
    }
    s->finishedAt = c.now();
    s->done = true;
  }(clock, std::move(task), state));
  clock.runPending();
  for (int step = 0; !state->done && step < limitSeconds * 1000; ++step)
    clock.advance(0.001);
  if (!state->done) throw std::runtime_error("task did not finish");
  // Microseconds: the manual clock's epoch-sized values carry rounding noise below that.
  if (elapsed) *elapsed = std::round((state->finishedAt - start) * 1e6) / 1e6;
  if (state->error) std::rethrow_exception(state->error);
  if constexpr (!std::is_void_v<T>) return std::move(*state->value);
}

}  // namespace fake
