#pragma once

#include <functional>

typedef struct _XDisplay Display;

namespace desktop {

// Presses and releases keys by exact key code through XTest, for tests. (xdotool adds stray
// left-Alt presses and duplicate releases, so it cannot drive taps.)
class XTestKeys {
 public:
  XTestKeys();
  ~XTestKeys();
  XTestKeys(const XTestKeys&) = delete;
  XTestKeys& operator=(const XTestKeys&) = delete;

  bool ok() const { return display_ != nullptr; }
  // The key code that types keysym on the current layout, or 0.
  int keycode(unsigned long keysym) const;
  // Each call reaches the server before it returns.
  void press(int keycode);
  void release(int keycode);

 private:
  Display* display_ = nullptr;
};

// Runs the default main context for that long (real time: the X server drives these tests).
void pumpFor(double seconds);
// Runs the default main context until pred holds or the timeout passes; returns pred().
bool pumpUntil(const std::function<bool()>& pred, double timeoutSeconds = 2.0);

}  // namespace desktop
