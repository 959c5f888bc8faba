#include "field/Clipboard.h"

namespace Clipboard {

namespace {

// Puts the snapshot back when the borrowing ends, however it ends.
class Borrowing {
 public:
  explicit Borrowing(platform::Pasteboard& pasteboard)
      : pasteboard_(pasteboard),
        saved_(snapshot(pasteboard)),
        complete_(pasteboard.lastItemsComplete()) {}
  ~Borrowing() {
    if (complete_) restore(pasteboard_, saved_);
  }
  // A clipboard that could not be read whole is not borrowed: it stays as it is.
  bool complete() const { return complete_; }
  Borrowing(const Borrowing&) = delete;
  Borrowing& operator=(const Borrowing&) = delete;

 private:
  platform::Pasteboard& pasteboard_;
  Snapshot saved_;
  bool complete_;
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

Task<std::optional<std::string>> copySelection(platform::Platform services, bool inTerminal) {
  auto& pasteboard = services.pasteboard;
  Borrowing borrowing(pasteboard);
  if (!borrowing.complete()) co_return std::nullopt;
  pasteboard.clearContents();
  if (!co_await services.keyboard.postShortcut(inTerminal ? platform::Shortcut::copyInTerminal
                                                          : platform::Shortcut::copy))
    co_return std::nullopt;
  co_await pasteboard.awaitOwnerChange(services.clock, kShortcutWait);
  co_return pasteboard.string();
}

Task<bool> paste(platform::Platform services, std::string text) {
  auto& pasteboard = services.pasteboard;
  Borrowing borrowing(pasteboard);
  if (!borrowing.complete()) co_return false;
  pasteboard.clearContents();
  pasteboard.writeItems(
      {{{platform::Pasteboard::kStringType, std::move(text)},
        {platform::Pasteboard::kTransientType, platform::Pasteboard::kTransientValue}}});
  if (!co_await services.keyboard.postShortcut(platform::Shortcut::paste)) co_return false;
  co_await pasteboard.awaitFetch(services.clock, kShortcutWait);
  co_return true;
}

void leaveText(platform::Pasteboard& pasteboard, const std::string& text) {
  pasteboard.clearContents();
  pasteboard.writeItems({{{platform::Pasteboard::kStringType, text}}});
}

}  // namespace Clipboard
