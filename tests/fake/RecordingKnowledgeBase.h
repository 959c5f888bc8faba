#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kb/KnowledgeBase.h"

namespace fake {

// A knowledge base that answers retrievals with scripted knowledge and records every call.
// The calls live in a shared record so that a test can read them after handing the knowledge
// base to its owner.
class RecordingKnowledgeBase : public KnowledgeBase {
 public:
  struct Retrieval {
    std::string query;
    std::optional<std::string> recipient;
  };
  struct Ingest {
    std::string text, title, context, lang;
  };
  struct Calls {
    std::optional<Json> knowledge;  // what every retrieval yields
    std::vector<Retrieval> retrievals;
    std::vector<Ingest> ingests;
    int created = 0;
    int loads = 0, teardowns = 0;
  };

  explicit RecordingKnowledgeBase(std::shared_ptr<Calls> calls) : calls_(std::move(calls)) {
    ++calls_->created;
  }

  Task<std::optional<Json>> retrieve(std::string query,
                                     std::optional<std::string> recipient) override {
    calls_->retrievals.push_back({query, recipient});
    co_return calls_->knowledge;
  }
  void ingest(std::string text, std::string title, std::string context, std::string lang) override {
    calls_->ingests.push_back(
        {std::move(text), std::move(title), std::move(context), std::move(lang)});
  }

  void ensureLoaded() override { ++calls_->loads; }
  void teardown() override { ++calls_->teardowns; }
  void flushQueue() override {}

  // A factory that makes recording knowledge bases over calls.
  static std::function<std::unique_ptr<KnowledgeBase>()> factory(std::shared_ptr<Calls> calls) {
    return [calls] { return std::make_unique<RecordingKnowledgeBase>(calls); };
  }

 private:
  std::shared_ptr<Calls> calls_;
};

}  // namespace fake
