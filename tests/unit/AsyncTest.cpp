#include "base/Async.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "base/Log.h"

namespace {

Task<void> failing(Clock& clock) {
  co_await sleepFor(clock, 0.1);
  throw std::runtime_error("boom");
}

TEST(Tasks, AFailingDetachedTaskIsLogged) {
  Log::Capture capture;
  ManualClock clock;
  spawn(failing(clock));
  clock.advance(1);
  EXPECT_TRUE(capture.contains("app", Log::Level::error, "작업 실패: boom"));
}

// Work posted from a worker thread runs on the main thread, also when the worker could take
// the main context because nobody iterates it at that moment.
TEST(Completions, PostFromAWorkerRunsOnTheMainThreadOfTheRealClock) {
  GLibClock clock;
  std::thread::id ranOn;
  std::thread worker([&] { clock.post([&] { ranOn = std::this_thread::get_id(); }); });
  worker.join();
  for (int i = 0; i < 1000 && ranOn == std::thread::id(); ++i)
    g_main_context_iteration(nullptr, TRUE);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

// A task destroyed while it waits is never resumed, neither by its timer nor by its result.
TEST(Tasks, ADestroyedTaskIsNotResumedByItsTimerOrItsCompletion) {
  ManualClock clock;
  Completion<int> result;
  int resumed = 0;
  auto start = [](Task<void> task) {
    auto h = task.release();
    h.resume();
    return h;
  };
  auto sleeper = start([](Clock& c, int& n) -> Task<void> {
    co_await sleepFor(c, 1);
    ++n;
  }(clock, resumed));
  auto waiter =
      start([](Completion<int> r, int& n) -> Task<void> { n += co_await r; }(result, resumed));
  sleeper.destroy();
  waiter.destroy();
  clock.advance(2);
  result.resolve(10);
  EXPECT_EQ(resumed, 0);
  EXPECT_EQ(clock.pendingTimers(), 0u);
}

TEST(Completions, AlreadyResolvedIsReadyAndSecondResolveIsIgnored) {
  Completion<int> c;
  c.resolve(1);
  c.resolve(2);
  int got = 0;
  spawn([](Completion<int> c, int& out) -> Task<void> { out = co_await c; }(c, got));
  EXPECT_EQ(got, 1);
}

TEST(Timers, AOneShotFiresOnceThenIsInactiveAndMayRestartItself) {
  ManualClock clock;
  Timer timer;
  int ticks = 0;
  timer.start(clock, 3.0, false, [&] { ++ticks; });
  clock.advance(2.999);
  EXPECT_EQ(ticks, 0);
  clock.advance(10);
  EXPECT_EQ(ticks, 1);
  EXPECT_FALSE(timer.active());
  // A tick that restarts its own timer (a flash shown again) keeps it running.
  timer.start(clock, 1.0, false, [&] {
    if (++ticks < 4) timer.start(clock, 1.0, false, [&] { ++ticks; });
  });
  clock.advance(5);
  EXPECT_EQ(ticks, 3);
}

TEST(ManualClocks, FireTimersInDueOrderAndKeepTimeMonotonic) {
  ManualClock clock(100);
  std::vector<int> order;
  std::vector<double> at;
  clock.schedule(0.3, [&] {
    order.push_back(3);
    at.push_back(clock.now());
  });
  clock.schedule(0.1, [&] {
    order.push_back(1);
    at.push_back(clock.now());
  });
  clock.schedule(0.1, [&] {
    order.push_back(2);
    at.push_back(clock.now());
  });
  auto cancelled = clock.schedule(0.2, [&] { order.push_back(99); });
  clock.cancel(cancelled);
  clock.advance(1);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_DOUBLE_EQ(at[0], 100.1);
  EXPECT_DOUBLE_EQ(at[2], 100.3);
  EXPECT_DOUBLE_EQ(clock.now(), 101);
}

}  // namespace
