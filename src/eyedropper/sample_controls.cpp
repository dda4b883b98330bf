#include "eyedropper/sample_controls.h"

#include "eyedropper/spoit_panel.h"

int sample_size_after_wheel(int size, int wheel_delta) {
  int at = -1;
  for (int i = 0; i < kSampleSizeCount; ++i)
    if (kSampleSizes[i] == size) at = i;
  if (at < 0) return kSampleSizes[0];
  if (wheel_delta > 0) at = (at + 1) % kSampleSizeCount;
  if (wheel_delta < 0) at = (at + kSampleSizeCount - 1) % kSampleSizeCount;
  return kSampleSizes[at];
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

bool nudge_for_key(LWDualKey key, int qualifiers, int *dx, int *dy) {
  static const struct {
    LWDualKey key;
    int dx, dy;
  } kArrows[] = {{LWDK_UP, 0, -1}, {LWDK_DOWN, 0, 1}, {LWDK_LEFT, -1, 0}, {LWDK_RIGHT, 1, 0}};
  const int step = (qualifiers & IQ_SHIFT) ? kNudgeShiftStep : kNudgeStep;
  for (const auto &a : kArrows)
    if (a.key == key) {
      *dx = a.dx * step;
      *dy = a.dy * step;
      return true;
    }
  return false;
}
