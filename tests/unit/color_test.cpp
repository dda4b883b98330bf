// Colour model: the two conversions, the host-boundary channel conversions
// and the hue ramp. The conversions are checked against a plain reference
// written from the algorithm's steps, over every 8-bit input and over
// extreme ints, plus the hand-derived tables that pin the exact truncations.
#include "color/color.h"

#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "color/color_text.h"
#include "color/float_text.h"

namespace {

bool operator==(const ColorTriple &x, const ColorTriple &y) {
  return x.a == y.a && x.b == y.b && x.c == y.c;
}

std::string str(const ColorTriple &t) {
  std::ostringstream os;
  os << "(" << t.a << ", " << t.b << ", " << t.c << ")";
  return os.str();
}

// ---- Reference conversions -------------------------------------------------
// Straight from the steps: double arithmetic, truncation toward zero. Where
// a product leaves the int range the result saturates (NaN gives 0), which
// is the defined behaviour for inputs far outside 0..255.

int32_t ref_trunc(double x) {
  if (std::isnan(x)) return 0;
  const double t = std::trunc(x);
  if (t >= 2147483647.0) return INT32_MAX;
  if (t <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(t);
}

// Returns false, leaving `out` alone, when the hue lies outside every sector.
bool ref_hsv_to_rgb(int32_t H, int32_t S, int32_t V, ColorTriple *out) {
  if (S == 0) {
    *out = {V, V, V};
    return true;
  }
  const double hf = ((static_cast<double>(H) / 255.0) * 359.0) / 60.0;
  const double sector = std::floor(hf);
  if (sector < 0.0 || sector > 5.0) return false;
  const int i = static_cast<int>(sector);
  const double f = hf - i;
  const double s = static_cast<double>(S) / 255.0;
  const double v = static_cast<double>(V);
  const int32_t p = ref_trunc((1.0 - s) * v);
  const int32_t q = ref_trunc((1.0 - s * f) * v);
  const int32_t t = ref_trunc((1.0 - (1.0 - f) * s) * v);
  const ColorTriple by_sector[6] = {{V, t, p}, {q, V, p}, {p, V, t},
                                    {p, q, V}, {t, p, V}, {V, p, q}};
  *out = by_sector[i];
  return true;
}

ColorTriple ref_rgb_to_hsv(int32_t R, int32_t G, int32_t B) {
  int32_t max = R;
  if (max < G) max = G;
  if (max < B) max = B;
  int32_t min = R;
  if (min > G) min = G;
  if (min > B) min = B;
  if (max == 0) return {0, 0, 0};
  const double dmax = max;
  const double delta = dmax - min;
  const int32_t S = ref_trunc((delta / dmax) * 255.0);
  if (max == min) return {0, S, max};
  const double rc = (dmax - R) / delta;
  const double gc = (dmax - G) / delta;
  const double bc = (dmax - B) / delta;
  double h;
  if (max == R) {
    h = bc - gc;
  } else if (max == G) {
    h = (rc + 2.0) - bc;
  } else {
    h = (gc + 4.0) - rc;
  }
  h *= 60.0;
  if (h < 0.0) h += 360.0;
  return {ref_trunc((h / 359.0) * 255.0), S, max};
}

ColorTriple to_hsv(ColorTriple rgb) {
  ColorTriple hsv = {-12345, -12345, -12345};
  rgb_to_hsv(&rgb, &hsv);
  return hsv;
}

ColorTriple to_rgb(ColorTriple hsv, ColorTriple out = {-12345, -12345, -12345}) {
  hsv_to_rgb(&out, &hsv);
  return out;
}

// ---- Hand-derived tables ----------------------------------------------------

struct RoundTripRow {
  ColorTriple rgb, hsv, back;
  const char *what;
};

const RoundTripRow kRoundTrips[] = {
    {{255, 0, 0}, {0, 255, 255}, {255, 0, 0}, "red"},
    {{0, 255, 0}, {85, 255, 255}, {1, 255, 0}, "green"},
    {{0, 0, 255}, {170, 255, 255}, {0, 2, 255}, "blue"},
    {{255, 255, 0}, {42, 255, 255}, {255, 251, 0}, "red and green tie"},
    {{0, 255, 255}, {127, 255, 255}, {0, 255, 249}, "green and blue tie"},
    {{255, 0, 255}, {213, 255, 255}, {254, 0, 255}, "red and blue tie"},
    {{255, 0, 1}, {255, 255, 255}, {255, 0, 4}, "angle just below 360"},
    {{200, 100, 50}, {14, 191, 200}, {200, 99, 50}, "orange"},
    {{10, 20, 30}, {149, 170, 30}, {10, 20, 30}, "dark blue"},
    {{128, 128, 128}, {0, 0, 128}, {128, 128, 128}, "grey"},
    {{255, 255, 255}, {0, 0, 255}, {255, 255, 255}, "white"},
    {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, "black, max is 0"},
};

TEST(ColorConversion, RoundTripTable) {
  for (const RoundTripRow &row : kRoundTrips) {
    SCOPED_TRACE(row.what);
    const ColorTriple hsv = to_hsv(row.rgb);
    EXPECT_EQ(str(hsv), str(row.hsv));
    EXPECT_EQ(str(to_rgb(hsv)), str(row.back));
  }
}

struct HsvRow {
  ColorTriple hsv, rgb;
  const char *what;
};

TEST(ColorConversion, HsvToRgbTable) {
  const HsvRow rows[] = {
      {{43, 255, 255}, {252, 255, 0}, "first index of sector 1"},
      {{42, 255, 255}, {255, 251, 0}, "last index of sector 0"},
      {{255, 0, 77}, {77, 77, 77}, "saturation 0 takes the grey path"},
      {{128, 128, 200}, {99, 199, 200}, "sector 3, half saturated"},
      {{100, 10, 10}, {9, 10, 9}, "low saturation and value"},
      {{256, 0, 77}, {77, 77, 77}, "grey path ignores the hue"},
      {{-1, 0, -5}, {-5, -5, -5}, "grey path copies V unclamped"},
  };
  for (const HsvRow &row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(str(to_rgb(row.hsv)), str(row.rgb));
  }
}

TEST(ColorConversion, HueOutsideSectorsLeavesOutputUnchanged) {
  const int32_t hues[] = {256, 257, 300, -1, -43, INT32_MAX, INT32_MIN};
  const int32_t sats[] = {1, 255, -1, INT32_MAX, INT32_MIN};
  const ColorTriple sentinel = {-7, 8, 1000};
  for (int32_t h : hues) {
    for (int32_t s : sats) {
      SCOPED_TRACE("H=" + std::to_string(h) + " S=" + std::to_string(s));
      EXPECT_EQ(str(to_rgb({h, s, 200}, sentinel)), str(sentinel));
    }
  }
}

TEST(ColorConversion, ConvertingInPlaceReadsInputFirst) {
  ColorTriple t = {200, 100, 50};
  rgb_to_hsv(&t, &t);
  EXPECT_EQ(str(t), str({14, 191, 200}));
  hsv_to_rgb(&t, &t);
  EXPECT_EQ(str(t), str({200, 99, 50}));
}

// ---- Exhaustive sweeps against the reference -------------------------------

struct Mismatches {
  int64_t count = 0;
  std::vector<std::string> first;
  void add(const std::string &s) {
    if (++count <= 5) first.push_back(s);
  }
  std::string report() const {
    std::string r = std::to_string(count) + " mismatches, first:";
    for (const std::string &s : first) r += "\n  " + s;
    return r;
  }
};

// Every 8-bit RGB colour: its HSV and its way back both match the reference,
// and the HSV stays in 0..255 with V the largest channel.
TEST(ColorConversion, EveryRgbColourMatchesReference) {
  Mismatches bad;
  int64_t out_of_range = 0;
  for (int32_t r = 0; r < 256; ++r) {
    for (int32_t g = 0; g < 256; ++g) {
      for (int32_t b = 0; b < 256; ++b) {
        const ColorTriple rgb = {r, g, b};
        ColorTriple hsv = {-1, -1, -1};
        rgb_to_hsv(&rgb, &hsv);
        const ColorTriple want = ref_rgb_to_hsv(r, g, b);
        if (!(hsv == want)) {
          bad.add("rgb " + str(rgb) + ": got " + str(hsv) + " want " + str(want));
          continue;
        }
        if (hsv.a < 0 || hsv.a > 255 || hsv.b < 0 || hsv.b > 255) ++out_of_range;
        ColorTriple back = {-1, -1, -1};
        hsv_to_rgb(&back, &hsv);
        ColorTriple want_back = {-1, -1, -1};
        ref_hsv_to_rgb(hsv.a, hsv.b, hsv.c, &want_back);
        if (!(back == want_back)) {
          bad.add("back from hsv " + str(hsv) + ": got " + str(back) + " want " + str(want_back));
        }
      }
    }
  }
  EXPECT_EQ(bad.count, 0) << bad.report();
  EXPECT_EQ(out_of_range, 0);
}

// Every HSV triple in 0..255, plus the hues just outside the range.
TEST(ColorConversion, EveryHsvTripleMatchesReference) {
  Mismatches bad;
  const ColorTriple sentinel = {-7, -8, -9};
  for (int32_t h = -2; h < 258; ++h) {
    for (int32_t s = 0; s < 256; ++s) {
      for (int32_t v = 0; v < 256; ++v) {
        const ColorTriple hsv = {h, s, v};
        ColorTriple got = sentinel;
        hsv_to_rgb(&got, &hsv);
        ColorTriple want = sentinel;
        ref_hsv_to_rgb(h, s, v, &want);
        if (!(got == want)) {
          bad.add("hsv " + str(hsv) + ": got " + str(got) + " want " + str(want));
        }
      }
    }
  }
  EXPECT_EQ(bad.count, 0) << bad.report();
}

// Channels far outside 0..255 (editor values are taken as delivered) give
// the reference's saturated results and no undefined behaviour.
TEST(ColorConversion, ExtremeChannelsMatchSaturatingReference) {
  const int32_t values[] = {INT32_MIN, INT32_MIN + 1, -65536, -256,          -1,       0, 1,
                            255,       256,           65536,  INT32_MAX - 1, INT32_MAX};
  Mismatches bad;
  const ColorTriple sentinel = {-7, -8, -9};
  for (int32_t x : values) {
    for (int32_t y : values) {
      for (int32_t z : values) {
        const ColorTriple in = {x, y, z};
        ColorTriple hsv = sentinel;
        rgb_to_hsv(&in, &hsv);
        const ColorTriple want_hsv = ref_rgb_to_hsv(x, y, z);
        if (!(hsv == want_hsv)) bad.add("rgb_to_hsv " + str(in) + ": " + str(hsv));
        for (int32_t h : {0, 42, 43, 127, 200, 255, x}) {
          const ColorTriple hin = {h, y, z};
          ColorTriple rgb = sentinel;
          hsv_to_rgb(&rgb, &hin);
          ColorTriple want_rgb = sentinel;
          ref_hsv_to_rgb(h, y, z, &want_rgb);
          if (!(rgb == want_rgb)) bad.add("hsv_to_rgb " + str(hin) + ": " + str(rgb));
        }
      }
    }
  }
  EXPECT_EQ(bad.count, 0) << bad.report();
}

TEST(ColorConversion, ExtremeChannelsTable) {
  struct Row {
    ColorTriple in, out;
    bool to_hsv;
    const char *what;
  };
  const Row rows[] = {
      {{-1, -2, -3}, {21, -510, -1}, true, "negative channels are not clamped"},
      {{1, INT32_MIN, INT32_MIN}, {0, INT32_MAX, 1}, true, "saturation saturates high"},
      {{-1, INT32_MIN, INT32_MIN}, {0, INT32_MIN, -1}, true, "negative max saturates low"},
      {{INT32_MIN, INT32_MIN, INT32_MIN}, {0, 0, INT32_MIN}, true, "grey at INT32_MIN"},
      {{INT32_MAX, 0, 0}, {0, 255, INT32_MAX}, true, "red at INT32_MAX"},
      {{0, INT32_MAX, INT32_MAX},
       {INT32_MAX, INT32_MIN, INT32_MIN},
       false,
       "S and V at INT32_MAX: p and t saturate"},
      {{0, 510, 100}, {100, -100, -100}, false, "S above 255 drives p and t negative"},
      {{0, 255, -100}, {-100, 0, 0}, false, "negative V scales to zero"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(str(row.to_hsv ? to_hsv(row.in) : to_rgb(row.in)), str(row.out));
  }
}

// ---- Host boundary ------------------------------------------------------------

TEST(ChannelConversion, FromFloat) {
  const float inf = std::numeric_limits<float>::infinity();
  struct Row {
    float in;
    int32_t out;
    const char *what;
  };
  const Row rows[] = {
      {0.5f, 127, "truncates"},
      {1.0f, 255, "one"},
      {2.0f, 510, "not clamped above"},
      {0.0f, 0, "zero"},
      {-0.0f, 0, "negative zero"},
      {-0.5f, -127, "truncates toward zero, not clamped below"},
      {0x1.020202p+0f, 256, "widened to double first (float math gives 257)"},
      {std::nanf(""), 0, "NaN"},
      {inf, 255, "+inf: the top of 0..255"},
      {-inf, 0, "-inf: the bottom of 0..255"},
      {1e30f, 255, "beyond an int: 255"},
      {-1e30f, 0, "beyond an int below: 0"},
      {8421504.0f, 2147483520, "largest product that fits"},
      {8421505.0f, 255, "the next float's product does not"},
      {-8421504.0f, -2147483520, "smallest product that fits"},
      {-8421505.0f, 0, "the next float's below does not"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(channel_from_float(row.in), row.out);
  }
}

TEST(ChannelConversion, ToFloatIsSinglePrecisionDivision) {
  EXPECT_EQ(channel_to_float(127), 127.0f / 255.0f);
  EXPECT_EQ(channel_to_float(0), 0.0f);
  EXPECT_EQ(channel_to_float(255), 1.0f);
  EXPECT_EQ(channel_to_float(-255), -1.0f);
  EXPECT_EQ(channel_to_float(INT32_MAX), 2147483648.0f / 255.0f);
}

// A colour the picker hands back to the host comes in again unchanged.
TEST(ChannelConversion, EightBitChannelsSurviveTheHostBoundary) {
  for (int32_t k = 0; k < 256; ++k) {
    EXPECT_EQ(channel_from_float(channel_to_float(k)), k) << "k=" << k;
  }
}

TEST(ChannelConversion, ClampChannel) {
  const int32_t rows[][2] = {{INT32_MIN, 0}, {-1, 0},    {0, 0},          {128, 128},
                             {255, 255},     {256, 255}, {INT32_MAX, 255}};
  for (const auto &row : rows) EXPECT_EQ(clamp_channel(row[0]), row[1]) << row[0];
}

// ---- Hue ramp ------------------------------------------------------------------

void free_gradient(GradientState *g) {
  free(g->red_ramp);
  free(g->green_ramp);
  free(g->blue_ramp);
  free(g);
}

TEST(GradientCreate, FieldsAndTellingRows) {
  GradientState *g = gradient_create();
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->width, 256);
  EXPECT_EQ(g->height, 256);
  EXPECT_NE(g->field_repaint_all, 0);
  EXPECT_NE(g->strip_repaint_all, 0);
  struct Row {
    int k;
    int r, g, b;
  };
  const Row rows[] = {
      {0, 255, 0, 0},  {1, 255, 0, 0},     {2, 255, 5, 0},   {43, 255, 251, 0},  {44, 252, 255, 0},
      {86, 1, 255, 0}, {128, 0, 255, 249}, {171, 0, 2, 255}, {214, 254, 0, 255}, {255, 255, 0, 10},
  };
  for (const Row &row : rows) {
    EXPECT_EQ(str({g->red_ramp[row.k], g->green_ramp[row.k], g->blue_ramp[row.k]}),
              str({row.r, row.g, row.b}))
        << "entry " << row.k;
  }
  free_gradient(g);
}

// Entry k holds hue index trunc(k * 255 / 256): one index behind from entry 1
// on, and hue index 255 appears nowhere.
TEST(GradientCreate, EveryEntryIsTheShiftedHue) {
  GradientState *g = gradient_create();
  ASSERT_NE(g, nullptr);
  for (int k = 0; k < 256; ++k) {
    ColorTriple want = {-1, -1, -1};
    ASSERT_TRUE(ref_hsv_to_rgb(k * 255 / 256, 255, 255, &want));
    EXPECT_EQ(str({g->red_ramp[k], g->green_ramp[k], g->blue_ramp[k]}), str(want)) << "entry " << k;
  }
  free_gradient(g);
}

}  // namespace

// ---- Colours as clipboard text ------------------------------------------------

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every form the picker takes, and the near misses that must change nothing.
TEST(ColorText, ParseTable) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    std::string text;
    bool ok;
    ColorTriple rgb;
    bool floats;
    float f[3];
  } rows[] = {
      {"#3366CC", true, {51, 102, 204}, false, {}},
      {"  #3366cc\r\n", true, {51, 102, 204}, false, {}},
      {"3366CC", true, {51, 102, 204}, false, {}},
      {"#36c", true, {51, 102, 204}, false, {}},
      {"#FFF", true, {255, 255, 255}, false, {}},
      {"255, 128 ,0", true, {255, 128, 0}, false, {}},
      {"0\t1 255", true, {0, 1, 255}, false, {}},
      {"007 8 9", true, {7, 8, 9}, false, {}},
      {"0.5, 0.25, 1.0", true, {127, 63, 255}, true, {0.5f, 0.25f, 1.0f}},
      // A point or an exponent anywhere makes all three decimals; so do
      // three integers each 0 or 1.
      {"1.0 0 0", true, {255, 0, 0}, true, {1.0f, 0.0f, 0.0f}},
      {"1, 0.5, 0", true, {255, 127, 0}, true, {1.0f, 0.5f, 0.0f}},
      {"1 0 0", true, {255, 0, 0}, true, {1.0f, 0.0f, 0.0f}},
      {"0 1 1", true, {0, 255, 255}, true, {0.0f, 1.0f, 1.0f}},
      {"1e0 2 0", true, {255, 510, 0}, true, {1.0f, 2.0f, 0.0f}},
      {"0.5 128 1.0", true, {127, 32640, 255}, true, {0.5f, 128.0f, 1.0f}},
      {"1 0 2", true, {1, 0, 2}, false, {}},
      {"01 0 0", true, {1, 0, 0}, false, {}},
      {"8421504.0 0 0", true, {2147483520, 0, 0}, true, {8421504.0f, 0.0f, 0.0f}},
      {"2.0 1.0 0.5", true, {510, 255, 127}, true, {2.0f, 1.0f, 0.5f}},
      {"-0.25 .5 5.", true, {-63, 127, 1275}, true, {-0.25f, 0.5f, 5.0f}},
      {"1.0e-45, 0.1, 1.0e6", true, {0, 25, 255000000}, true, {1e-45f, 0.1f, 1e6f}},
      {"1.0E+1 -0.0 255.0e-2", true, {2550, 0, 650}, true, {10.0f, -0.0f, 2.55f}},
      {"0.000000000000000000000000000000000000000000000000000000000001e60 1. 1.",
       true,
       {255, 255, 255},
       true,
       {1.0f, 1.0f, 1.0f}},
      // What the picker copies: the floats are taken.
      {"#FF8000\r\n1.7, 0.5, 0.0", true, {433, 127, 0}, true, {1.7f, 0.5f, 0.0f}},
      {"#FF8000\n1.7 0.5 0.0\n", true, {433, 127, 0}, true, {1.7f, 0.5f, 0.0f}},
      // ... with channels beyond the editors taken as a request's are.
      {"#FF0000\n1.0e+30, 0.5, -3.0e+20", true, {255, 127, 0}, true, {1e30f, 0.5f, -3e20f}},
      {"#000000\n-0.004, -0.004, -8000000.0",
       true,
       {0, 0, 0},
       true,
       {-0.004f, -0.004f, -8000000.0f}},
      // Refused.
      {"", false, {}, false, {}},
      {"#3366C", false, {}, false, {}},
      {"3366CCDD", false, {}, false, {}},
      {"36c", false, {}, false, {}},
      {"#GG0000", false, {}, false, {}},
      {"# 3366CC", false, {}, false, {}},
      {"256 0 0", false, {}, false, {}},
      {"-1 0 0", false, {}, false, {}},
      {"+1 0 0", false, {}, false, {}},
      {"1 2", false, {}, false, {}},
      {"1 2 3 4", false, {}, false, {}},
      {"1,,2,3", false, {}, false, {}},
      {",1 2 3", false, {}, false, {}},
      {"1 2 3,", false, {}, false, {}},
      {"nan 0.5 0.5", false, {}, false, {}},
      {"nan. 0.5 0.5", false, {}, false, {}},
      {"inf 1.0 1.0", false, {}, false, {}},
      {"1.0e39 1.0 1.0", false, {}, false, {}},
      {"3.4028236e38 1.0 1.0", false, {}, false, {}},
      {"1.0e-46 1.0 1.0", false, {}, false, {}},
      {"1.0e 1.0 1.0", false, {}, false, {}},
      {"1.0e+ 1.0 1.0", false, {}, false, {}},
      {"1.0e1.0 1.0 1.0", false, {}, false, {}},
      {"- 1.0 1.0", false, {}, false, {}},
      {". 1.0 1.0", false, {}, false, {}},
      {"-.e1 1.0 1.0", false, {}, false, {}},
      {"0x1.0p0 1.0 1.0", false, {}, false, {}},
      {"1.0.0 1.0 1.0", false, {}, false, {}},
      {"+1.0 1.0 1.0", false, {}, false, {}},
      {"99999999999 0 0", false, {}, false, {}},
      {"#FF8000\r\n255 128 0", false, {}, false, {}},
      {"#FF8000\r\n1 0 0", false, {}, false, {}},
      {"1e 0 0", false, {}, false, {}},
      {"e1 0 0", false, {}, false, {}},
      {"1 0 -1", false, {}, false, {}},
      {"red\n1.0 1.0 1.0", false, {}, false, {}},
      {"#FF8000\n1.0 1.0 1.0\n#000", false, {}, false, {}},
      {std::string("#FFF\0", 5), false, {}, false, {}},
      {std::string(253, ' ') + "#FFF", false, {}, false, {}},
  };
  for (const auto &row : rows) {
    ParsedColor out = {7, {7, 7, 7}, {nan, nan, nan}};
    const bool ok = parse_color_text(row.text.data(), row.text.size(), &out) == ColorTextRead::kOk;
    EXPECT_EQ(ok, row.ok) << row.text;
    if (!row.ok) {
      EXPECT_EQ(out.uses_floats, 7) << "refused text leaves the output alone: " << row.text;
      continue;
    }
    EXPECT_TRUE(str(ColorTriple{out.rgb[0], out.rgb[1], out.rgb[2]}) == str(row.rgb)) << row.text;
    EXPECT_EQ(out.uses_floats != 0, row.floats) << row.text;
    for (int i = 0; row.floats && i < 3; ++i)
      EXPECT_TRUE(same_bits(out.channel[i], row.f[i])) << row.text << " channel " << i;
  }
  // 256 bytes are read, 257 are not; a null text is nothing.
  ParsedColor out;
  EXPECT_EQ(parse_color_text((std::string(252, ' ') + "#FFF").c_str(), 256, &out),
            ColorTextRead::kOk);
  EXPECT_EQ(parse_color_text(nullptr, 0, &out), ColorTextRead::kNotAColour);
}

// Typed decimals whose editor reading would not fit an int are refused as
// such: a channel's trunc(D x 255), or the saturation of all-negative
// channels far apart.
TEST(ColorText, BeyondTheEditorsTable) {
  const struct {
    const char *text;
    ColorTextRead want;
  } rows[] = {
      {"1.0e30 0.5 -3.0e20", ColorTextRead::kBeyondEditors},
      {"8421505.0 0 0", ColorTextRead::kBeyondEditors},
      {"0 0 -8421505.0", ColorTextRead::kBeyondEditors},
      {"0 0 -8421504.0", ColorTextRead::kOk},
      {"3.4e38, 0.1, 0.1", ColorTextRead::kBeyondEditors},
      {"-0.004 -0.004 -8000000.0", ColorTextRead::kBeyondEditors},
      {"-0.004 -0.004 -8000.0", ColorTextRead::kOk},
      {"1.0e39 1.0 1.0", ColorTextRead::kNotAColour},
  };
  for (const auto &row : rows) {
    ParsedColor out;
    EXPECT_EQ(parse_color_text(row.text, std::strlen(row.text), &out), row.want) << row.text;
  }
}

// What the picker copies reads back to the same float bits, and its hex code
// is the colour clamped to 0..255.
TEST(ColorText, CopiedTextReadsBackExactly) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    int32_t rgb[3];
    float f[3];
    const char *text;
  } rows[] = {
      {{51, 102, 153}, {0.2f, 0.4f, 0.6f}, "#336699\r\n0.2, 0.4, 0.6"},
      {{255, 0, 127}, {1.0f, 0.0f, 0.5f}, "#FF007F\r\n1.0, 0.0, 0.5"},
      {{510, -63, 0}, {2.0f, -0.25f, 1e-45f}, "#FF0000\r\n2.0, -0.25, 1.0e-45"},
      {{0, 0, INT32_MAX},
       {1e20f, 1.17549435e-38f, 3.40282347e38f},
       "#0000FF\r\n1.0e+20, 1.1754944e-38, 3.4028235e+38"},
      {{0, 0, 0}, {nan, inf, -inf}, "#000000\r\nnan, inf, -inf"},
      {{0, 0, 0}, {-0.0f, 100000.0f, 1234567.0f}, "#000000\r\n-0.0, 1.0e+05, 1234567.0"},
      {{0, 0, 0}, {16777216.0f, 0.001f, 1e-5f}, "#000000\r\n16777216.0, 0.001, 1.0e-05"},
      {{-5, 300, 0}, {0.1f, 0.33333334f, 1.00000012f}, "#00FF00\r\n0.1, 0.33333334, 1.0000001"},
  };
  for (const auto &row : rows) {
    char buf[kColorTextBufferBytes];
    const size_t n = format_color_text(row.rgb, row.f, buf);
    EXPECT_EQ(std::string(buf, n), row.text);
    ParsedColor back;
    const bool finite = std::isfinite(row.f[0]);
    // A non-finite colour pastes back too, as its hex code.
    ASSERT_EQ(parse_color_text(buf, n, &back), ColorTextRead::kOk) << row.text;
    EXPECT_EQ(back.uses_floats, finite ? 1 : 0);
    for (int i = 0; finite && i < 3; ++i) EXPECT_TRUE(same_bits(back.channel[i], row.f[i])) << i;
    for (int i = 0; !finite && i < 3; ++i) EXPECT_EQ(back.rgb[i], clamp_channel(row.rgb[i])) << i;
  }
}

// The decimal reader against values worked out by hand: the nearest float,
// ties to even, at the edges of the range and of the subnormals, and the
// forms it refuses.
TEST(FloatText, ReadTable) {
  // Texts of 200 digits and more, and a value behind 60 zeros.
  const std::string tie_and_a_bit = "16777217." + std::string(190, '0') + "1";
  const std::string tie_scaled = "16777217" + std::string(192, '0') + "e-192";
  const std::string ones_subnormal = "0." + std::string(40, '0') + std::string(200, '1');
  const std::string nines = std::string(200, '9');
  const std::string tiny = "0." + std::string(199, '0') + "1";
  const std::string leading = "0000000000." + std::string(60, '0') + "123456789e60";
  const struct {
    const char *text;
    FloatRead result;
    uint32_t bits;
  } rows[] = {
      {"1.0", FloatRead::kOk, 0x3f800000},
      {"-2.5", FloatRead::kOk, 0xc0200000},
      {"0.1", FloatRead::kOk, 0x3dcccccd},
      {"16777217.0", FloatRead::kOk, 0x4b800000},  // a tie: to the even 2^24
      {"16777219.0", FloatRead::kOk, 0x4b800002},  // a tie: to the even 2^24 + 4
      {"16777217.000000000000000000000000000000000000000000000001", FloatRead::kOk, 0x4b800001},
      {"3.4028235677973366e38", FloatRead::kOk, 0x7f7fffff},   // just below the overflow tie
      {"3.4028235677973367e38", FloatRead::kOutOfRange, 0},    // at it: to infinity
      {"1.1754942e-38", FloatRead::kOk, 0x007fffff},           // the largest subnormal
      {"1.1754942807573643e-38", FloatRead::kOk, 0x00800000},  // rounds up to the smallest normal
      {"1.4e-45", FloatRead::kOk, 0x00000001},
      {"7.006492321624086e-46", FloatRead::kOk, 0x00000001},  // just above half of it
      {"7.006492321624085e-46", FloatRead::kOutOfRange, 0},   // just below: zero
      // 1.5 and 2.5 subnormal steps exactly: ties, to the even 2 both times;
      // a digit less is below the tie.
      {"2."
       "1019476964872256063855943749348741969203929128147736576356024258346866240287909022299572825"
       "43182373046875E-45",
       FloatRead::kOk, 0x00000002},
      {"3."
       "5032461608120426773093239582247903282006548546912894293926707097244777067146515037165954709"
       "05303955078125e-45",
       FloatRead::kOk, 0x00000002},
      {"2."
       "1019476964872256063855943749348741969203929128147736576356024258346866240287909022299572825"
       "4318237304687e-45",
       FloatRead::kOk, 0x00000001},
      {"0e99999999", FloatRead::kOk, 0x00000000},
      {"-0.000", FloatRead::kOk, 0x80000000},
      {"1e-99999999", FloatRead::kOutOfRange, 0},
      {"00000000000000000000000000000000000001.5e0", FloatRead::kOk, 0x3fc00000},
      // The overflow tie written out in full, and a hair either side of it.
      {"340282356779733661637539395458142568448", FloatRead::kOutOfRange, 0},
      {"340282356779733661637539395458142568447.99999999999999999999", FloatRead::kOk, 0x7f7fffff},
      {"340282356779733661637539395458142568448.00000000000000000001", FloatRead::kOutOfRange, 0},
      {"-3.4028235677973366e38", FloatRead::kOk, 0xff7fffff},
      // Half the smallest subnormal exactly: a tie, to the even zero; a
      // digit more goes up to it.
      {"7.00649232162408535461864791644958065640130970938257885878534141944895541342930300743319"
       "094181060791015625e-46",
       FloatRead::kOutOfRange, 0},
      {"7.00649232162408535461864791644958065640130970938257885878534141944895541342930300743319"
       "0941810607910156251e-46",
       FloatRead::kOk, 0x00000001},
      {"0.7e-45", FloatRead::kOutOfRange, 0},
      {tie_and_a_bit.c_str(), FloatRead::kOk, 0x4b800001},
      {tie_scaled.c_str(), FloatRead::kOk, 0x4b800000},
      {ones_subnormal.c_str(), FloatRead::kOk, 0x00001ef9},
      {nines.c_str(), FloatRead::kOutOfRange, 0},
      {tiny.c_str(), FloatRead::kOutOfRange, 0},
      {leading.c_str(), FloatRead::kOk, 0x3dfcd6ea},
      {"100000000000000000000000000000000000000e-38", FloatRead::kOk, 0x3f800000},
      // Exponents beyond any int.
      {"1e99999999999", FloatRead::kOutOfRange, 0},
      {"1e-99999999999", FloatRead::kOutOfRange, 0},
      {"0.0e99999999999", FloatRead::kOk, 0x00000000},
      {"1e+00000000000000000000000000000000000000000000000001", FloatRead::kOk, 0x41200000},
      {"", FloatRead::kBad, 0},
      {"-", FloatRead::kBad, 0},
      {"+1.0", FloatRead::kBad, 0},
      {"1.0 ", FloatRead::kBad, 0},
      {"1..0", FloatRead::kBad, 0},
      {"1.0e", FloatRead::kBad, 0},
      {"1.0e-", FloatRead::kBad, 0},
      {"0x1p0", FloatRead::kBad, 0},
      {"inf", FloatRead::kBad, 0},
  };
  for (const auto &row : rows) {
    float got = -1.0f;
    EXPECT_EQ(read_float(row.text, std::strlen(row.text), &got), row.result) << row.text;
    uint32_t bits = 0;
    std::memcpy(&bits, &got, sizeof bits);
    if (row.result == FloatRead::kOk)
      EXPECT_EQ(bits, row.bits) << row.text;
    else
      EXPECT_EQ(got, -1.0f) << "refused text leaves the output alone: " << row.text;
    // The C library agrees: the same bits, or beyond the range either way.
    if (row.result == FloatRead::kBad) continue;
    const float library = std::strtof(row.text, nullptr);
    if (row.result == FloatRead::kOk)
      EXPECT_TRUE(same_bits(library, got)) << row.text;
    else
      EXPECT_TRUE(std::isinf(library) || library == 0.0f) << row.text;
  }
  // 256 bytes are read, 257 are not.
  const std::string longest = "1." + std::string(254, '0');
  float v = 0.0f;
  EXPECT_EQ(read_float(longest.data(), longest.size(), &v), FloatRead::kOk);
  EXPECT_EQ(v, 1.0f);
  EXPECT_EQ(read_float((longest + "0").data(), longest.size() + 1, &v), FloatRead::kBad);
}

// Floats whose bits step through the whole range: the writer's text is
// no longer than kFloatTextBufferBytes, has a point or is a name, and reads
// back to the same bits with our reader and with strtof.
TEST(FloatText, WrittenTextReadsBack) {
  for (uint64_t b = 0; b <= 0xffffffffu; b += 0xfff01) {
    const uint32_t bits = static_cast<uint32_t>(b);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    char buf[kFloatTextBufferBytes];
    const size_t n = write_float(v, buf);
    ASSERT_LT(n, sizeof buf);
    ASSERT_EQ(buf[n], '\0');
    if (!std::isfinite(v)) continue;
    ASSERT_NE(std::strchr(buf, '.'), nullptr) << buf;
    float back = 0.0f;
    ASSERT_EQ(read_float(buf, n, &back), FloatRead::kOk) << buf;
    ASSERT_TRUE(same_bits(back, v)) << buf;
    ASSERT_TRUE(same_bits(std::strtof(buf, nullptr), v)) << buf;
  }
}

// ---- Averages in linear light ---------------------------------------------------

// Each 8-bit channel survives decoding and encoding; averages of known
// pairs and chequers, worked out from the sRGB transfer function.
TEST(LinearLight, AveragesTable) {
  for (int c = 0; c < 256; ++c) EXPECT_EQ(linear_to_srgb(srgb_to_linear(c)), c) << c;
  const struct {
    std::vector<ColorTriple> cells;
    ColorTriple average;
    const char *what;
  } rows[] = {
      {{{255, 255, 255}, {0, 0, 0}}, {188, 188, 188}, "white and black: 0.5 linear, not 128"},
      {{{255, 0, 0}, {0, 0, 255}}, {188, 0, 188}, "red and blue"},
      {{{200, 100, 50}}, {200, 100, 50}, "one cell is itself"},
      {std::vector<ColorTriple>(9, {17, 34, 51}), {17, 34, 51}, "one colour 3 x 3"},
      // A 5 x 5 chequer: 13 cells of one colour, 12 of the other.
      {[] {
         std::vector<ColorTriple> v;
         for (int i = 0; i < 25; ++i)
           v.push_back(i % 2 ? ColorTriple{0, 0, 0} : ColorTriple{255, 255, 255});
         return v;
       }(),
       {191, 191, 191},
       "white and black chequer 5 x 5"},
      {{{-40, 300, 0}, {0, 255, 1000}}, {0, 255, 188}, "channels outside 0..255 clamp"},
  };
  for (const auto &row : rows) {
    LinearSum sum = {};
    for (const ColorTriple &c : row.cells) linear_sum_add(&sum, c);
    ColorTriple got = {-1, -1, -1};
    ASSERT_TRUE(linear_sum_average(&sum, &got)) << row.what;
    EXPECT_EQ(str(got), str(row.average)) << row.what;
  }
  LinearSum none = {};
  ColorTriple untouched = {7, 7, 7};
  EXPECT_FALSE(linear_sum_average(&none, &untouched));
  EXPECT_EQ(untouched.a, 7);
  EXPECT_EQ(linear_to_srgb(std::nan("")), 0);
}
