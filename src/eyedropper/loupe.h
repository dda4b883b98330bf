// The loupe: the magnifier drawn on the frozen picture beside the pointer,
// since the host's magnifier panel lies beneath the picture's top-most
// windows. The 15 x 15 cells six times enlarged with the centre cell framed
// in its inverse, as the panel shows them, and below them two lines of text:
// the readout and the run's mode. Composed in memory, 0x00RRGGBB pixels.
#pragma once

#include <stdint.h>

#include "eyedropper/screen_block.h"
#include "win32/win32.h"

constexpr int kLoupeCellSize = 6;
constexpr int kLoupeBorder = 1;
constexpr int kLoupeGlyphWidth = 5, kLoupeGlyphHeight = 7;
constexpr int kLoupeLineHeight = kLoupeGlyphHeight + 2;
constexpr int kLoupeWidth = kSampleBlockSide * kLoupeCellSize + 2 * kLoupeBorder;  // 92
constexpr int kLoupeHeight = kLoupeWidth + 2 * kLoupeLineHeight + kLoupeBorder;    // 111
constexpr int kLoupeCells = kLoupeWidth * kLoupeHeight;
// Room between the pointer and the loupe's nearest edge.
constexpr int kLoupeGap = 24;

// Draws the loupe for `block` with the two lines (characters it has no
// glyph for are blank) into `bits`, kLoupeWidth a row.
void loupe_compose(uint32_t *bits, const SampleBlock &block, const char *line1, const char *line2);

// Where the loupe goes: below and right of the pointer, flipped to the left
// or above where the monitor ends, so that it never covers the pointer's
// pixel. Returns its top-left corner in screen coordinates.
POINT loupe_place(POINT pointer, const RECT &monitor);
