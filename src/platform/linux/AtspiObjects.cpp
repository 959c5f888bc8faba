#include "platform/linux/AtspiObjects.h"

#include "platform/linux/AtspiCalls.h"

namespace linuxport {

platform::ElementRef AtspiObjects::adopt(AtspiAccessible* accessible) {
  if (!accessible) return nullptr;
  auto& slot = interned_[accessible];
  if (auto existing = slot.lock()) {
    g_object_unref(accessible);
    return existing;
  }
  auto element = std::make_shared<AtspiElement>(accessible);
  slot = element;
  if (interned_.size() >= purgeAt_) {
    std::erase_if(interned_, [](const auto& entry) { return entry.second.expired(); });
    purgeAt_ = std::max<size_t>(1024, interned_.size() * 2);
  }
  return element;
}

platform::ElementRef AtspiObjects::application(std::int32_t pid) {
  auto& slot = applications_[pid];
  if (auto existing = slot.lock()) return existing;
  auto element = std::make_shared<AtspiElement>(AtspiElement::Kind::application, pid);
  slot = element;
  return element;
}

std::optional<std::int32_t> AtspiObjects::knownPidOf(AtspiAccessible* accessible) const {
  AtspiApplication* app = accessible->parent.app;
  if (!app || !app->bus_name) return std::nullopt;
  auto it = pidsByBusName_.find(app->bus_name);
  if (it == pidsByBusName_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::int32_t> AtspiObjects::pidOf(AtspiAccessible* accessible) {
  AtspiApplication* app = accessible->parent.app;
  if (!app || !app->bus_name) return std::nullopt;
  if (auto it = pidsByBusName_.find(app->bus_name); it != pidsByBusName_.end()) return it->second;
  GError* error = nullptr;
  guint pid = atspi_accessible_get_process_id(accessible, &error);
  if (AtspiCalls::failed(error) || pid == 0 || pid == G_MAXUINT) return std::nullopt;
  pidsByBusName_[app->bus_name] = static_cast<std::int32_t>(pid);
  return static_cast<std::int32_t>(pid);
}

}  // namespace linuxport
