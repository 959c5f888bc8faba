#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Accessibility.h"

namespace platform {

struct Size {
  double width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

// A small borderless pill of text that floats above every window, never takes focus and lets
// clicks through.
class PanelWindow {
 public:
  virtual ~PanelWindow() = default;
  virtual void setText(const std::string& text) = 0;
};

// Windows, panels and alerts. Coordinates here have their origin at the bottom left of the
// primary screen; the port converts to its own.
class Ui {
 public:
  virtual ~Ui() = default;
  // Runs a modal alert; returns the index of the button chosen.
  virtual int runAlert(const std::string& message, const std::string& informative,
                       const std::vector<std::string>& buttons) = 0;
  // Brings this program to the front (before a modal alert).
  virtual void activateSelf() = 0;

  // The size of text in the panel's font (12 pt, medium weight).
  virtual Size measurePanelText(const std::string& text) = 0;
  // Shows a panel whose bottom-left corner is at frame's origin; it closes when destroyed.
  virtual std::unique_ptr<PanelWindow> showPanel(const Rect& frame, const std::string& text,
                                                 const Size& labelSize) = 0;
  // The mouse pointer, bottom-left origin.
  virtual Point mouseLocation() = 0;
  // The primary screen's frame (top-left and bottom-left origins agree on it), if any.
  virtual std::optional<Rect> primaryScreenFrame() = 0;
};

}  // namespace platform
