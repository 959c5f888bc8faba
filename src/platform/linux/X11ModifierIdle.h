#pragma once

#include <cstdint>

#include "platform/linux/X11KeyTranslator.h"
#include "platform/linux/X11RawKeys.h"

namespace linuxport {

// How long ago the X server last saw a trigger-key modifier go down or up, watched on a
// connection of its own so that it does not depend on the listener it is meant to check.
class X11ModifierIdle {
 public:
  // Starts watching (again after a loss); false without a display.
  bool start();
  // Seconds since the last modifier change, or since watching began when there was none.
  // Very large when the server cannot be reached.
  double seconds();

 private:
  void refreshKeymap();

  X11RawKeys keys_;
  X11KeyTranslator translator_;
  std::int64_t lastChangeUs_ = 0;  // monotonic
};

}  // namespace linuxport
