#include "field/AppMemory.h"

#include <algorithm>
#include <map>

namespace AppMemory {

namespace {
std::map<std::string, InsertMethod>& table() {
  static std::map<std::string, InsertMethod> working;
  return working;
}
}  // namespace

std::vector<InsertMethod> order(const std::string& bundleID,
                                const std::vector<InsertMethod>& base) {
  auto remembered = working(bundleID);
  if (!remembered || std::find(base.begin(), base.end(), *remembered) == base.end()) return base;
  std::vector<InsertMethod> ordered{*remembered};
  for (InsertMethod m : base)
    if (m != *remembered) ordered.push_back(m);
  return ordered;
}

std::optional<InsertMethod> working(const std::string& bundleID) {
  auto it = table().find(bundleID);
  if (it == table().end()) return std::nullopt;
  return it->second;
}

void remember(const std::string& bundleID, InsertMethod method) {
  table()[bundleID] = method;
}

void resetForTesting() {
  table().clear();
}

}  // namespace AppMemory
