#include "field/Clipboard.h"

namespace Clipboard {

namespace {

// Puts the snapshot back when the borrowing ends, however it ends.
class Borrowing {
 public:
  explicit Borrowing(platform::Pasteboard& pasteboard)
      : pasteboard_(pasteboard), saved_(snapshot(pasteboard)) {}
  ~Borrowing() { restore(pasteboard_, saved_); }
  Borrowing(const Borrowing&) = delete;
  Borrowing& operator=(const Borrowing&) = delete;

 private:
  platform::Pasteboard& pasteboard_;
  Snapshot saved_;
};

}  // namespace

Snapshot snapshot(platform::Pasteboard& pasteboard) {
  Snapshot saved;
  for (auto& item : pasteboard.items())
    if (!item.empty()) saved.push_back(std::move(item));
  return saved;
}

void restore(platform::Pasteboard& pasteboard, const Snapshot& snapshot) {
  pasteboard.clearContents();
  if (!snapshot.empty()) pasteboard.writeItems(snapshot);
}

Task<std::optional<std::string>> copySelection(platform::Platform services) {
  auto& pasteboard = services.pasteboard;
  Borrowing borrowing(pasteboard);
  pasteboard.clearContents();
  services.keyboard.postShortcut(platform::Shortcut::copy);
  co_await pasteboard.awaitOwnerChange(services.clock, kShortcutWait);
  co_return pasteboard.string();
}

Task<void> paste(platform::Platform services, std::string text) {
  auto& pasteboard = services.pasteboard;
  Borrowing borrowing(pasteboard);
  pasteboard.clearContents();
  pasteboard.writeItems(
      {{{platform::Pasteboard::kStringType, std::move(text)},
        {platform::Pasteboard::kTransientType, platform::Pasteboard::kTransientValue}}});
  services.keyboard.postShortcut(platform::Shortcut::paste);
  co_await pasteboard.awaitFetch(services.clock, kShortcutWait);
}

}  // namespace Clipboard
