#include "color/color.h"

#include <math.h>
#include <stdlib.h>

#include "base/alloc.h"

// Truncates toward zero; the caller guarantees the value fits an int.
static int32_t trunc_int(double v) { return static_cast<int32_t>(v); }

void hsv_to_rgb(ColorTriple *out, const ColorTriple *in) {
  const int32_t h = in->a, s = in->b, v = in->c;
  if (s == 0) {
    out->a = out->b = out->c = v;
    return;
  }
  const double hf = ((h / 255.0) * 359.0) / 60.0;
  const double sector = floor(hf);
  // Hues outside 0..255 leave the output as it was; this also keeps the
  // sector conversion below away from values that do not fit an int.
  if (!(sector >= 0.0 && sector <= 5.0)) return;
  const int i = static_cast<int>(sector);
  const double f = hf - i;
  const double sd = s / 255.0;
  const double vd = v;
  // The products can leave the int range when S or V are far outside
  // 0..255 (editor values are taken as delivered); saturate them.
  auto to_int = [](double x) -> int32_t {
    if (x != x) return 0;
    if (x >= 2147483647.0) return INT32_MAX;
    if (x <= -2147483648.0) return INT32_MIN;
    return trunc_int(x);
  };
  const int32_t p = to_int((1.0 - sd) * vd);
  const int32_t q = to_int((1.0 - sd * f) * vd);
  const int32_t t = to_int((1.0 - (1.0 - f) * sd) * vd);
  switch (i) {
    case 0: *out = {v, t, p}; break;
    case 1: *out = {q, v, p}; break;
    case 2: *out = {p, v, t}; break;
    case 3: *out = {p, q, v}; break;
    case 4: *out = {t, p, v}; break;
    default: *out = {v, p, q}; break;
  }
}

void rgb_to_hsv(const ColorTriple *in, ColorTriple *out) {
  const int32_t r = in->a, g = in->b, b = in->c;
  int32_t max = r;
  if (max < g) max = g;
  if (max < b) max = b;
  int32_t min = r;
  if (min > g) min = g;
  if (min > b) min = b;
  out->c = max;
  if (max == 0) {
    out->a = 0;
    out->b = 0;
    return;
  }
  // Differences in double: channels far outside 0..255 must not overflow.
  const double delta = static_cast<double>(max) - min;
  const double s = (delta / max) * 255.0;
  // Negative maxima give ratios far outside 0..255; keep them in int range.
  out->b =
      (s >= 2147483647.0 || s <= -2147483648.0) ? (s > 0 ? INT32_MAX : INT32_MIN) : trunc_int(s);
  if (max == min) {
    out->a = 0;
    return;
  }
  const double rc = (max - static_cast<double>(r)) / delta;
  const double gc = (max - static_cast<double>(g)) / delta;
  const double bc = (max - static_cast<double>(b)) / delta;
  double h;
  if (max == r)
    h = bc - gc;
  else if (max == g)
    h = (rc + 2.0) - bc;
  else
    h = (gc + 4.0) - rc;
  h *= 60.0;
  if (h < 0.0) h += 360.0;
  out->a = trunc_int((h / 359.0) * 255.0);
}

GradientState *gradient_create(void) {
  GradientState *g = static_cast<GradientState *>(plugin_malloc(sizeof(GradientState)));
  if (!g) return nullptr;
  g->width = 256;
  g->height = 256;
  g->field_repaint_all = 1;
  g->strip_repaint_all = 1;
  g->red_ramp = static_cast<uint8_t *>(plugin_malloc(g->width));
  g->green_ramp = static_cast<uint8_t *>(plugin_malloc(g->width));
  g->blue_ramp = static_cast<uint8_t *>(plugin_malloc(g->width));
  if (!g->red_ramp || !g->green_ramp || !g->blue_ramp) {
    free(g->red_ramp);
    free(g->green_ramp);
    free(g->blue_ramp);
    free(g);
    return nullptr;
  }
  double acc = 0.0;
  for (int k = 0; k < g->width; ++k) {
    const ColorTriple hsv = {trunc_int(acc), 255, 255};
    ColorTriple rgb = {0, 0, 0};
    hsv_to_rgb(&rgb, &hsv);
    g->red_ramp[k] = static_cast<uint8_t>(rgb.a);
    g->green_ramp[k] = static_cast<uint8_t>(rgb.b);
    g->blue_ramp[k] = static_cast<uint8_t>(rgb.c);
    acc += 255.0 / g->width;
  }
  return g;
}

// The largest and smallest products trunc_int takes; inf and NaN fail both.
static bool fits_int(double v) { return v > -2147483649.0 && v < 2147483648.0; }

bool channel_fits(float channel) { return fits_int(static_cast<double>(channel) * 255.0); }

int32_t channel_from_float(float channel) {
  const double v = static_cast<double>(channel) * 255.0;
  if (fits_int(v)) return trunc_int(v);
  return v > 0.0 ? 255 : 0;  // NaN compares false: 0
}

ColorTriple channels_from_floats(const float channel[3]) {
  ColorTriple rgb = {channel_from_float(channel[0]), channel_from_float(channel[1]),
                     channel_from_float(channel[2])};
  if (!saturation_fits(&rgb))
    rgb = {rgb.a < 0 ? 0 : rgb.a, rgb.b < 0 ? 0 : rgb.b, rgb.c < 0 ? 0 : rgb.c};
  return rgb;
}

bool hsv_products_fit(const ColorTriple *hsv) {
  if (hsv->b == 0) return true;
  const double hf = ((hsv->a / 255.0) * 359.0) / 60.0;
  const double sector = floor(hf);
  if (!(sector >= 0.0 && sector <= 5.0)) return true;  // nothing is written
  const double f = hf - sector, sd = hsv->b / 255.0, vd = hsv->c;
  // hsv_to_rgb's three products, which it saturates at the int limits.
  const double products[3] = {(1.0 - sd) * vd, (1.0 - sd * f) * vd, (1.0 - (1.0 - f) * sd) * vd};
  for (double x : products)
    if (!(x < 2147483647.0 && x > -2147483648.0)) return false;
  return true;
}

bool saturation_fits(const ColorTriple *rgb) {
  const double max =
      rgb->a > rgb->b ? (rgb->a > rgb->c ? rgb->a : rgb->c) : (rgb->b > rgb->c ? rgb->b : rgb->c);
  const double min =
      rgb->a < rgb->b ? (rgb->a < rgb->c ? rgb->a : rgb->c) : (rgb->b < rgb->c ? rgb->b : rgb->c);
  // rgb_to_hsv's saturation saturates at the int limits (its own bounds).
  const double s = max == 0.0 ? 0.0 : ((max - min) / max) * 255.0;
  return s < 2147483647.0 && s > -2147483648.0;
}

float channel_to_float(int32_t channel) { return static_cast<float>(channel) / 255.0f; }

int32_t clamp_channel(int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

double srgb_to_linear(int32_t channel) {
  const double c = clamp_channel(channel) / 255.0;
  return c <= 0.04045 ? c / 12.92 : pow((c + 0.055) / 1.055, 2.4);
}

int32_t linear_to_srgb(double linear) {
  if (!(linear > 0.0)) return 0;  // NaN too
  if (linear >= 1.0) return 255;
  const double c = linear <= 0.0031308 ? linear * 12.92 : 1.055 * pow(linear, 1.0 / 2.4) - 0.055;
  return trunc_int(c * 255.0 + 0.5);
}

void linear_sum_add(LinearSum *sum, ColorTriple rgb) {
  sum->r += srgb_to_linear(rgb.a);
  sum->g += srgb_to_linear(rgb.b);
  sum->b += srgb_to_linear(rgb.c);
  ++sum->count;
}

bool linear_sum_average(const LinearSum *sum, ColorTriple *out) {
  if (sum->count <= 0) return false;
  const double n = sum->count;
  *out = {linear_to_srgb(sum->r / n), linear_to_srgb(sum->g / n), linear_to_srgb(sum->b / n)};
  return true;
}
