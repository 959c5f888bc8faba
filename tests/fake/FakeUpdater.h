#pragma once

#include "platform/Updater.h"

namespace fake {

class FakeUpdater : public platform::Updater {
 public:
  void start() override {}
  void checkForUpdates() override { ++checks; }
  int checks = 0;
};

}  // namespace fake
