#include "fake/FakeUi.h"

#include "base/Text.h"

namespace fake {

namespace {

class FakePanelWindow : public platform::PanelWindow {
 public:
  explicit FakePanelWindow(std::shared_ptr<FakeUi::Panel> panel) : panel_(std::move(panel)) {}
  ~FakePanelWindow() override { panel_->open = false; }
  void setText(const std::string& text) override { panel_->texts.push_back(text); }

 private:
  std::shared_ptr<FakeUi::Panel> panel_;
};

}  // namespace

platform::Size FakeUi::measurePanelText(const std::string& text) {
  return {7.0 * static_cast<double>(Text::characterCount(text)), 15.0};
}

std::unique_ptr<platform::PanelWindow> FakeUi::showPanel(const platform::Rect& frame,
                                                         const std::string& text,
                                                         const platform::Size& labelSize) {
  auto panel = std::make_shared<Panel>();
  panel->frame = frame;
  panel->labelSize = labelSize;
  panel->texts.push_back(text);
  panels.push_back(panel);
  return std::make_unique<FakePanelWindow>(panel);
}

std::vector<std::shared_ptr<FakeUi::Panel>> FakeUi::openPanels() const {
  std::vector<std::shared_ptr<Panel>> out;
  for (const auto& p : panels)
    if (p->open) out.push_back(p);
  return out;
}

}  // namespace fake
