#include "platform/linux/LinuxDesktop.h"

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>

namespace linuxport {

bool connectDisplay(int& argc, char**& argv) {
  if (gtk_init_check(&argc, &argv)) return true;
  const char* display = std::getenv("DISPLAY");
  std::fprintf(stderr, "mirelo: 디스플레이에 연결하지 못했습니다 (DISPLAY=%s)\n",
               display ? display : "");
  return false;
}

void runMainLoopUntil(const std::function<bool()>& done) {
  while (!done())
    g_main_context_iteration(nullptr, TRUE);
}

bool runMainLoopUntil(const std::function<bool()>& done, Clock& clock, double maxSeconds) {
  bool late = false;
  auto timer = clock.schedule(maxSeconds, [&late] { late = true; });
  runMainLoopUntil([&] { return late || done(); });
  if (!late) clock.cancel(timer);
  return done();
}

void onQuitSignal(std::function<void()> quit) {
  static std::function<void()> handler;
  handler = std::move(quit);
  auto fire = [](gpointer) -> gboolean {
    if (handler) handler();
    return G_SOURCE_CONTINUE;
  };
  g_unix_signal_add(SIGINT, fire, nullptr);
  g_unix_signal_add(SIGTERM, fire, nullptr);
  g_unix_signal_add(SIGHUP, fire, nullptr);
}

LinuxDesktop::LinuxDesktop()
    : accessibility(&clock),
      keyboard(clock, {[this] { return accessibility.isPasswordFieldFocused(); },
                       [this] { return accessibility.isTerminalFocused(); }}),
      workspace(clock, [this] { return accessibility.trackedProcessId(); }),
      defaults(LinuxDefaults::standardFile(), LinuxDefaults::standardInfoFile()),
      http(clock) {
  accessibility.setFrontmostPid([this] { return workspace.windowFrontmostPid(); });
}

platform::Platform LinuxDesktop::platform() {
  return {clock,   accessibility, keyboard, pasteboard, workspace, defaults,
          secrets, notifier,      http,     ui,         webViews,  updater};
}

}  // namespace linuxport
