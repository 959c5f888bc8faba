#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Async.h"
#include "platform/Pasteboard.h"

typedef struct _GtkClipboard GtkClipboard;

namespace linuxport {

// The X11 CLIPBOARD selection through GTK 3. A snapshot asks the owner for every target it
// offers, within a bound of time and bytes; writing makes Mirelo the owner and serves each saved
// target byte for byte, and plain text also under the other text targets, each in its own
// encoding. Needs gtk_init() first.
class GtkPasteboard : public platform::Pasteboard {
 public:
  GtkPasteboard();
  ~GtkPasteboard() override;

  std::vector<platform::PasteboardItem> items() override;
  bool lastItemsComplete() const override { return lastItemsComplete_; }
  void clearContents() override;
  void writeItems(const std::vector<platform::PasteboardItem>& items) override;
  std::optional<std::string> string() override;
  // Ends early when another program takes the clipboard (not when Mirelo itself does).
  Task<bool> awaitOwnerChange(Clock& clock, double maxSeconds) override;
  // Ends shortly after a program has fetched what Mirelo offers.
  Task<bool> awaitFetch(Clock& clock, double maxSeconds) override;

  // Counts owner changes seen (another program copied, or Mirelo wrote).
  unsigned long changeCount() const { return changes_; }
  // Hands what Mirelo serves to a clipboard manager, if one runs (call before quitting); an item
  // marked transient is never handed on.
  void storeForClipboardManager();

 private:
  GtkClipboard* clipboard_;
  unsigned long changes_ = 0;
  bool lastItemsComplete_ = true;
  bool servingSecret_ = false;
  Task<bool> awaitSignal(Clock& clock, double maxSeconds, std::function<void()>& hook,
                         double margin);
  void ownerChanged();

  unsigned long ownerChangeHandler_ = 0;
  std::function<void()> onForeignOwner_;  // set while a wait for a copy is under way
  // Set while a wait for a paste is under way; shared with what is being served.
  std::shared_ptr<std::function<void()>> onFetch_ = std::make_shared<std::function<void()>>();
  void* emptyOwner_ = nullptr;  // an invisible widget that owns the selection when it is empty
};

}  // namespace linuxport
