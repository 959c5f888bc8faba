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
  int addActivationObserver(Observer observer) override;
  int addTerminationObserver(Observer) override { return nextToken_++; }
  void removeObserver(int token) override { activation_.erase(token); }

  // Brings app to the front and tells the activation observers.
  void bringToFront(const platform::RunningApplication& app);

  std::optional<platform::RunningApplication> frontmost;
  std::vector<platform::RunningApplication> running;
  std::vector<std::string> openedURLs;

 private:
  int nextToken_ = 1;
  std::map<int, Observer> activation_;
};

}  // namespace fake
