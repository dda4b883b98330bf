// The colour chart: a window of solid colour blocks at a fixed place on the
// screen, so that an eyedropper pick over it has a known expected colour.
//
// Blocks of kChartBlock x kChartBlock pixels, kChartColumns to a row, the
// first at (kChartX, kChartY); block i is at column i % kChartColumns, row
// i / kChartColumns, and has colour kChartColors[i].
#pragma once

#include <array>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "model/framebuffer.h"

namespace hvwin {

inline constexpr int kChartX = 1400;
inline constexpr int kChartY = 120;
inline constexpr int kChartBlock = 64;
inline constexpr int kChartColumns = 4;
inline constexpr std::array<hvhost::Rgb, 8> kChartColors{{
    {255, 0, 0},
    {0, 255, 0},
    {0, 0, 255},
    {255, 255, 0},
    {12, 34, 56},
    {200, 120, 40},
    {90, 200, 170},
    {250, 250, 250},
}};

// Shows the chart with its top-left corner at `at` (kChartX, kChartY unless
// told otherwise; any monitor, negative coordinates too) and waits (up to
// timeout_s) until the screen shows each block's colour at its centre.
// Returns false with *error otherwise.
bool show_chart(double timeout_s, POINT at, std::string *error);

// How many mouse button messages the chart window has taken.
int chart_button_messages();

}  // namespace hvwin
