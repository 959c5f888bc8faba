#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/Async.h"
#include "base/Clock.h"
#include "field/FocusedField.h"
#include "platform/Accessibility.h"
#include "platform/Ui.h"

// A small pill of text that floats above every window: the trigger label with animated dots
// next to the caret while a request runs, or a short message flashed near the pointer.
// At most one panel per object is on screen.
class CaretPanel {
 public:
  static constexpr double kHeight = 22.0;
  static constexpr double kHorizontalPadding = 22.0;  // added to the label's width
  static constexpr double kDotPeriod = 0.4;
  static constexpr double kFlashOffsetX = 12.0;
  static constexpr double kFlashOffsetY = 14.0;

  CaretPanel(platform::Ui& ui, Clock& clock);
  CaretPanel(const CaretPanel&) = delete;
  CaretPanel& operator=(const CaretPanel&) = delete;

  // Shows text in a new panel whose bottom-left corner is at origin (bottom-left-origin screen
  // coordinates), sized for widest when given so that the width stays put as the text changes.
  // Callers hide() first.
  void present(const std::string& text, platform::Point origin,
               const std::optional<std::string>& widest = std::nullopt);
  // Cycles the text through base + ".", base + "..", base + "..." every kDotPeriod seconds.
  void startAnimating(const std::string& base);
  // Stops the timer and closes the panel; harmless when nothing is shown.
  void hide();
  // Shows text near the mouse pointer and hides it after seconds.
  void flash(const std::string& text, double seconds);

  bool showing() const { return panel_ != nullptr; }

  // The caret's rectangle, else the field's frame, in bottom-left-origin screen coordinates;
  // absent when neither has a height.
  std::optional<platform::Rect> anchorRect(platform::Accessibility& ax,
                                           const FocusedField& field) const;
  // A top-left-origin rectangle in bottom-left-origin coordinates of the primary screen.
  platform::Rect flipped(const platform::Rect& rect) const;

 private:
  platform::Ui& ui_;
  Clock& clock_;
  std::unique_ptr<platform::PanelWindow> panel_;
  int dots_ = 1;
  // Declared last so that it stops before the panel goes away.
  Timer timer_;
};
