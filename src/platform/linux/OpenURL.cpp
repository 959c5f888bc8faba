#include "platform/linux/OpenURL.h"

#include <glib.h>

#include <cstdlib>
#include <string_view>
#include <vector>

namespace linuxport {

namespace {

// A command line split like a shell would, without running one.
std::vector<std::string> words(const std::string& command) {
  std::vector<std::string> out;
  gchar** argv = nullptr;
  if (!g_shell_parse_argv(command.c_str(), nullptr, &argv, nullptr)) return out;
  for (gchar** a = argv; *a; ++a)
    out.emplace_back(*a);
  g_strfreev(argv);
  return out;
}

std::vector<std::string> argumentsFor(const std::string& command, const std::string& url) {
  auto args = words(command);
  bool placed = false;
  for (auto& a : args) {
    for (size_t at = a.find("%s"); at != std::string::npos; at = a.find("%s", at + url.size())) {
      a.replace(at, 2, url);
      placed = true;
    }
  }
  if (!args.empty() && !placed) args.push_back(url);
  return args;
}

// Starts argv without waiting for it; GLib's intermediate child leaves no zombie behind.
bool startDetached(const std::vector<std::string>& args) {
  if (args.empty()) return false;
  std::vector<gchar*> argv;
  for (const auto& a : args)
    argv.push_back(const_cast<gchar*>(a.c_str()));
  argv.push_back(nullptr);
  auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL);
  return g_spawn_async(nullptr, argv.data(), nullptr, flags, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

bool openURL(const std::string& url) {
  if (const char* browser = std::getenv("BROWSER"); browser && *browser) {
    std::string_view list = browser;
    while (!list.empty()) {
      auto colon = list.find(':');
      std::string command(list.substr(0, colon));
      list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
      if (!command.empty() && startDetached(argumentsFor(command, url))) return true;
    }
  }
  return startDetached({"xdg-open", url});
}

}  // namespace linuxport
