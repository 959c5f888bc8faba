#pragma once

#include <map>
#include <string>
#include <utility>

#include "platform/Secrets.h"

namespace fake {

class FakeSecrets : public platform::Secrets {
 public:
  std::optional<std::string> get(std::string_view service, std::string_view account) override;
  void set(std::string_view service, std::string_view account, std::string_view value) override;
  void remove(std::string_view service, std::string_view account) override;

  // (service, account) → bytes.
  std::map<std::pair<std::string, std::string>, std::string> items;
  bool unavailable = false;  // a missing or locked store: reads absent, stores fail
  bool storesFail = false;   // reads and removals work, every store fails
  int writes = 0;
};

}  // namespace fake
