// The colour chart: a window of solid colour blocks at a place given by the
// screen's size, so that an eyedropper pick over it has a known expected
// colour.
//
// Blocks of kChartBlock x kChartBlock pixels, kChartColumns to a row. The
// chart's right edge is kChartRightGap pixels from the screen's right edge
// (x 1400 on a 1920-pixel screen, 1080 on a 1600-pixel one) and its top at
// kChartTop, both moved in as far as needed for the chart to fit; block i is
// at column i % kChartColumns, row i / kChartColumns from there, and has
// colour kChartColors[i]; the last block is a chequer, its pixel (x, y)
// from the block's corner kChartColors' last when x + y is even and
// kChequerOther when odd, so that the block's centre shows the first.
#pragma once

#include <array>
#include <string>

#include "model/framebuffer.h"

namespace hvwin {

inline constexpr int kChartRightGap = 264;
inline constexpr int kChartTop = 120;
inline constexpr int kChartBlock = 64;
inline constexpr int kChartColumns = 4;
inline constexpr std::array<hvhost::Rgb, 9> kChartColors{{
    {255, 0, 0},
    {0, 255, 0},
    {0, 0, 255},
    {255, 255, 0},
    {12, 34, 56},
    {200, 120, 40},
    {90, 200, 170},
    {250, 250, 250},
    {255, 0, 0},  // the chequer, with kChequerOther
}};
inline constexpr hvhost::Rgb kChequerOther{0, 0, 255};

// Where the chart's top-left goes on a screen of this size.
std::array<int, 2> chart_origin(int screen_width, int screen_height);

// Shows the chart and waits (up to timeout_s) until the screen shows each
// block's colour at its centre. Its top-left corner goes at `at` when given
// (any monitor, negative coordinates too), else at chart_origin of the
// primary screen's size. Returns false with *error saying why otherwise (a
// screen smaller than the chart, a block that shows another colour).
bool show_chart(double timeout_s, const std::array<int, 2> *at, std::string *error);

// How many mouse button messages the chart window has taken.
int chart_button_messages();

}  // namespace hvwin
