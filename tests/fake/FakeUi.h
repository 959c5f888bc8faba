#pragma once

#include <string>
#include <vector>

#include "platform/Ui.h"

namespace fake {

// Records alerts and answers them with scripted button choices.
class FakeUi : public platform::Ui {
 public:
  struct Alert {
    std::string message, informative;
    std::vector<std::string> buttons;
  };
  int runAlert(const std::string& message, const std::string& informative,
               const std::vector<std::string>& buttons) override;
  void activateSelf() override { ++activations; }

  std::vector<Alert> alerts;
  std::vector<int> answers;  // consumed in order; 0 once exhausted
  int activations = 0;
};

}  // namespace fake
