#pragma once

#include <string>
#include <vector>

#include "platform/Notifier.h"

namespace fake {

class FakeNotifier : public platform::Notifier {
 public:
  struct Posted {
    std::string identifier, title, body;
  };
  void requestAuthorization() override {}
  void post(const std::string& identifier, const std::string& title,
            const std::string& body) override {
    posted.push_back({identifier, title, body});
  }

  std::vector<Posted> posted;
};

}  // namespace fake
