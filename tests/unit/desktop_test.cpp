// The simulated desktop: the Win32 behaviour the eyedropper relies on, and
// the control interface the host drives it through.

#include "desktop.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "support/png_bytes.h"

namespace {

// Hook and timer procedures are plain function pointers; they report here.
std::vector<std::string> g_trace;
HHOOK g_hook_a = nullptr;
HHOOK g_hook_b = nullptr;
UINT_PTR g_timer_a = 0;
UINT_PTR g_timer_b = 0;
MSLLHOOKSTRUCT g_seen{};
POINT g_cursor_in_hook{};

void Trace(const std::string &what) { g_trace.push_back(what); }

std::vector<std::string> LoggedFunctions() {
  std::vector<std::string> names;
  DesktopCall call;
  for (size_t i = 0; desktop_log_entry(i, &call); ++i) names.push_back(call.function);
  return names;
}

std::string LoggedText(size_t i) {
  DesktopCall call;
  return desktop_log_entry(i, &call) ? call.text : "";
}

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(desktop_reset(1920, 1080), 1);
    g_trace.clear();
    g_hook_a = g_hook_b = nullptr;
    g_timer_a = g_timer_b = 0;
    g_seen = MSLLHOOKSTRUCT{};
  }
  void TearDown() override { desktop_reset(1920, 1080); }
};

// ---- Windows, module, rectangle, device contexts ------------------------------

TEST_F(DesktopTest, FixedHandlesAndDesktopRectangle) {
  HWND desktop = GetDesktopWindow();
  EXPECT_NE(desktop, nullptr);
  EXPECT_EQ(GetDesktopWindow(), desktop);
  EXPECT_EQ(desktop, desktop_window());
  EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
  EXPECT_EQ(GetModuleHandleA(nullptr), desktop_module());
  EXPECT_EQ(GetModuleHandleA("huevane.p"), nullptr);

  RECT rect{-1, -1, -1, -1};
  ASSERT_TRUE(GetWindowRect(desktop, &rect));
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 1920);
  EXPECT_EQ(rect.bottom, 1080);
  EXPECT_FALSE(GetWindowRect(desktop, nullptr));
  RECT untouched{7, 7, 7, 7};
  EXPECT_FALSE(GetWindowRect(nullptr, &untouched));
  EXPECT_FALSE(GetWindowRect(reinterpret_cast<HWND>(uintptr_t{0x999}), &untouched));
  EXPECT_EQ(untouched.right, 7);

  ASSERT_EQ(desktop_reset(800, 600), 1);
  ASSERT_TRUE(GetWindowRect(desktop, &rect));
  EXPECT_EQ(rect.right, 800);
  EXPECT_EQ(rect.bottom, 600);
  EXPECT_EQ(desktop_reset(0, 600), 0);
  EXPECT_EQ(desktop_reset(800, DESKTOP_MAX_SIZE + 1), 0);
  EXPECT_EQ(desktop_width(), 800);
}

TEST_F(DesktopTest, DeviceContextsAreCountedAndReleasedOnce) {
  HWND desktop = GetDesktopWindow();
  HDC first = GetWindowDC(desktop);
  HDC second = GetWindowDC(nullptr);  // the whole screen
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(GetWindowDC(reinterpret_cast<HWND>(uintptr_t{0x999})), nullptr);
  EXPECT_EQ(desktop_outstanding_dcs(), 2);

  EXPECT_EQ(ReleaseDC(nullptr, first), 0);  // taken for the desktop window
  EXPECT_EQ(ReleaseDC(desktop, first), 1);
  EXPECT_EQ(ReleaseDC(desktop, first), 0);
  EXPECT_EQ(ReleaseDC(desktop, nullptr), 0);
  EXPECT_EQ(desktop_outstanding_dcs(), 1);
  EXPECT_EQ(GetPixel(first, 0, 0), CLR_INVALID);  // released
  EXPECT_NE(GetPixel(second, 0, 0), CLR_INVALID);
  EXPECT_EQ(ReleaseDC(nullptr, second), 1);
  EXPECT_EQ(desktop_outstanding_dcs(), 0);
}

// ---- Pixels: format, bounds, wallpaper, overlay -----------------------------

TEST_F(DesktopTest, GetPixelIsBgrAndInvalidOffScreen) {
  HDC dc = GetWindowDC(GetDesktopWindow());
  EXPECT_EQ(GetPixel(dc, 5 * 240 + 10, 10), 0x000000FFu);  // red bar
  EXPECT_EQ(GetPixel(dc, 6 * 240 + 10, 10), 0x00FF0000u);  // blue bar
  EXPECT_EQ(GetPixel(dc, 1 * 240 + 10, 10), 0x0000FFFFu);  // yellow bar

  const uint32_t pixel = 0x123456;
  ASSERT_EQ(desktop_set_wallpaper(&pixel, 1, 1, 1), 1);
  EXPECT_EQ(GetPixel(dc, 0, 0), 0x00563412u);

  EXPECT_NE(GetPixel(dc, 1919, 1079), CLR_INVALID);
  for (POINT p : {POINT{-1, 0}, POINT{0, -1}, POINT{1920, 0}, POINT{0, 1080},
                  POINT{INT_MIN, INT_MIN}, POINT{INT_MAX, INT_MAX}}) {
    EXPECT_EQ(GetPixel(dc, p.x, p.y), CLR_INVALID) << p.x << ", " << p.y;
  }
  EXPECT_EQ(GetPixel(nullptr, 0, 0), CLR_INVALID);
  EXPECT_EQ(GetPixel(reinterpret_cast<HDC>(uintptr_t{0x999}), 0, 0), CLR_INVALID);
}

TEST_F(DesktopTest, TestPatternRegions) {
  EXPECT_EQ(desktop_screen_pixel(0, 0), 0xFFFFFFu);
  EXPECT_EQ(desktop_screen_pixel(1919, 719), 0x000000u);  // last bar, last bar row
  EXPECT_EQ(desktop_screen_pixel(0, 720), 0x000000u);     // grey ramp
  EXPECT_EQ(desktop_screen_pixel(1919, 720), 0xFFFFFFu);
  EXPECT_EQ(desktop_screen_pixel(0, 900), 0x000080u);  // two-way gradient
  EXPECT_EQ(desktop_screen_pixel(1919, 1079), 0xFFFF80u);
  EXPECT_NE(desktop_screen_pixel(100, 1000), desktop_screen_pixel(110, 1000));
  EXPECT_NE(desktop_screen_pixel(100, 1000), desktop_screen_pixel(100, 1001));
  // Degenerate sizes divide by nothing.
  EXPECT_EQ(desktop_test_pattern(0, 0, 1, 1), 0x000080u);
  EXPECT_EQ(desktop_test_pattern(1, 0, 1, 1), 0u);
  EXPECT_EQ(desktop_test_pattern(0, 0, 1, 2), 0xFFFFFFu);
}

TEST_F(DesktopTest, WallpaperFromPixelsAndFromPng) {
  // 2 x 2 image in rows of 3; the padding column must not show.
  const uint32_t image[] = {0x010203, 0x040506, 0xDEAD, 0xFF0A0B0C, 0x0D0E0F, 0xDEAD};
  ASSERT_EQ(desktop_set_wallpaper(image, 2, 2, 3), 1);
  EXPECT_EQ(desktop_screen_pixel(1, 0), 0x040506u);
  EXPECT_EQ(desktop_screen_pixel(0, 1), 0x0A0B0Cu);  // top byte dropped
  EXPECT_EQ(desktop_screen_pixel(2, 0), 0u);         // not covered: black
  int w = 0, h = 0;
  desktop_wallpaper_size(&w, &h);
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 2);

  EXPECT_EQ(desktop_set_wallpaper(nullptr, 2, 2, 2), 0);
  EXPECT_EQ(desktop_set_wallpaper(image, 2, 2, 1), 0);
  EXPECT_EQ(desktop_set_wallpaper(image, 0, 2, 2), 0);
  EXPECT_EQ(desktop_screen_pixel(1, 0), 0x040506u);

  const std::string png = hvtest::png_bytes(2, 2, 3, {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30});
  ASSERT_EQ(desktop_load_wallpaper_png(png.data(), png.size(), nullptr, 0), 1);
  EXPECT_EQ(desktop_screen_pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(desktop_screen_pixel(1, 1), 0x0A141Eu);
  HDC dc = GetWindowDC(nullptr);
  EXPECT_EQ(GetPixel(dc, 0, 1), 0x00FF0000u);
  desktop_wallpaper_size(&w, &h);
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 2);

  // Grey, and colour with alpha: the colour shows, the alpha is dropped.
  const std::string grey = hvtest::png_bytes(1, 1, 1, {77});
  ASSERT_EQ(desktop_load_wallpaper_png(grey.data(), grey.size(), nullptr, 0), 1);
  EXPECT_EQ(desktop_screen_pixel(0, 0), 0x4D4D4Du);
  const std::string rgba = hvtest::png_bytes(1, 1, 4, {1, 2, 3, 0});
  ASSERT_EQ(desktop_load_wallpaper_png(rgba.data(), rgba.size(), nullptr, 0), 1);
  EXPECT_EQ(desktop_screen_pixel(0, 0), 0x010203u);

  char error[200] = {};
  const std::string junk = "\x89PNG\r\n\x1a\nnot really";
  EXPECT_EQ(desktop_load_wallpaper_png(junk.data(), junk.size(), error, sizeof error), 0);
  EXPECT_NE(std::string(error).find("is not a PNG image"), std::string::npos) << error;
  EXPECT_EQ(desktop_load_wallpaper_png(png.data(), png.size() / 2, error, sizeof error), 0);
  EXPECT_EQ(desktop_load_wallpaper_png(nullptr, 10, error, sizeof error), 0);
  EXPECT_STREQ(error, "is empty");
  EXPECT_EQ(desktop_screen_pixel(0, 0), 0x010203u);  // unchanged
  // The message is cut to the room given, never overrun.
  char small[8];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(desktop_load_wallpaper_png(junk.data(), junk.size(), small, 4), 0);
  EXPECT_EQ(small[3], '\0');
  EXPECT_EQ(small[4], 'x');

  desktop_use_test_pattern();
  EXPECT_EQ(desktop_screen_pixel(0, 0), 0xFFFFFFu);
}

// An image's size is read from its header and checked against the limits
// before any pixel is decoded: these headers claim sizes whose pixels are
// not there at all, and a 16384 x 16384 image would take 1 GiB.
TEST_F(DesktopTest, WallpaperSizeIsLimitedBeforeDecoding) {
  const std::string one = hvtest::png_bytes(1, 1, 3, {9, 9, 9});
  char error[200] = {};
  struct Case {
    uint32_t w, h;
  };
  for (Case c : {Case{16384, 16384}, Case{8193, 8192}, Case{16385, 1}, Case{1, 16385}}) {
    const std::string big = hvtest::png_with_size(one, c.w, c.h);
    EXPECT_EQ(desktop_load_wallpaper_png(big.data(), big.size(), error, sizeof error), 0);
    EXPECT_EQ(std::string(error), "is " + std::to_string(c.w) + " x " + std::to_string(c.h) +
                                      " pixels; a wallpaper may have at most 67108864 pixels "
                                      "(8192 x 8192) and 16384 a side");
  }
  // Within the limits the header is believed, and the missing pixels are
  // what is wrong.
  const std::string wide = hvtest::png_with_size(one, 16384, 2);
  EXPECT_EQ(desktop_load_wallpaper_png(wide.data(), wide.size(), error, sizeof error), 0);
  EXPECT_NE(std::string(error).find("cannot be decoded"), std::string::npos) << error;
  EXPECT_EQ(desktop_screen_pixel(0, 0), 0xFFFFFFu);  // still the test pattern
}

// A 10 x 10 panel at (100, 50): its pixel colour encodes the position.
int PanelOverlay(void *ctx, int x, int y, uint32_t *rgb) {
  ++*static_cast<int *>(ctx);
  if (x < 100 || x >= 110 || y < 50 || y >= 60) return 0;
  *rgb = 0xFF000000u | static_cast<uint32_t>((x - 100) << 8 | (y - 50));
  return 1;
}

int SelfRemovingOverlay(void *, int, int, uint32_t *rgb) {
  POINT p;
  GetCursorPos(&p);
  desktop_set_overlay(nullptr, nullptr);
  desktop_use_test_pattern();
  *rgb = 0x00ABCDEF;
  return 1;
}

TEST_F(DesktopTest, OverlayIsComposedOverWallpaper) {
  int calls = 0;
  desktop_set_overlay(PanelOverlay, &calls);
  HDC dc = GetWindowDC(nullptr);
  EXPECT_EQ(GetPixel(dc, 103, 57), 0x00070300u);  // 0x000307 as BGR, top byte dropped
  EXPECT_EQ(GetPixel(dc, 110, 57), 0x00FFFFFFu);  // beside it: the white bar
  EXPECT_EQ(GetPixel(dc, -1, 57), CLR_INVALID);   // off screen: not asked
  EXPECT_EQ(calls, 2);

  std::vector<uint32_t> area(4 * 2);
  ASSERT_EQ(desktop_read_screen(108, 58, 4, 2, area.data()), 1);
  EXPECT_EQ(area[0], 0x000808u);
  EXPECT_EQ(area[2], 0xFFFFFFu);
  EXPECT_EQ(area[4], 0x000809u);
  ASSERT_EQ(desktop_read_screen(-2, 0, 4, 1, area.data()), 1);
  EXPECT_EQ(area[0], 0u);
  EXPECT_EQ(area[2], 0xFFFFFFu);
  EXPECT_EQ(desktop_read_screen(0, 0, 0, 1, area.data()), 0);

  desktop_set_overlay(nullptr, &calls);
  EXPECT_EQ(GetPixel(dc, 103, 57), 0x00FFFFFFu);

  // An overlay that calls in and removes itself while it runs.
  desktop_set_overlay(SelfRemovingOverlay, nullptr);
  EXPECT_EQ(GetPixel(dc, 5, 5), 0x00EFCDABu);
  EXPECT_EQ(GetPixel(dc, 5, 5), 0x00FFFFFFu);
}

// ---- Pointer and the hook chain -------------------------------------------------

LRESULT CALLBACK HookA(int code, WPARAM w, LPARAM l) {
  Trace("A");
  g_seen = *reinterpret_cast<const MSLLHOOKSTRUCT *>(l);
  GetCursorPos(&g_cursor_in_hook);
  return CallNextHookEx(g_hook_a, code, w, l);
}

// B passes on moves and swallows everything else.
LRESULT CALLBACK HookB(int code, WPARAM w, LPARAM l) {
  Trace("B");
  if (w == WM_MOUSEMOVE) return CallNextHookEx(nullptr, code, w, l);  // the handle is not needed
  return 1;
}

LRESULT CALLBACK SwallowAll(int, WPARAM, LPARAM) {
  Trace("swallow");
  return 7;
}

TEST_F(DesktopTest, HookChainRunsHeadFirstAndSwallows) {
  HMODULE exe = GetModuleHandleA(nullptr);
  g_hook_a = SetWindowsHookExA(WH_MOUSE_LL, HookA, exe, 0);
  g_hook_b = SetWindowsHookExA(WH_MOUSE_LL, HookB, exe, 0);
  ASSERT_NE(g_hook_a, nullptr);
  ASSERT_NE(g_hook_b, nullptr);
  EXPECT_EQ(desktop_hook_count(), 2);

  EXPECT_EQ(desktop_mouse_event(WM_MOUSEMOVE, 300, 400), 0);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(g_seen.pt.x, 300);
  EXPECT_EQ(g_seen.pt.y, 400);

  g_trace.clear();
  EXPECT_EQ(desktop_mouse_event(WM_LBUTTONDOWN, 300, 400), 1);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"B"}));

  // Outside a dispatch there is nothing to pass on to.
  EXPECT_EQ(CallNextHookEx(g_hook_a, HC_ACTION, WM_MOUSEMOVE, 0), 0);

  EXPECT_TRUE(UnhookWindowsHookEx(g_hook_b));
  EXPECT_FALSE(UnhookWindowsHookEx(g_hook_b));
  EXPECT_FALSE(UnhookWindowsHookEx(nullptr));
  g_trace.clear();
  EXPECT_EQ(desktop_mouse_event(WM_LBUTTONUP, 1, 2), 0);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"A"}));
  EXPECT_EQ(g_seen.time, 0u);

  // Only global low-level mouse hooks with a procedure can be set.
  EXPECT_EQ(SetWindowsHookExA(13, HookA, exe, 0), nullptr);
  EXPECT_EQ(SetWindowsHookExA(WH_MOUSE_LL, nullptr, exe, 0), nullptr);
  EXPECT_EQ(SetWindowsHookExA(WH_MOUSE_LL, HookA, exe, 42), nullptr);
  EXPECT_EQ(desktop_hook_count(), 1);

  // With no hooks nothing is swallowed.
  EXPECT_TRUE(UnhookWindowsHookEx(g_hook_a));
  EXPECT_EQ(desktop_mouse_event(WM_LBUTTONDOWN, 1, 2), 0);
}

TEST_F(DesktopTest, PointerFollowsEventsAfterTheChain) {
  desktop_set_cursor(-50, 5000);
  POINT p{};
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 1079);
  EXPECT_FALSE(GetCursorPos(nullptr));

  g_hook_a = SetWindowsHookExA(WH_MOUSE_LL, HookA, nullptr, 0);
  desktop_mouse_event(WM_MOUSEMOVE, 10, 20);
  EXPECT_EQ(g_cursor_in_hook.x, 0);  // hooks run before the pointer moves
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 10);
  EXPECT_EQ(p.y, 20);

  desktop_mouse_event(WM_MOUSEMOVE, -5, 2000);  // hooks see the raw position
  EXPECT_EQ(g_seen.pt.x, -5);
  EXPECT_EQ(g_seen.pt.y, 2000);
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 1079);

  // A swallowed move leaves the pointer; a swallowed click happens where it is.
  HHOOK swallow = SetWindowsHookExA(WH_MOUSE_LL, SwallowAll, nullptr, 0);
  EXPECT_EQ(desktop_mouse_event(WM_MOUSEMOVE, 500, 500), 1);
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(desktop_mouse_event(WM_RBUTTONDOWN, 600, 600), 1);
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 600);
  UnhookWindowsHookEx(swallow);
}

LRESULT CALLBACK UnhookSelfThenPass(int code, WPARAM w, LPARAM l) {
  Trace("self");
  UnhookWindowsHookEx(g_hook_b);
  return CallNextHookEx(g_hook_b, code, w, l);
}

LRESULT CALLBACK UnhookNextThenPass(int code, WPARAM w, LPARAM l) {
  Trace("killer");
  EXPECT_TRUE(UnhookWindowsHookEx(g_hook_a));
  return CallNextHookEx(g_hook_b, code, w, l);
}

LRESULT CALLBACK InstallDuringDispatch(int code, WPARAM w, LPARAM l) {
  Trace("installer");
  if (g_hook_a == nullptr) g_hook_a = SetWindowsHookExA(WH_MOUSE_LL, SwallowAll, nullptr, 0);
  return CallNextHookEx(nullptr, code, w, l);
}

LRESULT CALLBACK ResetDuringDispatch(int code, WPARAM w, LPARAM l) {
  Trace("reset");
  desktop_reset(640, 480);
  EXPECT_EQ(desktop_hook_count(), 0);
  return CallNextHookEx(nullptr, code, w, l);
}

TEST_F(DesktopTest, HooksChangingTheChainDuringDispatch) {
  g_hook_a = SetWindowsHookExA(WH_MOUSE_LL, SwallowAll, nullptr, 0);
  g_hook_b = SetWindowsHookExA(WH_MOUSE_LL, UnhookSelfThenPass, nullptr, 0);
  EXPECT_EQ(desktop_mouse_event(WM_MOUSEMOVE, 1, 1), 1);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"self", "swallow"}));
  EXPECT_EQ(desktop_hook_count(), 1);
  EXPECT_TRUE(UnhookWindowsHookEx(g_hook_a));

  g_trace.clear();
  g_hook_a = SetWindowsHookExA(WH_MOUSE_LL, SwallowAll, nullptr, 0);
  g_hook_b = SetWindowsHookExA(WH_MOUSE_LL, UnhookNextThenPass, nullptr, 0);
  EXPECT_EQ(desktop_mouse_event(WM_MOUSEMOVE, 1, 1), 0);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"killer"}));
  EXPECT_EQ(desktop_hook_count(), 1);
  EXPECT_TRUE(UnhookWindowsHookEx(g_hook_b));

  // A hook set during a dispatch joins at the head: from the next event on.
  g_trace.clear();
  g_hook_a = nullptr;
  g_hook_b = SetWindowsHookExA(WH_MOUSE_LL, InstallDuringDispatch, nullptr, 0);
  EXPECT_EQ(desktop_mouse_event(WM_MOUSEMOVE, 1, 1), 0);
  EXPECT_EQ(desktop_mouse_event(WM_MOUSEMOVE, 1, 1), 1);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"installer", "swallow"}));

  // Resetting the whole desktop from inside a hook ends the chain cleanly.
  g_trace.clear();
  SetWindowsHookExA(WH_MOUSE_LL, ResetDuringDispatch, nullptr, 0);
  EXPECT_EQ(desktop_mouse_event(WM_MOUSEMOVE, 1, 1), 0);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"reset"}));
  EXPECT_EQ(desktop_width(), 640);
  EXPECT_NE(SetWindowsHookExA(WH_MOUSE_LL, SwallowAll, nullptr, 0), nullptr);
  EXPECT_EQ(desktop_mouse_event(WM_MOUSEMOVE, 1, 1), 1);
}

// ---- Timers on virtual time ---------------------------------------------------

void CALLBACK RecordTimer(HWND hwnd, UINT message, UINT_PTR id, DWORD time) {
  EXPECT_EQ(hwnd, nullptr);
  EXPECT_EQ(message, static_cast<UINT>(WM_TIMER));
  Trace((id == g_timer_a ? "a@" : id == g_timer_b ? "b@" : "?@") + std::to_string(time));
}

void CALLBACK KillSelf(HWND, UINT, UINT_PTR id, DWORD time) {
  Trace("self@" + std::to_string(time));
  EXPECT_TRUE(KillTimer(nullptr, id));
}

void CALLBACK KillOther(HWND, UINT, UINT_PTR, DWORD time) {
  Trace("killer@" + std::to_string(time));
  KillTimer(nullptr, g_timer_b);
}

void CALLBACK ResetFromTimer(HWND, UINT, UINT_PTR, DWORD) {
  Trace("reset");
  desktop_reset(1920, 1080);
  g_timer_a = SetTimer(nullptr, 0, 10, RecordTimer);
}

TEST_F(DesktopTest, TimersFireOnVirtualTime) {
  g_timer_a = SetTimer(nullptr, 0, 100, RecordTimer);
  ASSERT_NE(g_timer_a, 0u);
  EXPECT_EQ(desktop_advance_time(99), 0);
  EXPECT_EQ(desktop_advance_time(151), 2);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"a@100", "a@200"}));
  EXPECT_EQ(desktop_time_ms(), 250u);
  EXPECT_EQ(desktop_advance_time(50), 1);
  EXPECT_EQ(g_trace.back(), "a@300");

  // Two periods interleave by due time; equal due times go in the order set.
  g_trace.clear();
  g_timer_b = SetTimer(nullptr, 0, 150, RecordTimer);
  EXPECT_NE(g_timer_b, g_timer_a);
  EXPECT_EQ(desktop_timer_count(), 2);
  EXPECT_EQ(desktop_advance_time(300), 5);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"a@400", "b@450", "a@500", "a@600", "b@600"}));

  // Setting a live identifier again reschedules that timer.
  g_trace.clear();
  EXPECT_EQ(SetTimer(nullptr, g_timer_a, 20, RecordTimer), g_timer_a);
  EXPECT_EQ(desktop_timer_count(), 2);
  EXPECT_TRUE(KillTimer(nullptr, g_timer_b));
  EXPECT_FALSE(KillTimer(nullptr, g_timer_b));
  EXPECT_EQ(desktop_advance_time(40), 2);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"a@620", "a@640"}));

  // A too-short period is raised to 10 ms; window timers do not exist here.
  EXPECT_TRUE(KillTimer(nullptr, g_timer_a));
  g_timer_a = SetTimer(nullptr, 0, 0, RecordTimer);
  EXPECT_EQ(desktop_advance_time(30), 3);
  EXPECT_EQ(SetTimer(desktop_window(), 1, 100, RecordTimer), 0u);
  EXPECT_FALSE(KillTimer(desktop_window(), g_timer_a));
  EXPECT_FALSE(KillTimer(nullptr, 0));
  // A timer without a procedure only shows in the log.
  UINT_PTR silent = SetTimer(nullptr, 0, 100, nullptr);
  EXPECT_NE(silent, 0u);
  EXPECT_TRUE(KillTimer(nullptr, g_timer_a));
  desktop_log_clear();
  EXPECT_EQ(desktop_advance_time(100), 1);
  EXPECT_EQ(desktop_call_count("desktop:timer_proc_call"), 1);
}

TEST_F(DesktopTest, TimersKilledOrResetWhileFiring) {
  SetTimer(nullptr, 0, 100, KillSelf);
  EXPECT_EQ(desktop_advance_time(1000), 1);
  EXPECT_EQ(desktop_timer_count(), 0);

  // The killer runs first at 200 and takes the other timer, due then too.
  g_trace.clear();
  SetTimer(nullptr, 0, 200, KillOther);
  g_timer_b = SetTimer(nullptr, 0, 100, RecordTimer);
  EXPECT_EQ(desktop_advance_time(250), 2);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"b@1100", "killer@1200"}));
  EXPECT_EQ(desktop_timer_count(), 1);

  // A reset inside a procedure stops the advance; time starts again at 0.
  desktop_reset(1920, 1080);
  g_trace.clear();
  SetTimer(nullptr, 0, 100, ResetFromTimer);
  EXPECT_EQ(desktop_advance_time(500), 1);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"reset"}));
  EXPECT_EQ(desktop_time_ms(), 0u);
  EXPECT_EQ(desktop_timer_count(), 1);
  EXPECT_EQ(desktop_advance_time(10), 1);
}

// ---- Call log and failure injection ---------------------------------------------

LRESULT CALLBACK PassOn(int code, WPARAM w, LPARAM l) {
  return CallNextHookEx(g_hook_a, code, w, l);
}

LRESULT CALLBACK ReadPixel(int, WPARAM, LPARAM l) {
  const auto *event = reinterpret_cast<const MSLLHOOKSTRUCT *>(l);
  HDC dc = GetWindowDC(nullptr);
  GetPixel(dc, event->pt.x, event->pt.y);
  ReleaseDC(nullptr, dc);
  return 0;
}

TEST_F(DesktopTest, CallLogRecordsCallsAndEventsInOrder) {
  HWND desktop = GetDesktopWindow();
  HDC dc = GetWindowDC(desktop);
  RECT rect;
  GetWindowRect(desktop, &rect);
  HHOOK hook = SetWindowsHookExA(WH_MOUSE_LL, ReadPixel, GetModuleHandleA(nullptr), 0);
  g_hook_a = SetWindowsHookExA(WH_MOUSE_LL, PassOn, GetModuleHandleA(nullptr), 0);
  UINT_PTR timer = SetTimer(nullptr, 0, 100, KillSelf);
  desktop_mouse_event(WM_MOUSEMOVE, 5, 6);
  desktop_advance_time(100);
  UnhookWindowsHookEx(hook);
  ReleaseDC(desktop, dc);

  EXPECT_EQ(LoggedFunctions(),
            (std::vector<std::string>{
                "GetDesktopWindow", "GetWindowDC", "GetWindowRect", "GetModuleHandleA",
                "SetWindowsHookExA", "GetModuleHandleA", "SetWindowsHookExA", "SetTimer",
                "desktop:mouse_to_hooks", "CallNextHookEx", "GetWindowDC", "GetPixel", "ReleaseDC",
                "desktop:timer_proc_call", "KillTimer", "UnhookWindowsHookEx", "ReleaseDC"}));
  EXPECT_EQ(LoggedText(1), "GetWindowDC(desktop) = dc1");
  EXPECT_EQ(LoggedText(2), "GetWindowRect(desktop) = 1 {0, 0, 1920, 1080}");
  EXPECT_EQ(LoggedText(3), "GetModuleHandleA(null) = exe");
  EXPECT_EQ(LoggedText(4), "SetWindowsHookExA(14, proc, exe, 0) = hook1");
  EXPECT_EQ(LoggedText(7), "SetTimer(null, 0, 100, proc) = " + std::to_string(timer));
  EXPECT_EQ(LoggedText(8), "desktop:mouse_to_hooks(0x200, 5, 6)");
  EXPECT_EQ(LoggedText(9), "CallNextHookEx(hook2, 0, 0x200) = 0");
  EXPECT_EQ(LoggedText(11), "GetPixel(dc2, 5, 6) = 0xffffff");
  EXPECT_EQ(LoggedText(16), "ReleaseDC(desktop, dc1) = 1");
  DesktopCall call;
  ASSERT_TRUE(desktop_log_entry(11, &call));
  EXPECT_EQ(call.args[1], 5);
  EXPECT_EQ(call.args[2], 6);
  EXPECT_EQ(call.result, 0xFFFFFF);
  EXPECT_FALSE(desktop_log_entry(17, &call));
  EXPECT_FALSE(desktop_log_entry(0, nullptr));
  EXPECT_EQ(desktop_call_count("GetWindowDC"), 2);
  EXPECT_EQ(desktop_call_count("ReleaseDC"), 2);
  EXPECT_EQ(desktop_call_count("NoSuchFunction"), 0);
  EXPECT_EQ(desktop_call_count(nullptr), 0);

  desktop_log_clear();
  EXPECT_EQ(desktop_log_size(), 0u);
  EXPECT_EQ(desktop_call_count("GetWindowDC"), 0);
  desktop_set_logging(0);
  GetDesktopWindow();
  EXPECT_EQ(desktop_log_size(), 0u);
  EXPECT_EQ(desktop_call_count("GetDesktopWindow"), 1);

  // Numbering starts afresh after a reset, so logs repeat.
  desktop_reset(1920, 1080);
  GetWindowDC(nullptr);
  EXPECT_EQ(LoggedText(0), "GetWindowDC(null) = dc1");
}

// The clipboard's owner rule as Windows documents it: emptied while opened
// for no window, it has no owner and takes no data; a message-only window
// is an owner, and its text outlives it. Only such windows are made here.
TEST_F(DesktopTest, TheClipboardTakesDataFromAnOwnerOnly) {
  const char text[] = "#010203";
  const auto put = [&](HWND owner) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof text);
    memcpy(GlobalLock(memory), text, sizeof text);
    GlobalUnlock(memory);
    if (!OpenClipboard(owner)) {
      GlobalFree(memory);
      return -1;
    }
    EmptyClipboard();
    const bool set = SetClipboardData(CF_TEXT, memory) != nullptr;
    if (!set) GlobalFree(memory);
    CloseClipboard();
    return set ? 1 : 0;
  };
  EXPECT_EQ(put(nullptr), 0);
  HWND owner =
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(desktop_message_windows(), 1);
  EXPECT_EQ(put(owner), 1);
  EXPECT_EQ(put(DESKTOP_ACTIVE_WINDOW), 1);
  EXPECT_EQ(DestroyWindow(owner), 1);
  EXPECT_EQ(DestroyWindow(owner), 0);
  EXPECT_EQ(put(owner), -1);  // no such window any more
  const char *bytes = nullptr;
  size_t size = 0;
  ASSERT_EQ(desktop_clipboard(&bytes, &size), 1);
  EXPECT_EQ(std::string(bytes, size), std::string(text, sizeof text));
  EXPECT_EQ(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(desktop_message_windows(), 0);
  EXPECT_EQ(desktop_outstanding_globals(), 0);
  desktop_set_no_active_window(1);
  EXPECT_EQ(GetActiveWindow(), nullptr);
  desktop_set_no_active_window(0);
  EXPECT_EQ(GetActiveWindow(), DESKTOP_ACTIVE_WINDOW);
}

TEST_F(DesktopTest, InjectedFailures) {
  desktop_fail_call(DESKTOP_FAIL_SET_HOOK, -1);
  EXPECT_EQ(SetWindowsHookExA(WH_MOUSE_LL, SwallowAll, nullptr, 0), nullptr);
  EXPECT_EQ(SetWindowsHookExA(WH_MOUSE_LL, SwallowAll, nullptr, 0), nullptr);
  EXPECT_EQ(desktop_hook_count(), 0);
  desktop_fail_call(DESKTOP_FAIL_SET_HOOK, 2);
  EXPECT_NE(SetWindowsHookExA(WH_MOUSE_LL, SwallowAll, nullptr, 0), nullptr);
  EXPECT_EQ(SetWindowsHookExA(WH_MOUSE_LL, SwallowAll, nullptr, 0), nullptr);
  EXPECT_NE(SetWindowsHookExA(WH_MOUSE_LL, SwallowAll, nullptr, 0), nullptr);
  EXPECT_EQ(desktop_hook_count(), 2);

  desktop_fail_call(DESKTOP_FAIL_SET_TIMER, 1);
  EXPECT_EQ(SetTimer(nullptr, 0, 100, RecordTimer), 0u);
  EXPECT_NE(SetTimer(nullptr, 0, 100, RecordTimer), 0u);
  desktop_fail_call(DESKTOP_FAIL_WINDOW_DC, 1);
  EXPECT_EQ(GetWindowDC(nullptr), nullptr);
  EXPECT_EQ(desktop_outstanding_dcs(), 0);
  desktop_fail_call(99, 1);  // ignored

  HDC dc = GetWindowDC(nullptr);
  desktop_fail_pixel(10, 20);
  EXPECT_EQ(GetPixel(dc, 10, 20), CLR_INVALID);
  EXPECT_NE(GetPixel(dc, 11, 20), CLR_INVALID);
  desktop_fail_all_pixels(1);
  EXPECT_EQ(GetPixel(dc, 11, 20), CLR_INVALID);
  EXPECT_EQ(desktop_screen_pixel(11, 20), 0xFFFFFFu);  // the host's view is unaffected
  desktop_clear_pixel_failures();
  EXPECT_NE(GetPixel(dc, 10, 20), CLR_INVALID);

  // A reset clears every injection.
  desktop_fail_call(DESKTOP_FAIL_SET_HOOK, -1);
  desktop_fail_all_pixels(1);
  desktop_reset(1920, 1080);
  EXPECT_NE(SetWindowsHookExA(WH_MOUSE_LL, SwallowAll, nullptr, 0), nullptr);
  EXPECT_NE(GetPixel(GetWindowDC(nullptr), 0, 0), CLR_INVALID);
}

// ---- What a composited desktop costs, and the hook timeout --------------------

// A memory DC with a w x h 32-bit DIB section selected; bits points at its
// pixels (0x00RRGGBB, rows of w).
struct Block {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ stock = nullptr;
  uint32_t *bits = nullptr;
  Block(int w, int h, HDC compatible) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = static_cast<DWORD>(sizeof info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *p = nullptr;
    dc = CreateCompatibleDC(compatible);
    bitmap = CreateDIBSection(compatible, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint32_t *>(p);
    stock = SelectObject(dc, bitmap);
  }
  ~Block() {
    SelectObject(dc, stock);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
};

// Each row one way to read pixels: what it reads, how many screen reads
// that is and how long the thread is busy for it at 20 ms a read.
struct ReadRow {
  const char *name;
  std::function<bool(HDC screen)> read;  // false when the read failed
  bool ok;
  int screen_reads;
};

std::ostream &operator<<(std::ostream &os, const ReadRow &row) { return os << row.name; }

struct DesktopReads : DesktopTest, ::testing::WithParamInterface<ReadRow> {};

uint32_t Pattern(int x, int y) { return desktop_test_pattern(x, y, 1920, 1080); }

TEST_P(DesktopReads, ScreenReadsCostTheThreadMemoryReadsNothing) {
  desktop_set_screen_read_ms(20);
  HDC screen = GetWindowDC(nullptr);
  const uint64_t thread = desktop_time_ms(), user = desktop_input_time_ms();
  desktop_log_clear();
  EXPECT_EQ(GetParam().read(screen), GetParam().ok);
  EXPECT_EQ(desktop_call_count("desktop:screen_read"), GetParam().screen_reads);
  EXPECT_EQ(desktop_time_ms() - thread, 20u * static_cast<unsigned>(GetParam().screen_reads));
  EXPECT_EQ(desktop_input_time_ms(), user);  // the user's clock does not wait
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(desktop_gdi_objects(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DesktopReads,
    ::testing::Values(
        ReadRow{"GetPixelOnTheScreen",
                [](HDC screen) { return GetPixel(screen, 300, 40) != CLR_INVALID; }, true, 1},
        ReadRow{"GetPixelOffTheScreenStillWaits",
                [](HDC screen) { return GetPixel(screen, -3, 40) != CLR_INVALID; }, false, 1},
        ReadRow{"ABlockOfFifteenIsOneRead",
                [](HDC screen) {
                  Block b(15, -15, screen);
                  if (!BitBlt(b.dc, 0, 0, 15, 15, screen, 1910, 1070, SRCCOPY)) return false;
                  GdiFlush();
                  // Top-down rows; off the screen black.
                  EXPECT_EQ(b.bits[0], Pattern(1910, 1070));
                  EXPECT_EQ(b.bits[9 + 15 * 9], Pattern(1919, 1079));
                  EXPECT_EQ(b.bits[9 + 15 * 10], 0u);
                  EXPECT_EQ(b.bits[10], 0u);
                  return true;
                },
                true, 1},
        ReadRow{"ABottomUpBlockKeepsItsLastRowFirst",
                [](HDC screen) {
                  Block b(2, 2, screen);
                  if (!BitBlt(b.dc, 0, 0, 2, 2, screen, 10, 719, SRCCOPY)) return false;
                  EXPECT_EQ(b.bits[0], Pattern(10, 720));
                  EXPECT_EQ(b.bits[2], Pattern(10, 719));
                  return true;
                },
                true, 1},
        ReadRow{"MemoryToMemoryAndItsGetPixelAreFree",
                [](HDC screen) {
                  Block a(4, -4, screen), b(4, -4, a.dc);
                  a.bits[5] = 0x123456;
                  if (!BitBlt(b.dc, 1, 1, 3, 3, a.dc, 0, 0, SRCCOPY)) return false;
                  EXPECT_EQ(b.bits[10], 0x123456u);
                  EXPECT_EQ(GetPixel(b.dc, 2, 2), 0x563412u);
                  EXPECT_EQ(GetPixel(b.dc, 4, 0), CLR_INVALID);
                  return true;
                },
                true, 0},
        ReadRow{"ABlockOverAnUnreadablePixelFailsWhole",
                [](HDC screen) {
                  desktop_fail_pixel(105, 105);
                  Block b(15, -15, screen);
                  b.bits[0] = 7;
                  const bool ok = BitBlt(b.dc, 0, 0, 15, 15, screen, 100, 100, SRCCOPY);
                  EXPECT_EQ(b.bits[0], 7u);  // nothing copied
                  return ok;
                },
                false, 1},
        ReadRow{"AnInjectedBitBltFailureReadsNothing",
                [](HDC screen) {
                  Block b(15, -15, screen);
                  desktop_fail_call(DESKTOP_FAIL_BITBLT, 1);
                  return BitBlt(b.dc, 0, 0, 15, 15, screen, 100, 100, SRCCOPY) != 0;
                },
                false, 0},
        ReadRow{"OnlyACopyIntoASelectedDibIsMade",
                [](HDC screen) {
                  HDC bare = CreateCompatibleDC(screen);
                  const bool ok = BitBlt(bare, 0, 0, 1, 1, screen, 0, 0, SRCCOPY) ||
                                  BitBlt(screen, 0, 0, 1, 1, screen, 0, 0, SRCCOPY);
                  DeleteDC(bare);
                  return ok;
                },
                false, 0}),
    [](const ::testing::TestParamInfo<ReadRow> &row) { return std::string(row.param.name); });

TEST_F(DesktopTest, GdiObjectsGoInOrderAndFailWhenTold) {
  HDC screen = GetWindowDC(nullptr);
  {
    Block b(15, -15, screen);
    ASSERT_NE(b.bits, nullptr);
    EXPECT_EQ(desktop_gdi_objects(), 2);
    // A bitmap selected into a DC is not deleted, nor selected elsewhere.
    EXPECT_FALSE(DeleteObject(b.bitmap));
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(other, b.bitmap), nullptr);
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_FALSE(DeleteDC(other));
  }
  EXPECT_EQ(desktop_gdi_objects(), 0);
  // Only 32-bit uncompressed DIBs.
  BITMAPINFO info{};
  info.bmiHeader = {
      static_cast<DWORD>(sizeof info.bmiHeader), 15, -15, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void *bits = &info;
  EXPECT_EQ(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  EXPECT_EQ(CreateDIBSection(screen, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
  info.bmiHeader.biBitCount = 32;
  for (int point : {DESKTOP_FAIL_MEMORY_DC, DESKTOP_FAIL_DIB, DESKTOP_FAIL_SELECT}) {
    desktop_fail_call(point, 1);
    EXPECT_EQ(desktop_fail_pending(point), 1);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bm = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = dc && bm ? SelectObject(dc, bm) : nullptr;
    EXPECT_EQ(desktop_fail_pending(point), 0);
    EXPECT_TRUE(dc == nullptr || bm == nullptr || old == nullptr) << point;
    if (old) SelectObject(dc, old);
    DeleteObject(bm);
    DeleteDC(dc);
  }
  EXPECT_EQ(desktop_gdi_objects(), 0);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(LoggedText(desktop_log_size() - 1), "ReleaseDC(null, dc1) = 1");
}

// A hook that takes its time: the thread reads the screen 30 times a call.
LRESULT CALLBACK SlowHook(int code, WPARAM w, LPARAM l) {
  CallNextHookEx(nullptr, code, w, l);
  HDC dc = GetWindowDC(nullptr);
  for (int i = 0; i < 30; ++i) GetPixel(dc, 1, 1);
  ReleaseDC(nullptr, dc);
  Trace("slow");
  return 0;
}

LRESULT CALLBACK SwallowQuietly(int, WPARAM, LPARAM) {
  Trace("swallow");
  return 1;
}

std::vector<std::string> g_removed;
void ListenRemoved(void *, HHOOK hook, uint32_t waited) {
  g_removed.push_back(std::to_string(reinterpret_cast<uintptr_t>(hook) & 0xFF) + "@" +
                      std::to_string(waited));
}

// Windows 7 and later drop a low-level hook that keeps an event waiting
// past LowLevelHooksTimeout, and tell nobody; the event goes on.
TEST_F(DesktopTest, AHookThatKeepsInputWaitingIsDroppedSilently) {
  desktop_set_hook_removed_listener(ListenRemoved, nullptr);
  g_removed.clear();
  EXPECT_EQ(desktop_hook_timeout_ms(), 1000u);
  HHOOK quiet = SetWindowsHookExA(WH_MOUSE_LL, SwallowQuietly, nullptr, 0);
  // Busy exactly as long as the timeout: the event waits, the hook stays.
  desktop_thread_busy(1000);
  EXPECT_EQ(desktop_mouse_event(WM_LBUTTONDOWN, 10, 10), 1);
  EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0);  // swallowed: no key state
  EXPECT_EQ(desktop_hook_count(), 1);
  desktop_thread_busy(1);
  EXPECT_EQ(desktop_mouse_event(WM_LBUTTONDOWN, 20, 10), 0);  // gone on to the window
  EXPECT_EQ(desktop_hook_count(), 0);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"swallow"}));
  EXPECT_EQ(g_removed, (std::vector<std::string>{"1@1001"}));
  EXPECT_EQ(LoggedText(desktop_log_size() - 1), "desktop:hook_timed_out(hook1, 1001 ms)");
  EXPECT_EQ(static_cast<uint16_t>(GetAsyncKeyState(VK_LBUTTON)), 0x8001u);
  EXPECT_EQ(static_cast<uint16_t>(GetAsyncKeyState(VK_LBUTTON)), 0x8000u);
  EXPECT_FALSE(UnhookWindowsHookEx(quiet));  // the thread learns only now

  // The user's clock catches up with a wait; the next event waits no more.
  desktop_advance_time(1001);
  EXPECT_EQ(desktop_input_time_ms(), desktop_time_ms());
  // A hook whose own call overruns is dropped too, its answer ignored: the
  // hook beneath has had the event once.
  g_trace.clear();
  g_removed.clear();
  SetWindowsHookExA(WH_MOUSE_LL, SwallowQuietly, nullptr, 0);
  SetWindowsHookExA(WH_MOUSE_LL, SlowHook, nullptr, 0);
  desktop_set_screen_read_ms(40);
  EXPECT_EQ(desktop_mouse_event(WM_MOUSEMOVE, 30, 30), 1);  // 1200 ms: the lower hook's answer
  EXPECT_EQ(g_trace, (std::vector<std::string>{"swallow", "slow"}));
  EXPECT_EQ(g_removed, (std::vector<std::string>{"3@1200"}));
  EXPECT_EQ(desktop_hook_count(), 1);
  // Still 1200 ms behind: the next event finds the remaining hook waited
  // for too long as well.
  EXPECT_EQ(desktop_mouse_event(WM_MOUSEMOVE, 31, 30), 0);
  EXPECT_EQ(desktop_hook_count(), 0);
  desktop_set_hook_timeout_ms(5000);
  EXPECT_EQ(desktop_hook_timeout_ms(), 5000u);
  desktop_set_hook_removed_listener(nullptr, nullptr);
  // Keys: down, and went down since the last look.
  desktop_key_event(VK_ESCAPE, 1);
  desktop_key_event(VK_ESCAPE, 0);
  EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 1);
  EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 0);
  EXPECT_EQ(GetAsyncKeyState(-1), 0);
  EXPECT_EQ(GetAsyncKeyState(256), 0);
}

// A timer that fell due while the thread was busy fires once, when the
// thread is free, as WM_TIMER does.
void CALLBACK BusyTimer(HWND, UINT, UINT_PTR, DWORD time) {
  Trace("t@" + std::to_string(time));
  if (g_trace.size() == 1) desktop_thread_busy(450);
}

// Each entry's text begins with the name it is counted under, the
// desktop's own events ("desktop:...") as the calls, so that the log's
// text, its function and the counts agree.
TEST_F(DesktopTest, EachLoggedTextBeginsWithItsName) {
  SetTimer(nullptr, 0, 100, KillSelf);
  desktop_advance_time(100);
  desktop_mouse_event(WM_MOUSEMOVE, 5, 6);
  desktop_wheel_event(1);
  for (int kind : {DESKTOP_PEN, DESKTOP_TOUCH})
    for (int action : {DESKTOP_POINTER_DOWN, DESKTOP_POINTER_UP})
      desktop_pointer_event(kind, action, 30, 40);
  desktop_warp_pointer(7, 8);
  SetWindowsHookExA(WH_MOUSE_LL, SwallowQuietly, nullptr, 0);
  desktop_thread_busy(1001);
  desktop_mouse_event(WM_LBUTTONDOWN, 10, 10);

  std::set<std::string> events;
  DesktopCall call;
  for (size_t i = 0; desktop_log_entry(i, &call); ++i) {
    const std::string name = call.function, text = call.text;
    EXPECT_EQ(text.substr(0, name.size() + 1), name + "(") << "entry " << i;
    if (name.rfind("desktop:", 0) == 0) events.insert(name);
  }
  EXPECT_EQ(events, (std::set<std::string>{"desktop:cursor_moved_by_another_program",
                                           "desktop:hook_timed_out", "desktop:mouse_to_hooks",
                                           "desktop:pen_input", "desktop:timer_proc_call",
                                           "desktop:touch_input"}));
}

TEST_F(DesktopTest, TimersThatFellDueWhileBusyFireOnce) {
  SetTimer(nullptr, 0, 100, BusyTimer);
  EXPECT_EQ(desktop_advance_time(1000), 7);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"t@100", "t@550", "t@600", "t@700", "t@800", "t@900",
                                               "t@1000"}));
  EXPECT_EQ(desktop_time_ms(), 1000u);
  EXPECT_EQ(desktop_input_time_ms(), 1000u);
}

// ---- Monitors and the thread's DPI context --------------------------------------

BOOL CALLBACK ListMonitor(HMONITOR, HDC, RECT *rect, LPARAM data) {
  reinterpret_cast<std::vector<RECT> *>(data)->push_back(*rect);
  return TRUE;
}

std::vector<RECT> ListedMonitors() {
  std::vector<RECT> rects;
  EXPECT_TRUE(EnumDisplayMonitors(nullptr, nullptr, ListMonitor, reinterpret_cast<LPARAM>(&rects)));
  return rects;
}

bool operator==(const RECT &a, const RECT &b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct LogicalRow {
  const char *name;
  std::vector<DesktopMonitor> monitors;
  int mode;
  POINT cursor;          // physical
  POINT logical_cursor;  // what GetCursorPos answers
  RECT primary;          // GetWindowRect of the desktop window
  RECT second;           // the second monitor listed
  int virtual_left, virtual_width;
};

class DesktopLogical : public DesktopTest, public ::testing::WithParamInterface<LogicalRow> {};

TEST_P(DesktopLogical, TheThreadsContextDecidesTheCoordinates) {
  const LogicalRow &row = GetParam();
  ASSERT_EQ(desktop_set_monitors(row.monitors.data(), static_cast<int>(row.monitors.size())), 1);
  desktop_set_thread_dpi(row.mode);
  desktop_set_cursor(row.cursor.x, row.cursor.y);
  POINT p{};
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p.x, row.logical_cursor.x);
  EXPECT_EQ(p.y, row.logical_cursor.y);
  // SetCursorPos takes the same coordinates: back where it was, to within
  // a scaled pixel's rounding.
  desktop_set_cursor(0, 0);
  ASSERT_TRUE(SetCursorPos(p.x, p.y));
  int cx = 0, cy = 0;
  desktop_cursor(&cx, &cy);
  EXPECT_LE(std::abs(cx - row.cursor.x), 1) << cx;
  EXPECT_LE(std::abs(cy - row.cursor.y), 1) << cy;
  RECT r{};
  ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &r));
  EXPECT_TRUE(r == row.primary);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), row.primary.right);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), row.primary.bottom);
  EXPECT_EQ(GetSystemMetrics(SM_XVIRTUALSCREEN), row.virtual_left);
  EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), row.virtual_width);
  EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
  EXPECT_EQ(GetSystemMetrics(12345), 0);
  const std::vector<RECT> listed = ListedMonitors();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_TRUE(listed[0] == row.primary);
  EXPECT_TRUE(listed[1] == row.second);
  // The hook's point and GetPixel stay physical.
  HDC dc = GetWindowDC(nullptr);
  EXPECT_NE(GetPixel(dc, row.cursor.x, row.cursor.y), CLR_INVALID);
  ReleaseDC(nullptr, dc);
  MSLLHOOKSTRUCT seen{};
  g_seen = seen;
  SetWindowsHookExA(
      WH_MOUSE_LL,
      [](int, WPARAM, LPARAM l) -> LRESULT {
        g_seen = *reinterpret_cast<const MSLLHOOKSTRUCT *>(l);
        return 0;
      },
      nullptr, 0);
  desktop_mouse_event(WM_MOUSEMOVE, row.cursor.x, row.cursor.y);
  EXPECT_EQ(g_seen.pt.x, row.cursor.x);
  EXPECT_EQ(g_seen.pt.y, row.cursor.y);
}

const DesktopMonitor kHd = {0, 0, 1920, 1080, 100};

INSTANTIATE_TEST_SUITE_P(
    Monitors, DesktopLogical,
    ::testing::Values(LogicalRow{"LeftMonitorAt100",
                                 {kHd, {-1920, 0, 1920, 1080, 100}},
                                 DESKTOP_DPI_UNAWARE,
                                 {-500, 300},
                                 {-500, 300},
                                 {0, 0, 1920, 1080},
                                 {-1920, 0, 0, 1080},
                                 -1920,
                                 3840},
                      // Wine 8 at 144 dpi: (-500, 300) is (-333, 200) to an unaware thread.
                      LogicalRow{"BothAt150Unaware",
                                 {{0, 0, 1920, 1080, 150}, {-1920, 0, 1920, 1080, 150}},
                                 DESKTOP_DPI_UNAWARE,
                                 {-500, 300},
                                 {-333, 200},
                                 {0, 0, 1280, 720},
                                 {-1280, 0, 0, 720},
                                 -1280,
                                 2560},
                      LogicalRow{"BothAt150SystemAware",
                                 {{0, 0, 1920, 1080, 150}, {-1920, 0, 1920, 1080, 150}},
                                 DESKTOP_DPI_SYSTEM_AWARE,
                                 {-500, 300},
                                 {-500, 300},
                                 {0, 0, 1920, 1080},
                                 {-1920, 0, 0, 1080},
                                 -1920,
                                 3840},
                      // System aware scales only monitors whose scale is not the primary's.
                      LogicalRow{"MixedSystemAware",
                                 {kHd, {1920, 0, 2880, 1620, 150}},
                                 DESKTOP_DPI_SYSTEM_AWARE,
                                 {3000, 600},
                                 {2000, 400},
                                 {0, 0, 1920, 1080},
                                 {1280, 0, 3200, 1080},
                                 0,
                                 3200},
                      LogicalRow{"MixedPerMonitor",
                                 {kHd, {1920, 0, 2880, 1620, 150}},
                                 DESKTOP_DPI_PER_MONITOR,
                                 {3000, 600},
                                 {3000, 600},
                                 {0, 0, 1920, 1080},
                                 {1920, 0, 4800, 1620},
                                 0,
                                 4800}),
    [](const ::testing::TestParamInfo<LogicalRow> &row) { return std::string(row.param.name); });

TEST_F(DesktopTest, MonitorListsThatCannotBeAreRefused) {
  const DesktopMonitor left = {-1920, 0, 1920, 1080, 100};
  const std::vector<std::vector<DesktopMonitor>> bad = {
      {},
      {{10, 0, 1920, 1080, 100}},            // the primary not at (0, 0)
      {kHd, {1000, 0, 1920, 1080, 100}},     // overlapping
      {kHd, {1920, 0, 1920, 1080, 99}},      // scale below 100 %
      {kHd, {1920, 0, 1920, 1080, 501}},     // and above 500 %
      {kHd, {1920, 0, 0, 1080, 100}},        // empty
      {kHd, {15000, 0, 1920, 1080, 100}},    // wider than the limit in all
      std::vector<DesktopMonitor>(17, kHd),  // too many
  };
  for (const auto &list : bad)
    EXPECT_EQ(desktop_set_monitors(list.data(), static_cast<int>(list.size())), 0) << list.size();
  EXPECT_EQ(desktop_set_monitors(nullptr, 1), 0);
  EXPECT_EQ(desktop_monitor_count(), 1);

  // Accepted: the pointer is clipped onto the nearest monitor, the screen
  // is their union.
  const DesktopMonitor two[] = {kHd, left};
  ASSERT_EQ(desktop_set_monitors(two, 2), 1);
  DesktopMonitor m{};
  EXPECT_EQ(desktop_monitor(1, &m), 1);
  EXPECT_EQ(m.x, -1920);
  EXPECT_EQ(desktop_monitor(2, &m), 0);
  int ox = 0, oy = 0;
  desktop_origin(&ox, &oy);
  EXPECT_EQ(ox, -1920);
  EXPECT_EQ(desktop_width(), 3840);
  desktop_set_cursor(-5000, 2000);
  int cx = 0, cy = 0;
  desktop_cursor(&cx, &cy);
  EXPECT_EQ(cx, -1920);
  EXPECT_EQ(cy, 1079);
  EXPECT_EQ(desktop_screen_pixel(-1920, 0), desktop_test_pattern(0, 0, 3840, 1080));
  EXPECT_EQ(desktop_screen_pixel(-1921, 0), 0u);
  // The primary can grow only where the others leave room.
  EXPECT_EQ(desktop_set_size(2560, 1440), 1);
  const DesktopMonitor right[] = {kHd, {1920, 0, 800, 600, 100}};
  ASSERT_EQ(desktop_set_monitors(right, 2), 1);
  EXPECT_EQ(desktop_set_size(2560, 1440), 0);
  EXPECT_EQ(desktop_width(), 2720);
}

TEST_F(DesktopTest, TheDpiFunctionThroughGetProcAddress) {
  using SetContext = DPI_AWARENESS_CONTEXT(WINAPI *)(DPI_AWARENESS_CONTEXT);
  const auto lookup = []() {
    HMODULE user32 = GetModuleHandleA("USER32.DLL");
    EXPECT_NE(user32, nullptr);
    return reinterpret_cast<SetContext>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(user32, "SetThreadDpiAwarenessContext")));
  };
  EXPECT_EQ(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow"), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "SetThreadDpiAwarenessContext"), nullptr);
  SetContext set = lookup();
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2), DPI_AWARENESS_CONTEXT_SYSTEM_AWARE);
  EXPECT_EQ(desktop_thread_dpi(), DESKTOP_DPI_PER_MONITOR_V2);
  EXPECT_EQ(set(reinterpret_cast<DPI_AWARENESS_CONTEXT>(intptr_t{-7})), nullptr);
  EXPECT_EQ(desktop_thread_dpi(), DESKTOP_DPI_PER_MONITOR_V2);
  desktop_set_dpi_support(DESKTOP_DPI_SWITCH_NO_V2);  // Wine 8
  EXPECT_EQ(set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2), nullptr);
  EXPECT_EQ(set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE),
            DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  desktop_set_dpi_support(DESKTOP_DPI_SWITCH_MISSING);  // before Windows 10 1607
  EXPECT_EQ(lookup(), nullptr);
  EXPECT_EQ(desktop_call_count("SetThreadDpiAwarenessContext"), 4);

  desktop_fail_call(DESKTOP_FAIL_MONITORS, 1);
  std::vector<RECT> rects;
  EXPECT_FALSE(
      EnumDisplayMonitors(nullptr, nullptr, ListMonitor, reinterpret_cast<LPARAM>(&rects)));
  EXPECT_TRUE(rects.empty());
  EXPECT_EQ(ListedMonitors().size(), 1u);
  HDC dc = GetWindowDC(nullptr);
  EXPECT_FALSE(EnumDisplayMonitors(dc, nullptr, ListMonitor, reinterpret_cast<LPARAM>(&rects)));
  ReleaseDC(nullptr, dc);
}

// ---- Windows, pen, touch and the pointer moved by another program -----------

struct SeenEvent {
  WPARAM message;
  MSLLHOOKSTRUCT event;
};
std::vector<SeenEvent> g_events;

LRESULT CALLBACK RecordingHook(int code, WPARAM message, LPARAM lparam) {
  g_events.push_back({message, *reinterpret_cast<const MSLLHOOKSTRUCT *>(lparam)});
  return CallNextHookEx(nullptr, code, message, lparam);
}

int g_catcher_buttons = 0;
// A window of one's own as a picker would make it: pointer input left to
// DefWindowProc, press-and-hold off, never activated by a press.
LRESULT CALLBACK CatcherProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TABLET_QUERYSYSTEMGESTURESTATUS: return TABLET_DISABLE_PRESSANDHOLD;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_POINTERACTIVATE: return PA_NOACTIVATE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: ++g_catcher_buttons; return 0;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

// One like the catcher that leaves press-and-hold on.
LRESULT CALLBACK HoldingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TABLET_QUERYSYSTEMGESTURESTATUS) return 0;
  return CatcherProc(hwnd, message, wparam, lparam);
}

// One that handles its pointer messages itself and lets a press activate it.
LRESULT CALLBACK GreedyProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_POINTERDOWN || message == WM_POINTERUPDATE || message == WM_POINTERUP) return 0;
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

HWND MakeWindow(WNDPROC proc, DWORD ex_style, int x, int y, int w, int h) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = proc == CatcherProc ? "catcher" : proc == HoldingProc ? "holding" : "greedy";
  RegisterClassA(&wc);
  return CreateWindowExA(ex_style, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr,
                         nullptr, nullptr, nullptr);
}

constexpr DWORD kCatcherStyle = WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_LAYERED;

HWND MakeCatcher(WNDPROC proc = CatcherProc) {
  HWND w = MakeWindow(proc, kCatcherStyle, 0, 0, 1920, 1080);
  SetLayeredWindowAttributes(w, 0, 1, LWA_ALPHA);
  return w;
}

// Besides DESKTOP_PEN and DESKTOP_TOUCH: a pen or finger lifted off the
// window at (700, 210), and a pen tap during which another program moves
// the pointer to (700, 700).
enum { kMouse = 0, kWarp = 3, kPenLiftedOff, kTouchLiftedOff, kPenWarped };

struct PointerRow {
  const char *name;
  int pointer;      // kMouse, DESKTOP_PEN, DESKTOP_TOUCH or one of the kinds above
  int window;       // the other program's window under the pointer: a DesktopWindowKind
  int catcher;      // a window of one's own covers the screen: 1 the catcher, 2 HoldingProc's
  bool hook_sees;   // the hook sees the tap's press and release
  bool down_early;  // the press reaches the hook before the lift
  bool cursor_moves;
  int window_presses;  // presses that reached the other program's window
};
std::ostream &operator<<(std::ostream &os, const PointerRow &row) { return os << row.name; }

class DesktopPointers : public DesktopTest, public ::testing::WithParamInterface<PointerRow> {};

// A hover to (200, 200), then a tap there ending at (210, 210) (or lifted
// off at (700, 210)), over a window at (100, 100) 400 x 300.
TEST_P(DesktopPointers, InputReachesHooksAndWindowsAsWindowsDeliversIt) {
  const PointerRow &row = GetParam();
  g_events.clear();
  g_catcher_buttons = 0;
  ASSERT_NE(SetWindowsHookExA(WH_MOUSE_LL, RecordingHook, nullptr, 0), nullptr);
  const int n = desktop_add_window(100, 100, 400, 300, row.window);
  ASSERT_EQ(n, 1);
  if (row.catcher) {
    ASSERT_NE(MakeCatcher(row.catcher == 2 ? HoldingProc : CatcherProc), nullptr);
  }
  const bool pen =
      row.pointer == DESKTOP_PEN || row.pointer == kPenLiftedOff || row.pointer == kPenWarped;
  const int end_x = row.pointer == kPenLiftedOff || row.pointer == kTouchLiftedOff ? 700 : 210;
  desktop_set_cursor(50, 50);
  size_t downs_before_lift = 0;
  const auto downs = [] {
    size_t count = 0;
    for (const SeenEvent &e : g_events) count += e.message == WM_LBUTTONDOWN;
    return count;
  };
  switch (row.pointer) {
    case kMouse:
      desktop_mouse_event(WM_MOUSEMOVE, 200, 200);
      desktop_mouse_event(WM_LBUTTONDOWN, 200, 200);
      downs_before_lift = downs();
      desktop_mouse_event(WM_LBUTTONUP, 210, 210);
      break;
    case kWarp: desktop_warp_pointer(210, 210); break;
    default: {
      const int kind = pen ? DESKTOP_PEN : DESKTOP_TOUCH;
      desktop_pointer_event(kind, DESKTOP_POINTER_MOVE, 200, 200);
      desktop_pointer_event(kind, DESKTOP_POINTER_DOWN, 200, 200);
      if (row.pointer == kPenWarped) desktop_warp_pointer(700, 700);
      desktop_pointer_event(kind, DESKTOP_POINTER_MOVE, end_x, 210);
      downs_before_lift = downs();
      desktop_pointer_event(kind, DESKTOP_POINTER_UP, end_x, 210);
      break;
    }
  }
  EXPECT_EQ(downs() == 1, row.hook_sees);
  // Every press the hook sees is released, and a warp never reaches it.
  size_t ups = 0;
  for (const SeenEvent &e : g_events) {
    ups += e.message == WM_LBUTTONUP;
    EXPECT_FALSE(e.event.pt.x == 700 && e.event.pt.y == 700);
  }
  EXPECT_EQ(ups, downs());
  EXPECT_EQ(downs_before_lift == 1, row.down_early);
  for (const SeenEvent &e : g_events) {
    const uintptr_t extra = pen ? DESKTOP_PEN_EXTRA_INFO
                            : row.pointer == kMouse || row.pointer == kWarp
                                ? 0
                                : DESKTOP_TOUCH_EXTRA_INFO;
    EXPECT_EQ(e.event.dwExtraInfo, extra);
    EXPECT_EQ(e.event.flags, extra ? LLMHF_INJECTED : 0u);
  }
  int x = 0, y = 0;
  desktop_cursor(&x, &y);
  EXPECT_EQ(x == end_x && y == 210, row.cursor_moves) << x << ", " << y;
  DesktopWindowInput input{};
  ASSERT_EQ(desktop_window_input(n, &input), 1);
  EXPECT_EQ(input.button_presses, row.window_presses);
  EXPECT_EQ(input.activations, row.window_presses);
  EXPECT_EQ(g_catcher_buttons, row.catcher && row.hook_sees ? 2 : 0);
  EXPECT_EQ(desktop_own_activations(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DesktopPointers,
    ::testing::Values(PointerRow{"MouseOverAPointerWindow", kMouse, DESKTOP_WINDOW_POINTER, false,
                                 true, true, true, 1},
                      PointerRow{"PenOverAPointerWindowIsUnseen", DESKTOP_PEN,
                                 DESKTOP_WINDOW_POINTER, false, false, false, false, 1},
                      PointerRow{"PenOverADefaultWindowMakesMouseInput", DESKTOP_PEN,
                                 DESKTOP_WINDOW_DEFAULT, false, true, true, true, 1},
                      PointerRow{"TouchOverAPointerWindowIsUnseen", DESKTOP_TOUCH,
                                 DESKTOP_WINDOW_POINTER, false, false, false, false, 1},
                      PointerRow{"TouchOverADefaultWindowWaitsForTheLift", DESKTOP_TOUCH,
                                 DESKTOP_WINDOW_DEFAULT, false, true, false, true, 1},
                      PointerRow{"PenOverACatcherReachesOnlyTheCatcher", DESKTOP_PEN,
                                 DESKTOP_WINDOW_POINTER, true, true, true, true, 0},
                      PointerRow{"TouchOverACatcherIsNotHeld", DESKTOP_TOUCH,
                                 DESKTOP_WINDOW_POINTER, true, true, true, true, 0},
                      PointerRow{"MouseOverACatcherReachesOnlyTheCatcher", kMouse,
                                 DESKTOP_WINDOW_DEFAULT, true, true, true, true, 0},
                      PointerRow{"AnotherProgramMovesThePointerUnseen", kWarp,
                                 DESKTOP_WINDOW_POINTER, false, false, false, true, 0},
                      // A contact stays with the window it began on, wherever it ends.
                      PointerRow{"PenLiftedOffAPointerWindowStaysItsOwn", kPenLiftedOff,
                                 DESKTOP_WINDOW_POINTER, false, false, false, false, 1},
                      PointerRow{"PenLiftedOffADefaultWindowEndsWhereLifted", kPenLiftedOff,
                                 DESKTOP_WINDOW_DEFAULT, false, true, true, true, 1},
                      PointerRow{"TouchLiftedOffADefaultWindowPressesOnLift", kTouchLiftedOff,
                                 DESKTOP_WINDOW_DEFAULT, false, true, false, true, 1},
                      PointerRow{"TouchLiftedOffAPointerWindowStaysItsOwn", kTouchLiftedOff,
                                 DESKTOP_WINDOW_POINTER, false, false, false, false, 1},
                      // Press-and-hold is on unless the window under the finger turns it off.
                      PointerRow{"TouchOverAnOwnWindowKeepingPressAndHoldIsHeld", DESKTOP_TOUCH,
                                 DESKTOP_WINDOW_POINTER, 2, true, false, true, 0},
                      PointerRow{"PenOverAnOwnWindowKeepingPressAndHoldIsNotHeld", DESKTOP_PEN,
                                 DESKTOP_WINDOW_POINTER, 2, true, true, true, 0},
                      // Another program's warp mid-contact: the pen's next move wins.
                      PointerRow{"AWarpDuringAPenTapOnADefaultWindow", kPenWarped,
                                 DESKTOP_WINDOW_DEFAULT, false, true, true, true, 1},
                      PointerRow{"AWarpDuringAPenTapOnAPointerWindowStays", kPenWarped,
                                 DESKTOP_WINDOW_POINTER, false, false, false, false, 1}),
    [](const ::testing::TestParamInfo<PointerRow> &row) { return std::string(row.param.name); });

struct AffinityRow {
  const char *name;
  int support;  // a DesktopAffinitySupport
  bool compositor;
  BOOL set_ok;
  DWORD read_back;
  COLORREF white_reads;  // GetPixel of a white pixel under an alpha-1 catcher
};
std::ostream &operator<<(std::ostream &os, const AffinityRow &row) { return os << row.name; }

class DesktopAffinity : public DesktopTest, public ::testing::WithParamInterface<AffinityRow> {};

TEST_P(DesktopAffinity, AWindowLeavesItsTintInReadsUnlessExcluded) {
  const AffinityRow &row = GetParam();
  desktop_set_affinity_support(row.support);
  desktop_set_compositor(row.compositor ? 1 : 0);
  HWND w = MakeWindow(CatcherProc, kCatcherStyle, 0, 0, 1920, 1080);
  HDC dc = GetWindowDC(nullptr);
  // Not shown until its alpha is set.
  EXPECT_EQ(GetPixel(dc, 0, 0), 0xFFFFFFu);
  SetLayeredWindowAttributes(w, 0, 1, LWA_ALPHA);
  HMODULE user32 = GetModuleHandleA("user32.dll");
  const auto set = reinterpret_cast<SetWindowDisplayAffinityFunc>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(user32, "SetWindowDisplayAffinity")));
  const auto get = reinterpret_cast<GetWindowDisplayAffinityFunc>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(user32, "GetWindowDisplayAffinity")));
  ASSERT_EQ(set == nullptr, row.support == DESKTOP_AFFINITY_MISSING);
  ASSERT_EQ(get == nullptr, row.support == DESKTOP_AFFINITY_MISSING);
  if (set) {
    EXPECT_EQ(set(w, WDA_EXCLUDEFROMCAPTURE), row.set_ok);
    DWORD held = 0xDEAD;
    EXPECT_TRUE(get(w, &held));
    EXPECT_EQ(held, row.read_back);
    EXPECT_FALSE(set(nullptr, WDA_NONE));
  }
  EXPECT_EQ(GetPixel(dc, 0, 0), row.white_reads);
  // Black stays black under any tint; a level of 1 goes to 0.
  EXPECT_EQ(GetPixel(dc, 1919, 0), 0u);
  ReleaseDC(nullptr, dc);
  EXPECT_TRUE(DestroyWindow(w));
  EXPECT_FALSE(DestroyWindow(w));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DesktopAffinity,
    ::testing::Values(AffinityRow{"Windows10Since2004", DESKTOP_AFFINITY_EXCLUDE, true, TRUE,
                                  WDA_EXCLUDEFROMCAPTURE, 0xFFFFFFu},
                      AffinityRow{"OlderWindowsShowsItBlack", DESKTOP_AFFINITY_MONITOR_ONLY, true,
                                  TRUE, WDA_MONITOR, 0u},
                      AffinityRow{"NoCompositorTints", DESKTOP_AFFINITY_EXCLUDE, false, FALSE,
                                  WDA_NONE, 0xFEFEFEu},
                      AffinityRow{"WineRefusesAndTints", DESKTOP_AFFINITY_STUB, true, FALSE,
                                  WDA_NONE, 0xFEFEFEu},
                      AffinityRow{"ExcludedButNotFromGdi", DESKTOP_AFFINITY_NOT_IN_GDI, true, TRUE,
                                  WDA_EXCLUDEFROMCAPTURE, 0xFEFEFEu},
                      AffinityRow{"NoSuchFunctionTints", DESKTOP_AFFINITY_MISSING, true, FALSE,
                                  WDA_NONE, 0xFEFEFEu},
                      // Without composition nothing is kept out, whatever the system.
                      AffinityRow{"OlderWindowsWithoutCompositorTints",
                                  DESKTOP_AFFINITY_MONITOR_ONLY, false, FALSE, WDA_NONE, 0xFEFEFEu},
                      AffinityRow{"NotInGdiWithoutCompositorTints", DESKTOP_AFFINITY_NOT_IN_GDI,
                                  false, FALSE, WDA_NONE, 0xFEFEFEu}),
    [](const ::testing::TestParamInfo<AffinityRow> &row) { return std::string(row.param.name); });

TEST_F(DesktopTest, OwnWindowsAreStackedHitTestedAndReleased) {
  // A top-most window stays above another program's window added later.
  HWND catcher = MakeCatcher();
  ASSERT_NE(catcher, nullptr);
  const int n = desktop_add_window(0, 0, 800, 600, DESKTOP_WINDOW_POINTER);
  desktop_pointer_event(DESKTOP_PEN, DESKTOP_POINTER_DOWN, 10, 10);
  desktop_pointer_event(DESKTOP_PEN, DESKTOP_POINTER_UP, 10, 10);
  DesktopWindowInput input{};
  ASSERT_EQ(desktop_window_input(n, &input), 1);
  EXPECT_EQ(input.pointer_messages, 0);
  // Moved off that spot, it lets the window beneath have the pen.
  EXPECT_TRUE(SetWindowPos(catcher, HWND_TOPMOST, 400, 0, 100, 100, SWP_NOACTIVATE));
  desktop_pointer_event(DESKTOP_PEN, DESKTOP_POINTER_DOWN, 10, 10);
  desktop_pointer_event(DESKTOP_PEN, DESKTOP_POINTER_UP, 10, 10);
  ASSERT_EQ(desktop_window_input(n, &input), 1);
  EXPECT_EQ(input.pointer_messages, 2);
  EXPECT_EQ(input.activations, 1);
  // One that lets a press activate it is activated; the catcher never is.
  HWND greedy = MakeWindow(GreedyProc, WS_EX_TOPMOST, 600, 600, 10, 10);
  desktop_mouse_event(WM_LBUTTONDOWN, 605, 605);
  desktop_mouse_event(WM_LBUTTONUP, 605, 605);
  EXPECT_EQ(desktop_own_activations(), 1);
  // A window that handles the pen itself makes no mouse input.
  EXPECT_EQ(desktop_pointer_event(DESKTOP_PEN, DESKTOP_POINTER_MOVE, 605, 605), 0);
  EXPECT_EQ(desktop_pointer_event(DESKTOP_PEN, DESKTOP_POINTER_MOVE, 410, 10), 1);
  // Of two top-most windows the one raised last is hit first: the catcher
  // brought over the greedy one takes its presses, and is not activated.
  EXPECT_TRUE(SetWindowPos(catcher, HWND_TOPMOST, 600, 600, 10, 10, SWP_NOACTIVATE));
  desktop_mouse_event(WM_LBUTTONDOWN, 605, 605);
  desktop_mouse_event(WM_LBUTTONUP, 605, 605);
  EXPECT_EQ(desktop_own_activations(), 1);
  EXPECT_EQ(desktop_pointer_event(DESKTOP_PEN, DESKTOP_POINTER_MOVE, 605, 605), 1);
  // A class is kept while a window of it lives; both are counted.
  EXPECT_EQ(desktop_own_windows(), 2);
  EXPECT_EQ(desktop_own_classes(), 2);
  EXPECT_FALSE(UnregisterClassA("catcher", nullptr));
  EXPECT_TRUE(DestroyWindow(catcher));
  // Destroyed under the pen, it leaves the pen to the window beneath.
  EXPECT_EQ(desktop_pointer_event(DESKTOP_PEN, DESKTOP_POINTER_MOVE, 605, 605), 0);
  EXPECT_TRUE(UnregisterClassA("catcher", nullptr));
  EXPECT_TRUE(DestroyWindow(greedy));
  EXPECT_EQ(desktop_own_windows(), 0);
  EXPECT_EQ(desktop_own_classes(), 1);
  EXPECT_EQ(desktop_call_count("CreateWindowExA"), 2);
  EXPECT_EQ(desktop_call_count("desktop:pen_input"), 8);
  // Failures on demand; a reset forgets windows and classes.
  desktop_fail_call(DESKTOP_FAIL_CREATE_WINDOW, 1);
  EXPECT_EQ(MakeWindow(GreedyProc, 0, 0, 0, 10, 10), nullptr);
  desktop_fail_call(DESKTOP_FAIL_REGISTER_CLASS, 1);
  WNDCLASSA wc{};
  wc.lpfnWndProc = GreedyProc;
  wc.lpszClassName = "another";
  EXPECT_EQ(RegisterClassA(&wc), 0);
  EXPECT_EQ(desktop_fail_pending(DESKTOP_FAIL_REGISTER_CLASS), 0);
  desktop_reset(1920, 1080);
  EXPECT_EQ(desktop_own_classes(), 0);
  EXPECT_EQ(desktop_window_input(n, &input), 0);
}

// A window that paints one colour from a memory DC, and records the client
// point of the presses it gets.
HDC g_paint_source = nullptr;
POINT g_painted_press = {-1, -1};
LRESULT CALLBACK PaintingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
           ps.rcPaint.bottom - ps.rcPaint.top, g_paint_source, 0, 0, SRCCOPY);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (message == WM_LBUTTONDOWN) {
    g_painted_press = {static_cast<int16_t>(lparam & 0xFFFF),
                       static_cast<int16_t>((lparam >> 16) & 0xFFFF)};
    return 0;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

// Screen reads show what an own window painted, once its thread's loop
// has run; a stalled thread paints nothing; the window's properties, the
// crosshair and the last input's extra information.
TEST_F(DesktopTest, OwnWindowsShowWhatTheyPaint) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 100;
  info.bmiHeader.biHeight = -100;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void *bits = nullptr;
  g_paint_source = CreateCompatibleDC(nullptr);
  HBITMAP bm = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(g_paint_source, bm);
  for (int i = 0; i < 100 * 100; ++i) static_cast<uint32_t *>(bits)[i] = 0x336699;
  WNDCLASSA wc{};
  wc.lpfnWndProc = PaintingProc;
  wc.lpszClassName = "painting";
  wc.hCursor = LoadCursorA(nullptr, IDC_CROSS);
  EXPECT_NE(wc.hCursor, nullptr);
  ASSERT_NE(RegisterClassA(&wc), 0);
  HWND w = CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE, "painting", "", WS_POPUP, 200, 200,
                           100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  const uint32_t wallpaper = desktop_screen_pixel(250, 250),
                 beside = desktop_screen_pixel(199, 250);
  EXPECT_NE(wallpaper, 0x336699u);
  ASSERT_TRUE(SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0,
                           SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW));
  EXPECT_EQ(desktop_screen_pixel(250, 250), 0u);  // shown, not painted yet
  desktop_pump_messages();
  EXPECT_EQ(desktop_screen_pixel(250, 250), 0x336699u);
  EXPECT_EQ(desktop_screen_pixel(199, 250), beside);
  // Invalidated while the thread is stalled: nothing is painted, and no
  // timer fires, until it runs again.
  for (int i = 0; i < 100 * 100; ++i) static_cast<uint32_t *>(bits)[i] = 0x00FF00;
  EXPECT_TRUE(InvalidateRect(w, nullptr, FALSE));
  desktop_set_thread_stalled(1);
  SetTimer(nullptr, 0, 10, nullptr);
  EXPECT_EQ(desktop_advance_time(100), 0);
  EXPECT_EQ(desktop_screen_pixel(250, 250), 0x336699u);
  desktop_set_thread_stalled(0);
  EXPECT_EQ(desktop_advance_time(10), 2);  // what fell due, once, then at 110
  EXPECT_EQ(desktop_screen_pixel(250, 250), 0x00FF00u);
  // A press reaches it with its client point; a pen's carries the signature.
  desktop_mouse_event(WM_LBUTTONDOWN, 230, 260);
  EXPECT_EQ(g_painted_press.x, 30);
  EXPECT_EQ(g_painted_press.y, 60);
  EXPECT_EQ(GetMessageExtraInfo(), 0);
  desktop_pointer_event(DESKTOP_PEN, DESKTOP_POINTER_MOVE, 240, 240);
  EXPECT_EQ(static_cast<uintptr_t>(GetMessageExtraInfo()), DESKTOP_PEN_EXTRA_INFO);
  // Properties are the window's until removed or it goes.
  EXPECT_TRUE(SetPropA(w, "NonRudeHWND", reinterpret_cast<HANDLE>(1)));
  EXPECT_EQ(desktop_own_windows_with_prop("NonRudeHWND"), 1);
  EXPECT_EQ(RemovePropA(w, "NonRudeHWND"), reinterpret_cast<HANDLE>(1));
  EXPECT_EQ(desktop_own_windows_with_prop("NonRudeHWND"), 0);
  desktop_fail_call(DESKTOP_FAIL_SET_PROP, 1);
  EXPECT_FALSE(SetPropA(w, "NonRudeHWND", reinterpret_cast<HANDLE>(1)));
  EXPECT_TRUE(DestroyWindow(w));
  EXPECT_EQ(desktop_screen_pixel(250, 250), wallpaper);
  EXPECT_TRUE(UnregisterClassA("painting", nullptr));
  SelectObject(g_paint_source, old);
  DeleteDC(g_paint_source);
  DeleteObject(bm);
}

}  // namespace
