// Colour model: integer RGB and HSV triples, their conversions, and the hue
// ramp from which the gradients are painted.
#pragma once

#include <stdint.h>

// Three channels, R G B or H S V, each nominally 0..255. Hue 0..255 stands
// for 0..359 degrees.
struct ColorTriple {
  int32_t a;  // R or H
  int32_t b;  // G or S
  int32_t c;  // B or V
};

// Hue index 0..255 to degrees uses 359, not 360.
void hsv_to_rgb(ColorTriple *out_rgb, const ColorTriple *in_hsv);
void rgb_to_hsv(const ColorTriple *in_rgb, ColorTriple *out_hsv);

struct GradientState {
  int32_t width;   // ramp entries and field width: 256
  int32_t height;  // field and strip height: 256
  int32_t field_repaint_all;
  int32_t strip_repaint_all;
  uint8_t *red_ramp;
  uint8_t *green_ramp;
  uint8_t *blue_ramp;
};

// Returns null only when an allocation fails.
GradientState *gradient_create(void);

// Host float channel to int: trunc(channel * 255) in double, unclamped for
// every value whose product fits an int (channel_fits). An int editor cannot
// show any other value, so NaN gives 0 and the rest the nearest end of
// 0..255: 255 beyond the top, 0 beyond the bottom.
int32_t channel_from_float(float channel);
// Whether trunc(channel * 255) is a finite value that fits an int.
bool channel_fits(float channel);
// Whether rgb_to_hsv gives this colour a saturation that fits an int (it
// does not when every channel is negative and they lie far apart).
bool saturation_fits(const ColorTriple *rgb);
// Three host floats as the panel loads them: each by channel_from_float;
// and when the saturation of those would not fit an int (all of them
// negative, far apart), the negative ones as 0, the end they lie beyond.
ColorTriple channels_from_floats(const float channel[3]);
// Whether hsv_to_rgb gives this HSV channels that fit an int (it does not
// for S or V far outside 0..255).
bool hsv_products_fit(const ColorTriple *hsv);
// Int channel to host float: converted to float, then divided by 255.
float channel_to_float(int32_t channel);

// Clamps to 0..255, for indexing and painter arithmetic.
int32_t clamp_channel(int32_t v);

// ---- Averages in linear light -------------------------------------------------

// An 8-bit sRGB channel (clamped to 0..255) decoded to linear light, 0..1,
// by the sRGB transfer function (IEC 61966-2-1).
double srgb_to_linear(int32_t channel);
// Linear light (clamped to 0..1) encoded as an 8-bit sRGB channel, rounded
// to the nearest; srgb_to_linear's exact inverse on every 8-bit channel.
int32_t linear_to_srgb(double linear);

// Colours summed in linear light, for their average.
struct LinearSum {
  double r, g, b;
  int32_t count;
};
void linear_sum_add(LinearSum *sum, ColorTriple rgb);
// The average of what was added, encoded again; false (and *out untouched)
// when nothing was.
bool linear_sum_average(const LinearSum *sum, ColorTriple *out);
