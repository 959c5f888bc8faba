// The X11 trigger listener on a real X server: how long after a right-Alt release the server
// receives, onTap runs (median and p95 of 200 synthetic taps), and the CPU time the process
// uses while it only listens. Run inside tests/desktop/session.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <glib.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/Log.h"
#include "fake/FakeWorkspace.h"
#include "platform/linux/X11KeyboardEvents.h"
#include "trigger/TriggerTap.h"

namespace {

void report(const char* name, double value, const char* unit) {
  std::printf("bench: %s %.3f %s\n", name, value, unit);
  std::fflush(stdout);
}

// Blocks in the main loop (no polling, which would add to the figure) until flag is set.
void pumpUntil(const bool& flag, double timeoutSeconds) {
  bool timedOut = false;
  guint guard = g_timeout_add_full(
      G_PRIORITY_DEFAULT, static_cast<guint>(timeoutSeconds * 1000),
      [](gpointer out) {
        *static_cast<bool*>(out) = true;
        return G_SOURCE_REMOVE;
      },
      &timedOut, nullptr);
  while (!flag && !timedOut)
    g_main_context_iteration(nullptr, TRUE);
  if (!timedOut) g_source_remove(guard);
}

void pumpFor(double seconds) {
  bool done = false;
  g_timeout_add_full(
      G_PRIORITY_DEFAULT, static_cast<guint>(seconds * 1000),
      [](gpointer flag) {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &done, nullptr);
  while (!done)
    g_main_context_iteration(nullptr, TRUE);
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[index];
}

}  // namespace

int main() {
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "mirelo_bench_trigger: no display; run it in tests/desktop/session\n");
    return 77;
  }
  Log::Capture quiet;
  GLibClock clock;
  fake::FakeWorkspace workspace;
  linuxport::X11KeyboardEvents keyboard{clock};
  TriggerTap tap{clock, keyboard, workspace};
  bool fired = false;
  gint64 firedAt = 0;
  tap.onTap = [&] {
    firedAt = g_get_monotonic_time();
    fired = true;
  };
  if (!tap.start()) {
    std::fprintf(stderr, "mirelo_bench_trigger: the listener did not start\n");
    return 1;
  }

  Display* sender = XOpenDisplay(nullptr);
  const unsigned altRight = XKeysymToKeycode(sender, XK_Alt_R);
  constexpr int kTaps = 200;
  std::vector<double> latencies;
  for (int i = 0; i < kTaps; ++i) {
    fired = false;
    XTestFakeKeyEvent(sender, altRight, True, CurrentTime);
    XSync(sender, False);
    pumpFor(0.02);
    const gint64 sent = g_get_monotonic_time();
    XTestFakeKeyEvent(sender, altRight, False, CurrentTime);
    XFlush(sender);
    pumpUntil(fired, 1.0);
    if (fired) latencies.push_back(static_cast<double>(firedAt - sent) / 1000.0);
    pumpFor(0.01);
  }
  XCloseDisplay(sender);
  if (latencies.size() != kTaps)
    std::fprintf(stderr, "mirelo_bench_trigger: %zu of %d taps fired\n", latencies.size(), kTaps);
  if (latencies.empty()) return 1;
  report("trigger_tap_latency_median", percentile(latencies, 0.5), "ms");
  report("trigger_tap_latency_p95", percentile(latencies, 0.95), "ms");

  const char* idleText = std::getenv("MIRELO_BENCH_IDLE_SECONDS");
  const double idleSeconds = idleText ? std::atof(idleText) : 60.0;
  const double before = cpuSeconds();
  pumpFor(idleSeconds);
  const double used = cpuSeconds() - before;
  report("trigger_idle_cpu", used * 1000.0,
         ("ms_per_" + std::to_string(int(idleSeconds)) + "s").c_str());
  report("trigger_idle_cpu_share", used / idleSeconds * 100.0, "percent");
  return 0;
}
