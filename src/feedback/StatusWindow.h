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
// message. Its content is rebuilt whenever what it must show changes: the session is read when
// the window is shown and on refreshMarks(), the accessibility trust asked every second while
// it is open. Owned by a shared_ptr: late answers hold it weakly.
class StatusWindow : public std::enable_shared_from_this<StatusWindow> {
 public:
  using WindowFactory = std::function<std::unique_ptr<platform::FormWindow>()>;

  // What the content is built for.
  struct Shape {
    bool signedIn = false, needsInput = false, needsAX = false, needsRelaunch = false;
    bool canUndo = false;
    bool operator==(const Shape&) const = default;
  };

  static constexpr double kWidth = 360;
  static constexpr double kMeterWidth = 312;
  static constexpr double kRefreshSeconds = 1.0;
  static constexpr double kUndoLineHeight = 28;

  StatusWindow(platform::Platform platform, WindowFactory makeWindow);
  StatusWindow(const StatusWindow&) = delete;
  StatusWindow& operator=(const StatusWindow&) = delete;

  void show();
  // Reads the session again and asks for the trust: the state may have changed.
  void refreshMarks();
  void loadUsage();
  void setMessage(const std::string& text, bool isError);

  // From the session as last read and the trust as last answered.
  Shape currentShape();
  // The content for a shape and the stored trigger key, and its height.
  std::vector<platform::FormWindow::Element> buildContent(const Shape& shape, double& height);
  std::optional<Shape> builtShape() const { return builtShape_; }
  double contentHeight() const { return contentHeight_; }
  bool refreshing() const { return refreshTimer_.active(); }

  std::function<void()> onSignIn, onSignOut, onOpenDashboard, onOpenInputMonitoring,
      onOpenAccessibility, onShowDiagnostics, onRelaunch, onUndo;
  std::function<bool()> isTapDead, canUndo;
  // Every trust answer the window gets.
  std::function<void(bool)> onTrustAnswer;
  // The header image; the header stays empty without one.
  std::optional<std::string> appIcon;

 private:
  void rebuild(const Shape& shape);
  void applyShape();
  void checkTrust();
  void trustAnswered(bool trusted);
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
  bool signedIn_ = false;
  // As last answered; trusted until a first answer.
  bool trusted_ = true;
  bool checkingTrust_ = false;
};
