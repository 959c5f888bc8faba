#include "platform/linux/AtspiCalls.h"

#include <cstring>

#include "platform/linux/AtspiRoles.h"
#include "platform/linux/AtspiTextAccess.h"

namespace AtspiCalls {

bool failed(GError*& error) {
  if (!error) return false;
  g_error_free(error);
  error = nullptr;
  return true;
}

std::optional<std::string> takeString(gchar* s, GError*& error) {
  if (failed(error) || !s) {
    g_free(s);
    return std::nullopt;
  }
  std::string result(s);
  g_free(s);
  return result;
}

bool gone(AtspiAccessible* a) {
  AtspiApplication* app = a->parent.app;
  return !app || !app->bus || !dbus_connection_get_is_connected(app->bus);
}

linuxport::AtspiElement* asAtspi(const platform::ElementRef& e) {
  return dynamic_cast<linuxport::AtspiElement*>(e.get());
}

AtspiAccessible* objectOf(const platform::ElementRef& e) {
  auto* element = asAtspi(e);
  return element && element->kind() == linuxport::AtspiElement::Kind::object ? element->accessible()
                                                                             : nullptr;
}

GPtr<AtspiText> textOf(AtspiAccessible* a) {
  return {atspi_accessible_get_text_iface(a), g_object_unref};
}

std::optional<GPtr<AtspiStateSet>> statesOf(AtspiAccessible* a) {
  GPtr<AtspiStateSet> states(atspi_accessible_get_state_set(a), g_object_unref);
  if (!states || atspi_state_set_contains(states.get(), ATSPI_STATE_DEFUNCT)) return std::nullopt;
  return states;
}

bool hasState(AtspiAccessible* a, AtspiStateType state) {
  auto states = statesOf(a);
  return states && atspi_state_set_contains(states->get(), state);
}

std::optional<AtspiRole> roleOf(AtspiAccessible* a) {
  GError* error = nullptr;
  AtspiRole role = atspi_accessible_get_role(a, &error);
  if (failed(error) || role == ATSPI_ROLE_INVALID) return std::nullopt;
  return role;
}

std::optional<std::string> objectAttributeValue(AtspiAccessible* a, const char* key) {
  GError* error = nullptr;
  GHashTable* attributes = atspi_accessible_get_attributes(a, &error);
  if (failed(error) || !attributes) return std::nullopt;
  std::optional<std::string> result;
  if (auto* v = static_cast<const char*>(g_hash_table_lookup(attributes, key))) result = v;
  g_hash_table_unref(attributes);
  return result;
}

std::optional<std::string> mappedRole(AtspiAccessible* a) {
  auto role = roleOf(a);
  if (!role) return std::nullopt;
  auto states = [a]() -> std::optional<AtspiRoles::States> {
    auto set = statesOf(a);
    if (!set) return std::nullopt;
    return AtspiRoles::States{bool(atspi_state_set_contains(set->get(), ATSPI_STATE_EDITABLE)),
                              bool(atspi_state_set_contains(set->get(), ATSPI_STATE_MULTI_LINE))};
  };
  auto text = [a]() -> std::optional<std::string> {
    auto t = textOf(a);
    return t ? AtspiTextAccess::wholeText(t.get()) : std::nullopt;
  };
  return AtspiRoles::mapped(
      *role, states, [a] { return objectAttributeValue(a, "xml-roles"); }, text);
}

std::optional<platform::Rect> toRect(AtspiRect* r, GError*& error) {
  if (failed(error) || !r) {
    g_free(r);
    return std::nullopt;
  }
  platform::Rect rect{double(r->x), double(r->y), double(r->width), double(r->height)};
  g_free(r);
  return rect;
}

std::optional<platform::Rect> frameOf(AtspiAccessible* a) {
  GPtr<AtspiComponent> component(atspi_accessible_get_component_iface(a), g_object_unref);
  if (!component) return std::nullopt;
  GError* error = nullptr;
  return toRect(atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, &error),
                error);
}

bool isDesktop(AtspiAccessible* a) {
  GPtr<AtspiAccessible> desktop(atspi_get_desktop(0), g_object_unref);
  if (!desktop || a == desktop.get()) return true;
  const AtspiObject& o = a->parent;
  const AtspiObject& d = desktop->parent;
  return o.app && d.app && o.app->bus_name && d.app->bus_name && o.path && d.path &&
         std::strcmp(o.app->bus_name, d.app->bus_name) == 0 && std::strcmp(o.path, d.path) == 0;
}

}  // namespace AtspiCalls
