#pragma once

#include "platform/Ui.h"

namespace linuxport {

// Alerts and the caret panels in GTK 3. Panels are popup windows that take no focus and let
// clicks through; coordinates arrive with the origin at the bottom left of the primary screen.
class GtkUi : public platform::Ui {
 public:
  int runAlert(const std::string& message, const std::string& informative,
               const std::vector<std::string>& buttons) override;
  void activateSelf() override {}
  platform::Size measurePanelText(const std::string& text) override;
  std::unique_ptr<platform::PanelWindow> showPanel(const platform::Rect& frame,
                                                   const std::string& text,
                                                   const platform::Size& labelSize) override;
  platform::Point mouseLocation() override;
  std::optional<platform::Rect> primaryScreenFrame() override;
  void chooseSavePath(const platform::FileDialog& dialog,
                      std::function<void(std::optional<std::string>)> done) override;
  void chooseOpenPaths(const platform::FileDialog& dialog,
                       std::function<void(std::vector<std::string>)> done) override;
  std::optional<std::string> downloadsDirectory() override;
};

}  // namespace linuxport
