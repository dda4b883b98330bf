// Hit testing, capture and the previous-position rules of the area router.
#include "panel/areas.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "panel/field_strip.h"
#include "panel/picker_panel.h"
#include "plugin/picker_callbacks.h"
#include "unit/fake_services.h"

namespace {

struct Event {
  int area, flags, lx, ly, prev_x, prev_y;
};
std::vector<Event> g_events;
int g_redraw_result = 0;
int g_draws = 0;

template <int Area>
int record_event(LWPanelID, void *, int flags, int lx, int ly, int32_t *prev) {
  g_events.push_back({Area, flags, lx, ly, prev[0], prev[1]});
  return g_redraw_result;
}
void count_draw(void *, void *, int, int, int, int, int) { ++g_draws; }

// Same rectangles as the picker's areas, with recording callbacks.
const AreaDef kTable[] = {
    {AREA_RASTER, 4, 8, 256, 256, nullptr, record_event<0>, count_draw},
    {AREA_RASTER, 268, 8, 30, 256, nullptr, record_event<1>, count_draw},
    {AREA_RASTER, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};
constexpr int kDown = MOUSE_DOWN | MOUSE_LEFT;

struct Router : ::testing::Test {
  fake::Services services;
  AreaSet set{};
  LWPanelID panel = reinterpret_cast<LWPanelID>(0x1000);
  Router() {
    g_events.clear();
    g_redraw_result = 0;
    g_draws = 0;
    areas_create(panel, nullptr, &set, kTable);
  }
  ~Router() override {
    free(set.areas);
    free(set.rasters);
  }
  void send(int flags, int x, int y) { areas_route_mouse(panel, &set, flags, x, y); }
};

TEST_F(Router, CreatesOneRasterPerAreaAndStartsIdle) {
  EXPECT_EQ(set.count, 2);
  EXPECT_EQ(services.count("raster.create"), 2);
  EXPECT_EQ(services.raster(set.rasters[0])->w, 256);
  EXPECT_EQ(services.raster(set.rasters[1])->w, 30);
  EXPECT_EQ(set.captured, -1);
  EXPECT_EQ(set.blit_pending, 0);
}

TEST_F(Router, HitTestsAtTheEdgesAndInTheGap) {
  struct {
    int x, y, area, lx, ly;
  } cases[] = {
      {4, 8, 0, 0, 0},       {259, 263, 0, 255, 255}, {260, 100, -1, 0, 0}, {267, 100, -1, 0, 0},
      {268, 263, 1, 0, 255}, {298, 100, -1, 0, 0},    {3, 8, -1, 0, 0},     {4, 264, -1, 0, 0},
  };
  for (auto &c : cases) {
    g_events.clear();
    send(0, 0, 0);  // release: idle, previous (0, 0)
    send(kDown, c.x, c.y);
    EXPECT_EQ(set.captured, c.area) << c.x << "," << c.y;
    if (c.area >= 0) {
      ASSERT_EQ(g_events.size(), 1u);
      EXPECT_EQ(g_events[0].lx, c.lx);
      EXPECT_EQ(g_events[0].ly, c.ly);
    } else {
      EXPECT_TRUE(g_events.empty());
    }
  }
}

TEST_F(Router, CaptureStaysWithThePressUntilRelease) {
  send(kDown, 100, 100);
  send(kDown, 280, 100);  // dragged over the strip: still the field
  ASSERT_EQ(g_events.size(), 2u);
  EXPECT_EQ(g_events[1].area, 0);
  EXPECT_EQ(g_events[1].lx, 276);
  send(MOUSE_LEFT, 280, 100);  // release ends the capture, calls nothing
  EXPECT_EQ(g_events.size(), 2u);
  EXPECT_EQ(set.captured, -1);
  EXPECT_EQ(set.press_events, 0);
}

TEST_F(Router, PressBegunOutsideStaysUncapturedButCounts) {
  send(kDown, 262, 100);  // the gap
  send(kDown, 100, 100);  // into the field
  EXPECT_TRUE(g_events.empty());
  EXPECT_EQ(set.press_events, 2);
  EXPECT_EQ(set.previous[0], 100);
  send(0, 100, 100);
  send(kDown, 100, 100);
  EXPECT_EQ(g_events.size(), 1u);
}

TEST_F(Router, PreviousPositionRules) {
  send(0, 54, 58);      // last event without a button: (50, 50) in the field
  send(kDown, 54, 58);  // first event of the press gets that position
  send(kDown, 60, 70);  // later events get the event before, area-local
  ASSERT_EQ(g_events.size(), 2u);
  EXPECT_EQ(g_events[0].lx, 50);
  EXPECT_EQ(g_events[0].prev_x, 50);
  EXPECT_EQ(g_events[0].prev_y, 50);
  EXPECT_EQ(g_events[1].prev_x, 50);
  EXPECT_EQ(g_events[1].prev_y, 50);
  EXPECT_EQ(g_events[1].lx, 56);
  EXPECT_EQ(set.previous[0], 60);  // panel coordinates again afterwards
}

TEST_F(Router, NonzeroEventResultRedrawsTheAreaAndAsksForAPanelDraw) {
  g_redraw_result = 1;
  send(kDown, 100, 100);
  EXPECT_EQ(g_draws, 1);
  EXPECT_EQ(set.blit_pending, 1);
  EXPECT_EQ(services.count("panel.draw"), 1);
}

TEST_F(Router, ExtremePositionsAndANullSetAreHarmless) {
  send(kDown, INT32_MIN, INT32_MAX);
  EXPECT_EQ(set.captured, -1);
  send(0, INT32_MAX, INT32_MIN);
  send(kDown, 4, 8);
  ASSERT_EQ(g_events.size(), 1u);
  areas_route_mouse(panel, nullptr, kDown, 4, 8);
  kPickerCallbacks.mouse_button(panel, nullptr, kDown, 4, 8);
  EXPECT_EQ(g_events.size(), 1u);
}

TEST(AreaTable, CountsRowsUpToTheFirstEmptyWidth) {
  const AreaDef empty[] = {{AREA_RASTER, 0, 0, 0, 0, nullptr, nullptr, nullptr}};
  const AreaDef negative_end[] = {
      {7, 0, 0, 10, 10, nullptr, nullptr, nullptr},
      {AREA_RASTER, 0, 0, -1, 10, nullptr, nullptr, nullptr},
  };
  EXPECT_EQ(areas_count(kPickerAreaTable), 2);
  EXPECT_EQ(areas_count(empty), 0);
  EXPECT_EQ(areas_count(negative_end), 1);

  fake::Services services;
  AreaSet set{};
  areas_create(nullptr, nullptr, &set, empty);
  areas_route_mouse(nullptr, &set, kDown, 5, 5);
  EXPECT_EQ(set.captured, -1);
  EXPECT_EQ(services.count("raster.create"), 0);
  free(set.areas);
  free(set.rasters);

  // A row of another kind gets a raster and is routed to, but gets no init
  // or refresh call and is never blitted.
  const AreaDef odd_kinds[] = {
      {7, 0, 0, 10, 10, count_draw, record_event<0>, count_draw},
      {AREA_RASTER, 20, 0, 10, 10, count_draw, record_event<1>, count_draw},
      {AREA_RASTER, 0, 0, 0, 0, nullptr, nullptr, nullptr},
  };
  g_draws = 0;
  g_events.clear();
  AreaSet odd{};
  areas_create(nullptr, nullptr, &odd, odd_kinds);
  EXPECT_EQ(services.count("raster.create"), 2);
  areas_init_pass(&odd);
  areas_draw_pass(&odd);
  areas_blit_pass(&odd);
  EXPECT_EQ(g_draws, 2);  // the kind-1 row's init and draw
  EXPECT_EQ(services.count("raster.blit"), 1);
  areas_route_mouse(nullptr, &odd, kDown, 5, 5);
  ASSERT_EQ(g_events.size(), 1u);
  EXPECT_EQ(g_events[0].area, 0);
  free(odd.areas);
  free(odd.rasters);
}

TEST(Centring, FloorsHalfTheDifference) {
  EXPECT_EQ(centre_offset(1920, 304), 808);
  EXPECT_EQ(centre_offset(1080, 340), 370);
  EXPECT_EQ(centre_offset(303, 304), -1);
  EXPECT_EQ(centre_offset(301, 304), -2);
  EXPECT_EQ(centre_offset(INT32_MIN, 304), static_cast<int>((INT32_MIN - 304LL) >> 1));
}

}  // namespace
