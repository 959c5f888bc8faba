#pragma once

namespace linuxport {

// Whether a session bus is there to connect to. Without one, GDBus would start a bus of its own
// (over X11) that outlives Mirelo: a port that finds none does without the bus.
bool sessionBusReachable();

}  // namespace linuxport
