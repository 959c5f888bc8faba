#pragma once

#include <cstdint>
#include <functional>

typedef struct _XDisplay Display;

namespace linuxport {

// A connection of its own to the X server that listens, without grabbing anything, to the raw
// key presses and releases of every master keyboard (XInput2 raw events on the root window).
// The default main context watches it; losing the connection is reported, not fatal (see
// X11Connection).
class X11RawKeys {
 public:
  struct Callbacks {
    // timeMs is the server's time of the event (milliseconds, wrapping around).
    std::function<void(int keycode, bool press, std::uint32_t timeMs)> key;
    // The keyboard mapping or the layout group changed (key codes of named keys and the
    // symbols they produce may differ now).
    std::function<void()> keymapChanged;
    // The connection is gone; the object is closed when this is called.
    std::function<void()> lost;
  };

  X11RawKeys() = default;
  ~X11RawKeys() { close(); }
  X11RawKeys(const X11RawKeys&) = delete;
  X11RawKeys& operator=(const X11RawKeys&) = delete;

  // Connects to $DISPLAY and selects the raw key events; false when there is no display or no
  // XInput2 2.0.
  bool open(Callbacks callbacks);
  void close();
  bool isOpen() const { return display_ != nullptr; }
  Display* display() const { return display_; }
  // Makes sure the server still sends this connection the raw key events, selecting them again
  // when it does not. False (and closed, without the lost callback) when the connection is gone.
  bool ensureSelected();
  // Handles every event already received. Returns false when the connection was lost.
  bool dispatch();
  // Shuts the socket down as a dying server would (for tests).
  void cutForTesting();

 private:
  static int onReadable(int fd, unsigned condition, void* self);
  bool select();
  void handleEvent(void* event);
  void closeLost();
  void dispatchQueuedSoon();

  Callbacks callbacks_;
  Display* display_ = nullptr;
  int xiOpcode_ = 0;
  int xkbEventBase_ = 0;
  unsigned watch_ = 0;
  unsigned idle_ = 0;
  bool lost_ = false;
};

}  // namespace linuxport
