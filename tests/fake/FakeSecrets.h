#pragma once

#include <map>
#include <string>
#include <utility>

#include "platform/Secrets.h"

namespace fake {

class FakeSecrets : public platform::Secrets {
 public:
  std::optional<std::string> get(std::string_view service, std::string_view account) override {
    auto it = items.find(key(service, account));
    if (unavailable || it == items.end()) return std::nullopt;
    return it->second;
  }
  void set(std::string_view service, std::string_view account, std::string_view value) override {
    if (unavailable || storesFail) throw platform::SecretsError("저장소를 쓸 수 없습니다");
    items[key(service, account)] = std::string(value);
  }
  void remove(std::string_view service, std::string_view account) override {
    if (!unavailable) items.erase(key(service, account));
  }

  // (service, account) → bytes.
  std::map<std::pair<std::string, std::string>, std::string> items;
  bool unavailable = false;  // a missing or locked store: reads absent, stores fail
  bool storesFail = false;   // reads and removals work, every store fails

 private:
  static std::pair<std::string, std::string> key(std::string_view s, std::string_view a) {
    return {std::string(s), std::string(a)};
  }
};

}  // namespace fake
