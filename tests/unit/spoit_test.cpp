// The magnifier's draw rules, read from its raster, and a sampling run over
// the fake services on the simulated desktop.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "binding/services.h"
#include "desktop.h"
#include "eyedropper/averaging.h"
#include "eyedropper/desktop_space.h"
#include "eyedropper/eyedropper.h"
#include "eyedropper/frozen.h"
#include "eyedropper/hook_watch.h"
#include "eyedropper/keys.h"
#include "eyedropper/loupe.h"
#include "eyedropper/magnifier.h"
#include "eyedropper/screen_block.h"
#include "unit/fake_services.h"

namespace {

bool same(ColorTriple a, ColorTriple b) { return a.a == b.a && a.b == b.b && a.c == b.c; }

TEST(Magnifier, DrawsOnlyWhenOpenedAndAskedWithAMode) {
  fake::Services services;
  SpoitPanel spoit = {};
  spoit.raster_funcs = &services.raster_funcs;
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
  EXPECT_TRUE(same(r.at(43, 43), {255, 0, 0}));  // 4 x 4 of the pixel
  EXPECT_TRUE(same(r.at(46, 46), {255, 0, 0}));
  EXPECT_TRUE(same(r.at(41, 41), {0, 0, 0}));  // neighbour cell
}

// The draw's numbers follow from the named geometry.
static_assert(kSpoitPanelSize == 106 && kSpoitRaster == 90 && kSpoitCentreIndex == 112 &&
                  kSpoitFrameOrigin == 42,
              "the magnifier's geometry");

// What the tick reads the desktop through: a missing DPI function switches
// nothing; a monitor list the system cannot give is the desktop window's
// rectangle, and none at all when that fails too.
TEST(Magnifier, DesktopSpaceFallsBackWhenTheSystemCannotTell) {
  ASSERT_EQ(desktop_reset(800, 600), 1);
  const DpiSwitch none = dpi_switch_to_physical(nullptr);
  EXPECT_EQ(none.previous, nullptr);
  dpi_switch_restore(none);
  desktop_set_dpi_support(DESKTOP_DPI_SWITCH_MISSING);
  EXPECT_EQ(dpi_context_function(), nullptr);
  desktop_set_dpi_support(DESKTOP_DPI_SWITCH_NO_V2);
  const DpiSwitch v1 = dpi_switch_to_physical(dpi_context_function());
  EXPECT_EQ(desktop_thread_dpi(), DESKTOP_DPI_PER_MONITOR);
  dpi_switch_restore(v1);
  EXPECT_EQ(desktop_thread_dpi(), DESKTOP_DPI_SYSTEM_AWARE);

  std::vector<DesktopMonitor> many;
  for (int i = 0; i < DESKTOP_MAX_MONITORS; ++i) many.push_back({i * 100, 0, 100, 100, 100});
  ASSERT_EQ(desktop_set_monitors(many.data(), static_cast<int>(many.size())), 1);
  MonitorList list;
  monitor_list_read(&list, GetDesktopWindow());
  EXPECT_EQ(list.count, kMaxMonitors);
  EXPECT_TRUE(monitor_list_contains(list, 1599, 99));
  EXPECT_FALSE(monitor_list_contains(list, 1600, 0));
  EXPECT_FALSE(monitor_list_contains(list, 0, 100));
  desktop_fail_call(DESKTOP_FAIL_MONITORS, 1);
  monitor_list_read(&list, GetDesktopWindow());
  ASSERT_EQ(list.count, 1);  // the primary
  EXPECT_EQ(list.rects[0].right, 100);
  desktop_fail_call(DESKTOP_FAIL_MONITORS, 1);
  monitor_list_read(&list, nullptr);
  EXPECT_EQ(list.count, 0);
  EXPECT_FALSE(monitor_list_contains(list, 0, 0));
  desktop_reset(1920, 1080);
}

// The wheel steps the sample size round 1, 3, 5, 7 either way, a step a
// notch of 120 however the deltas come; the arrows move the pointer one
// physical pixel, ten with Shift, as the host's codes name them: left,
// right, up, down.
TEST(SamplingRun, WheelSizesAndArrowNudges) {
  const int sizes[][3] = {{1, 120, 3}, {3, 1, 5},    {5, 240, 7}, {7, 120, 1}, {1, -120, 7},
                          {7, -1, 5},  {3, -120, 1}, {5, 0, 5},   {4, 120, 1}, {0, -120, 1}};
  for (const auto &r : sizes) EXPECT_EQ(sample_size_after_wheel(r[0], r[1]), r[2]) << r[0];
  // Deltas in a row from nothing accumulated: the notches each gives.
  const struct {
    std::vector<int> deltas;
    std::vector<int> notches;
    int32_t left;
  } wheels[] = {
      {{30, 30, 30, 30, 30}, {0, 0, 0, 1, 0}, 30},
      {{-30, -30, -30, -30}, {0, 0, 0, -1}, 0},
      {{90, -30, -90}, {0, 0, -1}, 0},  // a turn back starts afresh
      {{360}, {3}, 0},
      {{-32768, 32767}, {-273, 273}, 7},
      {{100000, -100000}, {273, -273}, -8},  // held to a 16-bit word
      {{30, 30, 30, 30}, {0, 0, 0, 1}, 0},
      {{90, -60, 90}, {0, 0, 0}, 90},  // each turn back drops the part notch
      {{240}, {2}, 0},
      {{-240}, {-2}, 0},
      {{119, 1, -1}, {0, 1, 0}, -1},
      {{32767, 32767, 32767}, {273, 273, 273}, 21},  // the remainders add up
      {{-32768, -32768, -32768}, {-273, -273, -273}, -24},
      {{INT32_MIN, INT32_MAX}, {-273, 273}, 7},
      {{INT32_MAX, INT32_MAX, 1}, {273, 273, 0}, 15},
  };
  for (const auto &w : wheels) {
    int32_t accumulated = 0;
    for (size_t i = 0; i < w.deltas.size(); ++i)
      EXPECT_EQ(wheel_notches(&accumulated, w.deltas[i]), w.notches[i]) << i;
    EXPECT_EQ(accumulated, w.left);
  }
  const struct {
    LWDualKey key;
    int qualifiers;
    bool arrow;
    int dx, dy;
  } keys[] = {
      {0x1010, 0, true, -1, 0},        {0x1011, 0, true, 1, 0},
      {0x1012, 0, true, 0, -1},        {0x1013, 0, true, 0, 1},
      {0x1011, IQ_SHIFT, true, 10, 0}, {0x1012, IQ_SHIFT | IQ_CTRL, true, 0, -10},
      {0x1010, IQ_CTRL, true, -1, 0},  {0x100F, 0, false, 9, 9},
      {0x1014, IQ_SHIFT, false, 9, 9}, {'S', 0, false, 9, 9},
  };
  // An average leaves out the cells that are unreadable or off the block.
  SampleBlock block = {};
  for (int i = 0; i < kSampleBlockCells; ++i) {
    block.rgb[i] = 0xFFFFFF;
    block.readable[i] = 1;
  }
  block.rgb[kSpoitCentreIndex] = 0;
  const struct {
    int column, row, size;
    bool unreadable_ring;  // the centre's eight neighbours unreadable
    bool taken;
    ColorTriple average;
  } areas[] = {
      {7, 7, 1, false, true, {0, 0, 0}},    {7, 7, 3, false, true, {242, 242, 242}},
      {7, 7, 3, true, true, {0, 0, 0}},     {0, 0, 7, false, true, {255, 255, 255}},
      {-4, -4, 7, false, false, {9, 9, 9}}, {7, 7, 7, false, true, {253, 253, 253}},
  };
  for (const auto &a : areas) {
    for (int r = 6; r <= 8; ++r)
      for (int c = 6; c <= 8; ++c)
        if (r != 7 || c != 7) block.readable[r * kSpoitCells + c] = !a.unreadable_ring;
    ColorTriple got = {9, 9, 9};
    EXPECT_EQ(sample_block_average(block, a.column, a.row, a.size, &got), a.taken) << a.size;
    EXPECT_TRUE(same(got, a.average)) << a.column << "," << a.row << " " << a.size;
  }
  for (const auto &k : keys) {
    int dx = 9, dy = 9;
    EXPECT_EQ(nudge_for_key(k.key, k.qualifiers, &dx, &dy), k.arrow) << k.key;
    EXPECT_EQ(dx, k.dx) << k.key;
    EXPECT_EQ(dy, k.dy) << k.key;
  }
}

// The watch on the hook, tick by tick: a loss is suspected only when input
// came while the hook saw nothing for two ticks, and then counted afresh;
// releases are told only of buttons pressed during the run, whether or not
// a hook saw them.
TEST(SamplingRun, TheHookWatchSuspectsOnlyMissedInput) {
  struct Tick {
    std::vector<std::pair<int, int>> keys;  // key events before the tick
    uint32_t hook_events;
    bool cursor_read;
    POINT cursor;
    bool suspect, moved;
    int32_t released;
  };
  const struct {
    const char *name;
    std::vector<std::pair<int, int>> before;  // key events before the start
    std::vector<Tick> ticks;
  } rows[] = {
      {"the hook sees the moves",
       {},
       {{{}, 1, true, {10, 0}, false, true, 0},
        {{}, 2, true, {20, 0}, false, true, 0},
        {{}, 3, true, {30, 0}, false, true, 0}}},
      {"moves the hook never sees: every second tick",
       {},
       {{{}, 0, true, {10, 0}, false, true, 0},
        {{}, 0, true, {20, 0}, true, true, 0},
        {{}, 0, true, {30, 0}, false, true, 0},
        {{}, 0, true, {40, 0}, true, true, 0}}},
      {"one missed move, then a quiet tick",
       {},
       {{{}, 0, true, {10, 0}, false, true, 0}, {{}, 0, true, {10, 0}, true, false, 0}}},
      {"no input at all",
       {},
       {{{}, 0, true, {0, 0}, false, false, 0},
        {{}, 0, true, {0, 0}, false, false, 0},
        {{}, 0, false, {0, 0}, false, false, 0}}},
      {"the hook seeing anything clears a missed move",
       {},
       {{{}, 0, true, {10, 0}, false, true, 0},
        {{}, 1, true, {10, 0}, false, false, 0},
        {{}, 1, true, {10, 0}, false, false, 0}}},
      {"a button held from before the run is not the run's",
       {{VK_LBUTTON, 1}},
       {{{}, 0, true, {0, 0}, false, false, 0},
        {{{VK_LBUTTON, 0}}, 0, true, {0, 0}, false, false, 0},
        {{}, 0, true, {0, 0}, false, false, 0}}},
      {"a click between two ticks",
       {},
       {{{{VK_LBUTTON, 1}, {VK_LBUTTON, 0}}, 0, true, {0, 0}, false, false, kLeftButtonBit}}},
      {"a right press, its release a tick later",
       {},
       {{{{VK_RBUTTON, 1}}, 0, true, {0, 0}, false, false, 0},
        {{{VK_RBUTTON, 0}}, 0, true, {0, 0}, true, false, kRightButtonBit}}},
      {"a press the hook saw is still told by its release",
       {},
       {{{{VK_LBUTTON, 1}}, 1, true, {0, 0}, false, false, 0},
        {{{VK_LBUTTON, 0}}, 2, true, {0, 0}, false, false, kLeftButtonBit}}},
      {"a pointer that cannot be read is no move",
       {},
       {{{}, 0, false, {0, 0}, false, false, 0},
        {{}, 0, false, {0, 0}, false, false, 0},
        {{}, 0, true, {0, 0}, false, false, 0}}},
  };
  for (const auto &row : rows) {
    ASSERT_EQ(desktop_reset(1920, 1080), 1);
    for (const auto &k : row.before) desktop_key_event(k.first, k.second);
    HookWatch watch;
    hook_watch_start(&watch);
    hook_watch_pointer_moved_by_run(&watch, {0, 0});
    int n = 0;
    for (const Tick &t : row.ticks) {
      for (const auto &k : t.keys) desktop_key_event(k.first, k.second);
      const HookWatchTick got =
          hook_watch_tick(&watch, t.hook_events, t.cursor_read ? &t.cursor : nullptr);
      EXPECT_EQ(got.suspect_loss, t.suspect) << row.name << ", tick " << n;
      EXPECT_EQ(got.cursor_moved, t.moved) << row.name << ", tick " << n;
      EXPECT_EQ(got.released, t.released) << row.name << ", tick " << n;
      ++n;
    }
  }
  // The run's own move of the pointer is no input the hook missed.
  HookWatch watch;
  hook_watch_start(&watch);
  hook_watch_pointer_moved_by_run(&watch, {0, 0});
  for (int i = 1; i <= 4; ++i) {
    const POINT to = {i, i};
    hook_watch_pointer_moved_by_run(&watch, to);
    const HookWatchTick got = hook_watch_tick(&watch, 0, &to);
    EXPECT_FALSE(got.suspect_loss || got.cursor_moved) << i;
  }
  desktop_reset(1920, 1080);
}

// The magnifier opens at its place unless the pointer is within reach of it
// there; then beside the pointer, on the monitor when it fits.
TEST(Magnifier, OpensWhereThePointerIsNot) {
  const RECT screen = {0, 0, 1920, 1080};
  const RECT left_of_primary = {-1920, -300, 0, 780};
  const RECT scaled = {1920, 0, 3840, 1080};
  const RECT tiny = {0, 0, 150, 150};     // smaller than the square and its margin
  const RECT narrow = {0, 0, 150, 1000};  // ... across only
  const struct {
    POINT corner, pointer;
    const RECT *monitor;
    POINT placed;
  } rows[] = {
      {{300, 300}, {100, 100}, &screen, {300, 300}},
      {{300, 300}, {251, 300}, &screen, {300, 300}},  // just outside the margin
      {{300, 300}, {252, 300}, &screen, {349, 300}},  // inside it: right of the pointer
      {{300, 300}, {350, 350}, &screen, {447, 300}},
      {{1700, 300}, {1750, 350}, &screen, {1547, 300}},  // no room right: left
      {{300, 300}, {350, 350}, nullptr, {447, 300}},
      {{INT32_MAX - 10, 0}, {INT32_MAX - 5, 10}, nullptr, {INT32_MAX, 0}},
      {{INT32_MIN, 0}, {INT32_MIN + 5, 10}, &screen, {INT32_MIN + 102, 0}},
      // The pointer at each edge of the monitor.
      {{0, 500}, {10, 520}, &screen, {107, 500}},
      {{1814, 500}, {1910, 520}, &screen, {1707, 500}},
      {{900, 0}, {920, 5}, &screen, {900, 102}},
      {{900, 974}, {920, 1075}, &screen, {900, 872}},
      // ... and in each corner: no side fits as it is; one slid along does.
      {{0, 0}, {3, 3}, &screen, {100, 48}},
      {{1814, 0}, {1917, 3}, &screen, {1714, 48}},
      {{0, 974}, {3, 1077}, &screen, {100, 926}},
      {{1814, 974}, {1917, 1077}, &screen, {1714, 926}},
      // A monitor left of and above the primary's origin.
      {{-1000, -300}, {-990, -290}, &left_of_primary, {-1000, -193}},
      {{-106, 300}, {-3, 310}, &left_of_primary, {-206, 300}},  // not onto the primary
      {{-1920, 674}, {-1915, 777}, &left_of_primary, {-1818, 626}},
      // A 150% monitor as a system-aware host sees it, 1920 x 1080 logical.
      {{3734, 974}, {3837, 1077}, &scaled, {3634, 926}},
      // No room anywhere on it: beside the pointer all the same.
      {{10, 10}, {20, 20}, &tiny, {117, 10}},
      {{10, 10}, {20, 20}, &narrow, {117, 10}},
  };
  for (const auto &r : rows) {
    const POINT got = magnifier_place(r.corner.x, r.corner.y, r.pointer, r.monitor);
    EXPECT_EQ(got.x, r.placed.x) << r.pointer.x << "," << r.pointer.y;
    EXPECT_EQ(got.y, r.placed.y) << r.pointer.x << "," << r.pointer.y;
    if (!r.monitor) continue;
    // Never within reach of the pointer: its frame and title, and the
    // block's seven pixels, 48 round the square.
    const long long left = got.x, top = got.y, p_x = r.pointer.x, p_y = r.pointer.y;
    EXPECT_FALSE(p_x >= left - 48 && p_x < left + 154 && p_y >= top - 48 && p_y < top + 154)
        << r.pointer.x << "," << r.pointer.y;
    // Whole on the pointer's monitor, with its margin, where there is room.
    const RECT &m = *r.monitor;
    if (p_x < m.left || p_x >= m.right || p_y < m.top || p_y >= m.bottom) continue;
    if (m.right - m.left < 202 || m.bottom - m.top < 202) continue;
    EXPECT_TRUE(left - 48 >= m.left && top - 48 >= m.top && left + 154 <= m.right &&
                top + 154 <= m.bottom)
        << r.pointer.x << "," << r.pointer.y;
  }
}

TEST(Magnifier, ColourrefsSplitLowByteFirstAndFailuresReadWhite) {
  EXPECT_TRUE(same(colorref_split(0x00332211u), {0x11, 0x22, 0x33}));
  EXPECT_TRUE(same(colorref_split(0xAA332211u), {0x11, 0x22, 0x33}));
  EXPECT_TRUE(same(colorref_split(CLR_INVALID), {255, 255, 255}));
}

// The block read: cells on no monitor black, a failed transfer or a block
// that could not be made white and unreadable, and nothing read outside
// the block.
TEST(Magnifier, TheBlockReadsOncePerMonitorAndMarksWhatItCouldNotRead) {
  ASSERT_EQ(desktop_reset(1920, 1080), 1);
  const DesktopMonitor two[] = {{0, 0, 1920, 1080, 100}, {1920, 0, 1920, 1080, 100}};
  ASSERT_EQ(desktop_set_monitors(two, 2), 1);
  HDC screen = GetWindowDC(nullptr);
  MonitorList monitors;
  monitor_list_read(&monitors, GetDesktopWindow());
  ScreenBlock block;
  ASSERT_TRUE(screen_block_create(&block, screen));
  SampleBlock cells;
  ColorTriple c = {-1, -1, -1};
  EXPECT_EQ(screen_block_read(block, screen, monitors, {1919, 1075}, 3, &cells), 2);
  EXPECT_EQ(cells.tick, 3u);
  EXPECT_EQ(cells.origin.x, 1912);
  ASSERT_TRUE(sample_block_cell(cells, 7, 7, &c));
  const uint32_t under = desktop_screen_pixel(1919, 1075);
  EXPECT_TRUE(same(c, {int32_t(under >> 16), int32_t((under >> 8) & 0xFF), int32_t(under & 0xFF)}));
  EXPECT_FALSE(sample_block_cell(cells, 7, 14, &c));  // y = 1082: no monitor
  EXPECT_EQ(cells.rgb[14 * kSpoitCells + 7], 0u);
  EXPECT_FALSE(sample_block_cell(cells, 15, 0, &c));
  EXPECT_FALSE(sample_block_cell(cells, 0, -1, &c));
  // The second monitor's transfer fails: its cells white, unreadable.
  desktop_fail_call(DESKTOP_FAIL_BITBLT, 2);
  EXPECT_EQ(screen_block_read(block, screen, monitors, {1919, 1075}, 4, &cells), 2);
  EXPECT_TRUE(sample_block_cell(cells, 7, 7, &c));
  EXPECT_FALSE(sample_block_cell(cells, 8, 7, &c));
  EXPECT_EQ(cells.rgb[7 * kSpoitCells + 8], 0xFFFFFFu);
  // A pointer at the int limits reads nothing, without overflow.
  EXPECT_EQ(screen_block_read(block, screen, monitors, {INT32_MAX, INT32_MIN}, 5, &cells), 0);
  screen_block_release(&block);
  screen_block_release(&block);  // once only
  EXPECT_EQ(desktop_gdi_objects(), 0);
  // A block that could not be made reads nothing and shows failed reads.
  desktop_fail_call(DESKTOP_FAIL_DIB, 1);
  EXPECT_FALSE(screen_block_create(&block, screen));
  EXPECT_EQ(desktop_gdi_objects(), 0);
  desktop_log_clear();
  EXPECT_EQ(screen_block_read(block, screen, monitors, {100, 100}, 6, &cells), 0);
  EXPECT_EQ(desktop_call_count("desktop:screen_read"), 0);
  EXPECT_FALSE(sample_block_cell(cells, 7, 7, &c));
  EXPECT_EQ(cells.rgb[0], 0xFFFFFFu);
  ReleaseDC(nullptr, screen);
  desktop_reset(1920, 1080);
}

void *fake_lookup(const char *name, int) {
  fake::Services &services = fake::Services::get();
  if (std::strcmp(name, LWPANELFUNCS_GLOBAL) == 0) return &services.panel_funcs;
  if (std::strcmp(name, LWRASTERFUNCS_GLOBAL) == 0) return &services.raster_funcs;
  return nullptr;
}

// What the Win32 side still held when the magnifier went.
struct HeldAtDestroy {
  int hooks, timers, dcs;
};
std::vector<HeldAtDestroy> g_held;

TEST(SamplingRun, OtherHookCodesPassOnAndTheMagnifierGoesLast) {
  ASSERT_EQ(desktop_reset(1920, 1080), 1);
  fake::Services services;
  g_held.clear();
  services.panel_funcs.destroy = [](LWPanelID) {
    g_held.push_back({desktop_hook_count(), desktop_timer_count(), desktop_outstanding_dcs()});
  };
  // The modal open: events as Windows would deliver them to the hook.
  services.panel_funcs.open = [](LWPanelID, int) {
    MSLLHOOKSTRUCT event = {};
    event.pt.x = 10;
    event.pt.y = 10;
    const LPARAM l = reinterpret_cast<LPARAM>(&event);
    for (int code : {-1, 1, 3}) {
      for (WPARAM message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEWHEEL})
        EXPECT_EQ(spoit_mouse_hook(code, message, l), 0) << code << " " << message;
    }
    EXPECT_EQ(sampling_run_current()->pressed, 0);
    EXPECT_EQ(eyedropper_sample_size(), 1);
    // The magnifier's creation and its key callback only.
    EXPECT_EQ(fake::Services::get().count("panel.set"), 8);
    // A run asked for during a run is refused before it makes anything.
    ColorTriple nested = {-1, -1, -1};
    EXPECT_EQ(eyedropper_run(1, 1, &nested), 0);
    EXPECT_TRUE(same(nested, {0, 0, 0}));
    EXPECT_EQ(fake::Services::get().count("panel.create"), 1);
    EXPECT_EQ(desktop_hook_count(), 1);
    EXPECT_EQ(spoit_mouse_hook(HC_ACTION, WM_LBUTTONDOWN, l), 1);
    EXPECT_EQ(spoit_mouse_hook(HC_ACTION, WM_LBUTTONUP, l), 1);
    EXPECT_EQ(fake::Services::get().count("panel.close"), 1);
    return 1;
  };
  g_global_lookup = fake_lookup;
  ColorTriple out = {-1, -1, -1};
  EXPECT_EQ(eyedropper_run(5, 5, &out), 1);
  g_global_lookup = nullptr;
  EXPECT_TRUE(same(out, {255, 255, 255}));  // the white bar at (10, 10)
  ASSERT_EQ(g_held.size(), 1u);
  EXPECT_EQ(g_held[0].hooks, 0);
  EXPECT_EQ(g_held[0].timers, 0);
  EXPECT_EQ(g_held[0].dcs, 0);
  EXPECT_EQ(services.count("raster.destroy"), 1);
  // The run's record went with its exit: the hook passes events on and the
  // tick reads nothing.
  EXPECT_EQ(sampling_run_current(), nullptr);
  MSLLHOOKSTRUCT event = {};
  EXPECT_EQ(spoit_mouse_hook(HC_ACTION, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&event)), 0);
  desktop_log_clear();
  spoit_timer_tick(nullptr, WM_TIMER, 0, 0);
  EXPECT_EQ(desktop_call_count("GetCursorPos"), 0);
  desktop_reset(1920, 1080);
}

}  // namespace

namespace {

// The frozen picture over two monitors (the second left of the primary, at
// 150 %), its reads, its patch and its loupe, in physical pixels.
TEST(FrozenPicture, CapturesEveryMonitorOnceAndReadsItBack) {
  ASSERT_EQ(desktop_reset(1920, 1080), 1);
  const DesktopMonitor monitors[] = {{0, 0, 640, 480, 100}, {-800, -100, 800, 600, 150}};
  ASSERT_EQ(desktop_set_monitors(monitors, 2), 1);
  desktop_set_thread_dpi(DESKTOP_DPI_PER_MONITOR_V2);
  HDC dc = GetWindowDC(nullptr);
  MonitorList list = {};
  monitor_list_read(&list, GetDesktopWindow());
  ASSERT_EQ(list.count, 2);
  desktop_log_clear();
  FrozenPicture picture;
  ASSERT_EQ(frozen_capture(&picture, dc, list), CaptureFailure::kNone);
  EXPECT_EQ(desktop_call_count("BitBlt"), 2);  // one a monitor
  EXPECT_EQ(picture.width, 800);
  EXPECT_EQ(picture.height, 1080);
  const POINT probes[] = {{0, 0}, {639, 479}, {-800, -100}, {-1, 499}, {320, 200}};
  for (const POINT p : probes) {
    uint32_t rgb = 0;
    ASSERT_TRUE(frozen_pixel(picture, p.x, p.y, &rgb)) << p.x << "," << p.y;
    EXPECT_EQ(rgb, desktop_screen_pixel(p.x, p.y)) << p.x << "," << p.y;
  }
  uint32_t rgb = 0;
  EXPECT_FALSE(frozen_pixel(picture, 700, 100, &rgb));  // on no monitor
  EXPECT_FALSE(frozen_pixel(picture, INT32_MIN, INT32_MAX, &rgb));
  // A block across the primary's right edge: off it, black and unreadable.
  SampleBlock block;
  frozen_read_block(picture, {639, 100}, 3, &block);
  EXPECT_EQ(block.tick, 3u);
  EXPECT_EQ(block.readable[7 * kSampleBlockSide + 7], 1);
  EXPECT_EQ(block.readable[7 * kSampleBlockSide + 8], 0);
  frozen_read_block(picture, {INT32_MIN, INT32_MIN}, 1, &block);  // no overflow
  EXPECT_EQ(block.readable[0], 0);
  // A patch of one area replaces what the picture holds there.
  MonitorList one = {};
  one.rects[0] = {10, 10, 20, 20};
  one.count = 1;
  FrozenPicture patch;
  ASSERT_EQ(frozen_capture(&patch, dc, one), CaptureFailure::kNone);
  patch.bits[0] = 0x123456;
  frozen_patch(&picture, patch);
  ASSERT_TRUE(frozen_pixel(picture, 10, 10, &rgb));
  EXPECT_EQ(rgb, 0x123456u);
  frozen_release(&patch);
  frozen_release(&picture);
  frozen_release(&picture);  // twice is safe
  EXPECT_EQ(desktop_gdi_objects(), 0);
  // Too large: refused before anything is made; a refused transfer keeps nothing.
  MonitorList huge = {};
  huge.rects[0] = {0, 0, 16384, 16384};
  huge.count = 1;
  desktop_log_clear();
  EXPECT_EQ(frozen_capture(&picture, dc, huge), CaptureFailure::kTooLarge);
  EXPECT_EQ(desktop_call_count("CreateDIBSection"), 0);
  desktop_fail_call(DESKTOP_FAIL_BITBLT, 2);
  EXPECT_EQ(frozen_capture(&picture, dc, list), CaptureFailure::kRefused);
  desktop_fail_call(DESKTOP_FAIL_DIB, 1);
  EXPECT_EQ(frozen_capture(&picture, dc, list), CaptureFailure::kNoMemory);
  EXPECT_EQ(desktop_gdi_objects(), 0);
  EXPECT_EQ(picture.dc, nullptr);
  ReleaseDC(nullptr, dc);
  desktop_reset(1920, 1080);
}

TEST(FrozenPicture, TheLoupeKeepsOffThePointAndShowsTheCells) {
  const RECT m = {0, 0, 1920, 1080};
  const struct {
    POINT pointer, placed;
  } rows[] = {
      {{500, 500}, {524, 524}},
      {{1900, 500}, {1900 - 24 - kLoupeWidth, 524}},   // right edge: left
      {{500, 1070}, {524, 1070 - 24 - kLoupeHeight}},  // bottom: above
      {{1919, 1079}, {1919 - 24 - kLoupeWidth, 1079 - 24 - kLoupeHeight}},
      {{INT32_MAX, INT32_MAX}, {INT32_MAX - 24 - kLoupeWidth, INT32_MAX - 24 - kLoupeHeight}},
  };
  for (const auto &row : rows) {
    const POINT at = loupe_place(row.pointer, m);
    EXPECT_EQ(at.x, row.placed.x) << row.pointer.x;
    EXPECT_EQ(at.y, row.placed.y) << row.pointer.y;
    const bool covers = row.pointer.x >= at.x && row.pointer.x < at.x + kLoupeWidth &&
                        row.pointer.y >= at.y && row.pointer.y < at.y + kLoupeHeight;
    EXPECT_FALSE(covers);
  }
  SampleBlock block = {};
  for (int i = 0; i < kSampleBlockCells; ++i) block.rgb[i] = 0x0000FF;
  block.rgb[112] = 0xFF0000;
  std::vector<uint32_t> bits(kLoupeCells);
  loupe_compose(bits.data(), block, "255,  0,  0", "FROZEN");
  const auto at = [&](int x, int y) { return bits[y * kLoupeWidth + x]; };
  EXPECT_EQ(at(1, 1), 0x0000FFu);            // the first cell
  EXPECT_EQ(at(1 + 42, 1 + 42), 0x00FFFFu);  // the centre's frame, inverse
  EXPECT_EQ(at(1 + 44, 1 + 44), 0xFF0000u);  // the centre's own colour
  EXPECT_EQ(at(0, 0), 0x202020u);            // the border
  // The text's first glyph, "2": its top row's middle pixel is ink.
  EXPECT_EQ(at(2 + 1, kLoupeWidth + 1), 0xF0F0F0u);
}

TEST(FrozenPicture, HostRectanglesMapToPhysicalByTheirMonitor) {
  MonitorList host = {}, physical = {};
  host.rects[0] = {0, 0, 1280, 720};  // 150 % seen unaware
  physical.rects[0] = {0, 0, 1920, 1080};
  host.rects[1] = {1280, 0, 2560, 720};
  physical.rects[1] = {1920, 0, 3840, 1080};
  host.count = physical.count = 2;
  RECT out;
  ASSERT_TRUE(rect_to_physical({100, 100, 206, 206}, host, physical, &out));
  EXPECT_EQ(out.left, 150);
  EXPECT_EQ(out.bottom, 309);
  ASSERT_TRUE(rect_to_physical({1380, 10, 1486, 116}, host, physical, &out));
  EXPECT_EQ(out.left, 2070);
  EXPECT_FALSE(rect_to_physical({5000, 0, 5100, 100}, host, physical, &out));  // no monitor
  physical.count = 1;
  EXPECT_FALSE(rect_to_physical({100, 100, 206, 206}, host, physical, &out));  // lists differ
}

}  // namespace
