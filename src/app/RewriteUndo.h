#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/Async.h"
#include "field/FocusedField.h"
#include "platform/Platform.h"

// The user's own text from before Mirelo's last write, kept in memory only (never on disk, in
// a log line or the diagnostics), so that a rewrite the user does not want can be taken back.
class RewriteUndo {
 public:
  static constexpr double kKeepSeconds = 600;

  enum class Outcome {
    restored,     // the field holds the user's text again
    changed,      // the user edited the field since: left alone, original on the clipboard
    failed,       // the field is gone or would not take the text: original on the clipboard
    nothingKept,  // nothing to take back
  };

  explicit RewriteUndo(platform::Platform platform);

  // After a verified write of `written` into the field as it was read.
  void keep(const FocusedField& field, std::string written);
  void forget();
  bool available() const { return kept_.has_value(); }
  // Writes the user's text back if the field still holds what Mirelo wrote. What was kept is
  // forgotten in every case: on failure the original is on the clipboard.
  Task<Outcome> undo();

  // Called whenever something becomes available or is forgotten (the menu shows it).
  std::function<void()> onChanged;

 private:
  struct Kept {
    FocusedField field;    // as read before the write
    std::string original;  // the whole value, or the selection
    std::string written;   // what Mirelo wrote in its place
  };

  static Task<Outcome> restore(platform::Platform p, Kept kept);
  // The field to write the original into, or absent when it no longer holds what was written.
  static std::optional<FocusedField> target(const Kept& kept, const std::string& current);
  void changed();

  platform::Platform p_;
  std::optional<Kept> kept_;
  Timer expiry_;
};
