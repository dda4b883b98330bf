// Reading the cells around the pointer from the screen as one block: a
// 32-bit top-down DIB section selected into a memory DC, made once a run,
// and one BitBlt from the desktop's DC for each monitor the cells lie on.
// On a composited desktop (every Windows since 8) each screen read waits for
// the compositor's copy of the screen, some milliseconds however little is
// read, so the cells are read as a block and then taken from memory.
#pragma once

#include "eyedropper/desktop_space.h"
#include "eyedropper/spoit_panel.h"
#include "eyedropper/win32.h"

struct ScreenBlock {
  HDC dc;            // the memory DC; null when it could not be made
  HBITMAP bitmap;    // the 15 x 15 section selected into it
  HGDIOBJ previous;  // what the DC held before
  uint32_t *bits;    // the section's pixels, 0x00RRGGBB, top-down
};

// Makes the block's DC and section, compatible with the desktop's DC.
// Returns false, having kept nothing, when any of them cannot be had.
bool screen_block_create(ScreenBlock *block, HDC desktop_dc);
// Gives back what create made; a block that was not made is left alone.
void screen_block_release(ScreenBlock *block);

// Reads the cells around `centre` into *out, the tick's number with them:
// one transfer for each listed monitor the cells touch, cells on no monitor
// black. A transfer that fails, or a block that was not made, leaves its
// cells white and unreadable, as a failed GetPixel read. All coordinates
// physical. Returns the transfers made.
int screen_block_read(const ScreenBlock &block, HDC desktop_dc, const MonitorList &monitors,
                      POINT centre, uint32_t tick, SampleBlock *out);
