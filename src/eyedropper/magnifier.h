// The magnifier panel shown during a sampling run: the 15 x 15 pixels
// around the pointer, six times enlarged, with the centre pixel framed; its
// place on the screen and its title, the readout of the colour under the
// pointer.
#pragma once

#include <stddef.h>

#include "abi/host_api.h"
#include "color/color.h"
#include "eyedropper/screen_block.h"
#include "win32/win32.h"

// The magnifier's geometry: a square of cells, one a desktop pixel, drawn
// into a raster that is blitted into the panel at an inset on each side.
// The centre cell is framed in the inverse of its colour: the frame is the
// cell's outline, the pixel's colour fills the rest.
constexpr int kSpoitCells = kSampleBlockSide;
constexpr int kSpoitCellSize = 6;
constexpr int kSpoitRaster = kSpoitCells * kSpoitCellSize;  // 90
constexpr int kSpoitBlitOffset = 8;
constexpr int kSpoitPanelSize = kSpoitRaster + 2 * kSpoitBlitOffset;  // 106
constexpr int kSpoitCentreCell = kSampleBlockCentre;                  // row and column 7
constexpr int kSpoitCentreIndex = kSpoitCentreCell * kSpoitCells + kSpoitCentreCell;  // 112
constexpr int kSpoitFrameOrigin = kSpoitCentreCell * kSpoitCellSize;                  // 42
constexpr int kSpoitFrameWidth = 1;

struct SpoitPanel {
  LWPanelFuncs *panel_funcs;  // the services it was made with
  LWRasterFuncs *raster_funcs;
  LWPanelID panel;
  LWRasterID raster;
  int32_t red[kSpoitCells * kSpoitCells];
  int32_t green[kSpoitCells * kSpoitCells];
  int32_t blue[kSpoitCells * kSpoitCells];
  int32_t opened;
  // The cells a pick averages, a side (1: the centre cell alone), and the
  // colour whose inverse outlines them.
  int32_t sample_size;
  ColorTriple sampled;
};

// Where the magnifier opens: its corner at (x, y), unless the pointer is
// within reach of it there (its frame, or the block's seven pixels around
// the pointer, would cover the pixel under the pointer); then beside the
// pointer, right, left, below or above it in that order, the first that
// lies whole on `monitor` (null: any); else, the pointer being on it, the
// first of them that does once slid along the pointer's side; else right
// of the pointer. All in the host's coordinates.
POINT magnifier_place(int x, int y, POINT pointer, const RECT *monitor);

// Null only when the record cannot be allocated; a panel or raster the host
// could not create is a null handle in it.
SpoitPanel *spoit_panel_create(LWPanelFuncs *panels, LWRasterFuncs *rasters, int x, int y);
// Destroys the panel and the raster, then frees the record. Null is ignored.
void spoit_panel_destroy(SpoitPanel *spoit);
void spoit_opened_callback(LWPanelID panel, void *user_data);
void spoit_draw(LWPanelID panel, void *user_data, int mode);
// Shows the block's cells in the magnifier's planes (drawn at the next draw).
void spoit_panel_show(SpoitPanel *spoit, const SampleBlock &block);
// Outlines the size x size cells around the centre (nothing more for 1) in
// the inverse of `sampled`, the centre frame's style, from the next draw.
void spoit_panel_show_area(SpoitPanel *spoit, int size, ColorTriple sampled);

// The readout: the colour's numbers, and after them the sample size when
// it is above 1 ("127, 63,255 5x5"); a null colour reads "---,---,---".
void magnifier_write_readout(char *title, size_t size, const ColorTriple *c, int sample_size);

// Splits a COLORREF 0x00BBGGRR into R, G, B; the top byte is dropped, so
// the failure value CLR_INVALID reads as white (callers that take a colour
// test for it first).
ColorTriple colorref_split(COLORREF c);
