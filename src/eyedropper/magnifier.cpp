#include "eyedropper/magnifier.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/alloc.h"
#include "binding/services.h"

ColorTriple colorref_split(COLORREF c) {
  return {static_cast<int32_t>(c & 0xFF), static_cast<int32_t>((c >> 8) & 0xFF),
          static_cast<int32_t>((c >> 16) & 0xFF)};
}

static const char kUnreadableReadout[] = "---,---,---";

void magnifier_write_readout(char *title, size_t size, const ColorTriple *c, int sample_size) {
  const int n = !c ? snprintf(title, size, "%s", kUnreadableReadout)
                   : snprintf(title, size, "%3d,%3d,%3d", static_cast<int>(c->a),
                              static_cast<int>(c->b), static_cast<int>(c->c));
  if (sample_size > 1 && n > 0 && static_cast<size_t>(n) < size)
    snprintf(title + n, size - static_cast<size_t>(n), " %dx%d", sample_size, sample_size);
}

// Room kept round the panel's own square: its frame and title, and the
// block's reach from the pointer.
constexpr int kPlacementMargin = 48;

static bool near_square(long long left, long long top, POINT p) {
  return p.x >= left - kPlacementMargin && p.x < left + kSpoitPanelSize + kPlacementMargin &&
         p.y >= top - kPlacementMargin && p.y < top + kSpoitPanelSize + kPlacementMargin;
}

static bool square_on(long long left, long long top, const RECT &m) {
  return left - kPlacementMargin >= m.left && top - kPlacementMargin >= m.top &&
         left + kSpoitPanelSize + kPlacementMargin <= m.right &&
         top + kSpoitPanelSize + kPlacementMargin <= m.bottom;
}

static int to_int(long long v) {
  return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int>(v);
}

POINT magnifier_place(int x, int y, POINT pointer, const RECT *monitor) {
  if (!near_square(x, y, pointer)) return {x, y};
  constexpr long long kAside = 2 * kPlacementMargin + 1;
  const long long px = pointer.x, py = pointer.y;
  const long long candidates[4][2] = {{px + kAside, y},
                                      {px - kAside - kSpoitPanelSize, y},
                                      {x, py + kAside},
                                      {x, py - kAside - kSpoitPanelSize}};
  for (int i = 0; i < 4; ++i)
    if (!monitor || square_on(candidates[i][0], candidates[i][1], *monitor))
      return {to_int(candidates[i][0]), to_int(candidates[i][1])};
  // None lies whole on the monitor as it is (the place is near one of its
  // edges): with the pointer on it, the same sides again, each slid along
  // the pointer's side as far as the monitor needs.
  const RECT &m = *monitor;
  const bool pointer_on = px >= m.left && px < m.right && py >= m.top && py < m.bottom;
  for (int i = 0; i < 4 && pointer_on; ++i) {
    long long c[2] = {candidates[i][0], candidates[i][1]};
    const int along = i < 2 ? 1 : 0;  // right and left slide up or down
    const long long low = (along ? m.top : m.left) + static_cast<long long>(kPlacementMargin);
    const long long high =
        (along ? m.bottom : m.right) - static_cast<long long>(kSpoitPanelSize + kPlacementMargin);
    if (low > high) continue;
    c[along] = c[along] < low ? low : c[along] > high ? high : c[along];
    if (square_on(c[0], c[1], m)) return {to_int(c[0]), to_int(c[1])};
  }
  return {to_int(candidates[0][0]), to_int(candidates[0][1])};
}

SpoitPanel *spoit_panel_create(LWPanelFuncs *panels, LWRasterFuncs *rasters, int x, int y) {
  SpoitPanel *spoit = static_cast<SpoitPanel *>(plugin_malloc(sizeof(SpoitPanel)));
  if (!spoit) return nullptr;
  // Cleared so that a draw before the first tick shows black.
  memset(spoit, 0, sizeof *spoit);
  spoit->panel_funcs = panels;
  spoit->raster_funcs = rasters;
  spoit->panel = panels->create(const_cast<char *>("Spoit"), panels);
  spoit->raster = rasters->create(kSpoitRaster, kSpoitRaster, 0);
  if (!spoit->panel) return spoit;  // the run notices and ends at once
  panel_set_ptr(panels, spoit->panel, PAN_USERDATA, spoit);
  panel_set_ptr(panels, spoit->panel, PAN_USEROPEN, callback_ptr(spoit_opened_callback));
  panel_set_ptr(panels, spoit->panel, PAN_USERDRAW, callback_ptr(spoit_draw));
  panel_set_int(panels, spoit->panel, PAN_W, kSpoitPanelSize);
  panel_set_int(panels, spoit->panel, PAN_H, kSpoitPanelSize);
  panel_set_int(panels, spoit->panel, PAN_X, x);
  panel_set_int(panels, spoit->panel, PAN_Y, y);
  return spoit;
}

void spoit_panel_destroy(SpoitPanel *spoit) {
  if (!spoit) return;
  if (spoit->panel) spoit->panel_funcs->destroy(spoit->panel);
  if (spoit->raster) spoit->raster_funcs->destroy(spoit->raster);
  free(spoit);
}

void spoit_opened_callback(LWPanelID, void *user_data) {
  if (user_data) static_cast<SpoitPanel *>(user_data)->opened = 1;
}

void spoit_draw(LWPanelID, void *user_data, int mode) {
  SpoitPanel *spoit = static_cast<SpoitPanel *>(user_data);
  if (mode == DR_ERASE || !spoit || !spoit->opened || !spoit->raster) return;
  LWRasterFuncs *rasters = spoit->raster_funcs;
  for (int row = 0; row < kSpoitCells; ++row) {
    for (int col = 0; col < kSpoitCells; ++col) {
      const int i = row * kSpoitCells + col;
      rasters->drawRGBBox(spoit->raster, spoit->red[i], spoit->green[i], spoit->blue[i],
                          col * kSpoitCellSize, row * kSpoitCellSize, kSpoitCellSize,
                          kSpoitCellSize);
    }
  }
  // The sampled area's outline, one pixel wide along its cells' edge.
  if (spoit->sample_size > 1 && spoit->sample_size <= kSpoitCells) {
    const int origin = (kSpoitCentreCell - spoit->sample_size / 2) * kSpoitCellSize;
    const int side = spoit->sample_size * kSpoitCellSize;
    const ColorTriple &c = spoit->sampled;
    const int ir = 255 - clamp_channel(c.a), ig = 255 - clamp_channel(c.b),
              ib = 255 - clamp_channel(c.c);
    rasters->drawRGBBox(spoit->raster, ir, ig, ib, origin, origin, side, kSpoitFrameWidth);
    rasters->drawRGBBox(spoit->raster, ir, ig, ib, origin, origin + side - kSpoitFrameWidth, side,
                        kSpoitFrameWidth);
    rasters->drawRGBBox(spoit->raster, ir, ig, ib, origin, origin, kSpoitFrameWidth, side);
    rasters->drawRGBBox(spoit->raster, ir, ig, ib, origin + side - kSpoitFrameWidth, origin,
                        kSpoitFrameWidth, side);
  }
  const int r = spoit->red[kSpoitCentreIndex], g = spoit->green[kSpoitCentreIndex],
            b = spoit->blue[kSpoitCentreIndex];
  constexpr int inner = kSpoitFrameOrigin + kSpoitFrameWidth;
  constexpr int inner_size = kSpoitCellSize - 2 * kSpoitFrameWidth;
  rasters->drawRGBBox(spoit->raster, 255 - r, 255 - g, 255 - b, kSpoitFrameOrigin,
                      kSpoitFrameOrigin, kSpoitCellSize, kSpoitCellSize);
  rasters->drawRGBBox(spoit->raster, r, g, b, inner, inner, inner_size, inner_size);
  rasters->blitPanel(spoit->raster, 0, 0, spoit->panel, kSpoitBlitOffset, kSpoitBlitOffset,
                     kSpoitRaster, kSpoitRaster);
}

void spoit_panel_show_area(SpoitPanel *spoit, int size, ColorTriple sampled) {
  spoit->sample_size = size;
  spoit->sampled = sampled;
}

void spoit_panel_show(SpoitPanel *spoit, const SampleBlock &block) {
  for (int i = 0; i < kSampleBlockCells; ++i) {
    const uint32_t c = block.rgb[i];
    spoit->red[i] = static_cast<int32_t>((c >> 16) & 0xFF);
    spoit->green[i] = static_cast<int32_t>((c >> 8) & 0xFF);
    spoit->blue[i] = static_cast<int32_t>(c & 0xFF);
  }
}
