#include "fake/FakeAccessibility.h"

namespace fake {

namespace {
FakeElement* asFake(const platform::ElementRef& e) {
  return dynamic_cast<FakeElement*>(e.get());
}
}  // namespace

std::shared_ptr<FakeElement> FakeElement::make(std::string label) {
  auto e = std::make_shared<FakeElement>();
  e->label = std::move(label);
  return e;
}

FakeElement& FakeElement::set(const std::string& name, platform::AXValue value) {
  attributes[name] = std::move(value);
  return *this;
}

FakeElement& FakeElement::addChild(const std::shared_ptr<FakeElement>& child) {
  auto& slot = attributes["AXChildren"];
  if (!std::holds_alternative<std::vector<platform::ElementRef>>(slot))
    slot = std::vector<platform::ElementRef>{};
  std::get<std::vector<platform::ElementRef>>(slot).push_back(child);
  child->attributes.erase("AXParent");
  child->parent = weak_from_this();
  return *this;
}

std::optional<std::string> FakeElement::stringValue(const std::string& name) const {
  auto it = attributes.find(name);
  if (it == attributes.end()) return std::nullopt;
  if (auto s = std::get_if<std::string>(&it->second)) return *s;
  return std::nullopt;
}

FakeAccessibility::FakeAccessibility() : systemWideElement(FakeElement::make("system-wide")) {}

platform::ElementRef FakeAccessibility::application(std::int32_t pid) {
  auto& app = applications[pid];
  if (!app) app = FakeElement::make("application " + std::to_string(pid));
  return app;
}

std::optional<platform::AXValue> FakeAccessibility::copyAttribute(
    const platform::ElementRef& element, std::string_view name) {
  ++calls;
  auto* e = asFake(element);
  if (!e || e->failing.count(std::string(name))) return std::nullopt;
  auto it = e->attributes.find(std::string(name));
  if (it != e->attributes.end()) return it->second;
  if (name == "AXParent")
    if (auto parent = e->parent.lock()) return platform::AXValue(platform::ElementRef(parent));
  return std::nullopt;
}

std::optional<platform::AXValue> FakeAccessibility::copyParameterizedAttribute(
    const platform::ElementRef& element, std::string_view name,
    const platform::AXValue& parameter) {
  ++calls;
  auto* e = asFake(element);
  if (!e || e->failing.count(std::string(name))) return std::nullopt;
  auto it = e->parameterized.find(std::string(name));
  if (it == e->parameterized.end()) return std::nullopt;
  return it->second(parameter);
}

bool FakeAccessibility::setAttribute(const platform::ElementRef& element, std::string_view name,
                                     const platform::AXValue& value) {
  ++calls;
  auto* e = asFake(element);
  std::string key(name);
  if (!e || e->failing.count(key) || !e->settable.count(key) || e->refusing.count(key))
    return false;
  e->writes.emplace_back(key, value);
  if (e->onWrite) {
    e->onWrite(*e, key, value);
  } else {
    e->attributes[key] = value;
  }
  return true;
}

std::optional<bool> FakeAccessibility::isAttributeSettable(const platform::ElementRef& element,
                                                           std::string_view name) {
  ++calls;
  auto* e = asFake(element);
  if (!e || e->failing.count(std::string(name))) return std::nullopt;
  return e->settable.count(std::string(name)) > 0;
}

bool FakeAccessibility::isProcessTrusted(bool prompt) {
  if (prompt) ++trustPrompts;
  return trusted;
}

void FakeAccessibility::focus(const std::shared_ptr<FakeElement>& element) {
  if (element) {
    systemWideElement->attributes["AXFocusedUIElement"] = platform::ElementRef(element);
  } else {
    systemWideElement->attributes.erase("AXFocusedUIElement");
  }
}

}  // namespace fake
