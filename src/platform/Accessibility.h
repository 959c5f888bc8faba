#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace platform {

class AXSnapshot;

// An accessibility element of some application. Opaque above the seam; compared by identity.
class Element {
 public:
  virtual ~Element() = default;
};
using ElementRef = std::shared_ptr<Element>;

struct TextRange {
  long location = 0;  // UTF-16 code units
  long length = 0;
  bool operator==(const TextRange&) const = default;
};

struct Rect {
  double x = 0, y = 0, width = 0, height = 0;  // screen, origin top left of the primary screen
  bool operator==(const Rect&) const = default;
};

struct Point {
  double x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

// What an attribute holds, with the types the readers check for.
using AXValue = std::variant<std::monostate, std::string, double, bool, ElementRef,
                             std::vector<ElementRef>, TextRange, Rect, Point>;

// The accessibility interface in its own vocabulary: attributes are named "AXValue",
// "AXSelectedText", "AXSelectedTextRange", "AXPlaceholderValue", "AXRole", "AXFrame",
// "AXParent", "AXChildren", "AXFocusedUIElement"; the parameterised one "AXBoundsForRange".
class Accessibility {
 public:
  virtual ~Accessibility() = default;

  // The element that answers "AXFocusedUIElement" for the whole desktop.
  virtual ElementRef systemWide() = 0;
  // The application element of a process.
  virtual ElementRef application(std::int32_t pid) = 0;

  // Absent when the call fails or the attribute is unsupported.
  virtual std::optional<AXValue> copyAttribute(const ElementRef& element,
                                               std::string_view name) = 0;
  virtual std::optional<AXValue> copyParameterizedAttribute(const ElementRef& element,
                                                            std::string_view name,
                                                            const AXValue& parameter) = 0;
  // True when the call succeeded.
  virtual bool setAttribute(const ElementRef& element, std::string_view name,
                            const AXValue& value) = 0;
  // Absent when the call fails; else whether the attribute can be set.
  virtual std::optional<bool> isAttributeSettable(const ElementRef& element,
                                                  std::string_view name) = 0;

  // The tree of element's top ancestor read in bulk, where the platform can do it faster than
  // one attribute call at a time; null when it cannot (then the tree is walked).
  virtual std::unique_ptr<AXSnapshot> snapshot(const ElementRef& element);

  // Whether this program may use the accessibility interface; with prompt, asks the user.
  virtual bool isProcessTrusted(bool prompt) = 0;
  // The same question as isProcessTrusted(false), for what asks it again and again: answer is
  // called later on the main context (never from within this call), after a bounded wait.
  virtual void checkTrust(std::function<void(bool)> answer) = 0;

  // What waking an application's accessibility tree does here, for the diagnosis.
  virtual std::string wakeDescription(bool browser) {
    return browser ? "AXManualAccessibility + AXEnhancedUserInterface" : "AXManualAccessibility";
  }
};

}  // namespace platform
