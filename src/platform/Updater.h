#pragma once

namespace platform {

// Software updates: started at launch, and the menu's check forwarded to it.
class Updater {
 public:
  virtual ~Updater() = default;
  virtual void start() = 0;
  virtual void checkForUpdates() = 0;
};

}  // namespace platform
