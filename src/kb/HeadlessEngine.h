#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Async.h"
#include "base/Json.h"
#include "kb/KnowledgeBase.h"
#include "kb/TarnBridge.h"
#include "platform/Platform.h"

// Runs the knowledge base's own page in a hidden web view: loads it with the session token,
// waits for its readiness, calls its scripts with a deadline each, holds back notes that
// cannot be stored now, and backs off after failures. Everything runs on the main context.
class HeadlessEngine : public KnowledgeBase {
 public:
  enum class State { idle, loading, ready, unavailable };
  struct PendingIngest {
    std::string text, title, context, lang;
  };
  struct CallResult {
    std::optional<Json> value;
    std::optional<std::string> failure;
  };

  static constexpr int kQueueLimit = 20;
  static constexpr double kReadinessSeconds = 20;
  static constexpr double kRetrievalSeconds = 6;
  static constexpr double kIngestSeconds = 60;
  static constexpr double kPollSeconds = 0.1;
  static const char* const kRetrievalScript;
  static const char* const kIngestScript;

  HeadlessEngine(platform::Platform platform, TarnBridge& bridge);
  ~HeadlessEngine() override;

  Task<std::optional<Json>> retrieve(std::string query,
                                     std::optional<std::string> recipient) override;
  void ingest(std::string text, std::string title, std::string context, std::string lang) override;
  void ensureLoaded() override;
  void teardown() override;
  void flushQueue() override;

  // Seconds to wait after a failure before the next load: 30, 60, … up to 600.
  static double backoffSeconds(int failureCount);

  // Calls script on the page with arguments; a call that outlives timeout seconds fails with
  // "시한 초과 (n초)". The dashboard asks the page the same way.
  Task<CallResult> call(std::string script, Json arguments, double timeout);

  State state() const { return state_; }
  int failureCount() const { return failureCount_; }
  const std::vector<PendingIngest>& queue() const { return queue_; }

 private:
  void load(const std::string& token);
  void build();
  void onMessage(const platform::ScriptMessage& message);
  void markUnavailable(const std::string& code, const std::string& detail);
  Task<void> run(PendingIngest item);
  Task<void> runAll(std::vector<PendingIngest> items);
  void enqueue(PendingIngest item, const std::string& reason);
  // Waits while the page loads, until deadline; true when the engine is then ready.
  Task<bool> waitForReadiness(double deadline);

  platform::Platform p_;
  TarnBridge& bridge_;
  std::unique_ptr<platform::WebView> webView_;
  State state_ = State::idle;
  std::optional<std::string> loadedToken_;
  int failureCount_ = 0;
  std::optional<double> unavailableSince_;
  std::vector<PendingIngest> queue_;
  int loadGeneration_ = 0;
  // Held weakly by timers and waiting tasks, which stop once the engine is gone.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
