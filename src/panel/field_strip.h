// The hue-saturation field and the value strip: their painters, markers and
// area callbacks, and the picker's area table.
#pragma once

#include "color/color.h"
#include "panel/areas.h"

struct MarkerGlyph {
  int32_t width;
  int32_t height;
  const int8_t *codes;     // row-major, top row first
  const int32_t *palette;  // host colour codes; 0 is not drawn
};

extern const MarkerGlyph kCrosshairGlyph;
extern const MarkerGlyph kArrowGlyph;
extern const MarkerGlyph kBeyondGlyph;  // the strip's marker for a value beyond 0..255
extern const AreaDef kPickerAreaTable[];

constexpr int kStripWidth = 30;
constexpr int kStripColourColumns = 22;

void draw_hs_field(GradientState *gradient, LWRasterID raster, const ColorTriple *hsv,
                   int32_t *marker_x, int32_t *marker_y);
void draw_value_strip(GradientState *gradient, LWRasterID raster, const ColorTriple *hsv);

// Pixel colours of the two gradients, from the ramp with integer arithmetic.
ColorTriple field_pixel(const GradientState *gradient, int x, int y);
ColorTriple strip_row_colour(const GradientState *gradient, int hue, int saturation, int y);
