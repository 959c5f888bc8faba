#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Workspace.h"

namespace fake {

// A scripted set of running applications with one in front.
class FakeWorkspace : public platform::Workspace {
 public:
  std::optional<platform::RunningApplication> frontmostApplication() override { return frontmost; }
  std::vector<platform::RunningApplication> runningApplications() override { return running; }
  bool activate(std::int32_t pid) override;
  bool open(const std::string& url) override {
    openedURLs.push_back(url);
    return true;
  }
  bool openAccessibilitySettings() override {
    if (hasAccessibilitySettings) ++settingsOpened;
    return hasAccessibilitySettings;
  }
  bool relaunchSelf() override {
    ++relaunches;
    return true;
  }
  int addActivationObserver(Observer observer) override;
  int addTerminationObserver(Observer observer) override;
  void removeObserver(int token) override {
    activation_.erase(token);
    termination_.erase(token);
  }

  // Brings app to the front and tells the activation observers.
  void bringToFront(const platform::RunningApplication& app);
  // Ends app and tells the termination observers.
  void terminate(const platform::RunningApplication& app);

  std::optional<platform::RunningApplication> frontmost;
  std::vector<platform::RunningApplication> running;
  std::vector<std::string> openedURLs;
  bool hasAccessibilitySettings = true;
  int settingsOpened = 0;
  int relaunches = 0;

 private:
  int nextToken_ = 1;
  std::map<int, Observer> activation_;
  std::map<int, Observer> termination_;
};

}  // namespace fake
