#pragma once

#include <string>
#include <vector>

#include "platform/Defaults.h"
#include "platform/Updater.h"

namespace linuxport {

// Updates come from the distribution's packages: a check opens the desktop's software centre
// on its updates page, or where there is none the release page (deployment value
// "MireloReleasesURL"). Nothing runs inside Mirelo.
class PackageUpdater : public platform::Updater {
 public:
  static constexpr const char* kReleasesURLKey = "MireloReleasesURL";

  explicit PackageUpdater(platform::Defaults& defaults) : defaults_(defaults) {}
  void start() override {}
  void checkForUpdates() override;

  // The software centres known, each as the command that opens its updates page.
  static const std::vector<std::vector<std::string>>& softwareCentres();

 private:
  platform::Defaults& defaults_;
};

}  // namespace linuxport
