#pragma once

#include "platform/AXSnapshot.h"
#include "platform/Accessibility.h"

namespace desktoptest {

// Another accessibility port seen without its bulk reading: every call is passed on, but no
// snapshot is offered, so readers walk the tree one attribute call at a time.
class WalkOnlyAccessibility : public platform::Accessibility {
 public:
  explicit WalkOnlyAccessibility(platform::Accessibility& inner) : inner_(inner) {}

  platform::ElementRef systemWide() override { return inner_.systemWide(); }
  platform::ElementRef application(std::int32_t pid) override { return inner_.application(pid); }
  std::optional<platform::AXValue> copyAttribute(const platform::ElementRef& e,
                                                 std::string_view name) override {
    return inner_.copyAttribute(e, name);
  }
  std::optional<platform::AXValue> copyParameterizedAttribute(
      const platform::ElementRef& e, std::string_view name,
      const platform::AXValue& parameter) override {
    return inner_.copyParameterizedAttribute(e, name, parameter);
  }
  bool setAttribute(const platform::ElementRef& e, std::string_view name,
                    const platform::AXValue& value) override {
    return inner_.setAttribute(e, name, value);
  }
  std::optional<bool> isAttributeSettable(const platform::ElementRef& e,
                                          std::string_view name) override {
    return inner_.isAttributeSettable(e, name);
  }
  bool isProcessTrusted(bool prompt) override { return inner_.isProcessTrusted(prompt); }
  void checkTrust(std::function<void(bool)> answer) override { inner_.checkTrust(answer); }
  std::unique_ptr<platform::AXSnapshot> snapshot(const platform::ElementRef&) override {
    return nullptr;
  }

 private:
  platform::Accessibility& inner_;
};

}  // namespace desktoptest
