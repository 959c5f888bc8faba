#pragma once

#include <atspi/atspi.h>

#include <functional>
#include <optional>
#include <string>

// The "AXRole" vocabulary over AT-SPI roles, shared by the attribute reads of the accessibility
// port and by its bulk snapshot, so both read a role the same way.
namespace AtspiRoles {

// What the role depends on besides the AT-SPI role, for text-like roles only.
struct States {
  bool editable = false;
  bool multiLine = false;
};

using Lazy = std::function<std::optional<std::string>()>;

// Absent for an invalid role, or a text-like one whose states are absent (a defunct object).
// states is asked only for text-like roles and web documents; xmlRoles (the "xml-roles" object
// attribute) only for editable single-line entries; text (the whole text) only for read-only
// sections.
std::optional<std::string> mapped(AtspiRole role,
                                  const std::function<std::optional<States>()>& states,
                                  const Lazy& xmlRoles, const Lazy& text);

// A read-only section reads as text when its own text is all there is inside: a browser's
// <div> of words holds them again in child text leaves, while any child object of its own
// stands in its text as U+FFFC.
bool isTextBlock(const std::optional<std::string>& text);

// Password fields and terminals never give their text away: a password is a secret, and a
// terminal's text is its whole scroll-back (its selection is copied instead).
bool hidesText(AtspiRole role);

}  // namespace AtspiRoles
