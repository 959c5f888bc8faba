#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Accessibility.h"
#include "platform/Rgb.h"

namespace platform {

// A fixed-width window whose content is laid out by hand: every element at its frame, with
// the origin at the content's top left. Korean text is drawn in the CJK face of the port.
class FormWindow {
 public:
  enum class Weight { regular, medium, semibold };
  enum class Align { left, right };
  enum class ButtonStyle { primary, link, ghost };

  struct Element {
    enum class Kind { image, label, button, box };
    Kind kind = Kind::label;
    // Names the elements that are changed after the content is set.
    std::string name;
    Rect frame;
    std::string text;
    double pointSize = 12;
    Weight weight = Weight::regular;
    Rgb color;
    Align align = Align::left;
    bool wraps = false;      // labels: wrap on words, else one line
    bool truncates = false;  // one-line labels: an ellipsis at the tail
    ButtonStyle style = ButtonStyle::link;
    std::function<void()> action;
    // Boxes: a filled rounded rectangle; children are placed relative to the box.
    Rgb fill;
    double cornerRadius = 0;
    std::vector<Element> children;
    // Images: a file scaled to the frame, none when absent.
    std::optional<std::string> imagePath;
    bool hidden = false;
  };

  virtual ~FormWindow() = default;
  // Replaces the content; the window takes the content's height with its top edge in place.
  virtual void setContent(std::vector<Element> elements, double height) = 0;
  // Changes a named element of the current content; unknown names are skipped.
  virtual void setText(const std::string& name, const std::string& text) = 0;
  virtual void setTextColor(const std::string& name, Rgb color) = 0;
  virtual void setHidden(const std::string& name, bool hidden) = 0;
  virtual void setWidth(const std::string& name, double width) = 0;
  // Brings the window to the front; it was hidden or never shown.
  virtual void present() = 0;
  virtual bool isOpen() = 0;

  // Called when the user closes the window (it is hidden, not destroyed).
  std::function<void()> onClose;
};

}  // namespace platform
