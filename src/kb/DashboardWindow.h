#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Async.h"
#include "base/Clock.h"
#include "base/Json.h"
#include "kb/TarnBridge.h"
#include "platform/Platform.h"

// The backend's web dashboard in its own window. The page may read and change the trigger
// settings, saves downloads and picks uploads through file dialogs, and sends new windows to
// the browser. Its view shares the knowledge-base storage with the hidden engine, so the
// window holds that storage from show() until, some time after a close, it blanks the page.
class DashboardWindow {
 public:
  static constexpr double kCheckSeconds = 2;
  static constexpr double kReleaseDeadlineSeconds = 60;
  // How long the page may take to answer the busy probe before it counts as idle.
  static constexpr double kProbeSeconds = 2;
  static const char* const kBusyProbeScript;

  DashboardWindow(platform::Platform platform, TarnBridge& tarn);
  ~DashboardWindow();
  DashboardWindow(const DashboardWindow&) = delete;
  DashboardWindow& operator=(const DashboardWindow&) = delete;

  // Opens or re-opens the window, reloading the page when its session changed or it is blank.
  void show();

  // The page changed the trigger settings; the owner re-reads them into the trigger.
  std::function<void()> onTriggerSettingsChanged;
  // The page let go of the knowledge-base storage; the owner lets the engine write again.
  std::function<void()> onEngineTornDown;

  bool isEngineActive() const { return isEngineActive_; }
  int activeDownloads() const { return activeDownloads_; }
  int teardownGeneration() const { return teardownGeneration_; }

 private:
  void build();
  void load(const std::optional<std::string>& token);
  void closed();
  void scheduleTeardown(double deadline, int generation);
  void checkTeardown(double deadline, int generation);
  Task<void> probeThenRelease(double deadline, int generation);
  Task<bool> engineIsBusy();
  void finishTeardown();
  void cancelTeardown();

  // "mireloSettings": the page reads or changes the trigger mode and key.
  void settingsMessage(const platform::ScriptMessage& message, const platform::ScriptReply& reply);
  void setTriggerValues(const Json& values, const platform::ScriptReply& reply);
  Json triggerValues() const;

  void download(const std::string& suggestedName,
                std::function<void(std::optional<std::string>)> answer);
  void downloadEnded(const std::optional<std::string>& failure);
  void chooseFiles(bool directories, bool multiple,
                   std::function<void(std::vector<std::string>)> answer);
  void openWindow(const std::string& url);

  platform::Platform p_;
  TarnBridge& tarn_;
  bool isEngineActive_ = false;
  std::optional<Clock::TimerId> teardown_;
  int activeDownloads_ = 0;
  std::unique_ptr<platform::WebWindow> window_;
  std::optional<std::string> loadedToken_;
  int teardownGeneration_ = 0;
  // Held weakly by scheduled checks and probes, which stop once the window object is gone.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
