// The magnifier's draw rules, read from its raster.
#include <gtest/gtest.h>

#include "eyedropper/spoit_panel.h"
#include "unit/fake_services.h"

namespace {

bool same(ColorTriple a, ColorTriple b) { return a.a == b.a && a.b == b.b && a.c == b.c; }

TEST(Magnifier, DrawsOnlyWhenOpenedAndAskedWithAMode) {
  fake::Services services;
  g_sampling.raster_funcs = &services.raster_funcs;
  SpoitPanel spoit = {};
  spoit.raster = services.raster_funcs.create(kSpoitRaster, kSpoitRaster, 0);
  spoit.red[112] = 255;  // centre pixel: pure red

  spoit_draw(nullptr, &spoit, 3);  // not opened yet
  spoit_opened_callback(nullptr, nullptr);
  spoit_opened_callback(nullptr, &spoit);
  spoit_draw(nullptr, &spoit, 0);
  spoit_draw(nullptr, nullptr, 3);
  EXPECT_EQ(services.count("raster.rgb_box") + services.count("raster.blit"), 0);

  spoit_draw(nullptr, &spoit, 3);
  EXPECT_EQ(services.count("raster.rgb_box"), 227);
  EXPECT_EQ(services.count("raster.blit"), 1);
  const fake::Raster &r = *services.raster(spoit.raster);
  EXPECT_TRUE(same(r.at(42, 42), {0, 255, 255}));  // frame in the inverse
  EXPECT_TRUE(same(r.at(47, 47), {0, 255, 255}));
  EXPECT_TRUE(same(r.at(43, 43), {255, 0, 0}));    // 4 x 4 of the pixel
  EXPECT_TRUE(same(r.at(46, 46), {255, 0, 0}));
  EXPECT_TRUE(same(r.at(41, 41), {0, 0, 0}));      // neighbour cell
  g_sampling.raster_funcs = nullptr;
}

TEST(Magnifier, ColourrefsSplitLowByteFirstAndFailuresReadWhite) {
  EXPECT_TRUE(same(colorref_split(0x00332211u), {0x11, 0x22, 0x33}));
  EXPECT_TRUE(same(colorref_split(0xAA332211u), {0x11, 0x22, 0x33}));
  EXPECT_TRUE(same(colorref_split(CLR_INVALID), {255, 255, 255}));
}

}  // namespace
