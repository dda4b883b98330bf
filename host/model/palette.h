// The host's own colours: panel background, bevels, text, chrome, and the
// colour codes that raster pixel accepts.
#pragma once

#include "model/framebuffer.h"

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

// The system colours a plug-in names by code.
inline constexpr Rgb kNormalText{0, 0, 0};           // 0x102B
inline constexpr Rgb kHeadline{255, 255, 255};       // 0x102C
inline constexpr Rgb kEditSelection{255, 255, 200};  // 0x1032, light yellow

// The colour of a host colour code: an RGB code (bit 24 set, r << 16 |
// b << 8 | g), or one of the system colours: 0x102A the panel background,
// 0x102B normal text, 0x102C headline text, 0x1032 edit selection. Any other
// code gives kUnknownCode.
Rgb color_for_code(int code);

}  // namespace hvhost::palette
