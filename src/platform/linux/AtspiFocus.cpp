#include "platform/linux/AtspiFocus.h"

#include <unistd.h>

#include "platform/linux/AtspiCalls.h"

namespace linuxport {

using namespace AtspiCalls;
using platform::ElementRef;

namespace {

AtspiAccessible* focusedWithin(AtspiAccessible* window) {
  GPtr<AtspiCollection> collection(atspi_accessible_get_collection_iface(window), g_object_unref);
  if (!collection) return nullptr;
  GArray* wanted = g_array_new(FALSE, FALSE, sizeof(AtspiStateType));
  AtspiStateType focused = ATSPI_STATE_FOCUSED;
  g_array_append_val(wanted, focused);
  GPtr<AtspiStateSet> states(atspi_state_set_new(wanted), g_object_unref);
  g_array_free(wanted, TRUE);
  GPtr<AtspiMatchRule> rule(
      atspi_match_rule_new(states.get(), ATSPI_Collection_MATCH_ALL, nullptr,
                           ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, nullptr,
                           ATSPI_Collection_MATCH_ALL, FALSE),
      g_object_unref);
  GError* error = nullptr;
  // traverse must be TRUE: FALSE silently matches direct children only.
  GArray* matches = atspi_collection_get_matches(
      collection.get(), rule.get(), ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE, &error);
  if (failed(error) || !matches) return nullptr;
  AtspiAccessible* result = nullptr;
  for (guint i = 0; i < matches->len; ++i) {
    auto* match = g_array_index(matches, AtspiAccessible*, i);
    if (!result) {
      result = match;
    } else {
      g_object_unref(match);
    }
  }
  g_array_free(matches, TRUE);
  return result;
}

template <typename F>
void forEachChild(AtspiAccessible* parent, F visit) {
  GError* error = nullptr;
  gint count = atspi_accessible_get_child_count(parent, &error);
  if (failed(error)) return;
  for (gint i = 0; i < count; ++i) {
    AtspiAccessible* child = atspi_accessible_get_child_at_index(parent, i, &error);
    if (failed(error) || !child) continue;
    bool more = visit(child);
    g_object_unref(child);
    if (!more) return;
  }
}

}  // namespace

AtspiFocus::AtspiFocus(AtspiObjects& objects) : objects_(objects) {}

void AtspiFocus::listen() {
  listener_ = atspi_event_listener_new(&AtspiFocus::onFocusEvent, this, nullptr);
  GError* error = nullptr;
  atspi_event_listener_register(listener_, "object:state-changed:focused", &error);
  failed(error);
}

AtspiFocus::~AtspiFocus() {
  if (!listener_) return;
  GError* error = nullptr;
  atspi_event_listener_deregister(listener_, "object:state-changed:focused", &error);
  failed(error);
  g_object_unref(listener_);
}

void AtspiFocus::onFocusEvent(AtspiEvent* event, void* self) {
  static_cast<AtspiFocus*>(self)->focusChanged(event->source, event->detail1 == 1);
  g_boxed_free(ATSPI_TYPE_EVENT, event);
}

// Another application's "gained" may come before the old one's "lost": only the tracked
// element's own lost event clears it.
void AtspiFocus::focusChanged(AtspiAccessible* source, bool gained) {
  if (!source) return;
  if (gained) {
    // Our own windows never count: a call into ourselves would wait for our own answer.
    if (objects_.pidOf(source) == static_cast<std::int32_t>(getpid())) return;
    tracked_ = objects_.adopt(static_cast<AtspiAccessible*>(g_object_ref(source)));
  } else if (objectOf(tracked_) == source) {
    tracked_.reset();
  }
}

ElementRef AtspiFocus::focusedElement() {
  ElementRef candidate = tracked_;  // a call below may deliver focus events meanwhile
  if (auto* a = objectOf(candidate); a && !gone(a) && hasState(a, ATSPI_STATE_FOCUSED))
    return candidate;
  ElementRef found = searchActiveWindows();
  if (found) tracked_ = found;
  return found;
}

// The fallback when no focus event named the element: the focused element of an active window.
ElementRef AtspiFocus::searchActiveWindows() {
  GPtr<AtspiAccessible> desktop(atspi_get_desktop(0), g_object_unref);
  if (!desktop) return nullptr;
  auto self = static_cast<std::int32_t>(getpid());
  AtspiAccessible* found = nullptr;
  forEachChild(desktop.get(), [&](AtspiAccessible* app) {
    if (objects_.pidOf(app) == self) return true;
    forEachChild(app, [&](AtspiAccessible* window) {
      if (hasState(window, ATSPI_STATE_ACTIVE)) found = focusedWithin(window);
      return found == nullptr;
    });
    return found == nullptr;
  });
  return objects_.adopt(found);
}

bool AtspiFocus::focusedHasRole(AtspiRole role) {
  auto* a = objectOf(focusedElement());
  return a && roleOf(a) == role;
}

bool AtspiFocus::passwordFieldFocused() {
  return focusedHasRole(ATSPI_ROLE_PASSWORD_TEXT);
}

bool AtspiFocus::terminalFocused() {
  return focusedHasRole(ATSPI_ROLE_TERMINAL);
}

}  // namespace linuxport
