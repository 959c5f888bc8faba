#include "platform/linux/AtspiWake.h"

#include "platform/linux/AtspiBrowserWake.h"

namespace linuxport {

bool AtspiWake::isWakeAttribute(std::string_view name) {
  return name == "AXManualAccessibility" || name == "AXEnhancedUserInterface";
}

void AtspiWake::set(std::int32_t pid, std::string_view name, bool on, bool canReach) {
  if (!on) {
    if (auto it = woken_.find(pid); it != woken_.end()) it->second.erase(std::string(name));
    return;
  }
  bool first = woken_[pid].insert(std::string(name)).second;
  if (first && canReach && name == "AXEnhancedUserInterface")
    AtspiBrowserWake::exposeWebContent(pid);
}

bool AtspiWake::isSet(std::int32_t pid, std::string_view name) const {
  auto it = woken_.find(pid);
  return it != woken_.end() && it->second.count(name);
}

}  // namespace linuxport
