// The simulated desktop's state and the helpers its two halves share: the
// Win32 stand-in functions (win32_functions.cpp) and the control interface
// (desktop.cpp). Internal to the desktop library.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <list>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "base/fail_countdown.h"
#include "desktop.h"

namespace desktop_detail {

// Handle values: fixed or numbered from a base, so that logs can name them.
inline constexpr uintptr_t kDesktopWindow = 0x10010;
inline constexpr uintptr_t kModule = 0x400000;
inline constexpr uintptr_t kUser32 = 0x7FF10000;
inline constexpr uintptr_t kMonitorBase = 0x0B000000;
inline constexpr uintptr_t kDcBase = 0x0DC00000;
inline constexpr uintptr_t kHookBase = 0x0A000000;
inline constexpr uintptr_t kMemoryDcBase = 0x0DD00000;
inline constexpr uintptr_t kBitmapBase = 0x0BB00000;
// The 1 x 1 bitmap a fresh memory DC holds (Windows' stock bitmap).
inline constexpr uintptr_t kStockBitmap = 0x0BBFFFFF;
inline constexpr uintptr_t kHandleRange = 0x00100000;
inline constexpr uintptr_t kGlobalBase = 0x0C000000;         // GlobalAlloc's blocks
inline constexpr uintptr_t kMessageWindowBase = 0x0E000000;  // message-only windows
inline constexpr UINT_PTR kFirstTimerId = 0x1001;
inline constexpr UINT kTimerMinimum = 10;          // USER_TIMER_MINIMUM
inline constexpr UINT kTimerMaximum = 0x7FFFFFFF;  // USER_TIMER_MAXIMUM

struct Hook {
  uintptr_t handle;
  HOOKPROC proc;
  bool live;
};
using HookList = std::list<Hook>;

// A hook call under way: the hook it is calling (which CallNextHookEx passes
// on from) and when the event came.
struct Frame {
  HookList::iterator at;
  uint64_t arrived;
  bool passed_on;  // the hook called CallNextHookEx
  LRESULT passed_result;
};

// A memory DC and the bitmap selected into it (kStockBitmap at first).
struct MemoryDc {
  uintptr_t bitmap = kStockBitmap;
};

// A 32-bit DIB section: rows of 0x00RRGGBB pixels, the last row first in
// memory when bottom-up (a positive height asked for).
struct Bitmap {
  int width = 0, height = 0;
  bool bottom_up = false;
  std::vector<uint32_t> bits;
  uintptr_t selected_in = 0;  // the memory DC holding it, 0 when none
};

struct Timer {
  UINT elapse;
  uint64_t due;
  uint64_t order;  // breaks ties between equal due times: earlier set first
  TIMERPROC proc;
};

// Function names the log and the call counts know, in a fixed order.
extern const char *const kFunctionNames[];
enum Fn {
  kGetDesktopWindow,
  kGetWindowDC,
  kReleaseDC,
  kGetWindowRect,
  kSetWindowsHookExA,
  kCallNextHookEx,
  kUnhookWindowsHookEx,
  kSetTimer,
  kKillTimer,
  kGetCursorPos,
  kGetPixel,
  kGetModuleHandleA,
  kMouseEvent,
  kTimerEvent,
  kGetProcAddress,
  kEnumDisplayMonitors,
  kGetSystemMetrics,
  kSetThreadDpiAwarenessContext,
  kGetAsyncKeyState,
  kCreateCompatibleDC,
  kDeleteDC,
  kCreateDIBSection,
  kSelectObject,
  kDeleteObject,
  kBitBlt,
  kGdiFlush,
  kHookRemoved,
  kScreenRead,  // counted only, never logged
  // The clipboard, its global memory and the key state (clipboard.cpp).
  kGetActiveWindow,
  kOpenClipboard,
  kCloseClipboard,
  kEmptyClipboard,
  kGetClipboardData,
  kSetClipboardData,
  kGetKeyState,
  kGlobalAlloc,
  kGlobalLock,
  kGlobalUnlock,
  kGlobalFree,
  kGlobalSize,
  kSetCursorPos,  // monitors.cpp
  kMessageBeep,
  kCreateWindowExA,
  kDestroyWindow,
  kFnCount
};

struct State {
  // The bounding box of the monitors, in physical pixels.
  int origin_x = 0;
  int origin_y = 0;
  int width = DESKTOP_DEFAULT_WIDTH;
  int height = DESKTOP_DEFAULT_HEIGHT;
  // The first is the primary, at (0, 0).
  std::vector<DesktopMonitor> monitors{
      DesktopMonitor{0, 0, DESKTOP_DEFAULT_WIDTH, DESKTOP_DEFAULT_HEIGHT, 100}};
  int thread_dpi = DESKTOP_DPI_SYSTEM_AWARE;
  int dpi_support = DESKTOP_DPI_SWITCH_ALL;

  bool pattern = true;
  std::vector<uint32_t> wallpaper;
  int wallpaper_width = 0;
  int wallpaper_height = 0;

  DesktopOverlayFunc overlay = nullptr;
  void *overlay_ctx = nullptr;

  int cursor_x = DESKTOP_DEFAULT_WIDTH / 2;
  int cursor_y = DESKTOP_DEFAULT_HEIGHT / 2;

  uint64_t now = 0;         // the thread's clock
  uint64_t input_time = 0;  // the user's clock
  uint64_t epoch = 0;       // bumped by reset; an advance in progress stops
  uint32_t screen_read_ms = 0;
  uint32_t hook_timeout_ms = 1000;
  DesktopHookRemovedFunc hook_removed = nullptr;
  void *hook_removed_ctx = nullptr;

  HookList hooks;  // head first
  // One entry per dispatch in progress (nested ones on top): the hook it is
  // currently calling, which CallNextHookEx passes on from.
  std::vector<Frame> frames;
  uintptr_t hooks_made = 0;

  std::map<UINT_PTR, Timer> timers;
  UINT_PTR next_timer_id = kFirstTimerId;
  uint64_t timer_order = 0;

  std::map<uintptr_t, HWND> dcs;  // live DC -> window it was taken for
  uintptr_t dcs_made = 0;
  std::map<uintptr_t, MemoryDc> memory_dcs;
  std::map<uintptr_t, Bitmap> bitmaps;
  uintptr_t memory_dcs_made = 0, bitmaps_made = 0;

  // The asynchronous key state: down now, and went down since the last
  // GetAsyncKeyState of that key.
  bool key_down[256] = {};
  bool key_pressed[256] = {};

  std::vector<DesktopCall> log;
  uint64_t log_generation = 0;  // bumped when the log is emptied
  bool logging = true;
  int counts[kFnCount] = {};

  FailCountdown fail_hook, fail_timer, fail_dc, fail_monitors;
  FailCountdown fail_memory_dc, fail_dib, fail_select, fail_bitblt;
  std::set<std::pair<int, int>> bad_pixels;
  bool all_pixels_bad = false;
};

// The one desktop of the process.
State &state();

template <typename H>
H to_handle(uintptr_t value) {
  return reinterpret_cast<H>(value);
}

template <typename H>
uintptr_t from_handle(H handle) {
  return reinterpret_cast<uintptr_t>(handle);
}

inline intptr_t as_int(uintptr_t v) { return static_cast<intptr_t>(v); }
template <typename H>
intptr_t handle_int(H h) {
  return as_int(from_handle(h));
}

// ---- Log ---------------------------------------------------------------------

// A log slot is taken when a call starts, so entries are in call order even
// when callbacks run inside the call, and filled in when it returns.
struct Ticket {
  uint64_t generation;
  size_t index;  // SIZE_MAX: not logged
};

Ticket begin_call(Fn fn);
__attribute__((format(printf, 4, 5))) void end_call(Ticket ticket,
                                                    std::initializer_list<intptr_t> args,
                                                    intptr_t result, const char *format, ...);

// ---- Screen and hooks --------------------------------------------------------

bool on_screen(int64_t x, int64_t y);
// The monitor holding the physical point, else the primary.
const DesktopMonitor &monitor_at(int64_t x, int64_t y);
// Physical to the calling thread's logical coordinates, on monitor m.
int64_t to_logical(int64_t v, const DesktopMonitor &m);
POINT logical_point(int64_t x, int64_t y);
RECT logical_rect(const DesktopMonitor &m);
// The pixel as seen on screen; (x, y) must be on screen.
uint32_t compose(int x, int y);
// The first live hook from `it` on.
HookList::iterator first_live(HookList::iterator it);
// Erases the hooks marked dead, once no dispatch is running.
void purge_dead_hooks();
// Calls the hook at `at` for an event that came at `arrived`, as Windows
// does with its timeout: a hook the event waited too long for is removed
// and not called, one whose call ended too late is removed and its result
// ignored; either way the event goes on to the rest of the chain.
LRESULT call_hook(HookList::iterator at, uint64_t arrived, int code, WPARAM wparam, LPARAM lparam);
// One screen read: counted, and the thread busy for its cost.
void charge_screen_read();
// Whether GetPixel may read the on-screen pixel (x, y): no injected failure.
bool pixel_readable(int x, int y);

// ---- Clipboard (clipboard.cpp) ----------------------------------------------

// Back to an empty, closed clipboard with no global memory and no failures
// armed.
void clipboard_reset();
// The clipboard's failure points; false for a point that is not one.
bool clipboard_fail_call(int point, int nth);
bool clipboard_fail_pending(int point, int *pending);

// A handle as the call log names it: "mdc1", "bm2", "stock", a window DC
// "dc3", global memory "mem4", "null" or hex. From a small ring of buffers,
// so that several fit in one format call.
const char *object_name(uintptr_t value);

}  // namespace desktop_detail
