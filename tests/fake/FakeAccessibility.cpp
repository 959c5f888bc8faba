#include "fake/FakeAccessibility.h"

#include <algorithm>

#include "platform/AXNames.h"
#include "platform/AXSnapshot.h"

namespace fake {

namespace {
FakeElement* asFake(const platform::ElementRef& e) {
  return dynamic_cast<FakeElement*>(e.get());
}

// An attribute as copyAttribute gives it, without counting a call.
std::optional<platform::AXValue> attributeOf(FakeElement& e, std::string_view name) {
  if (e.failing.count(std::string(name))) return std::nullopt;
  auto it = e.attributes.find(std::string(name));
  if (it != e.attributes.end()) return it->second;
  if (name == platform::AXAttribute::kParent)
    if (auto parent = e.parent.lock()) return platform::AXValue(platform::ElementRef(parent));
  return std::nullopt;
}

template <typename T>
std::optional<T> typed(FakeElement& e, std::string_view name) {
  auto value = attributeOf(e, name);
  if (!value || !std::holds_alternative<T>(*value)) return std::nullopt;
  return std::get<T>(*value);
}

class FakeSnapshot : public platform::AXSnapshot {
 public:
  FakeSnapshot(FakeAccessibility& ax, const std::shared_ptr<FakeElement>& top,
               const FakeElement* element)
      : ax_(ax) {
    add(top, -1, element);
  }

  std::optional<Values> read(const std::vector<int>& nodes, std::string_view name) override {
    ++ax_.snapshotReads;
    if (ax_.snapshotReadsFail) return std::nullopt;
    Values values;
    for (int n : nodes)
      values.push_back(attributeOf(*elements_.at(n), name));
    return values;
  }

 private:
  int add(const std::shared_ptr<FakeElement>& e, int parent, const FakeElement* element) {
    int index = static_cast<int>(nodes_.size());
    nodes_.push_back(
        {typed<std::string>(*e, platform::AXAttribute::kRole), parent, {}, e->bulkChildren});
    elements_.push_back(e);
    if (e.get() == element) element_ = index;
    auto children = typed<std::vector<platform::ElementRef>>(*e, platform::AXAttribute::kChildren);
    if (!children || !e->bulkChildren) return index;
    for (const auto& child : *children) {
      auto fake = std::dynamic_pointer_cast<FakeElement>(child);
      if (!fake) continue;
      int c = add(fake, index, element);
      nodes_[index].children.push_back(c);
    }
    return index;
  }

  FakeAccessibility& ax_;
  std::vector<std::shared_ptr<FakeElement>> elements_;
};

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
  auto& slot = attributes[platform::AXAttribute::kChildren];
  if (!std::holds_alternative<std::vector<platform::ElementRef>>(slot))
    slot = std::vector<platform::ElementRef>{};
  std::get<std::vector<platform::ElementRef>>(slot).push_back(child);
  child->attributes.erase(platform::AXAttribute::kParent);
  child->parent = weak_from_this();
  return *this;
}

FakeAccessibility::FakeAccessibility(Clock* clock)
    : systemWideElement(FakeElement::make("system-wide")), clock_(clock) {}

platform::ElementRef FakeAccessibility::application(std::int32_t pid) {
  auto& app = applications[pid];
  if (!app) app = FakeElement::make("application " + std::to_string(pid));
  return app;
}

std::optional<platform::AXValue> FakeAccessibility::copyAttribute(
    const platform::ElementRef& element, std::string_view name) {
  ++calls;
  auto* e = asFake(element);
  return e ? attributeOf(*e, name) : std::nullopt;
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
  if (!e || e->failing.count(key) || !e->settable.count(key)) return false;
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

void FakeAccessibility::checkTrust(std::function<void(bool)> answer) {
  ++trustChecks;
  clock_->schedule(trustDelay, [this, answer = std::move(answer)] { answer(trusted); });
}

std::unique_ptr<platform::AXSnapshot> FakeAccessibility::snapshot(
    const platform::ElementRef& element) {
  auto top = std::dynamic_pointer_cast<FakeElement>(element);
  if (!snapshots || !top) return nullptr;
  ++snapshotsTaken;
  std::vector<FakeElement*> seen{top.get()};
  while (auto parent = typed<platform::ElementRef>(*top, platform::AXAttribute::kParent)) {
    if (!*parent) break;
    auto fake = std::dynamic_pointer_cast<FakeElement>(*parent);
    if (!fake || std::ranges::count(seen, fake.get())) return nullptr;
    seen.push_back(fake.get());
    top = fake;
  }
  return std::make_unique<FakeSnapshot>(*this, top, asFake(element));
}

void FakeAccessibility::focus(const std::shared_ptr<FakeElement>& element) {
  if (element) {
    systemWideElement->attributes[platform::AXAttribute::kFocusedUIElement] =
        platform::ElementRef(element);
  } else {
    systemWideElement->attributes.erase(platform::AXAttribute::kFocusedUIElement);
  }
}

}  // namespace fake
