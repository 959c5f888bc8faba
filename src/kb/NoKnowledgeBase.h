#pragma once

#include "kb/KnowledgeBase.h"

// Stands in for the knowledge base until its engine runs: retrieves nothing, keeps nothing.
class NoKnowledgeBase : public KnowledgeBase {
 public:
  Task<std::optional<Json>> retrieve(std::string query,
                                     std::optional<std::string> recipient) override;
  void ingest(std::string text, std::string title, std::string context, std::string lang) override;
  void ensureLoaded() override {}
  void teardown() override {}
  void flushQueue() override {}
};
