#include "platform/linux/DesktopPrograms.h"

#include <glib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/Log.h"

namespace linuxport::DesktopPrograms {

namespace {

struct SettingsProgram {
  const char* desktop;  // as XDG_CURRENT_DESKTOP names it
  const char* program;
  const char* module;
};

constexpr SettingsProgram kSettingsPrograms[] = {
    {"GNOME", "gnome-control-center", "universal-access"},
    {"KDE", "systemsettings", "kcm_access"},
};

bool currentDesktopIs(const char* name) {
  const char* current = std::getenv("XDG_CURRENT_DESKTOP");
  return current && std::string(current).find(name) != std::string::npos;
}

// Starts argv (argv[0] searched in PATH unless file is given) without waiting; GLib's
// intermediate child leaves no zombie behind.
bool startDetached(std::vector<std::string> args, const char* file = nullptr,
                   gchar** envp = nullptr) {
  std::vector<gchar*> argv;
  if (file) argv.push_back(const_cast<gchar*>(file));
  for (auto& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  auto flags = file ? G_SPAWN_FILE_AND_ARGV_ZERO : G_SPAWN_SEARCH_PATH;
  GError* error = nullptr;
  bool started = g_spawn_async(nullptr, argv.data(), envp, static_cast<GSpawnFlags>(flags), nullptr,
                               nullptr, nullptr, &error);
  if (error) {
    Log::app.error("실행하지 못했다: %{public}s", error->message);
    g_error_free(error);
  }
  return started;
}

bool openWith(const SettingsProgram& p) {
  gchar* path = g_find_program_in_path(p.program);
  if (!path) return false;
  g_free(path);
  return startDetached({p.program, p.module});
}

// This process's arguments as the kernel holds them.
std::vector<std::string> ownArguments() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  for (size_t start = 0; start < all.size();) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    args.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return args;
}

}  // namespace

bool openAccessibilitySettings() {
  for (const auto& p : kSettingsPrograms)
    if (currentDesktopIs(p.desktop) && openWith(p)) return true;
  for (const auto& p : kSettingsPrograms)
    if (!currentDesktopIs(p.desktop) && openWith(p)) return true;
  return false;
}

bool relaunchSelf() {
  auto args = ownArguments();
  if (args.empty()) return false;
  gchar** envp = g_environ_setenv(g_get_environ(), kReplaceVariable, "1", TRUE);
  bool started = startDetached(std::move(args), "/proc/self/exe", envp);
  g_strfreev(envp);
  return started;
}

bool takeReplaceRequest() {
  const char* value = std::getenv(kReplaceVariable);
  bool asked = value && *value;
  ::unsetenv(kReplaceVariable);
  return asked;
}

}  // namespace linuxport::DesktopPrograms
