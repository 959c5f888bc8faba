#pragma once

#include <exception>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "base/Async.h"
#include "field/FocusedField.h"
#include "platform/Platform.h"

// Reading the field the user means when the trigger fires.
namespace Focus {

// Why no field could be read. `empty` is not a dead end: it carries the field, into which
// the pipeline writes a generated reply.
class ReadFailure : public std::exception {
 public:
  enum class Kind { unreadable, empty, isBrowser, noFocusedField };

  static ReadFailure unreadable(std::string appName);
  static ReadFailure empty(FocusedField field);
  static ReadFailure isBrowser();
  static ReadFailure noFocusedField();

  Kind kind() const { return kind_; }
  const std::string& appName() const { return appName_; }  // unreadable only
  const FocusedField& field() const { return *field_; }    // empty only
  const char* what() const noexcept override;

 private:
  explicit ReadFailure(Kind kind) : kind_(kind) {}
  Kind kind_;
  std::string appName_;
  std::optional<FocusedField> field_;
};

// Application identifiers of browsers, exact matches.
const std::set<std::string, std::less<>>& browserBundleIDs();
bool isBrowser(std::string_view bundleID);

// Application identifiers of terminal programs, compared in lower case.
bool isTerminalProgram(std::string_view bundleID);
// Whether the element is a terminal: by its role, a terminal among its ancestors, or the
// application being a terminal program. Absent when that cannot be told (its role cannot be
// read).
std::optional<bool> isTerminal(platform::Accessibility& ax, const platform::ElementRef& element,
                               std::string_view bundleID);

// How long a browser gets to report its focused element before the one retry.
inline constexpr double kBrowserFocusWait = 0.2;

// The focused field of the frontmost application. Throws only ReadFailure.
Task<FocusedField> read(platform::Platform services);

// The text unless it is blank or, trimmed, equals the trimmed placeholder.
std::optional<std::string> meaningful(const std::optional<std::string>& text,
                                      const std::optional<std::string>& placeholder);

}  // namespace Focus
