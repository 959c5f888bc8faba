#pragma once

#include <functional>
#include <string_view>

#include "platform/Platform.h"

// The two permissions the trigger needs: opening where the user grants them, and the relaunch
// that a grant made while running needs. Granted means: Accessibility, the accessibility bus
// answers and lists applications; Input Monitoring, the keyboard listener can be installed.
namespace Permissions {

enum class Pane { accessibility, inputMonitoring };

// A deployment value: the page that explains how to grant a permission on this desktop.
inline constexpr std::string_view kHelpURL = "MireloPermissionsHelpURL";
inline constexpr double kQuitDelaySeconds = 0.4;

// Accessibility: the desktop's accessibility settings where it has them. Otherwise, and for
// Input Monitoring, the help page at the pane's anchor; nothing without a help page.
void open(platform::Platform p, Pane pane);
// Starts a fresh Mirelo and calls quit kQuitDelaySeconds later, started or not.
void relaunch(platform::Platform p, std::function<void()> quit);

}  // namespace Permissions
