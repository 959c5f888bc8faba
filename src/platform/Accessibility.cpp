#include "platform/Accessibility.h"

#include "platform/AXSnapshot.h"

namespace platform {

std::unique_ptr<AXSnapshot> Accessibility::snapshot(const ElementRef&) {
  return nullptr;
}

}  // namespace platform
