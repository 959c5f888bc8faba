#include "platform/linux/AtspiFocus.h"

#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/linux/AtspiCalls.h"

namespace linuxport {

using namespace AtspiCalls;
using platform::ElementRef;

namespace {

// At most this many focused elements are asked for, and this many nodes walked where the
// application offers no collection interface (Qt).
constexpr gint kMaxFocusedMatches = 16;
constexpr int kMaxWalkedNodes = 2000;

bool hasText(AtspiAccessible* a) {
  GPtr<AtspiText> text(atspi_accessible_get_text_iface(a), g_object_unref);
  return text != nullptr;
}

// The focused field's own element where a piece of it carries the focus too: Qt's text edit
// shows its viewport focused below it.
AtspiAccessible* fieldOf(AtspiAccessible* focused) {
  if (!focused || hasText(focused)) return focused;
  GError* error = nullptr;
  AtspiAccessible* parent = atspi_accessible_get_parent(focused, &error);
  if (failed(error) || !parent) return focused;
  if (hasState(parent, ATSPI_STATE_FOCUSED) && hasText(parent)) {
    g_object_unref(focused);
    return parent;
  }
  g_object_unref(parent);
  return focused;
}

// The deepest focused element below window by a walk of its tree: containers of the focused
// field (LibreOffice's document pane) may carry the focused state too.
AtspiAccessible* walkForFocused(AtspiAccessible* window) {
  std::vector<AtspiAccessible*> stack{static_cast<AtspiAccessible*>(g_object_ref(window))};
  AtspiAccessible* found = nullptr;
  for (int visited = 0; !stack.empty(); ++visited) {
    AtspiAccessible* node = stack.back();
    stack.pop_back();
    if (visited < kMaxWalkedNodes) {
      if (node != window && hasState(node, ATSPI_STATE_FOCUSED) && (!found || hasText(node))) {
        if (found) g_object_unref(found);
        found = static_cast<AtspiAccessible*>(g_object_ref(node));
      }
      GError* error = nullptr;
      gint count = atspi_accessible_get_child_count(node, &error);
      for (gint i = failed(error) ? 0 : count - 1; i >= 0; --i) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(node, i, &error);
        if (failed(error) || !child) continue;
        stack.push_back(child);
      }
    }
    g_object_unref(node);
  }
  return found;
}

AtspiAccessible* focusedWithin(AtspiAccessible* window) {
  GPtr<AtspiCollection> collection(atspi_accessible_get_collection_iface(window), g_object_unref);
  if (!collection) return fieldOf(walkForFocused(window));
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
  GArray* matches = atspi_collection_get_matches(collection.get(), rule.get(),
                                                 ATSPI_Collection_SORT_ORDER_CANONICAL,
                                                 kMaxFocusedMatches, TRUE, &error);
  if (failed(error) || !matches) return nullptr;
  // In tree order a focused container comes before the focused field inside it: the last.
  AtspiAccessible* result = nullptr;
  for (guint i = 0; i < matches->len; ++i) {
    if (result) g_object_unref(result);
    result = g_array_index(matches, AtspiAccessible*, i);
  }
  g_array_free(matches, TRUE);
  return fieldOf(result);
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

// Whether a holds state as its application tells now: libatspi keeps states it was once told
// and updates them only from the events listened to, and Qt tells no focus gained when its
// window is focused again.
bool hasFreshState(AtspiAccessible* a, AtspiStateType state) {
  atspi_accessible_clear_cache(a);
  return hasState(a, state);
}

const char* busNameOf(AtspiAccessible* a) {
  AtspiApplication* app = a->parent.app;
  return app ? app->bus_name : nullptr;
}

std::int32_t ownPid() {
  return static_cast<std::int32_t>(getpid());
}

}  // namespace

AtspiFocus::AtspiFocus(AtspiObjects& objects, Clock& clock, int callTimeoutMs)
    : objects_(objects), clock_(clock), callTimeoutMs_(callTimeoutMs) {}

void AtspiFocus::listen() {
  listener_ = atspi_event_listener_new(&AtspiFocus::onFocusEvent, this, nullptr);
  GError* error = nullptr;
  atspi_event_listener_register(listener_, "object:state-changed:focused", &error);
  failed(error);
}

AtspiFocus::~AtspiFocus() {
  forgetRole();
  if (!listener_) return;
  GError* error = nullptr;
  atspi_event_listener_deregister(listener_, "object:state-changed:focused", &error);
  failed(error);
  g_object_unref(listener_);
}

void AtspiFocus::setFrontmostPid(std::function<std::optional<std::int32_t>()> frontmostPid) {
  frontmostPid_ = std::move(frontmostPid);
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
    if (objects_.pidOf(source) == ownPid()) return;
    auto element = objects_.adopt(static_cast<AtspiAccessible*>(g_object_ref(source)));
    if (element == tracked_) return;
    tracked_ = std::move(element);
    askRole(source);
  } else if (objectOf(tracked_) == source) {
    tracked_.reset();
    forgetRole();
  }
}

// The role of the newly focused element, asked without waiting: the answer arrives through the
// main loop, and until then the element counts as neither a password field nor a terminal.
void AtspiFocus::askRole(AtspiAccessible* source) {
  forgetRole();
  AtspiApplication* app = source->parent.app;
  if (!app || !app->bus || !app->bus_name || !source->parent.path) return;
  DBusMessage* call = dbus_message_new_method_call(app->bus_name, source->parent.path,
                                                   "org.a11y.atspi.Accessible", "GetRole");
  if (!call) return;
  if (!dbus_connection_send_with_reply(app->bus, call, &roleCall_, callTimeoutMs_) || !roleCall_ ||
      !dbus_pending_call_set_notify(roleCall_, &AtspiFocus::onRole, this, nullptr))
    forgetRole();
  dbus_message_unref(call);
}

void AtspiFocus::onRole(DBusPendingCall* pending, void* self) {
  auto* focus = static_cast<AtspiFocus*>(self);
  if (pending != focus->roleCall_) return;
  DBusMessage* reply = dbus_pending_call_steal_reply(pending);
  focus->forgetRole();
  if (!reply) return;
  dbus_uint32_t role = 0;
  if (std::strcmp(dbus_message_get_signature(reply), "u") == 0 &&
      dbus_message_get_args(reply, nullptr, DBUS_TYPE_UINT32, &role, DBUS_TYPE_INVALID))
    focus->trackedRole_ = static_cast<AtspiRole>(role);
  dbus_message_unref(reply);
}

void AtspiFocus::forgetRole() {
  trackedRole_.reset();
  if (!roleCall_) return;
  dbus_pending_call_cancel(roleCall_);
  dbus_pending_call_unref(roleCall_);
  roleCall_ = nullptr;
}

bool AtspiFocus::passwordFieldFocused() const {
  return tracked_ && trackedRole_ == ATSPI_ROLE_PASSWORD_TEXT;
}

bool AtspiFocus::terminalFocused() const {
  return tracked_ && trackedRole_ == ATSPI_ROLE_TERMINAL;
}

std::optional<std::int32_t> AtspiFocus::trackedPid() const {
  auto* a = objectOf(tracked_);
  if (!a) return std::nullopt;
  return objects_.knownPidOf(a);
}

bool AtspiFocus::skipped(AtspiAccessible* a) const {
  const char* bus = busNameOf(a);
  auto it = bus ? skipUntil_.find(bus) : skipUntil_.end();
  return it != skipUntil_.end() && clock_.now() < it->second;
}

// Runs call into a's application; a call as long as half the bound is taken for a time-out.
template <typename F>
auto AtspiFocus::timed(AtspiAccessible* a, F call) {
  double start = clock_.now();
  auto result = call();
  double end = clock_.now();
  if (const char* bus = busNameOf(a); bus && end - start >= callTimeoutMs_ / 2000.0)
    skipUntil_[bus] = end + kSkipSeconds;
  return result;
}

ElementRef AtspiFocus::focusedElement() {
  std::optional<std::int32_t> front = frontmostPid_ ? frontmostPid_() : std::nullopt;
  ElementRef candidate = tracked_;  // a call below may deliver focus events meanwhile
  auto* a = objectOf(candidate);
  bool inFront = a && (!front || objects_.pidOf(a) == front);
  ElementRef found;
  if (inFront && !gone(a) && !skipped(a) &&
      timed(a, [a] { return hasFreshState(a, ATSPI_STATE_FOCUSED); })) {
    auto* field = timed(a, [a] { return fieldOf(static_cast<AtspiAccessible*>(g_object_ref(a))); });
    if (field == a) {
      g_object_unref(field);
      return candidate;
    }
    found = objects_.adopt(field);
  } else {
    found = search(front);
  }
  if (found && found != tracked_) {  // found by a trigger: its role is asked right away
    forgetRole();
    tracked_ = found;
    trackedRole_ = roleOf(objectOf(found));
  }
  return found;
}

ElementRef AtspiFocus::focusedElementOf(std::int32_t pid) {
  auto* a = objectOf(tracked_);
  if (a && objects_.pidOf(a) == pid && !gone(a) && !skipped(a) &&
      timed(a, [a] { return hasFreshState(a, ATSPI_STATE_FOCUSED); }))
    return tracked_;
  return search(pid);
}

// The fallback when no focus event named the element: the focused element of an active window
// (of pid's application when given).
ElementRef AtspiFocus::search(std::optional<std::int32_t> pid) {
  GPtr<AtspiAccessible> desktop(atspi_get_desktop(0), g_object_unref);
  if (!desktop) return nullptr;
  AtspiAccessible* found = nullptr;
  forEachChild(desktop.get(), [&](AtspiAccessible* app) {
    auto appPid = objects_.pidOf(app);
    if (appPid == ownPid() || (pid && appPid != pid) || skipped(app)) return true;
    timed(app, [&] {
      forEachChild(app, [&](AtspiAccessible* window) {
        if (hasFreshState(window, ATSPI_STATE_ACTIVE)) found = focusedWithin(window);
        return found == nullptr;
      });
      return 0;
    });
    return found == nullptr;
  });
  return objects_.adopt(found);
}

}  // namespace linuxport
