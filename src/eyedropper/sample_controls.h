// What the wheel and the arrow keys do during a sampling run: the wheel sets
// how many cells a pick averages, the arrows move the pointer a pixel at a
// time. Pure functions; the run applies them.
#pragma once

#include "abi/host_api.h"
#include "color/color.h"

struct SampleBlock;

// The sample sizes, cells a side around the centre: the pixel itself, then
// 3 x 3, 5 x 5 and 7 x 7.
constexpr int kSampleSizes[] = {1, 3, 5, 7};
constexpr int kSampleSizeCount = 4;
// The largest, in cells a side: the magnifier's block covers it.
constexpr int kLargestSampleSize = 7;

// The size after one wheel event: turned forward (delta > 0) the next larger,
// back (delta < 0) the next smaller, wrapping round at either end; a delta of
// 0 or a size that is not one of the sizes gives the size itself, or 1.
int sample_size_after_wheel(int size, int wheel_delta);

// The average in linear light of the readable cells of the size x size
// square centred on the block's cell (column, row); cells outside the block
// or unreadable are left out. False, *out untouched, when none is left.
bool sample_block_average(const SampleBlock &block, int column, int row, int size,
                          ColorTriple *out);

// Physical pixels an arrow moves the pointer: one, ten with Shift.
constexpr int kNudgeStep = 1;
constexpr int kNudgeShiftStep = 10;

// The pointer's move for a key of the host's (`qualifiers`: the panel's,
// IQ_SHIFT for Shift): *dx, *dy for an arrow, and true; false for any other
// key, leaving them alone.
bool nudge_for_key(LWDualKey key, int qualifiers, int *dx, int *dy);
