// The two update paths, the editors' events, and what one drag event costs
// in host calls.
#include "panel/color_sync.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "base/alloc.h"
#include "panel/areas.h"
#include "panel/field_strip.h"
#include "panel/picker_panel.h"
#include "plugin/picker_callbacks.h"
#include "unit/fake_services.h"

namespace {

struct Hot {
  float r, g, b;
};

void record_hot(void *data, float r, float g, float b) {
  static_cast<std::vector<Hot> *>(data)->push_back({r, g, b});
}

fake::Control &as_fake(LWControl *c) { return *reinterpret_cast<fake::Control *>(c); }

struct Sync : ::testing::Test {
  fake::Services services;
  PickerPanel *picker = picker_create_panel(&kPickerCallbacks);
  const PickerPanel fresh = *picker;  // as construction left it
  std::vector<Hot> hot;

  Sync() {
    picker->hot_func = record_hot;
    picker->hot_data = &hot;
  }
  ~Sync() override {
    free(picker->gradient->red_ramp);
    free(picker->gradient->green_ramp);
    free(picker->gradient->blue_ramp);
    free(picker->gradient);
    if (picker->areas) {
      free(picker->areas->areas);
      free(picker->areas->rasters);
      free(picker->areas);
    }
    free(picker);
  }
  void edit(LWControl *editor, int a, int b, int c) {
    fake::Control &f = as_fake(editor);
    f.value[0] = a;
    f.value[1] = b;
    f.value[2] = c;
    LWCtlEventFunc *event = reinterpret_cast<LWCtlEventFunc *>(f.ptrs[CTL_USEREVENT]);
    event(editor, f.ptrs[CTL_USERDATA]);
  }
  void expect_editor(LWControl *editor, int a, int b, int c) {
    fake::Control &f = as_fake(editor);
    EXPECT_EQ(f.value[0], a);
    EXPECT_EQ(f.value[1], b);
    EXPECT_EQ(f.value[2], c);
  }
  void mouse(int flags, int x, int y) {
    kPickerCallbacks.mouse_button(picker->panel, picker, flags, x, y);
  }
};

TEST_F(Sync, ConstructionLeavesAQuietPickerReadyToPaintInFull) {
  EXPECT_EQ(fresh.hot_func, nullptr);
  EXPECT_EQ(fresh.hot_data, nullptr);
  EXPECT_EQ(fresh.current_rgb.a, 0);
  EXPECT_EQ(fresh.current_hsv.c, 0);
  EXPECT_EQ(fresh.field_marker_x, 0);
  EXPECT_EQ(fresh.panel_x, 808);
  EXPECT_EQ(fresh.panel_y, 370);
  EXPECT_EQ(fresh.areas->blit_pending, 1);
  EXPECT_EQ(fresh.gradient->field_repaint_all, 1);
  EXPECT_EQ(fresh.gradient->strip_repaint_all, 1);
  // Editors inherit the button's width and height in the shared description;
  // X comes from the control's own geometry (7 minus 2; zero here).
  EXPECT_EQ(as_fake(fresh.rgb_editor).attrs[CTL_X], -28);
  EXPECT_EQ(as_fake(fresh.swatch).attrs[CTL_Y], 268);
  EXPECT_EQ(as_fake(fresh.swatch).ptrs[CTL_USEREVENT], nullptr);
  // A draw in mode 0 blits nothing and leaves blit pending as it was.
  kPickerCallbacks.draw(picker->panel, picker, DR_ERASE);
  EXPECT_EQ(services.count("raster.blit"), 0);
  EXPECT_EQ(picker->areas->blit_pending, 1);
  kPickerCallbacks.draw(picker->panel, picker, DR_REFRESH);
  EXPECT_EQ(services.count("raster.blit"), 2);
  EXPECT_EQ(picker->areas->blit_pending, 0);
}

TEST_F(Sync, RgbEditorUpdatesHsvEditorAndReportsTheColour) {
  edit(picker->rgb_editor, 0, 255, 0);
  expect_editor(picker->hsv_editor, 85, 255, 255);
  EXPECT_EQ(picker->current_rgb.b, 255);
  ASSERT_EQ(hot.size(), 1u);
  EXPECT_EQ(hot[0].r, 0.0f);
  EXPECT_EQ(hot[0].g, 1.0f);
  EXPECT_EQ(hot[0].b, 0.0f);
  EXPECT_EQ(picker->areas->blit_pending, 0);
}

// A channel still at the int its request float came in as reports that
// float, bit for bit (HDR and NaN too); a changed one reports int / 255.
TEST_F(Sync, UnchangedChannelsReportTheRequestsOwnFloats) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  picker->float_rgb = {127, 510, 0};
  picker->request_rgb[0] = 0.5f;
  picker->request_rgb[1] = 2.0f;
  picker->request_rgb[2] = nan;
  edit(picker->rgb_editor, 127, 200, 0);
  ASSERT_EQ(hot.size(), 1u);
  EXPECT_EQ(hot[0].r, 0.5f);
  EXPECT_EQ(hot[0].g, 200.0f / 255.0f);
  EXPECT_EQ(std::memcmp(&hot[0].b, &nan, sizeof nan), 0);
  // Back to the loaded int: the request's float again.
  edit(picker->rgb_editor, 127, 510, 1);
  EXPECT_EQ(hot[1].g, 2.0f);
  EXPECT_EQ(hot[1].b, 1.0f / 255.0f);
}

TEST_F(Sync, HsvEditorUpdatesRgbEditorWithTheConversionsLoss) {
  edit(picker->hsv_editor, 85, 255, 255);
  expect_editor(picker->rgb_editor, 1, 255, 0);
  ASSERT_EQ(hot.size(), 1u);
  EXPECT_EQ(hot[0].r, 1.0f / 255.0f);
  EXPECT_EQ(hot[0].g, 1.0f);
  EXPECT_EQ(picker->areas->blit_pending, 0);
}

TEST_F(Sync, GreyRepaintsBothGradientsInFullButAValueEditDoesNot) {
  edit(picker->rgb_editor, 128, 128, 128);
  expect_editor(picker->hsv_editor, 0, 0, 128);
  EXPECT_EQ(services.count("raster.rgb_pixel"), 256 * 256);
  EXPECT_EQ(services.count("raster.rgb_box"), 256);
  services.clear_counts();
  edit(picker->hsv_editor, 0, 0, 40);
  EXPECT_EQ(services.count("raster.rgb_pixel"), 8 * 9);  // box clipped at H 0, S 0
  EXPECT_EQ(services.count("raster.rgb_box"), 256);      // strip column in full
}

TEST_F(Sync, ExtremeEditorValuesStayDefined) {
  const int extremes[] = {INT32_MIN, -1, 256, 100000, INT32_MAX};
  for (int a : extremes)
    for (int b : extremes) {
      edit(picker->rgb_editor, a, b, 7);
      edit(picker->hsv_editor, a, b, 7);
      edit(picker->hsv_editor, 7, a, b);
    }
  EXPECT_GE(picker->field_marker_x, -16);
  EXPECT_LE(picker->field_marker_x, 271);
}

// An edit whose other editor would need a number beyond an int is not
// taken: the edited editor shows the current colour again, the notice says
// why, and nothing else changes. The next change clears the notice.
TEST_F(Sync, EditsTheOtherEditorCannotShowAreRefused) {
  const struct {
    bool rgb;  // edited: the RGB editor, or the HSV one
    ColorTriple typed;
    bool taken;
  } rows[] = {
      {true, {-1, -1, INT32_MIN}, false},  // saturation of all-negative channels
      {true, {-1, -1, -8000000}, true},
      {true, {INT32_MAX, 0, 0}, true},
      {false, {0, INT32_MAX, INT32_MAX}, false},  // hsv_to_rgb's products
      {false, {100, 100000, 100000}, true},
      {false, {300, INT32_MAX, INT32_MAX}, true},  // no sector: RGB stays
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.typed.a);
    edit(picker->rgb_editor, 10, 20, 30);
    hot.clear();
    services.clear_counts();
    LWControl *editor = row.rgb ? picker->rgb_editor : picker->hsv_editor;
    const ColorTriple before = row.rgb ? picker->current_rgb : picker->current_hsv;
    edit(editor, row.typed.a, row.typed.b, row.typed.c);
    EXPECT_EQ(hot.size(), row.taken ? 1u : 0u);
    EXPECT_EQ(services.count("panel.draw_text"), row.taken ? 0 : 1);
    EXPECT_EQ(picker->notice != nullptr, !row.taken);
    if (!row.taken) expect_editor(editor, before.a, before.b, before.c);
  }
  edit(picker->rgb_editor, 1, 2, 3);
  EXPECT_EQ(picker->notice, nullptr);
}

TEST_F(Sync, NullUserDataAndNoHotCallbackAreQuiet) {
  kPickerCallbacks.rgb_editor(picker->rgb_editor, nullptr);
  kPickerCallbacks.hsv_editor(picker->hsv_editor, nullptr);
  EXPECT_TRUE(hot.empty());
  picker->hot_func = nullptr;
  edit(picker->rgb_editor, 1, 2, 3);
  EXPECT_EQ(services.count("panel.draw_rgb_box"), 1);
}

// A field drag event: two editor sets, the 16 x 16 restore and the crosshair,
// the whole strip column, the marker column, two blits, the swatch.
TEST_F(Sync, HostCallsPerDragEvent) {
  edit(picker->rgb_editor, 200, 100, 50);  // full paints out of the way
  services.clear_counts();
  hot.clear();
  constexpr int kDown = MOUSE_DOWN | MOUSE_LEFT;
  mouse(kDown, 104, 108);
  mouse(kDown, 105, 108);
  EXPECT_EQ(hot.size(), 2u);
  services.clear_counts();
  mouse(kDown, 106, 110);
  EXPECT_EQ(services.count("control.set"), 2);
  EXPECT_EQ(services.count("raster.rgb_pixel"), 256);
  EXPECT_EQ(services.count("raster.pixel"), 72 + 78);  // crosshair and arrow
  EXPECT_EQ(services.count("raster.rgb_box"), 256);
  EXPECT_EQ(services.count("raster.erase_box"), 1);
  EXPECT_EQ(services.count("raster.blit"), 2);
  EXPECT_EQ(services.count("control.get"), 2);
  EXPECT_EQ(services.count("panel.draw_rgb_box"), 1);
  EXPECT_EQ(services.count("panel.draw"), 0);
  mouse(MOUSE_LEFT, 106, 110);

  mouse(kDown, 280, 100);
  services.clear_counts();
  mouse(kDown, 280, 120);
  EXPECT_EQ(services.count("control.set"), 2);
  EXPECT_EQ(services.count("raster.rgb_pixel"), 256);
  EXPECT_EQ(services.count("raster.rgb_box"), 0);
  EXPECT_EQ(services.count("raster.erase_box"), 1);
  EXPECT_EQ(services.count("raster.blit"), 2);
  EXPECT_EQ(hot.size(), 5u);  // the strip press itself moved V
}

TEST_F(Sync, DragsClampAndIgnoreRepeatsAndOtherButtons) {
  constexpr int kDown = MOUSE_DOWN | MOUSE_LEFT;
  mouse(kDown, 4 + 10, 8 + 10);
  mouse(kDown, 4 + 300, 8 - 20);
  EXPECT_EQ(picker->current_hsv.a, 255);
  EXPECT_EQ(picker->current_hsv.b, 255);
  mouse(kDown, 4 - 5, 8 + 400);
  EXPECT_EQ(picker->current_hsv.a, 0);
  EXPECT_EQ(picker->current_hsv.b, 0);
  const size_t events = hot.size();
  mouse(kDown, 4 - 5, 8 + 400);  // same position
  // A right press arrives as 0x60, a middle one as 0x40: the gradients take
  // neither, nor flags without a button.
  mouse(MOUSE_DOWN | MOUSE_RIGHT, 50, 50);
  mouse(MOUSE_DOWN | MOUSE_MID, 55, 55);
  mouse(MOUSE_DOWN, 60, 60);
  EXPECT_EQ(hot.size(), events);
  // A press whose first event is where the last release was: no change.
  mouse(MOUSE_LEFT, 54, 58);
  mouse(kDown, 54, 58);
  EXPECT_EQ(hot.size(), events);
  mouse(0, 0, 0);

  struct {
    int y, v;
  } strip[] = {{0, 255}, {255, 0}, {400, 0}, {-3, 255}};
  mouse(kDown, 270, 8 + 100);
  for (auto &c : strip) {
    mouse(kDown, 270, 8 + c.y);
    EXPECT_EQ(picker->current_hsv.c, c.v) << c.y;
  }
  // The strip looks at y alone: another x on the same row changes nothing.
  const size_t before = hot.size();
  mouse(kDown, 290, 8 - 3);
  mouse(kDown, 200, 8 - 3);
  EXPECT_EQ(hot.size(), before);
}

}  // namespace
