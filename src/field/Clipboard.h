#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/Async.h"
#include "platform/Platform.h"

// The two fallbacks through the general clipboard: copying the frontmost application's
// selection and pasting text into it. Both borrow the user's clipboard and put every item
// back, type by type and byte for byte, on every path.
namespace Clipboard {

using Snapshot = std::vector<platform::PasteboardItem>;

// How long the other application gets to answer a synthetic copy or paste, from the moment
// the shortcut has been sent.
inline constexpr double kShortcutWait = 0.12;

// The selection of the frontmost application as plain text, or absent. A terminal is asked
// with its own copy chord.
Task<std::optional<std::string>> copySelection(platform::Platform services,
                                               bool inTerminal = false);
// Pastes text into the frontmost application, offered with the transient marker. False when
// the paste could not be sent.
Task<bool> paste(platform::Platform services, std::string text);

Snapshot snapshot(platform::Pasteboard& pasteboard);
void restore(platform::Pasteboard& pasteboard, const Snapshot& snapshot);
// Puts text on the clipboard for the user to paste, in place of what it held.
void leaveText(platform::Pasteboard& pasteboard, const std::string& text);

}  // namespace Clipboard
