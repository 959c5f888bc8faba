// Figures of the whole program, the real mirelo on the private session, signed in against the
// stand-in backend with a tray watcher present: the time from its start to its tray item
// registered and its trigger listening (median of 5 starts), and, once the knowledge-base
// engine is ready, the memory of its process tree and its idle CPU over 60 s, for the process
// and for its whole process tree.
//
//   mirelo_bench_app   runs inside tests/desktop/session (make bench does that)
#include <gtk/gtk.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Child.h"
#include "ProcessTree.h"
#include "StandInBackend.h"
#include "TrayWatcher.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "base/Log.h"
#include "platform/linux/LinuxDesktop.h"

namespace {

using desktoptest::Child;
using Steady = std::chrono::steady_clock;

constexpr int kStarts = 5;
constexpr int kIdleSeconds = 60;

void report(const char* name, double value, const char* unit) {
  std::printf("bench: %s %.3f %s\n", name, value, unit);
  std::fflush(stdout);
}

bool startMirelo(Child& child) {
  return child.start(
      {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", desktoptest::buildDir() + "/mirelo"});
}

// Reads the program's lines until one holds text.
bool readUntil(Child& child, const std::string& text, int timeoutMs) {
  auto end = Steady::now() + std::chrono::milliseconds(timeoutMs);
  while (Steady::now() < end) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Steady::now());
    auto line = child.read('\n', static_cast<int>(left.count()));
    if (!line) return false;
    if (line->find(text) != std::string::npos) return true;
  }
  return false;
}

// Milliseconds from the start to the tray item registered and the trigger listening.
double coldStart() {
  desktoptest::TrayWatcher tray;
  Child mirelo;
  auto start = Steady::now();
  if (!startMirelo(mirelo) || !readUntil(mirelo, "Mirelo 실행 중", 20000) ||
      !desktoptest::pumpUntil([&] { return tray.registered(); }, 20000)) {
    std::fprintf(stderr, "mirelo did not get ready\n");
    return -1;
  }
  double ms = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
  mirelo.stop(SIGTERM);
  return ms;
}

// Runs the main loop, asleep until something happens, for seconds.
void idleFor(int seconds) {
  bool done = false;
  g_timeout_add_seconds(
      static_cast<guint>(seconds),
      [](gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &done);
  while (!done)
    g_main_context_iteration(nullptr, TRUE);
}

// The memory of the program's process tree once it started and its engine is ready, then its
// CPU while nothing happens.
void idleCpu() {
  desktoptest::TrayWatcher tray;
  Child mirelo;
  if (!startMirelo(mirelo) || !readUntil(mirelo, "헤드리스 엔진 준비됨", 30000)) {
    std::fprintf(stderr, "mirelo's engine did not get ready\n");
    return;
  }
  idleFor(2);  // what the start left behind settles
  auto pids = bench::processTree(mirelo.pid());
  long pss = 0;
  for (int pid : pids)
    pss += bench::pssKb(pid);
  report("memory_tree_after_start", pss / 1024.0, "MB");
  long own = bench::cpuTicks(mirelo.pid()), all = 0;
  for (int pid : pids)
    all += bench::cpuTicks(pid);
  idleFor(kIdleSeconds);
  long ownAfter = bench::cpuTicks(mirelo.pid()), allAfter = 0;
  for (int pid : bench::processTree(mirelo.pid()))
    allAfter += bench::cpuTicks(pid);
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  report("idle_cpu_process", 100.0 * (ownAfter - own) / tick / kIdleSeconds, "%");
  report("idle_cpu_tree", 100.0 * (allAfter - all) / tick / kIdleSeconds, "%");
  mirelo.stop(SIGTERM);
}

}  // namespace

int main(int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv)) return 1;
  Log::setStderrEnabled(false);
  StandInBackend backend;
  linuxport::LinuxDesktop desk;
  desk.defaults.set(Settings::kBackendURL, backend.url());
  Keychain::set(desk.secrets, "bench-token", Keychain::kSessionToken);

  std::vector<double> starts;
  for (int i = 0; i < kStarts; ++i)
    starts.push_back(coldStart());
  std::sort(starts.begin(), starts.end());
  report("cold_start_to_ready", starts[starts.size() / 2], "ms");
  idleCpu();

  desk.defaults.remove(Settings::kBackendURL);
  Keychain::remove(desk.secrets, Keychain::kSessionToken);
  return 0;
}
