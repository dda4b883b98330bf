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
inline constexpr uintptr_t kHandleRange = 0x00100000;
inline constexpr UINT_PTR kFirstTimerId = 0x1001;
inline constexpr UINT kTimerMinimum = 10;          // USER_TIMER_MINIMUM
inline constexpr UINT kTimerMaximum = 0x7FFFFFFF;  // USER_TIMER_MAXIMUM

struct Hook {
  uintptr_t handle;
  HOOKPROC proc;
  bool live;
};
using HookList = std::list<Hook>;

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

  uint64_t now = 0;
  uint64_t epoch = 0;  // bumped by reset; an advance in progress stops

  HookList hooks;  // head first
  // One entry per dispatch in progress (nested ones on top): the hook it is
  // currently calling, which CallNextHookEx passes on from.
  std::vector<HookList::iterator> frames;
  uintptr_t hooks_made = 0;

  std::map<UINT_PTR, Timer> timers;
  UINT_PTR next_timer_id = kFirstTimerId;
  uint64_t timer_order = 0;

  std::map<uintptr_t, HWND> dcs;  // live DC -> window it was taken for
  uintptr_t dcs_made = 0;

  std::vector<DesktopCall> log;
  uint64_t log_generation = 0;  // bumped when the log is emptied
  bool logging = true;
  int counts[kFnCount] = {};

  FailCountdown fail_hook, fail_timer, fail_dc, fail_monitors;
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

// ---- Clipboard (clipboard.cpp) ----------------------------------------------

// Back to an empty, closed clipboard with no global memory, no keys down
// and no failures armed.
void clipboard_reset();
// The clipboard's failure points; false for a point that is not one.
bool clipboard_fail_call(int point, int nth);
bool clipboard_fail_pending(int point, int *pending);

}  // namespace desktop_detail
