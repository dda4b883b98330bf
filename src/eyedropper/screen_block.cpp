#include "eyedropper/screen_block.h"

#include <stdint.h>
#include <string.h>

#include <algorithm>

constexpr uint32_t kFailedCell = 0xFFFFFF;  // what a failed read shows: white

bool screen_block_create(ScreenBlock *block, HDC desktop_dc) {
  return memory_image_create(block, desktop_dc, kSampleBlockSide, kSampleBlockSide);
}

void screen_block_release(ScreenBlock *block) { memory_image_release(block); }

// The block's origin on the screen, held to the int range: a centre near the
// int limits (no monitor lies there) gives a block on no monitor.
static long long clamp_to_int(long long v) {
  return std::min<long long>(std::max<long long>(v, INT32_MIN), INT32_MAX - kSampleBlockSide);
}

int screen_block_read(const ScreenBlock &block, HDC desktop_dc, const MonitorList &monitors,
                      POINT centre, uint32_t tick, SampleBlock *out) {
  const long long left = clamp_to_int(static_cast<long long>(centre.x) - kSampleBlockCentre);
  const long long top = clamp_to_int(static_cast<long long>(centre.y) - kSampleBlockCentre);
  out->origin = {static_cast<int32_t>(left), static_cast<int32_t>(top)};
  out->tick = tick;
  memset(out->rgb, 0, sizeof out->rgb);
  memset(out->readable, 0, sizeof out->readable);
  if (block.bits) memset(block.bits, 0, sizeof(uint32_t) * kSampleBlockCells);
  int transfers = 0;
  for (int m = 0; m < monitors.count; ++m) {
    const RECT &r = monitors.rects[m];
    const long long x0 = std::max<long long>(left, r.left), y0 = std::max<long long>(top, r.top);
    const long long x1 = std::min<long long>(left + kSampleBlockSide, r.right);
    const long long y1 = std::min<long long>(top + kSampleBlockSide, r.bottom);
    if (x0 >= x1 || y0 >= y1) continue;
    const int col = static_cast<int>(x0 - left), row = static_cast<int>(y0 - top);
    const int w = static_cast<int>(x1 - x0), h = static_cast<int>(y1 - y0);
    bool read = false;
    if (block.dc) {
      ++transfers;
      read = BitBlt(block.dc, col, row, w, h, desktop_dc, static_cast<int>(x0),
                    static_cast<int>(y0), SRCCOPY) != 0;
    }
    for (int y = row; y < row + h; ++y) {
      for (int x = col; x < col + w; ++x) {
        const int i = y * kSampleBlockSide + x;
        out->readable[i] = read ? 1 : 0;
        if (!read) out->rgb[i] = kFailedCell;
      }
    }
  }
  if (!block.bits) return transfers;
  // The section is written by GDI; its batch is flushed before it is read.
  GdiFlush();
  for (int i = 0; i < kSampleBlockCells; ++i)
    if (out->readable[i]) out->rgb[i] = block.bits[i] & 0xFFFFFF;
  return transfers;
}

bool sample_block_cell(const SampleBlock &block, int column, int row, ColorTriple *out) {
  if (column < 0 || row < 0 || column >= kSampleBlockSide || row >= kSampleBlockSide) return false;
  const int i = row * kSampleBlockSide + column;
  if (!block.readable[i]) return false;
  const uint32_t c = block.rgb[i];
  *out = {static_cast<int32_t>((c >> 16) & 0xFF), static_cast<int32_t>((c >> 8) & 0xFF),
          static_cast<int32_t>(c & 0xFF)};
  return true;
}
