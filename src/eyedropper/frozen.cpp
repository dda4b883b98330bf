#include "eyedropper/frozen.h"

#include <string.h>

CaptureFailure frozen_capture(FrozenPicture *picture, HDC desktop_dc, const MonitorList &monitors) {
  memset(picture, 0, sizeof *picture);
  long long width = 0, height = 0;
  for (int i = 0; i < monitors.count; ++i) {
    const RECT &r = monitors.rects[i];
    const long long w = static_cast<long long>(r.right) - r.left;
    const long long h = static_cast<long long>(r.bottom) - r.top;
    if (w <= 0 || h <= 0) return CaptureFailure::kRefused;
    if (w > width) width = w;
    height += h;
  }
  if (monitors.count <= 0) return CaptureFailure::kRefused;
  if (width * height > kMaxPicturePixels || height > INT32_MAX) return CaptureFailure::kTooLarge;
  if (!memory_image_create(picture, desktop_dc, static_cast<int>(width), static_cast<int>(height)))
    return CaptureFailure::kNoMemory;
  picture->width = static_cast<int>(width);
  picture->height = static_cast<int>(height);
  picture->monitors = monitors;
  int row = 0;
  for (int i = 0; i < monitors.count; ++i) {
    const RECT &r = monitors.rects[i];
    picture->first_row[i] = row;
    if (!BitBlt(picture->dc, 0, row, r.right - r.left, r.bottom - r.top, desktop_dc, r.left, r.top,
                SRCCOPY)) {
      frozen_release(picture);
      return CaptureFailure::kRefused;
    }
    row += r.bottom - r.top;
  }
  // The section is written by GDI; its batch is flushed before it is read.
  GdiFlush();
  return CaptureFailure::kNone;
}

void frozen_release(FrozenPicture *picture) {
  memory_image_release(picture);
  memset(picture, 0, sizeof *picture);
}

void frozen_patch(FrozenPicture *picture, const FrozenPicture &patch) {
  if (!picture->bits || !patch.bits || patch.monitors.count != 1) return;
  const RECT &r = patch.monitors.rects[0];
  for (long long y = r.top; y < r.bottom; ++y) {
    for (long long x = r.left; x < r.right; ++x) {
      for (int i = 0; i < picture->monitors.count; ++i) {
        const RECT &m = picture->monitors.rects[i];
        if (x < m.left || x >= m.right || y < m.top || y >= m.bottom) continue;
        const long long row = picture->first_row[i] + (y - m.top);
        picture->bits[row * picture->width + (x - m.left)] =
            patch.bits[(y - r.top) * patch.width + (x - r.left)];
      }
    }
  }
}

bool frozen_pixel(const FrozenPicture &picture, long long x, long long y, uint32_t *rgb) {
  if (!picture.bits) return false;
  for (int i = 0; i < picture.monitors.count; ++i) {
    const RECT &r = picture.monitors.rects[i];
    if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) continue;
    const long long row = picture.first_row[i] + (y - r.top);
    *rgb = picture.bits[row * picture.width + (x - r.left)] & 0xFFFFFFu;
    return true;
  }
  return false;
}

void frozen_read_block(const FrozenPicture &picture, POINT centre, uint32_t tick,
                       SampleBlock *out) {
  // Held to the int range as a screen read holds it: no monitor lies there.
  const auto held = [](long long v) {
    return v < INT32_MIN                      ? INT32_MIN
           : v > INT32_MAX - kSampleBlockSide ? INT32_MAX - kSampleBlockSide
                                              : v;
  };
  const long long left = held(static_cast<long long>(centre.x) - kSampleBlockCentre);
  const long long top = held(static_cast<long long>(centre.y) - kSampleBlockCentre);
  out->origin = {static_cast<int32_t>(left), static_cast<int32_t>(top)};
  out->tick = tick;
  for (int row = 0; row < kSampleBlockSide; ++row) {
    for (int col = 0; col < kSampleBlockSide; ++col) {
      const int i = row * kSampleBlockSide + col;
      uint32_t rgb = 0;
      out->readable[i] = frozen_pixel(picture, left + col, top + row, &rgb) ? 1 : 0;
      out->rgb[i] = rgb;
    }
  }
}
