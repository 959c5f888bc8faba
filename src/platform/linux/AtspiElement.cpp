#include "platform/linux/AtspiElement.h"

namespace linuxport {

AtspiElement::~AtspiElement() {
  if (accessible_) g_object_unref(accessible_);
}

}  // namespace linuxport
