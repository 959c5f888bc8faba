#pragma once

#include <functional>
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

class WebWindow;

// What a file dialog offers. Open dialogs offer only files matching a pattern or a type.
struct FileDialog {
  const WebWindow* parent = nullptr;   // the dialog belongs to this window when given
  std::string name;                    // save: the suggested file name
  std::string directory;               // where it opens; empty for the dialog's own choice
  bool directories = false;            // open: folders may be chosen
  bool multiple = false;               // open: several may be chosen
  std::vector<std::string> patterns;   // open: file name patterns, "*.md"
  std::vector<std::string> mimeTypes;  // open: content types, "text/plain"
};

// Windows, panels and alerts. Coordinates here have their origin at the bottom left of the
// primary screen; the port converts to its own.
class Ui {
 public:
  virtual ~Ui() = default;
  // Runs a modal alert; returns the index of the button chosen (the last when dismissed).
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

  // File dialogs; done runs on the main context with the choice, nothing when cancelled.
  virtual void chooseSavePath(const FileDialog& dialog,
                              std::function<void(std::optional<std::string>)> done) = 0;
  virtual void chooseOpenPaths(const FileDialog& dialog,
                               std::function<void(std::vector<std::string>)> done) = 0;
  // The user's downloads folder, when the desktop names one.
  virtual std::optional<std::string> downloadsDirectory() = 0;
};

}  // namespace platform
