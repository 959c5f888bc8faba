#include "platform/linux/AtspiAccessibility.h"

#include <unistd.h>

#include "platform/AXNames.h"
#include "platform/linux/AtspiCalls.h"
#include "platform/linux/AtspiRoles.h"
#include "platform/linux/AtspiSnapshot.h"
#include "platform/linux/AtspiTextAccess.h"
#include "platform/linux/AtspiTrust.h"

namespace linuxport {

using namespace AtspiCalls;
using namespace AtspiTextAccess;
using platform::AXValue;
using platform::ElementRef;
using platform::TextRange;

namespace {

Clock& realClock() {
  static GLibClock clock;
  return clock;
}

}  // namespace

AtspiAccessibility::AtspiAccessibility(Clock* clock)
    : systemWide_(std::make_shared<AtspiElement>(AtspiElement::Kind::systemWide, 0)),
      focus_(objects_, clock ? *clock : realClock(), kCallTimeoutMs) {
  if (!AtspiTrust::busAnswers()) return;
  atspi_set_timeout(kCallTimeoutMs, kCallTimeoutMs);
  atspi_init();
  available_ = atspi_get_a11y_bus() != nullptr;
  if (available_) focus_.listen();
}

AtspiAccessibility::~AtspiAccessibility() = default;

ElementRef AtspiAccessibility::application(std::int32_t pid) {
  return objects_.application(pid);
}

ElementRef AtspiAccessibility::focusedElement() {
  if (!available_) return nullptr;
  return focus_.focusedElement();
}

bool AtspiAccessibility::isPasswordFieldFocused() {
  return available_ && focus_.passwordFieldFocused();
}

bool AtspiAccessibility::isTerminalFocused() {
  return available_ && focus_.terminalFocused();
}

std::optional<std::int32_t> AtspiAccessibility::trackedProcessId() const {
  return focus_.trackedPid();
}

void AtspiAccessibility::setFrontmostPid(std::function<std::optional<std::int32_t>()> pid) {
  focus_.setFrontmostPid(std::move(pid));
}

std::optional<std::int32_t> AtspiAccessibility::processId(const ElementRef& element) {
  auto* e = asAtspi(element);
  if (!e) return std::nullopt;
  if (e->kind() == AtspiElement::Kind::application) return e->pid();
  if (e->kind() == AtspiElement::Kind::systemWide || !available_) return std::nullopt;
  return objects_.pidOf(e->accessible());
}

std::optional<AXValue> AtspiAccessibility::copyAttribute(const ElementRef& element,
                                                         std::string_view name) {
  auto* e = asAtspi(element);
  if (!e) return std::nullopt;
  switch (e->kind()) {
    case AtspiElement::Kind::systemWide: {
      if (name != platform::AXAttribute::kFocusedUIElement) return std::nullopt;
      if (auto focused = focus_.focusedElement()) return AXValue(focused);
      return std::nullopt;
    }
    case AtspiElement::Kind::application: {
      if (name == platform::AXAttribute::kFocusedUIElement) {
        if (!available_) return std::nullopt;
        if (auto focused = focus_.focusedElementOf(e->pid())) return AXValue(focused);
        return std::nullopt;
      }
      if (wake_.isSet(e->pid(), name)) return AXValue(true);
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
  if (name == platform::AXAttribute::kRole) return wrap(mappedRole(a));
  if (name == platform::AXAttribute::kFrame) return wrap(frameOf(a));
  if (name == platform::AXAttribute::kParent) return parentOf(a);
  if (name == platform::AXAttribute::kChildren) return childrenOf(a);
  if (name == platform::AXAttribute::kPlaceholderValue) return wrap(placeholderOf(a));
  if (name == platform::AXAttribute::kFocused) {
    auto states = statesOf(a);
    if (!states) return std::nullopt;
    return AXValue(bool(atspi_state_set_contains(states->get(), ATSPI_STATE_FOCUSED)));
  }
  if (name == platform::AXAttribute::kTitle) {
    GError* error = nullptr;
    auto title = takeString(atspi_accessible_get_name(a, &error), error);
    if (!title || title->empty()) return std::nullopt;
    return AXValue(*title);
  }
  if (name == platform::AXAttribute::kSubrole) {
    if (roleOf(a) == ATSPI_ROLE_PASSWORD_TEXT)
      return AXValue(std::string(platform::AXRoleName::kSecureTextField));
    return std::nullopt;
  }
  if (name != platform::AXAttribute::kValue && name != platform::AXAttribute::kSelectedText &&
      name != platform::AXAttribute::kSelectedTextRange)
    return std::nullopt;
  auto role = roleOf(a);
  auto t = textOf(a);
  if (!role || AtspiRoles::hidesText(*role) || !t) return std::nullopt;
  if (name == platform::AXAttribute::kValue) return wrap(valueText(t.get()));
  if (name == platform::AXAttribute::kSelectedTextRange) return wrap(selectedRange(t.get()));
  return wrap(selectedText(t.get()));
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
  return AXValue(objects_.adopt(parent));
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
    if (auto ref = objects_.adopt(child)) children.push_back(std::move(ref));
  }
  return AXValue(std::move(children));
}

std::optional<AXValue> AtspiAccessibility::copyParameterizedAttribute(const ElementRef& element,
                                                                      std::string_view name,
                                                                      const AXValue& parameter) {
  auto* a = objectOf(element);
  auto* range = std::get_if<TextRange>(&parameter);
  if (!available_ || !a || !range || name != platform::AXAttribute::kBoundsForRange)
    return std::nullopt;
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
    auto* on = std::get_if<bool>(&value);
    if (!on || !AtspiWake::isWakeAttribute(name)) return false;
    wake_.set(e->pid(), name, *on, available_ && e->pid() != static_cast<std::int32_t>(getpid()));
    return true;
  }
  if (e->kind() != AtspiElement::Kind::object || !available_ || gone(e->accessible())) return false;
  return setObjectAttribute(e->accessible(), name, value) && !gone(e->accessible());
}

bool AtspiAccessibility::setObjectAttribute(AtspiAccessible* a, std::string_view name,
                                            const AXValue& value) {
  if (name == platform::AXAttribute::kSelectedTextRange) {
    auto* range = std::get_if<TextRange>(&value);
    auto role = roleOf(a);
    return range && role && *role != ATSPI_ROLE_PASSWORD_TEXT && selectRange(a, *range);
  }
  auto* text = std::get_if<std::string>(&value);
  if (!text ||
      (name != platform::AXAttribute::kValue && name != platform::AXAttribute::kSelectedText))
    return false;
  if (acceptsText(a) != true) return false;
  return name == platform::AXAttribute::kValue ? writeWholeText(a, *text)
                                               : replaceSelection(a, *text);
}

std::optional<bool> AtspiAccessibility::isAttributeSettable(const ElementRef& element,
                                                            std::string_view name) {
  auto* e = asAtspi(element);
  if (!e) return std::nullopt;
  if (e->kind() == AtspiElement::Kind::application) return AtspiWake::isWakeAttribute(name);
  if (e->kind() == AtspiElement::Kind::systemWide) return false;
  AtspiAccessible* a = e->accessible();
  if (!available_ || gone(a)) return std::nullopt;
  auto settable = settableObjectAttribute(a, name);
  if (gone(a)) return std::nullopt;
  return settable;
}

std::optional<bool> AtspiAccessibility::settableObjectAttribute(AtspiAccessible* a,
                                                                std::string_view name) {
  if (name == platform::AXAttribute::kValue || name == platform::AXAttribute::kSelectedText)
    return acceptsText(a);
  if (name == platform::AXAttribute::kSelectedTextRange) {
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
  return available_ && AtspiTrust::trusted(prompt);
}

void AtspiAccessibility::checkTrust(std::function<void(bool)> answer) {
  AtspiTrust::check(available_, std::move(answer));
}

std::string AtspiAccessibility::wakeDescription(bool) {
  return AtspiTrust::wakeDescription();
}

}  // namespace linuxport
