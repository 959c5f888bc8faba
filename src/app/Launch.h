#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Async.h"
#include "feedback/StatusWindow.h"
#include "kb/DashboardWindow.h"
#include "kb/TarnBridge.h"
#include "platform/Platform.h"
#include "platform/StatusItem.h"
#include "trigger/TriggerTap.h"

class AppDelegate;

// The application's start, in its fixed order, and what keeps watching after it: the two
// permissions until both are granted, the keyboard listener's health, and the applications
// that come to the front or end. Owned by the delegate, which outlives it.
class Launch {
 public:
  // What the program builds from the desktop's own services.
  struct Parts {
    platform::StatusItem& statusItem;
    // Shared by the dashboard and the engine; it must outlive the delegate.
    TarnBridge& tarnBridge;
    StatusWindow::WindowFactory makeStatusWindow;
    std::optional<std::string> appIcon;
    std::vector<std::string> args;
  };

  static constexpr double kPermissionWatchSeconds = 1.5;
  static constexpr double kTapWatchSeconds = 5.0;
  // Without a modifier change for this long, a silent listener proves nothing.
  static constexpr double kIdleForRevival = 30.0;
  // A listener is dead when it has been silent this much longer than the system.
  static constexpr double kSilenceBeyondIdle = 10.0;

  Launch(platform::Platform platform, AppDelegate& app);
  ~Launch();
  Launch(const Launch&) = delete;
  Launch& operator=(const Launch&) = delete;

  void run(Parts parts);
  // Starts the listener when both permissions are granted, else shows what is missing and
  // watches until they are.
  void ensureReady();
  // The user's request to grant what is missing.
  void showOnboarding();
  void offerRelaunch();
  // The end of the program: the listener stops.
  void terminate() { trigger_.stop(); }

  TriggerTap& trigger() { return trigger_; }
  bool inputMonitoringAtLaunch() const { return inputMonitoringAtLaunch_; }
  bool offeredRelaunchForDeadTap() const { return offeredRelaunchForDeadTap_; }
  bool watchingForPermission() const { return permissionWatch_.active(); }

  // Each time the listener starts.
  std::function<void()> onListening;

 private:
  void logStart();
  void configureTrigger();
  void makeDashboard(TarnBridge& bridge);
  void startEngine();
  bool startTrigger();
  void askTrust(bool& pending, std::function<void(bool)> then);
  void ready(bool trusted);
  void requestMissing(bool prompt);
  void showStatusWindow();
  void markOnboarded();
  void watchForPermission();
  void permissionTick(bool trusted);
  void startTapWatch();
  void tapTick(bool trusted);
  void revivalCheck();
  void tapDied();
  void tapAlive();
  void observeWorkspace();

  platform::Platform p_;
  AppDelegate& app_;
  TriggerTap trigger_;
  // Its window is made on the first show.
  std::unique_ptr<DashboardWindow> dashboard_;
  bool inputMonitoringAtLaunch_ = false;
  bool offeredRelaunchForDeadTap_ = false;
  bool readyCheckPending_ = false;
  bool permissionCheckPending_ = false;
  bool tapCheckPending_ = false;
  Timer permissionWatch_;
  Timer tapWatch_;
  std::vector<int> observerTokens_;
};
