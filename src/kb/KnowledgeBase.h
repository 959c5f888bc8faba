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

  // Loads the knowledge base when a session allows it (at launch, after sign-in).
  virtual void ensureLoaded() = 0;
  // Unloads it and forgets held notes (at sign-out).
  virtual void teardown() = 0;
  // Stores the notes held back while the knowledge base could not take them.
  virtual void flushQueue() = 0;
};
