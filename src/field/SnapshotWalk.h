#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "field/PageContext.h"
#include "platform/AXSnapshot.h"

// PageContext::collect over a snapshot: the same nodes in the same order within the same
// limits, with the texts and frames of the kept nodes read many at a time. A node read once
// is not read again when a higher ancestor's walk reaches it.
class SnapshotWalk {
 public:
  explicit SnapshotWalk(platform::AXSnapshot& snapshot) : snapshot_(snapshot) {}

  // The items under node, counting visited nodes as collect does; absent when the snapshot
  // cannot answer (children it could not list, a reading that failed).
  std::optional<std::vector<PageContext::Item>> collect(int node, long budget, long& visited);

 private:
  struct Text {
    std::optional<std::string> text;
    std::optional<platform::Rect> frame;
  };

  bool visit(int node, int depth, long& visited, long budget, std::vector<int>& kept);
  bool fetch(const std::vector<int>& kept);
  template <typename Pick, typename Put>
  bool readSome(std::string_view name, const std::vector<int>& wanted, Pick pick, Put put);

  platform::AXSnapshot& snapshot_;
  std::vector<std::optional<Text>> texts_;  // by node, once read
};
