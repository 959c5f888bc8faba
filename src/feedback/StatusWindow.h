#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Async.h"
#include "platform/FormWindow.h"
#include "platform/Platform.h"

// The small status and onboarding window: sign-in state, the primary action, the month's
// usage, the missing permissions, the relaunch hint, how to use the trigger key and the latest
// message. Its content is rebuilt whenever what it must show changes, checked every second
// while it is open.
class StatusWindow {
 public:
  using WindowFactory = std::function<std::unique_ptr<platform::FormWindow>()>;

  // What the content is built for.
  struct Shape {
    bool signedIn = false, needsInput = false, needsAX = false, needsRelaunch = false;
    bool operator==(const Shape&) const = default;
  };

  static constexpr double kWidth = 360;
  static constexpr double kMeterWidth = 312;
  static constexpr double kRefreshSeconds = 1.0;

  StatusWindow(platform::Platform platform, WindowFactory makeWindow);
  ~StatusWindow();
  StatusWindow(const StatusWindow&) = delete;
  StatusWindow& operator=(const StatusWindow&) = delete;

  void show();
  void refreshMarks();
  void loadUsage();
  void setMessage(const std::string& text, bool isError);

  Shape currentShape();
  // The content for a shape and the stored trigger key, and its height.
  std::vector<platform::FormWindow::Element> buildContent(const Shape& shape, double& height);
  std::optional<Shape> builtShape() const { return builtShape_; }
  double contentHeight() const { return contentHeight_; }
  bool refreshing() const { return refreshTimer_.active(); }

  std::function<void()> onSignIn, onSignOut, onOpenDashboard, onOpenInputMonitoring,
      onOpenAccessibility, onShowDiagnostics, onRelaunch;
  std::function<bool()> isTapDead;
  // The header image; the header stays empty without one.
  std::optional<std::string> appIcon;

 private:
  void rebuild(const Shape& shape);
  void tapPrimary();
  void startRefreshing();
  void showUsage(const std::string& text, double fill);
  std::function<void()> relay(std::function<void()> StatusWindow::*callback);

  platform::Platform p_;
  WindowFactory makeWindow_;
  std::unique_ptr<platform::FormWindow> window_;
  Timer refreshTimer_;
  std::optional<Shape> builtShape_;
  double contentHeight_ = 520;
  bool signedInForPrimary_ = false;
  bool primaryTitled_ = false;
  // Usage answers that arrive after this window is gone find the flag cleared.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
