#pragma once

#include <atspi/atspi.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/Accessibility.h"
#include "platform/linux/AtspiElement.h"

// The small bounded libatspi calls every part of the accessibility port makes. Each failure
// reads as absent; every call is bounded by the time-out set with atspi_set_timeout.
namespace AtspiCalls {

template <typename T>
using GPtr = std::unique_ptr<T, void (*)(gpointer)>;

// Frees error and reports whether there was one.
bool failed(GError*& error);
// Takes s (freed here); absent when error is set or s is null.
std::optional<std::string> takeString(gchar* s, GError*& error);

// libatspi answers a call over an application's dropped direct connection with default values
// and no error: a call counts only when the connection is still up after it.
bool gone(AtspiAccessible* a);

linuxport::AtspiElement* asAtspi(const platform::ElementRef& e);
// The AT-SPI object of an element of kind object, else null.
AtspiAccessible* objectOf(const platform::ElementRef& e);

GPtr<AtspiText> textOf(AtspiAccessible* a);
// The state set, absent when the object is gone or its application does not answer.
std::optional<GPtr<AtspiStateSet>> statesOf(AtspiAccessible* a);
bool hasState(AtspiAccessible* a, AtspiStateType state);
std::optional<AtspiRole> roleOf(AtspiAccessible* a);
std::optional<std::string> objectAttributeValue(AtspiAccessible* a, const char* key);
// The role in the seam's vocabulary (AtspiRoles).
std::optional<std::string> mappedRole(AtspiAccessible* a);
// Takes r (freed here); absent when error is set or r is null.
std::optional<platform::Rect> toRect(AtspiRect* r, GError*& error);
// The screen box of the element's component.
std::optional<platform::Rect> frameOf(AtspiAccessible* a);
// Whether a is the desktop (the registry's root), which is no ancestor of any content.
bool isDesktop(AtspiAccessible* a);

}  // namespace AtspiCalls
