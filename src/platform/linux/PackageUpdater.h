#pragma once

#include "platform/Updater.h"

namespace linuxport {

// Updates come from the distribution's packages; nothing runs inside Mirelo.
class PackageUpdater : public platform::Updater {
 public:
  void start() override {}
  void checkForUpdates() override {}
};

}  // namespace linuxport
