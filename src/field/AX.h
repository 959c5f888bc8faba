#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Accessibility.h"

// Failure-tolerant readers over the accessibility interface: a failed call, a missing
// attribute and a value of the wrong type all read as absent (or an empty list).
namespace AX {

using platform::ElementRef;

std::optional<ElementRef> element(platform::Accessibility& ax, const ElementRef& e,
                                  std::string_view attribute);
std::optional<std::string> string(platform::Accessibility& ax, const ElementRef& e,
                                  std::string_view attribute);
std::optional<platform::TextRange> range(platform::Accessibility& ax, const ElementRef& e,
                                         std::string_view attribute);
std::optional<platform::Rect> rect(platform::Accessibility& ax, const ElementRef& e,
                                   std::string_view attribute);
std::vector<ElementRef> children(platform::Accessibility& ax, const ElementRef& e);
std::optional<platform::Rect> boundsForRange(platform::Accessibility& ax, const ElementRef& e,
                                             platform::TextRange range);
// True only when the call succeeds and reports the attribute settable.
bool isSettable(platform::Accessibility& ax, const ElementRef& e, std::string_view attribute);

// Asks an application to expose its whole accessibility tree, once per process per run.
void wakeAccessibility(platform::Accessibility& ax, std::int32_t pid, bool browser);

// The processes already woken; the application core removes a pid when its process ends.
std::set<std::int32_t>& wokenPids();
void resetForTesting();

}  // namespace AX
