#pragma once

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

}  // namespace desktop
