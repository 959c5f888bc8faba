#pragma once

// mirelo_test_peer, another program on the test desktop; see tests/desktop/peer/TestPeer.cpp.
#include <string>
#include <vector>

#include "Child.h"

namespace desktoptest {

inline std::vector<std::string> peerCommand(std::vector<std::string> args) {
  args.insert(args.begin(), buildDir() + "/tests/mirelo_test_peer");
  return args;
}

// Runs the peer (with --read) and returns the line it prints.
inline std::string runPeer(const std::vector<std::string>& args) {
  Child peer;
  if (!peer.start(peerCommand(args))) return "(spawn failed)";
  return peer.read('\n', 20000).value_or("(no answer)");
}

// A peer that keeps running until stop() or destruction.
class Peer : public Child {
 public:
  explicit Peer(const std::vector<std::string>& args) {
    ready_ = start(peerCommand(args)) && read('\n', 10000) == "ready";
  }
  bool ready() const { return ready_; }

 private:
  bool ready_ = false;
};

}  // namespace desktoptest
