#include "platform/linux/AtspiAccessibility.h"

#include <gio/gio.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/linux/AtspiBrowserWake.h"
#include "platform/linux/AtspiRoles.h"
#include "platform/linux/AtspiSnapshot.h"
#include "platform/linux/TextOffsets.h"

namespace linuxport {

namespace {

using platform::AXValue;
using platform::ElementRef;
using platform::Rect;
using platform::TextRange;

template <typename T>
using GPtr = std::unique_ptr<T, void (*)(gpointer)>;

// Frees error and reports whether there was one.
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

// libatspi answers a call over an application's dropped direct connection with default values
// and no error: a call counts only when the connection is still up after it.
bool gone(AtspiAccessible* a) {
  AtspiApplication* app = a->parent.app;
  return !app || !app->bus || !dbus_connection_get_is_connected(app->bus);
}

AtspiElement* asAtspi(const ElementRef& e) {
  return dynamic_cast<AtspiElement*>(e.get());
}

AtspiAccessible* objectOf(const ElementRef& e) {
  auto* element = asAtspi(e);
  return element && element->kind() == AtspiElement::Kind::object ? element->accessible() : nullptr;
}

GPtr<AtspiText> textOf(AtspiAccessible* a) {
  return {atspi_accessible_get_text_iface(a), g_object_unref};
}

// The state set, absent when the object is gone or its application does not answer.
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
  return AtspiRoles::mapped(*role, states, [a] { return objectAttributeValue(a, "xml-roles"); });
}

bool hidesText(AtspiRole role) {
  return AtspiRoles::hidesText(role);
}

std::optional<std::string> wholeText(AtspiText* t) {
  GError* error = nullptr;
  auto text = takeString(atspi_text_get_text(t, 0, -1, &error), error);
  if (!text || !text->empty()) return text;
  // Some toolkits answer "" to (0, -1): ask with the character count.
  gint count = atspi_text_get_character_count(t, &error);
  if (failed(error)) return std::nullopt;
  if (count <= 0) return text;
  return takeString(atspi_text_get_text(t, 0, count, &error), error);
}

std::optional<std::string> textBetween(AtspiText* t, gint start, gint end) {
  if (end <= start) return std::string();
  GError* error = nullptr;
  return takeString(atspi_text_get_text(t, start, end, &error), error);
}

struct Span {
  gint start = 0, end = 0;  // code points
};

// Selection 0, or the caret as an empty span.
std::optional<Span> selectionOrCaret(AtspiText* t) {
  GError* error = nullptr;
  gint n = atspi_text_get_n_selections(t, &error);
  if (failed(error)) return std::nullopt;
  if (n > 0) {
    AtspiRange* range = atspi_text_get_selection(t, 0, &error);
    if (failed(error) || !range) {
      g_free(range);
      return std::nullopt;
    }
    Span span{std::min(range->start_offset, range->end_offset),
              std::max(range->start_offset, range->end_offset)};
    g_free(range);
    if (span.end > span.start) return span;
  }
  gint caret = atspi_text_get_caret_offset(t, &error);
  if (failed(error)) return std::nullopt;
  caret = std::max(caret, 0);
  return Span{caret, caret};
}

std::optional<TextRange> selectedRange(AtspiText* t) {
  auto span = selectionOrCaret(t);
  if (!span) return std::nullopt;
  auto prefix = textBetween(t, 0, span->end);
  if (!prefix) return std::nullopt;
  long location = TextOffsets::utf16FromCodePoints(*prefix, span->start);
  long end = TextOffsets::utf16FromCodePoints(*prefix, span->end);
  return TextRange{location, end - location};
}

// The UTF-16 range as code points of the element's text; never splits a character.
std::optional<Span> codePointSpan(AtspiText* t, const TextRange& range) {
  if (range.location < 0 || range.length < 0) return std::nullopt;
  auto text = wholeText(t);
  if (!text) return std::nullopt;
  auto start = static_cast<gint>(TextOffsets::codePointsFromUtf16(*text, range.location));
  auto end = static_cast<gint>(
      TextOffsets::codePointsFromUtf16(*text, range.location + range.length, true));
  return Span{start, std::max(start, end)};
}

std::optional<Rect> toRect(AtspiRect* r, GError*& error) {
  if (failed(error) || !r) {
    g_free(r);
    return std::nullopt;
  }
  Rect rect{double(r->x), double(r->y), double(r->width), double(r->height)};
  g_free(r);
  return rect;
}

std::optional<Rect> frameOf(AtspiAccessible* a) {
  GPtr<AtspiComponent> component(atspi_accessible_get_component_iface(a), g_object_unref);
  if (!component) return std::nullopt;
  GError* error = nullptr;
  return toRect(atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, &error),
                error);
}

std::optional<Rect> characterBox(AtspiText* t, gint offset) {
  GError* error = nullptr;
  return toRect(atspi_text_get_character_extents(t, offset, ATSPI_COORD_TYPE_SCREEN, &error),
                error);
}

// A zero-width caret box before the character at offset, or after the last one.
std::optional<Rect> caretBox(AtspiText* t, gint offset) {
  GError* error = nullptr;
  gint count = atspi_text_get_character_count(t, &error);
  if (failed(error)) return std::nullopt;
  if (offset < count) {
    auto box = characterBox(t, offset);
    if (box) box->width = 0;
    return box;
  }
  if (count == 0) return std::nullopt;
  auto box = characterBox(t, count - 1);
  if (box) box->x += box->width, box->width = 0;
  return box;
}

std::optional<Rect> boundsForRange(AtspiAccessible* a, const TextRange& range) {
  auto t = textOf(a);
  if (!t) return std::nullopt;
  auto span = codePointSpan(t.get(), range);
  if (!span) return std::nullopt;
  if (span->end == span->start) return caretBox(t.get(), span->start);
  GError* error = nullptr;
  return toRect(atspi_text_get_range_extents(t.get(), span->start, span->end,
                                             ATSPI_COORD_TYPE_SCREEN, &error),
                error);
}

std::optional<std::string> placeholderOf(AtspiAccessible* a) {
  GError* error = nullptr;
  GHashTable* attributes = atspi_accessible_get_attributes(a, &error);
  if (failed(error) || !attributes) return std::nullopt;
  std::optional<std::string> result;
  if (auto* p = static_cast<const char*>(g_hash_table_lookup(attributes, "placeholder-text"))) {
    result = p;
  } else if (auto* from = static_cast<const char*>(g_hash_table_lookup(attributes, "name-from"));
             from && std::strcmp(from, "placeholder") == 0) {
    result = takeString(atspi_accessible_get_name(a, &error), error);  // Chromium's way
  }
  g_hash_table_unref(attributes);
  return result;
}

// Whether the element takes text through the editable-text interface.
std::optional<bool> acceptsText(AtspiAccessible* a) {
  auto states = statesOf(a);
  if (!states) return std::nullopt;
  if (!atspi_state_set_contains(states->get(), ATSPI_STATE_EDITABLE)) return false;
  auto role = roleOf(a);
  if (!role) return std::nullopt;
  if (hidesText(*role)) return false;
  GPtr<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(a), g_object_unref);
  return editable != nullptr;
}

// A single-line field would keep newlines it cannot show: they become blanks.
std::string fitForField(AtspiAccessible* a, std::string text) {
  if (hasState(a, ATSPI_STATE_MULTI_LINE)) return text;
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += (text[i] == '\n' || text[i] == '\r') ? ' ' : text[i];
  }
  return out;
}

bool writeWholeText(AtspiAccessible* a, const std::string& value) {
  GPtr<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(a), g_object_unref);
  if (!editable) return false;
  std::string text = fitForField(a, value);
  GError* error = nullptr;
  gboolean ok = atspi_editable_text_set_text_contents(editable.get(), text.c_str(), &error);
  if (failed(error) || !ok) return false;
  if (auto t = textOf(a)) {  // the caret after the new text, as after typing it
    atspi_text_set_caret_offset(t.get(), static_cast<gint>(g_utf8_strlen(text.c_str(), -1)),
                                &error);
    failed(error);
  }
  return true;
}

bool replaceSelection(AtspiAccessible* a, const std::string& value) {
  GPtr<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(a), g_object_unref);
  auto t = textOf(a);
  if (!editable || !t) return false;
  auto span = selectionOrCaret(t.get());
  if (!span) return false;
  std::string text = fitForField(a, value);
  GError* error = nullptr;
  if (span->end > span->start) {
    gboolean deleted =
        atspi_editable_text_delete_text(editable.get(), span->start, span->end, &error);
    if (failed(error) || !deleted) return false;
  }
  // The length is in bytes, although every offset counts characters.
  gboolean inserted = atspi_editable_text_insert_text(editable.get(), span->start, text.c_str(),
                                                      static_cast<gint>(text.size()), &error);
  if (failed(error) || !inserted) return false;
  atspi_text_set_caret_offset(
      t.get(), span->start + static_cast<gint>(g_utf8_strlen(text.c_str(), -1)), &error);
  failed(error);
  return true;
}

bool selectRange(AtspiAccessible* a, const TextRange& range) {
  auto t = textOf(a);
  if (!t) return false;
  auto span = codePointSpan(t.get(), range);
  if (!span) return false;
  GError* error = nullptr;
  if (span->end == span->start) {
    gboolean ok = atspi_text_set_caret_offset(t.get(), span->start, &error);
    return !failed(error) && ok;
  }
  gint n = atspi_text_get_n_selections(t.get(), &error);
  if (failed(error)) n = 0;
  // Setting selection 0 fails while there is none (GTK); adding is refused by some browsers.
  for (bool replace : {n > 0, n <= 0}) {
    gboolean ok = replace ? atspi_text_set_selection(t.get(), 0, span->start, span->end, &error)
                          : atspi_text_add_selection(t.get(), span->start, span->end, &error);
    if (!failed(error) && ok) return true;
  }
  return false;
}

// Without a session bus address GDBus would start a bus of its own that outlives Mirelo.
bool sessionBusReachable() {
  if (const char* addr = std::getenv("DBUS_SESSION_BUS_ADDRESS"); addr && *addr) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code ec;
  return runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", ec);
}

GVariant* callBus(GDBusConnection* bus, const char* interface, const char* method,
                  GVariant* parameters) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(bus, "org.a11y.Bus", "/org/a11y/bus", interface,
                                                method, parameters, nullptr, G_DBUS_CALL_FLAGS_NONE,
                                                AtspiAccessibility::kBusTimeoutMs, nullptr, &error);
  failed(error);
  return reply;
}

// Whether the accessibility bus launcher answers with an address.
bool busAnswers(GDBusConnection* bus) {
  GVariant* reply = callBus(bus, "org.a11y.Bus", "GetAddress", nullptr);
  if (!reply) return false;
  const gchar* address = nullptr;
  g_variant_get(reply, "(&s)", &address);
  bool ok = address && *address;
  g_variant_unref(reply);
  return ok;
}

// org.a11y.Status.IsEnabled: browsers, Qt and Electron expose a tree only when it was on
// as they started.
bool accessibilityEnabled(GDBusConnection* bus) {
  GVariant* reply = callBus(bus, "org.freedesktop.DBus.Properties", "Get",
                            g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"));
  if (!reply) return false;
  GVariant* inner = nullptr;
  g_variant_get(reply, "(v)", &inner);
  bool enabled =
      inner && g_variant_is_of_type(inner, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(inner);
  if (inner) g_variant_unref(inner);
  g_variant_unref(reply);
  return enabled;
}

// Turns the desktop's accessibility on (the launcher stores it in the user's settings).
void enableAccessibility(GDBusConnection* bus) {
  if (accessibilityEnabled(bus)) return;
  GVariant* reply =
      callBus(bus, "org.freedesktop.DBus.Properties", "Set",
              g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(TRUE)));
  if (reply) g_variant_unref(reply);
}

GDBusConnection* sessionBus() {
  if (!sessionBusReachable()) return nullptr;
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  failed(error);
  return bus;
}

}  // namespace

std::string AtspiAccessibility::wakeDescription(bool) {
  GDBusConnection* bus = sessionBus();
  bool enabled = bus && accessibilityEnabled(bus);
  if (bus) g_object_unref(bus);
  return std::string("기록만 (AT-SPI 는 늘 켜져 있음, org.a11y.Status.IsEnabled: ") +
         (enabled ? "예" : "아니오 — 브라우저는 켜진 뒤 시작해야 보입니다") + ")";
}

AtspiAccessibility::AtspiAccessibility()
    : systemWide_(std::make_shared<AtspiElement>(AtspiElement::Kind::systemWide, 0)) {
  GDBusConnection* bus = sessionBus();
  bool reachable = bus && busAnswers(bus);
  if (bus) g_object_unref(bus);
  if (!reachable) return;
  atspi_set_timeout(kCallTimeoutMs, kCallTimeoutMs);
  atspi_init();
  available_ = atspi_get_a11y_bus() != nullptr;
  if (!available_) return;
  listener_ = atspi_event_listener_new(&AtspiAccessibility::onFocusEvent, this, nullptr);
  GError* error = nullptr;
  atspi_event_listener_register(listener_, "object:state-changed:focused", &error);
  failed(error);
}

AtspiAccessibility::~AtspiAccessibility() {
  if (!listener_) return;
  GError* error = nullptr;
  atspi_event_listener_deregister(listener_, "object:state-changed:focused", &error);
  failed(error);
  g_object_unref(listener_);
}

void AtspiAccessibility::onFocusEvent(AtspiEvent* event, void* self) {
  static_cast<AtspiAccessibility*>(self)->focusChanged(event->source, event->detail1 == 1);
  g_boxed_free(ATSPI_TYPE_EVENT, event);
}

// Another application's "gained" may come before the old one's "lost": only the tracked
// element's own lost event clears it.
void AtspiAccessibility::focusChanged(AtspiAccessible* source, bool gained) {
  if (!source) return;
  if (gained) {
    // Our own windows never count: a call into ourselves would wait for our own answer.
    if (pidOf(source) == static_cast<std::int32_t>(getpid())) return;
    tracked_ = adopt(static_cast<AtspiAccessible*>(g_object_ref(source)));
  } else if (objectOf(tracked_) == source) {
    tracked_.reset();
  }
}

ElementRef AtspiAccessibility::adopt(AtspiAccessible* accessible) {
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

std::optional<std::int32_t> AtspiAccessibility::pidOf(AtspiAccessible* accessible) {
  AtspiApplication* app = accessible->parent.app;
  if (!app || !app->bus_name) return std::nullopt;
  if (auto it = pidsByBusName_.find(app->bus_name); it != pidsByBusName_.end()) return it->second;
  GError* error = nullptr;
  guint pid = atspi_accessible_get_process_id(accessible, &error);
  if (failed(error) || pid == 0 || pid == G_MAXUINT) return std::nullopt;
  pidsByBusName_[app->bus_name] = static_cast<std::int32_t>(pid);
  return static_cast<std::int32_t>(pid);
}

ElementRef AtspiAccessibility::application(std::int32_t pid) {
  auto& slot = applications_[pid];
  if (auto existing = slot.lock()) return existing;
  auto element = std::make_shared<AtspiElement>(AtspiElement::Kind::application, pid);
  slot = element;
  return element;
}

ElementRef AtspiAccessibility::focusedElement() {
  if (!available_) return nullptr;
  ElementRef candidate = tracked_;  // a call below may deliver focus events meanwhile
  if (auto* a = objectOf(candidate); a && !gone(a) && hasState(a, ATSPI_STATE_FOCUSED))
    return candidate;
  ElementRef found = searchActiveWindows();
  if (found) tracked_ = found;
  return found;
}

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

bool isDesktop(AtspiAccessible* a) {
  GPtr<AtspiAccessible> desktop(atspi_get_desktop(0), g_object_unref);
  if (!desktop || a == desktop.get()) return true;
  const AtspiObject& o = a->parent;
  const AtspiObject& d = desktop->parent;
  return o.app && d.app && o.app->bus_name && d.app->bus_name && o.path && d.path &&
         std::strcmp(o.app->bus_name, d.app->bus_name) == 0 && std::strcmp(o.path, d.path) == 0;
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

// The fallback when no focus event named the element: the focused element of an active window.
ElementRef AtspiAccessibility::searchActiveWindows() {
  GPtr<AtspiAccessible> desktop(atspi_get_desktop(0), g_object_unref);
  if (!desktop) return nullptr;
  auto self = static_cast<std::int32_t>(getpid());
  AtspiAccessible* found = nullptr;
  forEachChild(desktop.get(), [&](AtspiAccessible* app) {
    if (pidOf(app) == self) return true;
    forEachChild(app, [&](AtspiAccessible* window) {
      if (hasState(window, ATSPI_STATE_ACTIVE)) found = focusedWithin(window);
      return found == nullptr;
    });
    return found == nullptr;
  });
  return adopt(found);
}

bool AtspiAccessibility::focusedHasRole(AtspiRole role) {
  auto* a = objectOf(focusedElement());
  return a && roleOf(a) == role;
}

bool AtspiAccessibility::isPasswordFieldFocused() {
  return focusedHasRole(ATSPI_ROLE_PASSWORD_TEXT);
}

bool AtspiAccessibility::isTerminalFocused() {
  return focusedHasRole(ATSPI_ROLE_TERMINAL);
}

std::optional<std::int32_t> AtspiAccessibility::processId(const ElementRef& element) {
  auto* e = asAtspi(element);
  if (!e) return std::nullopt;
  if (e->kind() == AtspiElement::Kind::application) return e->pid();
  if (e->kind() == AtspiElement::Kind::systemWide || !available_) return std::nullopt;
  return pidOf(e->accessible());
}

std::optional<AXValue> AtspiAccessibility::copyAttribute(const ElementRef& element,
                                                         std::string_view name) {
  auto* e = asAtspi(element);
  if (!e) return std::nullopt;
  switch (e->kind()) {
    case AtspiElement::Kind::systemWide: {
      if (name != "AXFocusedUIElement") return std::nullopt;
      if (auto focused = focusedElement()) return AXValue(focused);
      return std::nullopt;
    }
    case AtspiElement::Kind::application: {
      if (name == "AXFocusedUIElement") {
        auto focused = focusedElement();
        if (focused && processId(focused) == e->pid()) return AXValue(focused);
        return std::nullopt;
      }
      auto it = woken_.find(e->pid());
      if (it != woken_.end() && it->second.count(name)) return AXValue(true);
      return std::nullopt;
    }
    case AtspiElement::Kind::object: {
      if (!available_ || gone(e->accessible())) return std::nullopt;
      auto value = objectAttribute(e->accessible(), name);
      if (gone(e->accessible())) return std::nullopt;
      return value;
    }
  }
  return std::nullopt;
}

std::optional<AXValue> AtspiAccessibility::objectAttribute(AtspiAccessible* a,
                                                           std::string_view name) {
  auto wrap = [](auto v) -> std::optional<AXValue> {
    if (!v) return std::nullopt;
    return AXValue(*v);
  };
  if (name == "AXRole") return wrap(mappedRole(a));
  if (name == "AXFrame") return wrap(frameOf(a));
  if (name == "AXParent") return parentOf(a);
  if (name == "AXChildren") return childrenOf(a);
  if (name == "AXPlaceholderValue") return wrap(placeholderOf(a));
  if (name == "AXFocused") {
    auto states = statesOf(a);
    if (!states) return std::nullopt;
    return AXValue(bool(atspi_state_set_contains(states->get(), ATSPI_STATE_FOCUSED)));
  }
  if (name == "AXTitle") {
    GError* error = nullptr;
    auto title = takeString(atspi_accessible_get_name(a, &error), error);
    if (!title || title->empty()) return std::nullopt;
    return AXValue(*title);
  }
  if (name == "AXSubrole") {
    if (roleOf(a) == ATSPI_ROLE_PASSWORD_TEXT) return AXValue(std::string("AXSecureTextField"));
    return std::nullopt;
  }
  if (name != "AXValue" && name != "AXSelectedText" && name != "AXSelectedTextRange")
    return std::nullopt;
  auto role = roleOf(a);
  auto t = textOf(a);
  if (!role || hidesText(*role) || !t) return std::nullopt;
  if (name == "AXValue") return wrap(wholeText(t.get()));
  if (name == "AXSelectedTextRange") return wrap(selectedRange(t.get()));
  auto span = selectionOrCaret(t.get());
  if (!span) return std::nullopt;
  return wrap(textBetween(t.get(), span->start, span->end));
}

std::optional<AXValue> AtspiAccessibility::parentOf(AtspiAccessible* a) {
  GError* error = nullptr;
  AtspiAccessible* parent = atspi_accessible_get_parent(a, &error);
  if (failed(error) || !parent) {
    if (parent) g_object_unref(parent);
    return std::nullopt;
  }
  // The application is the top: the desktop above it is no ancestor of any window's content.
  if (isDesktop(parent)) {
    g_object_unref(parent);
    return std::nullopt;
  }
  return AXValue(adopt(parent));
}

std::optional<AXValue> AtspiAccessibility::childrenOf(AtspiAccessible* a) {
  GError* error = nullptr;
  gint count = atspi_accessible_get_child_count(a, &error);
  if (failed(error)) return std::nullopt;
  std::vector<ElementRef> children;
  children.reserve(std::max(count, 0));
  for (gint i = 0; i < count; ++i) {
    AtspiAccessible* child = atspi_accessible_get_child_at_index(a, i, &error);
    if (failed(error)) {
      if (child) g_object_unref(child);
      continue;
    }
    if (auto ref = adopt(child)) children.push_back(std::move(ref));
  }
  return AXValue(std::move(children));
}

std::optional<AXValue> AtspiAccessibility::copyParameterizedAttribute(const ElementRef& element,
                                                                      std::string_view name,
                                                                      const AXValue& parameter) {
  auto* a = objectOf(element);
  auto* range = std::get_if<TextRange>(&parameter);
  if (!available_ || !a || !range || name != "AXBoundsForRange") return std::nullopt;
  if (auto role = roleOf(a); !role || *role == ATSPI_ROLE_PASSWORD_TEXT) return std::nullopt;
  auto rect = boundsForRange(a, *range);
  if (!rect || gone(a)) return std::nullopt;
  return AXValue(*rect);
}

bool AtspiAccessibility::setAttribute(const ElementRef& element, std::string_view name,
                                      const AXValue& value) {
  auto* e = asAtspi(element);
  if (!e) return false;
  if (e->kind() == AtspiElement::Kind::application) {
    // Toolkits on Linux decide at their own start whether to expose a tree: remembered, and
    // a browser's page tree, built only once read into, is read into once.
    if (name != "AXManualAccessibility" && name != "AXEnhancedUserInterface") return false;
    auto* on = std::get_if<bool>(&value);
    if (!on) return false;
    if (*on) {
      bool first = woken_[e->pid()].insert(std::string(name)).second;
      if (first && available_ && name == "AXEnhancedUserInterface" &&
          e->pid() != static_cast<std::int32_t>(getpid()))
        AtspiBrowserWake::exposeWebContent(e->pid());
    } else if (auto it = woken_.find(e->pid()); it != woken_.end()) {
      it->second.erase(std::string(name));
    }
    return true;
  }
  if (e->kind() != AtspiElement::Kind::object || !available_ || gone(e->accessible())) return false;
  return setObjectAttribute(e->accessible(), name, value) && !gone(e->accessible());
}

bool AtspiAccessibility::setObjectAttribute(AtspiAccessible* a, std::string_view name,
                                            const AXValue& value) {
  if (name == "AXSelectedTextRange") {
    auto* range = std::get_if<TextRange>(&value);
    auto role = roleOf(a);
    return range && role && *role != ATSPI_ROLE_PASSWORD_TEXT && selectRange(a, *range);
  }
  auto* text = std::get_if<std::string>(&value);
  if (!text || (name != "AXValue" && name != "AXSelectedText")) return false;
  if (acceptsText(a) != true) return false;
  return name == "AXValue" ? writeWholeText(a, *text) : replaceSelection(a, *text);
}

std::optional<bool> AtspiAccessibility::isAttributeSettable(const ElementRef& element,
                                                            std::string_view name) {
  auto* e = asAtspi(element);
  if (!e) return std::nullopt;
  if (e->kind() == AtspiElement::Kind::application)
    return name == "AXManualAccessibility" || name == "AXEnhancedUserInterface";
  if (e->kind() == AtspiElement::Kind::systemWide) return false;
  AtspiAccessible* a = e->accessible();
  if (!available_ || gone(a)) return std::nullopt;
  auto settable = settableObjectAttribute(a, name);
  if (gone(a)) return std::nullopt;
  return settable;
}

std::optional<bool> AtspiAccessibility::settableObjectAttribute(AtspiAccessible* a,
                                                                std::string_view name) {
  if (name == "AXValue" || name == "AXSelectedText") return acceptsText(a);
  if (name == "AXSelectedTextRange") {
    auto role = roleOf(a);
    if (!role) return std::nullopt;
    return *role != ATSPI_ROLE_PASSWORD_TEXT && textOf(a) != nullptr;
  }
  return false;
}

std::unique_ptr<platform::AXSnapshot> AtspiAccessibility::snapshot(const ElementRef& element) {
  auto* a = objectOf(element);
  if (!available_ || !a || gone(a)) return nullptr;
  return AtspiSnapshot::take(a, kCallTimeoutMs);
}

bool AtspiAccessibility::isProcessTrusted(bool prompt) {
  GDBusConnection* bus = sessionBus();
  if (!bus) return false;
  if (prompt) enableAccessibility(bus);
  bool answers = busAnswers(bus);
  g_object_unref(bus);
  if (!answers || !available_) return false;
  GPtr<AtspiAccessible> desktop(atspi_get_desktop(0), g_object_unref);
  GError* error = nullptr;
  gint applications = desktop ? atspi_accessible_get_child_count(desktop.get(), &error) : 0;
  return !failed(error) && applications > 0;
}

}  // namespace linuxport
