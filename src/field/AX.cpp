#include "field/AX.h"
#include "platform/AXNames.h"

namespace AX {

namespace {

template <typename T>
std::optional<T> read(platform::Accessibility& ax, const ElementRef& e,
                      std::string_view attribute) {
  if (!e) return std::nullopt;
  auto value = ax.copyAttribute(e, attribute);
  if (!value) return std::nullopt;
  if (auto* v = std::get_if<T>(&*value)) return std::move(*v);
  return std::nullopt;
}

}  // namespace

std::optional<ElementRef> element(platform::Accessibility& ax, const ElementRef& e,
                                  std::string_view attribute) {
  auto found = read<ElementRef>(ax, e, attribute);
  if (found && !*found) return std::nullopt;
  return found;
}

std::optional<std::string> string(platform::Accessibility& ax, const ElementRef& e,
                                  std::string_view attribute) {
  return read<std::string>(ax, e, attribute);
}

std::optional<platform::TextRange> range(platform::Accessibility& ax, const ElementRef& e,
                                         std::string_view attribute) {
  return read<platform::TextRange>(ax, e, attribute);
}

std::optional<platform::Rect> rect(platform::Accessibility& ax, const ElementRef& e,
                                   std::string_view attribute) {
  return read<platform::Rect>(ax, e, attribute);
}

std::vector<ElementRef> children(platform::Accessibility& ax, const ElementRef& e) {
  auto list = read<std::vector<ElementRef>>(ax, e, platform::AXAttribute::kChildren);
  if (!list) return {};
  std::erase(*list, nullptr);
  return std::move(*list);
}

std::optional<platform::Rect> boundsForRange(platform::Accessibility& ax, const ElementRef& e,
                                             platform::TextRange range) {
  if (!e) return std::nullopt;
  auto value = ax.copyParameterizedAttribute(e, platform::AXAttribute::kBoundsForRange, range);
  if (!value) return std::nullopt;
  if (auto* r = std::get_if<platform::Rect>(&*value)) return *r;
  return std::nullopt;
}

bool isSettable(platform::Accessibility& ax, const ElementRef& e, std::string_view attribute) {
  if (!e) return false;
  return ax.isAttributeSettable(e, attribute).value_or(false);
}

void wakeAccessibility(platform::Accessibility& ax, std::int32_t pid, bool browser) {
  // Recorded before the attempt, so a failed attempt is not repeated.
  if (!wokenPids().insert(pid).second) return;
  auto app = ax.application(pid);
  if (!app) return;
  ax.setAttribute(app, platform::AXAttribute::kManualAccessibility, true);
  if (browser) ax.setAttribute(app, platform::AXAttribute::kEnhancedUserInterface, true);
}

std::set<std::int32_t>& wokenPids() {
  static std::set<std::int32_t> pids;
  return pids;
}

void resetForTesting() {
  wokenPids().clear();
}

}  // namespace AX
