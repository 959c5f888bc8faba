#include "base/Clock.h"

#include <glib.h>

#include <atomic>
#include <chrono>

namespace {

struct GLibTimer {
  std::function<void()> fn;
};

gboolean fireOnce(gpointer data) {
  static_cast<GLibTimer*>(data)->fn();
  return G_SOURCE_REMOVE;
}

void destroyTimer(gpointer data) {
  delete static_cast<GLibTimer*>(data);
}

}  // namespace

double GLibClock::now() const {
  return static_cast<double>(g_get_real_time()) / 1e6;
}

Clock::TimerId GLibClock::schedule(double delaySeconds, std::function<void()> fn) {
  auto* t = new GLibTimer{std::move(fn)};
  guint ms = delaySeconds <= 0 ? 0 : static_cast<guint>(delaySeconds * 1000.0 + 0.5);
  return g_timeout_add_full(G_PRIORITY_DEFAULT, ms, fireOnce, t, destroyTimer);
}

void GLibClock::cancel(TimerId id) {
  if (id != 0) g_source_remove(static_cast<guint>(id));
}

namespace {

// Work handed from another thread. The flag publishes the function to the main thread in terms
// race detectors understand (they do not see GLib's own locks).
struct PostedWork {
  std::function<void()> fn;
  std::atomic<bool> published{false};
};

gboolean runPosted(gpointer data) {
  auto* work = static_cast<PostedWork*>(data);
  if (work->published.load(std::memory_order_acquire)) work->fn();
  return G_SOURCE_REMOVE;
}

void destroyPosted(gpointer data) {
  delete static_cast<PostedWork*>(data);
}

}  // namespace

// Always queued, never run on the calling thread (as g_main_context_invoke would whenever the
// caller can acquire the main context).
void GLibClock::post(std::function<void()> fn) {
  auto* work = new PostedWork{std::move(fn)};
  work->published.store(true, std::memory_order_release);
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, runPosted, work, destroyPosted);
  g_source_attach(source, g_main_context_default());
  g_source_unref(source);
}

Clock::TimerId ManualClock::schedule(double delaySeconds, std::function<void()> fn) {
  TimerId id = nextId_++;
  timers_.emplace(std::make_pair(now_ + (delaySeconds < 0 ? 0 : delaySeconds), id), std::move(fn));
  return id;
}

void ManualClock::cancel(TimerId id) {
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->first.second == id) {
      timers_.erase(it);
      return;
    }
  }
}

void ManualClock::post(std::function<void()> fn) {
  {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(fn));
  }
  postedCv_.notify_all();
}

void ManualClock::drainPosted() {
  for (;;) {
    std::vector<std::function<void()>> batch;
    {
      std::lock_guard lock(postedMutex_);
      batch.swap(posted_);
    }
    if (batch.empty()) return;
    for (auto& fn : batch)
      fn();
  }
}

void ManualClock::advance(double seconds) {
  const double target = now_ + (seconds < 0 ? 0 : seconds);
  drainPosted();
  // A microsecond of slack: intervals added up one by one must not miss their due time.
  while (!timers_.empty() && timers_.begin()->first.first <= target + 1e-6) {
    auto node = timers_.extract(timers_.begin());
    if (node.key().first > now_) now_ = node.key().first;
    node.mapped()();
    drainPosted();
  }
  now_ = target;
  drainPosted();
}

bool ManualClock::runUntil(const std::function<bool()>& pred, double realTimeoutSeconds) {
  auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(realTimeoutSeconds);
  for (;;) {
    runPending();
    if (pred()) return true;
    std::unique_lock lock(postedMutex_);
    if (!postedCv_.wait_until(lock, deadline, [&] { return !posted_.empty(); })) return pred();
  }
}
