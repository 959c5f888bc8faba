#pragma once

namespace linuxport {

// Other programs Mirelo starts for the user: the desktop's accessibility settings, and a
// fresh Mirelo that takes over from this one.
namespace DesktopPrograms {

// Set in the environment of a relaunched Mirelo: it replaces the running one on the session
// bus instead of handing its arguments over.
inline constexpr const char* kReplaceVariable = "MIRELO_REPLACE";

// GNOME's universal-access panel or KDE's accessibility module, whichever the desktop has
// (the current desktop's own first); false when neither is installed or starts.
bool openAccessibilitySettings();
// Starts /proc/self/exe with this process's arguments and kReplaceVariable set; false when it
// could not be started.
bool relaunchSelf();
// Whether this start was asked to replace a running Mirelo; clears the request, so programs
// started from here do not inherit it.
bool takeReplaceRequest();

}  // namespace DesktopPrograms

}  // namespace linuxport
