#pragma once

#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "base/Clock.h"

// Coroutine tasks that run on the main context. A Task starts when it is awaited or spawned;
// its awaiter is resumed when it finishes.
namespace async_detail {

void reportDetachedFailure(std::exception_ptr error);

struct PromiseBase {
  std::coroutine_handle<> continuation;
  std::exception_ptr error;
  bool detached = false;

  std::suspend_always initial_suspend() noexcept { return {}; }

  struct FinalAwaiter {
    bool await_ready() noexcept { return false; }
    template <typename P>
    std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) noexcept {
      auto& p = h.promise();
      if (p.continuation) return p.continuation;
      if (p.detached) {
        if (p.error) reportDetachedFailure(p.error);
        h.destroy();
      }
      return std::noop_coroutine();
    }
    void await_resume() noexcept {}
  };
  FinalAwaiter final_suspend() noexcept { return {}; }
  void unhandled_exception() noexcept { error = std::current_exception(); }
};

}  // namespace async_detail

template <typename T = void>
class [[nodiscard]] Task {
 public:
  struct promise_type : async_detail::PromiseBase {
    std::optional<T> value;
    Task get_return_object() {
      return Task(std::coroutine_handle<promise_type>::from_promise(*this));
    }
    template <typename U>
    void return_value(U&& v) {
      value.emplace(std::forward<U>(v));
    }
  };
  using Handle = std::coroutine_handle<promise_type>;

  Task(Task&& other) noexcept : h_(std::exchange(other.h_, {})) {}
  Task& operator=(Task&& other) noexcept {
    if (this != &other) {
      if (h_) h_.destroy();
      h_ = std::exchange(other.h_, {});
    }
    return *this;
  }
  ~Task() {
    if (h_) h_.destroy();
  }

  bool await_ready() const noexcept { return false; }
  std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept {
    h_.promise().continuation = awaiting;
    return h_;
  }
  T await_resume() {
    auto& p = h_.promise();
    if (p.error) std::rethrow_exception(p.error);
    return std::move(*p.value);
  }

  Handle release() { return std::exchange(h_, {}); }

 private:
  explicit Task(Handle h) : h_(h) {}
  Handle h_;
};

template <>
class [[nodiscard]] Task<void> {
 public:
  struct promise_type : async_detail::PromiseBase {
    Task get_return_object() {
      return Task(std::coroutine_handle<promise_type>::from_promise(*this));
    }
    void return_void() {}
  };
  using Handle = std::coroutine_handle<promise_type>;

  Task(Task&& other) noexcept : h_(std::exchange(other.h_, {})) {}
  Task& operator=(Task&& other) noexcept {
    if (this != &other) {
      if (h_) h_.destroy();
      h_ = std::exchange(other.h_, {});
    }
    return *this;
  }
  ~Task() {
    if (h_) h_.destroy();
  }

  bool await_ready() const noexcept { return false; }
  std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept {
    h_.promise().continuation = awaiting;
    return h_;
  }
  void await_resume() {
    if (h_.promise().error) std::rethrow_exception(h_.promise().error);
  }

  Handle release() { return std::exchange(h_, {}); }

 private:
  explicit Task(Handle h) : h_(h) {}
  Handle h_;
};

// Starts a task that nobody awaits; it frees itself when done. A failure is logged.
template <typename T>
void spawn(Task<T> task) {
  auto h = task.release();
  h.promise().detached = true;
  h.resume();
}

// co_await sleepFor(clock, 0.12): resumes on the main context after the delay. A task destroyed
// while it sleeps takes its timer with it.
class SleepAwaiter {
 public:
  SleepAwaiter(Clock& clock, double seconds) : clock_(clock), seconds_(seconds) {}
  ~SleepAwaiter() {
    if (timer_) clock_.cancel(timer_);
  }
  SleepAwaiter(const SleepAwaiter&) = delete;
  SleepAwaiter& operator=(const SleepAwaiter&) = delete;

  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> h) {
    timer_ = clock_.schedule(seconds_, [this, h] {
      timer_ = 0;
      h.resume();
    });
  }
  void await_resume() const noexcept {}

 private:
  Clock& clock_;
  double seconds_;
  Clock::TimerId timer_ = 0;
};
inline SleepAwaiter sleepFor(Clock& clock, double seconds) {
  return {clock, seconds};
}

// A value delivered later on the main context, awaited by at most one task.
// Copies share one state; resolve or fail it exactly once.
template <typename T>
class Completion {
 public:
  Completion() : s_(std::make_shared<State>()) {}

  void resolve(T value) {
    if (s_->done) return;
    s_->value.emplace(std::move(value));
    finish();
  }
  void fail(std::exception_ptr error) {
    if (s_->done) return;
    s_->error = std::move(error);
    finish();
  }
  bool done() const { return s_->done; }

  // Unregisters when destroyed, so a task destroyed while it waits is never resumed.
  class Awaiter {
   public:
    explicit Awaiter(std::shared_ptr<typename Completion::State> s) : s_(std::move(s)) {}
    ~Awaiter() {
      if (waiting_ && s_->waiter == waiting_) s_->waiter = {};
    }
    Awaiter(const Awaiter&) = delete;
    Awaiter& operator=(const Awaiter&) = delete;

    bool await_ready() const noexcept { return s_->done; }
    void await_suspend(std::coroutine_handle<> h) { s_->waiter = waiting_ = h; }
    T await_resume() {
      if (s_->error) std::rethrow_exception(s_->error);
      return std::move(*s_->value);
    }

   private:
    std::shared_ptr<typename Completion::State> s_;
    std::coroutine_handle<> waiting_;
  };
  Awaiter operator co_await() const { return Awaiter(s_); }

 private:
  struct State {
    bool done = false;
    std::optional<T> value;
    std::exception_ptr error;
    std::coroutine_handle<> waiter;
  };
  void finish() {
    s_->done = true;
    if (auto w = std::exchange(s_->waiter, {})) w.resume();
  }
  std::shared_ptr<State> s_;
};

// A one-shot or repeating timer on a Clock. Stops when destroyed, so a timer kept as a member
// does nothing once its owner is gone.
class Timer {
 public:
  Timer() = default;
  ~Timer() { stop(); }
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  void start(Clock& clock, double intervalSeconds, bool repeats, std::function<void()> tick);
  void stop();
  bool active() const;

  struct State;  // shared with the scheduled callback, which holds it weakly

 private:
  std::shared_ptr<State> state_;
};
