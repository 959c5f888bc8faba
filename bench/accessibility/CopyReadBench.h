#pragma once

// The same 2,000 characters of the fixture's text view read the two ways a trigger can:
// through AT-SPI, and by a synthetic copy (Ctrl+C, the clipboard read, the user's clipboard
// given back). Needs a display, GTK and the accessibility bus.
void copyReadFigures();
