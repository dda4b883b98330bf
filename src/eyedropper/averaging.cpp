#include "eyedropper/averaging.h"

#include "eyedropper/screen_block.h"

int sample_size_after_wheel(int size, int wheel_delta) {
  int at = -1;
  for (int i = 0; i < kSampleSizeCount; ++i)
    if (kSampleSizes[i] == size) at = i;
  if (at < 0) return kSampleSizes[0];
  if (wheel_delta > 0) at = (at + 1) % kSampleSizeCount;
  if (wheel_delta < 0) at = (at + kSampleSizeCount - 1) % kSampleSizeCount;
  return kSampleSizes[at];
}

constexpr int32_t kWheelNotch = 120;

int wheel_notches(int32_t *accumulated, int delta) {
  // One event's delta is a 16-bit word, and what is left over is under a
  // notch: the sum stays far inside the int range.
  delta = delta < -32768 ? -32768 : delta > 32767 ? 32767 : delta;
  if ((delta > 0 && *accumulated < 0) || (delta < 0 && *accumulated > 0)) *accumulated = 0;
  *accumulated += delta;
  const int32_t notches = *accumulated / kWheelNotch;
  *accumulated -= notches * kWheelNotch;
  return notches;
}

bool sample_block_average(const SampleBlock &block, int column, int row, int size,
                          ColorTriple *out) {
  const int half = size / 2;
  LinearSum sum = {};
  for (int dy = -half; dy <= half; ++dy)
    for (int dx = -half; dx <= half; ++dx) {
      ColorTriple c;
      if (sample_block_cell(block, column + dx, row + dy, &c)) linear_sum_add(&sum, c);
    }
  return linear_sum_average(&sum, out);
}
