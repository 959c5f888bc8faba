#pragma once

#include <optional>
#include <string>

#include "base/Async.h"
#include "base/Json.h"

// Tarn, the user's knowledge base, as the trigger pipeline sees it: knowledge to send along
// with a request, and notes to keep from a written reply.
class KnowledgeBase {
 public:
  virtual ~KnowledgeBase() = default;

  // The knowledge object for query (sent unchanged as the request's "kb"), or nothing.
  // Never throws: a failed retrieval reads as nothing.
  virtual Task<std::optional<Json>> retrieve(std::string query,
                                             std::optional<std::string> recipient) = 0;
  // Starts storing a record and returns at once.
  virtual void ingest(std::string text, std::string title, std::string context,
                      std::string lang) = 0;
};
