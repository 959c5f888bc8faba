#pragma once

#include <memory>

#include "platform/WebViews.h"
#include "platform/linux/WebKitWindow.h"

// The real web views, remembering the last window made, so that a test or a demo can reach
// the page and the widget of a window that the program's code owns.
class RecordingWebViews : public platform::WebViews {
 public:
  explicit RecordingWebViews(platform::WebViews* real = nullptr) : real(real) {}
  std::unique_ptr<platform::WebView> create(bool hidden) override { return real->create(hidden); }
  std::unique_ptr<platform::WebWindow> createWindow(const platform::WebWindowStyle& s) override {
    auto made = real->createWindow(s);
    window = dynamic_cast<linuxport::WebKitWindow*>(made.get());
    return made;
  }

  platform::WebViews* real;
  linuxport::WebKitWindow* window = nullptr;
};
