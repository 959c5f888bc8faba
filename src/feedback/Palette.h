#pragma once

#include "platform/Rgb.h"

// The application's fixed colours: warm cream and brown.
namespace Palette {

inline constexpr platform::Rgb honeyDeep{223, 142, 40};
inline constexpr platform::Rgb bark{69, 42, 22};
inline constexpr platform::Rgb cream{253, 251, 247};
inline constexpr platform::Rgb line{236, 231, 223};
inline constexpr platform::Rgb text{51, 36, 15};
inline constexpr platform::Rgb textDim{143, 133, 120};
inline constexpr platform::Rgb meterTrack{240, 234, 225};
inline constexpr platform::Rgb bad{209, 73, 63};

}  // namespace Palette
