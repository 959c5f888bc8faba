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

int FakeWorkspace::addActivationObserver(Observer observer) {
  activation_[nextToken_] = std::move(observer);
  return nextToken_++;
}

int FakeWorkspace::addTerminationObserver(Observer observer) {
  termination_[nextToken_] = std::move(observer);
  return nextToken_++;
}

void FakeWorkspace::terminate(const platform::RunningApplication& app) {
  std::erase(running, app);
  if (frontmost == app) frontmost.reset();
  auto observers = termination_;
  for (auto& [token, observer] : observers)
    observer(app);
}

void FakeWorkspace::bringToFront(const platform::RunningApplication& app) {
  if (std::find(running.begin(), running.end(), app) == running.end()) running.push_back(app);
  frontmost = app;
  auto observers = activation_;
  for (auto& [token, observer] : observers)
    observer(app);
}

}  // namespace fake
