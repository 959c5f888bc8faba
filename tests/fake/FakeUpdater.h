#pragma once

#include "platform/Updater.h"

namespace fake {

class FakeUpdater : public platform::Updater {
 public:
  void start() override { ++starts; }
  void checkForUpdates() override { ++checks; }
  int starts = 0;
  int checks = 0;
};

}  // namespace fake
