#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

// The source of time and the main context's scheduler. Every timer of the program goes
// through a Clock so that tests advance time instead of sleeping.
class Clock {
 public:
  using TimerId = std::uint64_t;

  virtual ~Clock() = default;
  // Seconds since the Unix epoch.
  virtual double now() const = 0;
  // Runs fn once on the main context after delay seconds (0 = on the next turn).
  virtual TimerId schedule(double delaySeconds, std::function<void()> fn) = 0;
  virtual void cancel(TimerId id) = 0;
  // Runs fn on the main context soon. The only call that may be made from another thread.
  virtual void post(std::function<void()> fn) = 0;
};

// The real clock on the default GLib main context.
class GLibClock final : public Clock {
 public:
  double now() const override;
  TimerId schedule(double delaySeconds, std::function<void()> fn) override;
  void cancel(TimerId id) override;
  void post(std::function<void()> fn) override;
};

// A clock that moves only when told to. Timers fire in due order, each at its due time.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(double start = 1'800'000'000.0) : now_(start) {}

  double now() const override { return now_; }
  TimerId schedule(double delaySeconds, std::function<void()> fn) override;
  void cancel(TimerId id) override;
  void post(std::function<void()> fn) override;

  // Moves time forward, firing every timer that falls due on the way (and work they post).
  void advance(double seconds);
  // Runs what is due now: posted work and timers due at the current time.
  void runPending() { advance(0); }
  // Waits in real time (for work posted by other threads) until pred holds or timeout passes,
  // running posted work meanwhile. Returns pred().
  bool runUntil(const std::function<bool()>& pred, double realTimeoutSeconds = 10);
  size_t pendingTimers() const { return timers_.size(); }

 private:
  void drainPosted();

  double now_;
  TimerId nextId_ = 1;
  // (due time, id) keeps timers with the same due time in scheduling order.
  std::map<std::pair<double, TimerId>, std::function<void()>> timers_;
  std::mutex postedMutex_;
  std::condition_variable postedCv_;
  std::vector<std::function<void()>> posted_;
};
