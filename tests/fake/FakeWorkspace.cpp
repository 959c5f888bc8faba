#include "fake/FakeWorkspace.h"

#include <algorithm>

namespace fake {

bool FakeWorkspace::activate(std::int32_t pid) {
  for (const auto& app : running) {
    if (app.pid == pid) {
      bringToFront(app);
      return true;
    }
  }
  return false;
}

bool FakeWorkspace::open(const std::string& url) {
  openedURLs.push_back(url);
  return !openFails;
}

int FakeWorkspace::addActivationObserver(Observer observer) {
  activation_[nextToken_] = std::move(observer);
  return nextToken_++;
}

int FakeWorkspace::addTerminationObserver(Observer observer) {
  termination_[nextToken_] = std::move(observer);
  return nextToken_++;
}

void FakeWorkspace::removeObserver(int token) {
  activation_.erase(token);
  termination_.erase(token);
}

void FakeWorkspace::bringToFront(const platform::RunningApplication& app) {
  if (std::find(running.begin(), running.end(), app) == running.end()) running.push_back(app);
  frontmost = app;
  auto observers = activation_;
  for (auto& [token, observer] : observers)
    observer(app);
}

void FakeWorkspace::terminate(const platform::RunningApplication& app) {
  running.erase(std::remove(running.begin(), running.end(), app), running.end());
  if (frontmost == app) frontmost.reset();
  auto observers = termination_;
  for (auto& [token, observer] : observers)
    observer(app);
}

}  // namespace fake
