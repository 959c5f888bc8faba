#pragma once

#include <cstdint>

namespace platform {

// An opaque colour, 8 bits a component.
struct Rgb {
  std::uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const Rgb&) const = default;
};

}  // namespace platform
