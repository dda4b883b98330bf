// The field and strip painters and their markers, read back from rasters.
#include <gtest/gtest.h>

#include <cstdlib>

#include "color/color.h"
#include "panel/field_strip.h"
#include "unit/fake_services.h"

namespace {

bool same(ColorTriple a, ColorTriple b) { return a.a == b.a && a.b == b.b && a.c == b.c; }

struct Painters : ::testing::Test {
  fake::Services services;
  GradientState *g = gradient_create();
  LWRasterID field = services.raster_funcs.create(256, 256, 0);
  LWRasterID strip = services.raster_funcs.create(30, 256, 0);
  int32_t marker_x = 0, marker_y = 0;

  ~Painters() override {
    free(g->red_ramp);
    free(g->green_ramp);
    free(g->blue_ramp);
    free(g);
  }
  fake::Raster &F() { return *services.raster(field); }
  fake::Raster &S() { return *services.raster(strip); }
  void paint_field(ColorTriple hsv) { draw_hs_field(g, field, &hsv, &marker_x, &marker_y); }
  void paint_strip(ColorTriple hsv) { draw_value_strip(g, strip, &hsv); }
  // The field colour where no marker is drawn.
  ColorTriple gradient_at(int x, int y) { return field_pixel(g, x, y); }
};

TEST_F(Painters, FieldAndStripColoursAtTellingPositions) {
  struct {
    int x, y;
    ColorTriple rgb;
  } field_cases[] = {
      {0, 0, {255, 0, 0}},       {0, 255, {255, 255, 255}}, {86, 128, {128, 255, 128}},
      {200, 64, {191, 64, 255}}, {255, 0, {255, 0, 10}},
  };
  for (auto &c : field_cases) {
    ColorTriple got = field_pixel(g, c.x, c.y);
    EXPECT_TRUE(same(got, c.rgb)) << c.x << "," << c.y << " -> " << got.a << "," << got.b << ","
                                  << got.c;
  }
  struct {
    int h, s, y;
    ColorTriple rgb;
  } strip_cases[] = {
      {0, 255, 0, {255, 0, 0}},       {0, 255, 128, {127, 0, 0}},    {0, 255, 255, {0, 0, 0}},
      {128, 128, 64, {95, 191, 188}}, {40, 0, 100, {155, 155, 155}},
  };
  for (auto &c : strip_cases) {
    ColorTriple got = strip_row_colour(g, c.h, c.s, c.y);
    EXPECT_TRUE(same(got, c.rgb)) << c.h << "," << c.s << " row " << c.y;
  }
}

TEST_F(Painters, FullFieldRepaintPaintsEveryPixelAndClearsItsFlag) {
  paint_field({0, 255, 255});  // crosshair at the top-left corner
  EXPECT_EQ(g->field_repaint_all, 0);
  EXPECT_EQ(services.count("raster.rgb_pixel"), 256 * 256);
  EXPECT_TRUE(same(F().at(200, 64), gradient_at(200, 64)));
  EXPECT_TRUE(same(F().at(255, 255), gradient_at(255, 255)));
  // Away from the crosshair every pixel is field_pixel's colour.
  int differing = 0;
  for (int y = 16; y < 256; ++y)
    for (int x = 16; x < 256; ++x) differing += !same(F().at(x, y), gradient_at(x, y));
  EXPECT_EQ(differing, 0);
  // Crosshair centre (0, 0): its outline shows right of and below the centre.
  EXPECT_TRUE(same(F().at(2, 0), {0, 0, 0}));
  EXPECT_TRUE(same(F().at(3, 0), {255, 255, 255}));
  EXPECT_TRUE(same(F().at(0, 0), gradient_at(0, 0)));  // the centre stays visible
  EXPECT_EQ(marker_x, 0);
  EXPECT_EQ(marker_y, 0);
}

TEST_F(Painters, PartialRepaintAtTheCornerCoversOnlyTheClippedBox) {
  paint_field({0, 255, 255});
  services.clear_counts();
  paint_field({0, 255, 255});
  EXPECT_EQ(services.count("raster.rgb_pixel"), 8 * 8);
}

TEST_F(Painters, CrosshairJumpingCornerToCornerLeavesNoTrace) {
  paint_field({0, 255, 255});
  paint_field({255, 0, 255});  // partial: bottom-right corner
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      ASSERT_TRUE(same(F().at(x, y), gradient_at(x, y))) << x << "," << y;
  EXPECT_TRUE(same(F().at(253, 255), {0, 0, 0}));
  EXPECT_EQ(marker_x, 255);
  EXPECT_EQ(marker_y, 255);
}

TEST_F(Painters, OutOfRangeEditorValuesPlaceMarkersByTheFormula) {
  // Crosshair centre (H, 255 - S): at (258, 255) only its left arm shows,
  // outline at 251, inner line from 252; a marker pinned at 255 would put
  // the outline at 248.
  paint_field({258, 0, 7});
  EXPECT_EQ(marker_x, 258);
  EXPECT_EQ(marker_y, 255);
  EXPECT_TRUE(same(F().at(251, 255), {0, 0, 0}));
  EXPECT_TRUE(same(F().at(252, 255), {255, 255, 255}));
  EXPECT_TRUE(same(F().at(248, 255), gradient_at(248, 255)));
  paint_field({-3, 260, 7});  // partial repaint: the old arm is gone
  EXPECT_EQ(marker_x, -3);
  EXPECT_EQ(marker_y, -5);
  EXPECT_TRUE(same(F().at(251, 255), gradient_at(251, 255)));
  // Far outside, held just beyond the raster: nothing of the glyph lands.
  paint_field({100000, -50, 7});
  EXPECT_EQ(marker_x, 271);
  EXPECT_EQ(marker_y, 271);
  paint_field({INT32_MIN, INT32_MAX, INT32_MIN});
  EXPECT_EQ(marker_x, -16);
  EXPECT_EQ(marker_y, -16);
}

// A value beyond 0..255 (HDR above 1.0, or an editor's number below 0) keeps
// a marker in sight: a white arrow pointing past the end it lies beyond,
// and nothing else in the marker column.
TEST_F(Painters, StripValueBeyondItsEndsShowsTheBeyondMarker) {
  const struct {
    ColorTriple hsv;
    int rows_from, rows_to;  // the marker's rows
    int tip_row;             // the arrow's point, black outline at columns 25..26
  } rows[] = {
      {{0, 255, 256}, 0, 7, 0},
      {{0, 255, 433}, 0, 7, 0},
      {{-7, 9999, INT32_MAX}, 0, 7, 0},
      {{0, 255, -1}, 248, 255, 255},
      {{INT32_MAX, INT32_MIN, INT32_MIN}, 248, 255, 255},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.hsv.c);
    paint_strip({0, 255, 128});  // the usual arrow first, to be replaced
    paint_strip(row.hsv);
    for (int y = 0; y < 256; ++y) {
      bool drawn = false;
      for (int x = 22; x < 30; ++x) drawn = drawn || !same(S().at(x, y), {-2, -2, -2});
      ASSERT_EQ(drawn, y >= row.rows_from && y <= row.rows_to) << "row " << y;
    }
    EXPECT_TRUE(same(S().at(25, row.tip_row), {0, 0, 0}));
    EXPECT_TRUE(same(S().at(22, row.tip_row), {-2, -2, -2}));
    EXPECT_TRUE(same(S().at(25, row.rows_from + 3), {255, 255, 255}));  // white, not yellow
  }
  // 255 and 0 are still the usual arrow, half off the strip.
  paint_strip({0, 255, 255});
  EXPECT_TRUE(same(S().at(22, 0), {0, 0, 0}));
}

TEST_F(Painters, StripShowsOneArrowAtTheValue) {
  paint_strip({0, 255, 255});
  EXPECT_EQ(g->strip_repaint_all, 0);
  EXPECT_EQ(services.count("raster.rgb_box"), 256);
  EXPECT_TRUE(same(S().at(0, 128), {127, 0, 0}));
  EXPECT_TRUE(same(S().at(22, 0), {0, 0, 0}));  // arrow tip at row 0 for V 255
  paint_strip({0, 255, 0});                     // partial: marker column only
  EXPECT_EQ(services.count("raster.rgb_box"), 256);
  int arrow_rows = 0;
  for (int y = 0; y < 256; ++y) {
    bool any = false;
    for (int x = 22; x < 30; ++x) any = any || S().at(x, y).a >= 0;
    arrow_rows += any;
  }
  EXPECT_EQ(arrow_rows, 8);  // rows 248..255, the lower half is beyond the raster
  EXPECT_TRUE(same(S().at(22, 255), {0, 0, 0}));
  EXPECT_TRUE(same(S().at(25, 252), {255, 255, 200}));  // fill in the edit-selection colour
}

}  // namespace
