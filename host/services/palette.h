// The host's own colours: panel background, bevels, text, chrome, and the
// colour codes that raster pixel accepts.
#pragma once

#include "services/framebuffer.h"

namespace hvhost::palette {

inline constexpr Rgb kBackground{88, 88, 94};
inline constexpr Rgb kBevelDark{36, 36, 40};
inline constexpr Rgb kBevelLight{150, 150, 158};
inline constexpr Rgb kFrame{20, 20, 22};
inline constexpr Rgb kText{226, 226, 226};
inline constexpr Rgb kDimText{170, 170, 176};
inline constexpr Rgb kFieldFill{58, 58, 62};
inline constexpr Rgb kButtonFace{112, 112, 120};
inline constexpr Rgb kButtonPressed{72, 72, 78};
inline constexpr Rgb kTitleStrip{46, 48, 58};
inline constexpr Rgb kTitleText{236, 236, 240};
inline constexpr Rgb kWindowEdge{16, 16, 18};

// A colour code unknown to the host draws in this loud colour, so that a
// wrong code stands out in snapshots.
inline constexpr Rgb kUnknownCode{255, 0, 255};

// Host colour codes: 0x102B black, 0x102C white, 0x1032 light grey; any
// other code gives kUnknownCode.
Rgb color_for_code(int code);

}  // namespace hvhost::palette
