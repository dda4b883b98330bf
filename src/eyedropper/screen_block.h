// Reading the cells around the pointer from the screen as one block: a
// 32-bit top-down DIB section selected into a memory DC, made once a run,
// and one BitBlt from the desktop's DC for each monitor the cells lie on.
// On a composited desktop (every Windows since 8) each screen read waits for
// the compositor's copy of the screen, some milliseconds however little is
// read, so the cells are read as a block and then taken from memory.
#pragma once

#include "color/color.h"
#include "eyedropper/desktop_space.h"
#include "eyedropper/memory_image.h"
#include "win32/win32.h"

// The block's side in pixels (the magnifier shows one cell per pixel), and
// the row and column of its centre, the pixel under the pointer.
constexpr int kSampleBlockSide = 15;
constexpr int kSampleBlockCentre = kSampleBlockSide / 2;  // 7

// A block of cells read from the screen in one transfer: the 15 x 15
// pixels around a centre, row-major (index = row x 15 + column), with the
// screen position of cell (0, 0) in physical pixels and the tick that read
// it. A cell is readable when the screen was read there; the others hold
// black (on no monitor) or white (a transfer that failed), as the
// magnifier shows them.
constexpr int kSampleBlockCells = kSampleBlockSide * kSampleBlockSide;
struct SampleBlock {
  POINT origin;
  uint32_t tick;                    // the run's tick count when it was read; 0: not read yet
  uint32_t rgb[kSampleBlockCells];  // 0x00RRGGBB
  uint8_t readable[kSampleBlockCells];
};

// The colour of cell (column, row) of the block, when that cell lies in the
// block and was read; otherwise false and *out untouched.
bool sample_block_cell(const SampleBlock &block, int column, int row, ColorTriple *out);

// The block's 15 x 15 pixels as the screen gave them.
using ScreenBlock = MemoryImage;

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
