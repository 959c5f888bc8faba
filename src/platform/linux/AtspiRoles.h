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

// Absent for an invalid role, or a text-like one whose states are absent (a defunct object).
// states is asked only for text-like roles; xmlRoles (the "xml-roles" object attribute) only
// for editable single-line entries.
std::optional<std::string> mapped(AtspiRole role,
                                  const std::function<std::optional<States>()>& states,
                                  const std::function<std::optional<std::string>()>& xmlRoles);

// Password fields and terminals never give their text away: a password is a secret, and a
// terminal's text is its whole scroll-back (its selection is copied instead).
bool hidesText(AtspiRole role);

}  // namespace AtspiRoles
