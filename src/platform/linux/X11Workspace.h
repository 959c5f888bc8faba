#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/Async.h"
#include "platform/Workspace.h"

typedef struct _XDisplay Display;
typedef struct _GSource GSource;

namespace linuxport {

// Running applications on an X11 desktop, seen through their top-level windows: the
// frontmost one from _NET_ACTIVE_WINDOW (or, without a window manager, the window holding
// the input focus), its pid from _NET_WM_PID, its identifier from _GTK_APPLICATION_ID or
// the lower-cased WM_CLASS class, its name from its desktop file or the WM_CLASS class.
class X11Workspace : public platform::Workspace {
 public:
  // focusedPid, when given, names the process whose element has the accessibility focus;
  // it is asked (also periodically) when the window system cannot say which window is in
  // front, so it must answer without calling into another application.
  explicit X11Workspace(Clock& clock, std::function<std::optional<std::int32_t>()> focusedPid = {});
  ~X11Workspace() override;

  bool connected() const { return display_ != nullptr; }

  std::optional<platform::RunningApplication> frontmostApplication() override;
  std::vector<platform::RunningApplication> runningApplications() override;
  bool activate(std::int32_t pid) override;
  bool open(const std::string& url) override;
  bool openAccessibilitySettings() override;
  bool relaunchSelf() override;
  int addActivationObserver(Observer observer) override;
  int addTerminationObserver(Observer observer) override;
  void removeObserver(int token) override;

  // The process of the window in front, from the window system alone.
  std::optional<std::int32_t> windowFrontmostPid();
  // Describes the application that owns a process (also without a window of its own).
  platform::RunningApplication describe(std::int32_t pid);

 private:
  void watchWindowEvents();
  void dispatch();
  void schedulePoll();
  void tick();
  void poll();
  void frontIs(std::optional<std::int32_t> pid);
  void pollTerminations();
  std::optional<std::int32_t> frontmostPid();
  std::vector<unsigned long> topLevelWindows();
  std::optional<unsigned long> activeWindow();
  std::optional<std::int32_t> windowPid(unsigned long window);
  std::optional<unsigned long> windowOfPid(std::int32_t pid);
  platform::RunningApplication describeWindow(unsigned long window, std::int32_t pid);

  Clock& clock_;
  std::function<std::optional<std::int32_t>()> focusedPid_;
  Display* display_ = nullptr;
  Timer pollTimer_;
  double pollSeconds_ = 0;
  int fallbackTicks_ = 0;
  bool frontFromWindows_ = false;  // the window system, not the accessibility focus, named it
  GSource* watch_ = nullptr;       // the connection's events on the main context
  std::optional<platform::RunningApplication> lastFront_;
  std::map<std::int32_t, platform::RunningApplication> seen_;
  int nextToken_ = 1;
  std::map<int, Observer> activation_;
  std::map<int, Observer> termination_;
};

}  // namespace linuxport
