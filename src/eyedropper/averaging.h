// The averaged pick: how many cells a pick takes, and their average.
#pragma once

#include <stdint.h>

#include "color/color.h"

struct SampleBlock;

// The sample sizes, cells a side around the centre: the pixel itself, then
// 3 x 3, 5 x 5 and 7 x 7 (the block covers the largest).
constexpr int kSampleSizes[] = {1, 3, 5, 7};
constexpr int kSampleSizeCount = 4;

// The size after one wheel step: turned forward (delta > 0) the next larger,
// back (delta < 0) the next smaller, wrapping round at either end; a delta of
// 0 or a size that is not one of the sizes gives the size itself, or 1.
int sample_size_after_wheel(int size, int wheel_delta);

// Whole notches in a wheel's deltas: `delta` is added to *accumulated (a
// turn the other way starts afresh) and the notches of WHEEL_DELTA (120)
// it holds are taken out and returned, signed; a fine wheel's 30-unit
// events make one notch in four.
int wheel_notches(int32_t *accumulated, int delta);

// The average in linear light of the readable cells of the size x size
// square centred on the block's cell (column, row); cells outside the block
// or unreadable are left out. False, *out untouched, when none is left.
bool sample_block_average(const SampleBlock &block, int column, int row, int size,
                          ColorTriple *out);
