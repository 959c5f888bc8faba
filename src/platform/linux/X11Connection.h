#pragma once

typedef struct _XDisplay Display;

namespace linuxport {

// Connections of the keyboard port's own to $DISPLAY that survive losing the server: Xlib has
// one I/O error handler for the whole process, and ours returns for these connections (each is
// then marked lost) and hands every other display to the handler that was there before (the
// toolkit's, which ends the program as Xlib's default would). Open them after the toolkit has
// opened its display.
namespace X11Connection {

// Null when there is no display. *lost becomes true when the connection breaks.
Display* open(bool* lost);
// Closes a connection from open, lost or not.
void close(Display* display);

}  // namespace X11Connection

}  // namespace linuxport
