#pragma once

#include <string>
#include <vector>

namespace platform {

// Windows, panels and alerts.
class Ui {
 public:
  virtual ~Ui() = default;
  // Runs a modal alert; returns the index of the button chosen.
  virtual int runAlert(const std::string& message, const std::string& informative,
                       const std::vector<std::string>& buttons) = 0;
  // Brings this program to the front (before a modal alert).
  virtual void activateSelf() = 0;
};

}  // namespace platform
