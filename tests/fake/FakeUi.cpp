#include "fake/FakeUi.h"

namespace fake {

int FakeUi::runAlert(const std::string& message, const std::string& informative,
                     const std::vector<std::string>& buttons) {
  alerts.push_back({message, informative, buttons});
  if (answers.empty()) return 0;
  int a = answers.front();
  answers.erase(answers.begin());
  return a;
}

}  // namespace fake
