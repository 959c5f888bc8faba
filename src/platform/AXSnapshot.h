#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Accessibility.h"

namespace platform {

// The tree around an element, read in bulk: the place and "AXRole" of every node at once, other
// attributes on request for many nodes together. Every value is the one copyAttribute gives
// for the same element: the top node is the one whose "AXParent" is absent, and a node's
// children are its "AXChildren" in their order.
class AXSnapshot {
 public:
  struct Node {
    std::optional<std::string> role;
    int parent = -1;  // -1 at the top
    std::vector<int> children;
    // False when the children could not be read in bulk: only a walk can list them.
    bool childrenKnown = true;
  };
  using Values = std::vector<std::optional<AXValue>>;

  virtual ~AXSnapshot() = default;
  AXSnapshot() = default;
  AXSnapshot(const AXSnapshot&) = delete;
  AXSnapshot& operator=(const AXSnapshot&) = delete;

  const std::vector<Node>& nodes() const { return nodes_; }
  // The node of the element the snapshot was taken for.
  int element() const { return element_; }

  // One attribute of each of the nodes, in their order. Absent as a whole when the reading
  // failed (the application went away or did not answer in time).
  virtual std::optional<Values> read(const std::vector<int>& nodes, std::string_view name) = 0;

 protected:
  std::vector<Node> nodes_;
  int element_ = -1;
};

}  // namespace platform
