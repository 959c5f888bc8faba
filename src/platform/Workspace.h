#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct RunningApplication {
  std::int32_t pid = 0;
  std::string bundleID;  // empty when the application has none
  std::string name;      // empty when it has none
  bool operator==(const RunningApplication&) const = default;
};

class Workspace {
 public:
  using Observer = std::function<void(const RunningApplication&)>;
  virtual ~Workspace() = default;

  virtual std::optional<RunningApplication> frontmostApplication() = 0;
  virtual std::vector<RunningApplication> runningApplications() = 0;
  virtual bool activate(std::int32_t pid) = 0;
  // Opens a URL with the desktop's default handler; false when nothing could be started.
  virtual bool open(const std::string& url) = 0;
  // Opens the desktop's own accessibility settings; false when it has none.
  virtual bool openAccessibilitySettings() = 0;
  // Starts this program afresh with the same arguments, the new one taking over from this
  // one; false when it could not be started.
  virtual bool relaunchSelf() = 0;

  // Observers are called on the main context; the returned token removes them.
  virtual int addActivationObserver(Observer observer) = 0;
  virtual int addTerminationObserver(Observer observer) = 0;
  virtual void removeObserver(int token) = 0;
};

}  // namespace platform
