#pragma once

#include <functional>

typedef struct _XDisplay Display;
typedef struct _GSource GSource;

namespace linuxport {

// Hands a connection's events to the main context: when its socket is readable, and also when
// Xlib has already read them while waiting for a reply (which leaves the socket quiet).
class X11EventSource {
 public:
  // ready runs on the main context whenever events wait; it must take them (XNextEvent).
  static GSource* attach(Display* display, std::function<void()> ready);
  static void detach(GSource* source);
};

}  // namespace linuxport
