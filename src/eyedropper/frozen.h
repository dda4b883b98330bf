// The frozen picture: every monitor captured once, in physical pixels, into
// one 32-bit top-down DIB section, for a run that reads the picture instead
// of the screen (a pen or a finger over windows that take pointer input
// themselves, or the user's F). The monitors are stacked in it one below the
// other, each at the left edge, so the picture is the widest monitor wide
// and all of them high.
#pragma once

#include <stdint.h>

#include "eyedropper/desktop_space.h"
#include "eyedropper/screen_block.h"
#include "win32/win32.h"

// The most pixels a picture may have (512 MiB at 4 bytes): eight 3840 x 2160
// monitors fit, one of 16384 x 16384 does not.
constexpr long long kMaxPicturePixels = 1LL << 27;

// The picture's DC and section (dc null: none taken), its size, and where
// each monitor lies in it.
struct FrozenPicture : MemoryImage {
  int width, height;
  MonitorList monitors;         // as captured, physical
  int first_row[kMaxMonitors];  // monitor i's row 0 in the picture
};

// Why a capture was not taken.
enum class CaptureFailure { kNone, kTooLarge, kNoMemory, kRefused };

// Captures every listed monitor (one BitBlt each from the desktop's DC;
// all coordinates physical). On failure nothing is kept and the reason is
// returned: too large for kMaxPicturePixels, no memory for the section or its
// DC, or a transfer the system refused.
CaptureFailure frozen_capture(FrozenPicture *picture, HDC desktop_dc, const MonitorList &monitors);
// Gives back what the capture took; safe on a picture not taken.
void frozen_release(FrozenPicture *picture);

// Copies `patch` (a picture of one area) over the picture where both hold
// the point: what lay under the run's magnifier before it opened.
void frozen_patch(FrozenPicture *picture, const FrozenPicture &patch);

// The captured pixel at screen point (x, y), when a captured monitor holds it.
bool frozen_pixel(const FrozenPicture &picture, long long x, long long y, uint32_t *rgb);
// Fills the block around `centre` from the picture as a screen read would:
// cells on no captured monitor black and unreadable.
void frozen_read_block(const FrozenPicture &picture, POINT centre, uint32_t tick, SampleBlock *out);
