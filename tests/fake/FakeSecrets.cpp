#include "fake/FakeSecrets.h"

namespace fake {

std::optional<std::string> FakeSecrets::get(std::string_view service, std::string_view account) {
  if (unavailable) return std::nullopt;
  auto it = items.find({std::string(service), std::string(account)});
  if (it == items.end()) return std::nullopt;
  return it->second;
}

void FakeSecrets::set(std::string_view service, std::string_view account, std::string_view value) {
  ++writes;
  if (unavailable || storesFail) throw platform::SecretsError("저장소를 쓸 수 없습니다");
  items[{std::string(service), std::string(account)}] = std::string(value);
}

void FakeSecrets::remove(std::string_view service, std::string_view account) {
  ++writes;
  if (!unavailable) items.erase({std::string(service), std::string(account)});
}

}  // namespace fake
