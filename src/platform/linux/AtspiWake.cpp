#include "platform/linux/AtspiWake.h"

#include "platform/AXNames.h"
#include "platform/linux/AtspiBrowserWake.h"

namespace linuxport {

bool AtspiWake::isWakeAttribute(std::string_view name) {
  return name == platform::AXAttribute::kManualAccessibility ||
         name == platform::AXAttribute::kEnhancedUserInterface;
}

void AtspiWake::set(std::int32_t pid, std::string_view name, bool on, bool canReach) {
  if (!on) {
    if (auto it = woken_.find(pid); it != woken_.end()) it->second.erase(std::string(name));
    return;
  }
  bool first = woken_[pid].insert(std::string(name)).second;
  if (first && canReach && name == platform::AXAttribute::kEnhancedUserInterface)
    AtspiBrowserWake::exposeWebContent(pid);
}

bool AtspiWake::isSet(std::int32_t pid, std::string_view name) const {
  auto it = woken_.find(pid);
  return it != woken_.end() && it->second.count(name);
}

}  // namespace linuxport
