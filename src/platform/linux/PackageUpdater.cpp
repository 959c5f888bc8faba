#include "platform/linux/PackageUpdater.h"

#include <glib.h>

#include "account/Settings.h"
#include "base/Log.h"
#include "platform/linux/OpenURL.h"

namespace linuxport {

namespace {

// Starts the command detached; false when its program is not installed or does not start.
bool launch(const std::vector<std::string>& command) {
  gchar* program = g_find_program_in_path(command.front().c_str());
  if (!program) return false;
  std::vector<gchar*> argv{program};
  for (size_t i = 1; i < command.size(); ++i)
    argv.push_back(const_cast<gchar*>(command[i].c_str()));
  argv.push_back(nullptr);
  bool started = g_spawn_async(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr,
                               nullptr, nullptr);
  g_free(program);
  return started;
}

}  // namespace

const std::vector<std::vector<std::string>>& PackageUpdater::softwareCentres() {
  static const std::vector<std::vector<std::string>> centres{
      {"gnome-software", "--mode=updates"},
      {"plasma-discover", "--mode", "update"},
  };
  return centres;
}

void PackageUpdater::checkForUpdates() {
  for (const auto& command : softwareCentres())
    if (launch(command)) return;
  auto url = Settings::deploymentValue(defaults_, kReleasesURLKey);
  if (!url || !openURL(*url)) Log::app.error("업데이트 확인을 열지 못했습니다");
}

}  // namespace linuxport
