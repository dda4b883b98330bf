#include "panel/field_strip.h"

#include "binding/services.h"
#include "panel/color_sync.h"
#include "panel/picker_panel.h"

// ---- Marker glyphs ---------------------------------------------------------

static const int32_t kCrosshairPalette[] = {0, LWP_NORMAL, LWP_HEADLINE};
static const int8_t kCrosshairCodes[15 * 15] = {
    0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0,  //
    1, 1, 1, 1, 1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 1,  //
    1, 2, 2, 2, 2, 1, 0, 0, 0, 1, 2, 2, 2, 2, 1,  //
    1, 1, 1, 1, 1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 1,  //
    0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0,  //
};
const MarkerGlyph kCrosshairGlyph = {15, 15, kCrosshairCodes, kCrosshairPalette};

static const int32_t kArrowPalette[] = {0, LWP_NORMAL, LWP_EDIT_SEL};
static const int8_t kArrowCodes[15 * 8] = {
    0, 0, 0, 0, 0, 0, 1, 1,  //
    0, 0, 0, 0, 0, 1, 2, 1,  //
    0, 0, 0, 0, 1, 2, 2, 1,  //
    0, 0, 0, 1, 2, 2, 2, 1,  //
    0, 0, 1, 2, 2, 2, 2, 1,  //
    0, 1, 2, 2, 2, 2, 2, 1,  //
    1, 2, 2, 2, 2, 2, 2, 1,  //
    1, 1, 1, 1, 1, 1, 1, 1,  //
    1, 2, 2, 2, 2, 2, 2, 1,  //
    0, 1, 2, 2, 2, 2, 2, 1,  //
    0, 0, 1, 2, 2, 2, 2, 1,  //
    0, 0, 0, 1, 2, 2, 2, 1,  //
    0, 0, 0, 0, 1, 2, 2, 1,  //
    0, 0, 0, 0, 0, 1, 2, 1,  //
    0, 0, 0, 0, 0, 0, 1, 1,  //
};
const MarkerGlyph kArrowGlyph = {8, 15, kArrowCodes, kArrowPalette};

// A value beyond the strip (above 255, or below 0): an arrow pointing along
// the strip past its end, white, at that end. Drawn as here at the top, and
// upside down at the bottom.
static const int32_t kBeyondPalette[] = {0, LWP_NORMAL, LWP_HEADLINE};
static const int8_t kBeyondCodes[8 * 8] = {
    0, 0, 0, 1, 1, 0, 0, 0,  //
    0, 0, 1, 2, 2, 1, 0, 0,  //
    0, 1, 2, 2, 2, 2, 1, 0,  //
    1, 2, 2, 2, 2, 2, 2, 1,  //
    1, 1, 1, 2, 2, 1, 1, 1,  //
    0, 0, 1, 2, 2, 1, 0, 0,  //
    0, 0, 1, 2, 2, 1, 0, 0,  //
    0, 0, 1, 1, 1, 1, 0, 0,  //
};
const MarkerGlyph kBeyondGlyph = {8, 8, kBeyondCodes, kBeyondPalette};

// ---- Painters ----------------------------------------------------------------

ColorTriple field_pixel(const GradientState *g, int x, int y) {
  const int32_t keep = 255 - y, white = 255 * y;
  return {(g->red_ramp[x] * keep + white) / 255, (g->green_ramp[x] * keep + white) / 255,
          (g->blue_ramp[x] * keep + white) / 255};
}

ColorTriple strip_row_colour(const GradientState *g, int hue, int saturation, int y) {
  const int32_t dim = 255 - y;
  const int32_t full_r = (saturation * (g->red_ramp[hue] - 255) + 65025) / 255;
  const int32_t full_g = (saturation * (g->green_ramp[hue] - 255) + 65025) / 255;
  const int32_t full_b = (saturation * (g->blue_ramp[hue] - 255) + 65025) / 255;
  return {(dim * full_r) / 255, (dim * full_g) / 255, (dim * full_b) / 255};
}

// Glyphs are handed to the raster unclipped; the host ignores pixels beyond
// it.
// `upside_down` draws the glyph's rows bottom first.
static void draw_glyph(LWRasterID raster, const MarkerGlyph &glyph, int left, int top,
                       bool upside_down = false) {
  for (int r = 0; r < glyph.height; ++r) {
    const int row = upside_down ? glyph.height - 1 - r : r;
    for (int k = 0; k < glyph.width; ++k) {
      const int32_t colour = glyph.palette[glyph.codes[row * glyph.width + k]];
      if (colour) g_raster_funcs->drawPixel(raster, colour, left + k, top + r);
    }
  }
}

// field_pixel over a rectangle, with what does not change along a row (the
// ramps, the row's blend, the host's pixel function) read once per row
// rather than once per pixel: a full repaint is 65,536 pixels. Callers clip
// to the field, so y is 0..255 and the blend is done unsigned (the same
// values, without an overflow check per channel in the sanitizer builds).
static void paint_field_rect(const GradientState *g, LWRasterID raster, int x0, int y0, int x1,
                             int y1) {
  const uint8_t *const red = g->red_ramp, *const green = g->green_ramp, *const blue = g->blue_ramp;
  void (*const rgb_pixel)(LWRasterID, int, int, int, int, int) = g_raster_funcs->drawRGBPixel;
  for (int y = y0; y < y1; ++y) {
    const uint32_t keep = 255u - static_cast<uint32_t>(y), white = 255u * static_cast<uint32_t>(y);
    for (int x = x0; x < x1; ++x)
      rgb_pixel(raster, static_cast<int>((red[x] * keep + white) / 255u),
                static_cast<int>((green[x] * keep + white) / 255u),
                static_cast<int>((blue[x] * keep + white) / 255u), x, y);
  }
}

static int clamp_to(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Editor values reach the painters unclamped. A marker goes where H, S or V
// puts it, also partly or wholly off its raster; the value is only held
// within 16 of the range, past which no marker pixel lands on the raster
// and the arithmetic would no longer be defined.
static int clamp_marker(int32_t v) { return clamp_to(v, -16, 255 + 16); }

void draw_hs_field(GradientState *g, LWRasterID raster, const ColorTriple *hsv, int32_t *marker_x,
                   int32_t *marker_y) {
  if (!raster) return;
  if (g->field_repaint_all) {
    g->field_repaint_all = 0;
    paint_field_rect(g, raster, 0, 0, g->width, g->height);
  } else {
    // Restore the 16 x 16 pixels under the previous crosshair, clipped.
    const int px = clamp_to(*marker_x, -16, g->width + 16);
    const int py = clamp_to(*marker_y, -16, g->height + 16);
    paint_field_rect(g, raster, clamp_to(px - 8, 0, g->width), clamp_to(py - 8, 0, g->height),
                     clamp_to(px + 8, 0, g->width), clamp_to(py + 8, 0, g->height));
  }
  const int cx = clamp_marker(hsv->a);
  const int cy = g->height - clamp_marker(hsv->b) - 1;
  draw_glyph(raster, kCrosshairGlyph, cx - 7, cy - 7);
  *marker_x = cx;
  *marker_y = cy;
}

void draw_value_strip(GradientState *g, LWRasterID raster, const ColorTriple *hsv) {
  if (!raster) return;
  if (g->strip_repaint_all) {
    g->strip_repaint_all = 0;
    const int hue = clamp_channel(hsv->a), saturation = clamp_channel(hsv->b);
    for (int y = 0; y < g->height; ++y) {
      const ColorTriple c = strip_row_colour(g, hue, saturation, y);
      g_raster_funcs->drawRGBBox(raster, c.a, c.b, c.c, 0, y, kStripColourColumns, 1);
    }
  }
  g_raster_funcs->eraseBox(raster, kStripColourColumns, 0, kStripWidth - kStripColourColumns,
                           g->height);
  // A value the strip cannot reach stays in sight, at the end it lies beyond.
  if (hsv->c > 255) {
    draw_glyph(raster, kBeyondGlyph, kStripColourColumns, 0);
  } else if (hsv->c < 0) {
    draw_glyph(raster, kBeyondGlyph, kStripColourColumns, g->height - kBeyondGlyph.height, true);
  } else {
    const int cy = g->height - hsv->c - 1;
    draw_glyph(raster, kArrowGlyph, kStripColourColumns, cy - 7);
  }
}

// ---- Area callbacks ------------------------------------------------------------

static void field_area_init(void *, void *owner, int, int, int, int, int) {
  if (owner) static_cast<PickerPanel *>(owner)->gradient->field_repaint_all = 1;
}

static void strip_area_init(void *, void *owner, int, int, int, int, int) {
  if (owner) static_cast<PickerPanel *>(owner)->gradient->strip_repaint_all = 1;
}

static bool drags_with_left_button(int flags) {
  return (flags & MOUSE_LEFT) && !(flags & MOUSE_MID);
}

static void send_hsv_to_editor(PickerPanel *picker) {
  const ColorTriple &hsv = picker->current_hsv;
  control_set_triple(picker->hsv_editor, CTL_VALUE, hsv.a, hsv.b, hsv.c);
}

static int field_area_event(LWPanelID, void *owner, int flags, int lx, int ly, int32_t *previous) {
  PickerPanel *picker = static_cast<PickerPanel *>(owner);
  if (!picker) return 0;
  if (previous && lx == previous[0] && ly == previous[1]) return 0;
  if (!drags_with_left_button(flags)) return 0;
  picker->gradient->strip_repaint_all = 1;
  picker->current_hsv.a = clamp_channel(lx);
  picker->current_hsv.b = picker->gradient->height - clamp_channel(ly) - 1;
  send_hsv_to_editor(picker);
  apply_hsv_change(picker);
  return 0;
}

static int strip_area_event(LWPanelID, void *owner, int flags, int, int ly, int32_t *previous) {
  PickerPanel *picker = static_cast<PickerPanel *>(owner);
  if (!picker) return 0;
  if (previous && ly == previous[1]) return 0;
  if (!drags_with_left_button(flags)) return 0;
  picker->current_hsv.c = picker->gradient->height - clamp_channel(ly) - 1;
  send_hsv_to_editor(picker);
  apply_hsv_change(picker);
  return 0;
}

static LWRasterID owner_raster(PickerPanel *picker, int index) {
  const AreaSet *set = picker->areas;
  return (set && index < set->count) ? set->rasters[index] : nullptr;
}

static void field_area_draw(void *, void *owner, int, int, int, int, int) {
  PickerPanel *picker = static_cast<PickerPanel *>(owner);
  if (!picker) return;
  draw_hs_field(picker->gradient, owner_raster(picker, 0), &picker->current_hsv,
                &picker->field_marker_x, &picker->field_marker_y);
}

static void strip_area_draw(void *, void *owner, int, int, int, int, int) {
  PickerPanel *picker = static_cast<PickerPanel *>(owner);
  if (!picker) return;
  draw_value_strip(picker->gradient, owner_raster(picker, 1), &picker->current_hsv);
}

// ---- Area table ------------------------------------------------------------

const AreaDef kPickerAreaTable[] = {
    {AREA_RASTER, 4, 8, 256, 256, field_area_init, field_area_event, field_area_draw},
    {AREA_RASTER, 268, 8, kStripWidth, 256, strip_area_init, strip_area_event, strip_area_draw},
    {AREA_RASTER, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};
