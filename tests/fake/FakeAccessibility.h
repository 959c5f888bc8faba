#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "platform/Accessibility.h"

namespace fake {

// An element of the fake accessibility tree: attributes that tests set, make fail or make
// unsettable, and a record of every write.
class FakeElement : public platform::Element, public std::enable_shared_from_this<FakeElement> {
 public:
  using Parameterized = std::function<std::optional<platform::AXValue>(const platform::AXValue&)>;

  std::map<std::string, platform::AXValue> attributes;
  std::set<std::string> settable;  // attributes that report settable and accept writes
  std::set<std::string> failing;   // attributes whose every call fails
  std::map<std::string, Parameterized> parameterized;
  std::vector<std::pair<std::string, platform::AXValue>> writes;  // every accepted write
  // Called after an accepted write; lets a test model how the application reacts.
  std::function<void(FakeElement&, const std::string&, const platform::AXValue&)> onWrite;
  std::string label;         // for test messages only
  bool bulkChildren = true;  // false: a snapshot cannot list the children

  static std::shared_ptr<FakeElement> make(std::string label = {});
  FakeElement& set(const std::string& name, platform::AXValue value);
  // Appends child and points its "AXParent" here. The parent is held weakly, so a tree does
  // not keep itself alive; an "AXParent" attribute set explicitly takes precedence.
  FakeElement& addChild(const std::shared_ptr<FakeElement>& child);
  std::weak_ptr<FakeElement> parent;
};

class FakeAccessibility : public platform::Accessibility {
 public:
  // Trust checks are answered on clock (required only by tests that check trust).
  explicit FakeAccessibility(Clock* clock = nullptr);

  platform::ElementRef systemWide() override { return systemWideElement; }
  platform::ElementRef application(std::int32_t pid) override;
  std::optional<platform::AXValue> copyAttribute(const platform::ElementRef& element,
                                                 std::string_view name) override;
  std::optional<platform::AXValue> copyParameterizedAttribute(
      const platform::ElementRef& element, std::string_view name,
      const platform::AXValue& parameter) override;
  bool setAttribute(const platform::ElementRef& element, std::string_view name,
                    const platform::AXValue& value) override;
  std::optional<bool> isAttributeSettable(const platform::ElementRef& element,
                                          std::string_view name) override;
  bool isProcessTrusted(bool prompt) override {
    if (prompt) ++prompts;
    return trusted;
  }
  // Answers with trusted as it is trustDelay seconds later.
  void checkTrust(std::function<void(bool)> answer) override;
  // Only with snapshots on: the tree of element's top ancestor as the attributes hold it now.
  std::unique_ptr<platform::AXSnapshot> snapshot(const platform::ElementRef& element) override;

  // Makes element the desktop's focused element (nullptr: nothing focused).
  void focus(const std::shared_ptr<FakeElement>& element);

  std::shared_ptr<FakeElement> systemWideElement;
  std::map<std::int32_t, std::shared_ptr<FakeElement>> applications;
  bool trusted = true;
  double trustDelay = 0;
  int trustChecks = 0;
  int prompts = 0;  // questions that may ask the user
  int calls = 0;    // every attribute call, for tests that require none
  bool snapshots = false;
  int snapshotsTaken = 0;
  int snapshotReads = 0;           // every read of a snapshot's attribute
  bool snapshotReadsFail = false;  // every read of a snapshot's attribute fails

 private:
  Clock* clock_;
};

}  // namespace fake
