#include "fake/FakePasteboard.h"

namespace fake {

void FakePasteboard::clearContents() {
  contents.clear();
  ++changeCount;
}

void FakePasteboard::writeItems(const std::vector<platform::PasteboardItem>& items) {
  contents.insert(contents.end(), items.begin(), items.end());
  ++changeCount;
}

std::optional<std::string> FakePasteboard::string() {
  for (const auto& item : contents)
    for (const auto& [type, bytes] : item)
      if (type == kStringType) return bytes;
  return std::nullopt;
}

void FakePasteboard::setString(const std::string& text) {
  contents = {{{kStringType, text}}};
  ++changeCount;
}

}  // namespace fake
