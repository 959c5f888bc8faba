#pragma once

#include <optional>
#include <string_view>

// Choices stored or shown by their raw strings: rawValue(e) and fromRaw<E>("...").
// Each enumeration specialises fromRaw beside its own definition.
template <typename E>
std::optional<E> fromRaw(std::string_view raw);
