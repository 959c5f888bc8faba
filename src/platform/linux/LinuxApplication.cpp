#include "platform/linux/LinuxApplication.h"

#include <gtk/gtk.h>
#include <signal.h>
#include <unistd.h>

#include "base/Log.h"

namespace linuxport {

namespace {

// A running instance that does not answer the hand-over in this time is taken as hung.
constexpr unsigned kForwardSeconds = 10;

// GLib waits on the hand-over without a limit, in a loop of its own; the alarm ends this start.
void forwardTimedOut(int) {
  static const char message[] = "mirelo: 실행 중인 Mirelo가 응답하지 않습니다\n";
  if (::write(STDERR_FILENO, message, sizeof message - 1) < 0) {
  }
  ::_exit(1);
}

int commandLine(GApplication*, GApplicationCommandLine* line, gpointer data) {
  auto* self = static_cast<LinuxApplication*>(data);
  gint argc = 0;
  gchar** argv = g_application_command_line_get_arguments(line, &argc);
  std::vector<std::string> args(argv, argv + argc);
  g_strfreev(argv);
  if (self->onReopen) self->onReopen(args);
  return 0;
}

// A relaunched Mirelo has taken the name; this one is about to quit on its own.
gboolean nameLost(GApplication*, gpointer) {
  Log::app.notice("새로 켠 Mirelo가 이어받았다");
  return TRUE;
}

}  // namespace

LinuxApplication::LinuxApplication()
    : app_(gtk_application_new(kId,
                               static_cast<GApplicationFlags>(G_APPLICATION_HANDLES_COMMAND_LINE |
                                                              G_APPLICATION_ALLOW_REPLACEMENT))) {
  g_signal_connect(app_, "command-line", G_CALLBACK(commandLine), this);
  g_signal_connect(app_, "name-lost", G_CALLBACK(nameLost), this);
}

LinuxApplication::~LinuxApplication() {
  g_signal_handlers_disconnect_by_data(app_, this);
  g_object_unref(app_);
}

std::optional<int> LinuxApplication::registerOrForward(int argc, char** argv, bool replace) {
  if (replace)
    g_application_set_flags(G_APPLICATION(app_), static_cast<GApplicationFlags>(
                                                     g_application_get_flags(G_APPLICATION(app_)) |
                                                     G_APPLICATION_REPLACE));
  ::signal(SIGALRM, forwardTimedOut);
  ::alarm(kForwardSeconds);
  GError* error = nullptr;
  bool registered = g_application_register(G_APPLICATION(app_), nullptr, &error);
  if (!registered) {
    Log::app.error("단일 실행 등록 실패: %{public}s", error->message);
    g_error_free(error);
  }
  if (!registered || !g_application_get_is_remote(G_APPLICATION(app_))) {
    ::alarm(0);
    ::signal(SIGALRM, SIG_DFL);
    return std::nullopt;
  }
  Log::app.notice("이미 실행 중인 Mirelo에 넘긴다");
  int status = g_application_run(G_APPLICATION(app_), argc, argv);
  ::alarm(0);
  return status;
}

}  // namespace linuxport
