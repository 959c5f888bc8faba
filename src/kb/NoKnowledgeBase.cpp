#include "kb/NoKnowledgeBase.h"

Task<std::optional<Json>> NoKnowledgeBase::retrieve(std::string, std::optional<std::string>) {
  co_return std::nullopt;
}

void NoKnowledgeBase::ingest(std::string, std::string, std::string, std::string) {}
