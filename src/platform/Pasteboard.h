#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/Async.h"

namespace platform {

// One clipboard item: each type with its bytes, in the order offered.
using PasteboardItem = std::vector<std::pair<std::string, std::string>>;

// The general clipboard.
class Pasteboard {
 public:
  // The plain-text type and the marker that tells clipboard managers to skip an item.
  static constexpr const char* kStringType = "text/plain;charset=utf-8";
  static constexpr const char* kTransientType = "x-kde-passwordManagerHint";
  static constexpr const char* kTransientValue = "secret";

  virtual ~Pasteboard() = default;
  virtual std::vector<PasteboardItem> items() = 0;
  // Whether the last items() read the whole clipboard. One cut short (a hung or huge owner)
  // returns nothing: the clipboard must then be left as it is, as writing it back would lose
  // the rest.
  virtual bool lastItemsComplete() const { return true; }
  virtual void clearContents() = 0;
  virtual void writeItems(const std::vector<PasteboardItem>& items) = 0;
  // The clipboard's text, if it holds any.
  virtual std::optional<std::string> string() = 0;

  // Waits at most maxSeconds for another application to take the clipboard (after a copy);
  // true when it did. Without such events the whole wait passes and the result is false.
  virtual Task<bool> awaitOwnerChange(Clock& clock, double maxSeconds);
  // Waits at most maxSeconds for an application to fetch the text offered for a paste; true
  // when it did. Without such events the whole wait passes and the result is false.
  virtual Task<bool> awaitFetch(Clock& clock, double maxSeconds);
};

}  // namespace platform
