#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Ui.h"

namespace fake {

// Records the panels and alerts it shows; alerts are answered with alertAnswer.
class FakeUi : public platform::Ui {
 public:
  // What a panel showed: its frame and every text it held, in order.
  struct Panel {
    platform::Rect frame;
    platform::Size labelSize;
    std::vector<std::string> texts;
    bool open = true;
  };

  struct Alert {
    std::string message, informative;
    std::vector<std::string> buttons;
  };
  int runAlert(const std::string& message, const std::string& informative,
               const std::vector<std::string>& buttons) override {
    alerts.push_back({message, informative, buttons});
    return alertAnswer;
  }
  void activateSelf() override { ++activations; }
  // Every character is 7 points wide and 15 high, so widths are easy to predict.
  platform::Size measurePanelText(const std::string& text) override;
  std::unique_ptr<platform::PanelWindow> showPanel(const platform::Rect& frame,
                                                   const std::string& text,
                                                   const platform::Size& labelSize) override;
  platform::Point mouseLocation() override { return mouse; }
  std::optional<platform::Rect> primaryScreenFrame() override { return screen; }

  // File dialogs wait until the test answers them through their done.
  struct SaveDialog {
    platform::FileDialog dialog;
    std::function<void(std::optional<std::string>)> done;
  };
  struct OpenDialog {
    platform::FileDialog dialog;
    std::function<void(std::vector<std::string>)> done;
  };
  void chooseSavePath(const platform::FileDialog& dialog,
                      std::function<void(std::optional<std::string>)> done) override {
    saveDialogs.push_back({dialog, std::move(done)});
  }
  void chooseOpenPaths(const platform::FileDialog& dialog,
                       std::function<void(std::vector<std::string>)> done) override {
    openDialogs.push_back({dialog, std::move(done)});
  }
  std::optional<std::string> downloadsDirectory() override { return downloads; }

  // Panels currently on screen.
  std::vector<std::shared_ptr<Panel>> openPanels() const;

  std::vector<Alert> alerts;
  int alertAnswer = 0;
  std::vector<SaveDialog> saveDialogs;
  std::vector<OpenDialog> openDialogs;
  std::optional<std::string> downloads = "/home/user/Downloads";
  int activations = 0;
  platform::Point mouse{100, 200};
  std::optional<platform::Rect> screen = platform::Rect{0, 0, 1280, 1024};
  std::vector<std::shared_ptr<Panel>> panels;  // every panel ever shown
};

}  // namespace fake
