#include "feedback/CaretPanel.h"

#include "field/AX.h"
#include "platform/AXNames.h"

CaretPanel::CaretPanel(platform::Ui& ui, Clock& clock) : ui_(ui), clock_(clock) {}

void CaretPanel::present(const std::string& text, platform::Point origin,
                         const std::optional<std::string>& widest) {
  platform::Size label = ui_.measurePanelText(widest.value_or(text));
  platform::Rect frame{origin.x, origin.y, label.width + kHorizontalPadding, kHeight};
  panel_ = ui_.showPanel(frame, text, label);
}

void CaretPanel::startAnimating(const std::string& base) {
  dots_ = 1;
  timer_.start(clock_, kDotPeriod, true, [this, base] {
    if (!panel_) return;
    dots_ = dots_ % 3 + 1;
    panel_->setText(base + std::string(static_cast<size_t>(dots_), '.'));
  });
}

void CaretPanel::hide() {
  timer_.stop();
  panel_.reset();
  dots_ = 1;
}

void CaretPanel::flash(const std::string& text, double seconds) {
  hide();
  platform::Point mouse = ui_.mouseLocation();
  present(text, {mouse.x + kFlashOffsetX, mouse.y + kFlashOffsetY});
  timer_.start(clock_, seconds, false, [this] { hide(); });
}

std::optional<platform::Rect> CaretPanel::anchorRect(platform::Accessibility& ax,
                                                     const FocusedField& field) const {
  if (!field.element) return std::nullopt;
  if (field.selectedRange) {
    auto bounds = AX::boundsForRange(ax, field.element, *field.selectedRange);
    // A caret between two characters is a rectangle of width 0, and it is a fine anchor.
    if (bounds && bounds->width >= 0 && bounds->height > 0) return flipped(*bounds);
  }
  auto frame = AX::rect(ax, field.element, platform::AXAttribute::kFrame);
  if (!frame || !(frame->height > 0)) return std::nullopt;
  return flipped(*frame);
}

platform::Rect CaretPanel::flipped(const platform::Rect& rect) const {
  auto screen = ui_.primaryScreenFrame();
  if (!screen) return rect;
  return {rect.x, screen->y + screen->height - rect.y - rect.height, rect.width, rect.height};
}
