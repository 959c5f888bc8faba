#pragma once

#include <filesystem>

#include "platform/Defaults.h"

namespace linuxport {

// The XDG autostart entry that brings Mirelo back after the next login. It is offered once,
// at the first successful sign-in: a user who deletes it is not overruled.
namespace Autostart {

inline constexpr const char* kOfferedKey = "autostartOffered";

// $XDG_CONFIG_HOME/autostart/com.mirelo.app.desktop
std::filesystem::path entryFile();
// Writes the entry unless it was offered before; remembers the offer only once it is written.
void offerOnce(platform::Defaults& defaults, const std::filesystem::path& program);

}  // namespace Autostart

}  // namespace linuxport
