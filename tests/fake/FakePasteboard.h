#pragma once

#include "platform/Pasteboard.h"

namespace fake {

// An in-memory clipboard of typed items.
class FakePasteboard : public platform::Pasteboard {
 public:
  std::vector<platform::PasteboardItem> items() override {
    return cutShort ? std::vector<platform::PasteboardItem>{} : contents;
  }
  bool lastItemsComplete() const override { return !cutShort; }
  void clearContents() override { setContents({}); }
  void writeItems(const std::vector<platform::PasteboardItem>& items) override {
    contents.insert(contents.end(), items.begin(), items.end());
    ++changeCount;
  }
  std::optional<std::string> string() override {
    for (const auto& item : contents)
      for (const auto& [type, bytes] : item)
        if (type == kStringType) return bytes;
    return std::nullopt;
  }

  // Replaces the contents with one plain-text item (what an application's copy does).
  void setString(const std::string& text) { setContents({{{kStringType, text}}}); }
  void setContents(std::vector<platform::PasteboardItem> items) {
    contents = std::move(items);
    ++changeCount;
  }

  std::vector<platform::PasteboardItem> contents;
  int changeCount = 0;
  bool cutShort = false;  // a snapshot cannot read everything (a hung owner)
};

}  // namespace fake
