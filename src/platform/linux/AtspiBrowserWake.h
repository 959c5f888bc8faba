#pragma once

#include <cstdint>

// Chromium (and browsers built on it) started with accessibility on answers null for every
// child of its windows, raises no focus events for its pages and lets no search find their
// fields until an assistive technology has asked for object attributes and read into the tree.
// Reading the windows down to each web document once turns the whole tree on for the rest of
// the browser's run (about 240 nodes of browser interface, a few milliseconds).
namespace AtspiBrowserWake {

// At most this many nodes are visited on the way to the documents.
inline constexpr int kMaxNodes = 3000;

// Reads the application's windows down to their web documents; returns how many documents
// were reached.
int exposeWebContent(std::int32_t pid);

}  // namespace AtspiBrowserWake
