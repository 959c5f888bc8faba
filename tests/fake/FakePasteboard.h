#pragma once

#include "platform/Pasteboard.h"

namespace fake {

// An in-memory clipboard of typed items.
class FakePasteboard : public platform::Pasteboard {
 public:
  std::vector<platform::PasteboardItem> items() override {
    if (cutShort) return {};
    return contents;
  }
  bool lastItemsComplete() const override { return !cutShort; }
  void clearContents() override;
  void writeItems(const std::vector<platform::PasteboardItem>& items) override;
  std::optional<std::string> string() override;

  // Replaces the contents with one plain-text item (what an application's copy does).
  void setString(const std::string& text);

  std::vector<platform::PasteboardItem> contents;
  int changeCount = 0;
  bool cutShort = false;  // a snapshot cannot read everything (a hung owner)
};

}  // namespace fake
