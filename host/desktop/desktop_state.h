// The simulated desktop's state and the helpers its two halves share: the
// Win32 stand-in functions (win32_functions.cpp) and the control interface
// (desktop.cpp). Internal to the desktop library.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <list>
#include <map>
#include <set>
#include <string>
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
inline constexpr uintptr_t kOwnWindowBase = 0x00E00000;      // CreateWindowExA's windows
inline constexpr uintptr_t kForeignWindowBase = 0x00F00000;  // other programs' windows
inline constexpr uintptr_t kMessageWindowBase = 0x0E000000;  // message-only windows
inline constexpr uintptr_t kPaintDcBase = 0x0DE00000;        // BeginPaint's DCs
inline constexpr uintptr_t kCrossCursor = 0x00010011;        // LoadCursorA's IDC_CROSS
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

// A window on the screen: another program's (desktop_add_window) or one the
// plug-in made with CreateWindowExA. Coordinates are physical.
struct Window {
  uintptr_t handle = 0;
  bool own = false;
  int kind = 0;  // another program's: a DesktopWindowKind
  int x = 0, y = 0, width = 0, height = 0;
  DWORD ex_style = 0;
  WNDPROC proc = nullptr;
  std::string class_name;
  bool shown = false;
  bool layered_set = false;  // SetLayeredWindowAttributes has run
  BYTE alpha = 255;
  DWORD affinity = 0;  // WDA_*, as it holds
  DesktopWindowInput input{};
  // An own window's content: what its WM_PAINT drew (black until then),
  // and the part it has to paint next (`dirty`).
  Bitmap surface;
  bool painted = false;
  bool dirty = false;
  RECT update{};
  std::map<std::string, HANDLE> props;
};

// A pen or finger: in contact or not, the window contact began on, and
// whether its mouse input waits for the lift (press-and-hold).
struct Contact {
  bool down = false;
  uintptr_t target = 0;  // 0: the desktop
  bool held = false;
};

struct Timer {
  UINT elapse;
  uint64_t due;
  uint64_t order;  // breaks ties between equal due times: earlier set first
  TIMERPROC proc;
};

// The Win32 functions the log and the call counts know, in a fixed order:
// one row each, the enumerator and the name.
#define DESKTOP_FUNCTIONS(X)                                                    \
  X(kGetDesktopWindow, "GetDesktopWindow")                                      \
  X(kGetWindowDC, "GetWindowDC")                                                \
  X(kReleaseDC, "ReleaseDC")                                                    \
  X(kGetWindowRect, "GetWindowRect")                                            \
  X(kSetWindowsHookExA, "SetWindowsHookExA")                                    \
  X(kCallNextHookEx, "CallNextHookEx")                                          \
  X(kUnhookWindowsHookEx, "UnhookWindowsHookEx")                                \
  X(kSetTimer, "SetTimer")                                                      \
  X(kKillTimer, "KillTimer")                                                    \
  X(kGetCursorPos, "GetCursorPos")                                              \
  X(kGetPixel, "GetPixel")                                                      \
  X(kGetModuleHandleA, "GetModuleHandleA")                                      \
  X(kGetProcAddress, "GetProcAddress")                                          \
  X(kEnumDisplayMonitors, "EnumDisplayMonitors")                                \
  X(kGetSystemMetrics, "GetSystemMetrics")                                      \
  X(kSetThreadDpiAwarenessContext, "SetThreadDpiAwarenessContext")              \
  X(kGetAsyncKeyState, "GetAsyncKeyState")                                      \
  X(kCreateCompatibleDC, "CreateCompatibleDC")                                  \
  X(kDeleteDC, "DeleteDC")                                                      \
  X(kCreateDIBSection, "CreateDIBSection")                                      \
  X(kSelectObject, "SelectObject")                                              \
  X(kDeleteObject, "DeleteObject")                                              \
  X(kBitBlt, "BitBlt")                                                          \
  X(kGdiFlush, "GdiFlush")                                                      \
  /* The clipboard, its global memory and the key state (clipboard.cpp). */     \
  X(kGetActiveWindow, "GetActiveWindow")                                        \
  X(kOpenClipboard, "OpenClipboard")                                            \
  X(kCloseClipboard, "CloseClipboard")                                          \
  X(kEmptyClipboard, "EmptyClipboard")                                          \
  X(kGetClipboardData, "GetClipboardData")                                      \
  X(kSetClipboardData, "SetClipboardData")                                      \
  X(kGetKeyState, "GetKeyState")                                                \
  X(kGlobalAlloc, "GlobalAlloc")                                                \
  X(kGlobalLock, "GlobalLock")                                                  \
  X(kGlobalUnlock, "GlobalUnlock")                                              \
  X(kGlobalFree, "GlobalFree")                                                  \
  X(kGlobalSize, "GlobalSize")                                                  \
  X(kSetCursorPos, "SetCursorPos") /* monitors.cpp */                           \
  X(kMessageBeep, "MessageBeep")                                                \
  /* Windows of the plug-in's own, pen and touch (windows.cpp, pointers.cpp) */ \
  X(kRegisterClassA, "RegisterClassA")                                          \
  X(kUnregisterClassA, "UnregisterClassA")                                      \
  X(kCreateWindowExA, "CreateWindowExA")                                        \
  X(kDestroyWindow, "DestroyWindow")                                            \
  X(kDefWindowProcA, "DefWindowProcA")                                          \
  X(kSetWindowPos, "SetWindowPos")                                              \
  X(kSetLayeredWindowAttributes, "SetLayeredWindowAttributes")                  \
  X(kSetWindowDisplayAffinity, "SetWindowDisplayAffinity")                      \
  X(kGetWindowDisplayAffinity, "GetWindowDisplayAffinity")                      \
  X(kBeginPaint, "BeginPaint")                                                  \
  X(kEndPaint, "EndPaint")                                                      \
  X(kInvalidateRect, "InvalidateRect")                                          \
  X(kSetPropA, "SetPropA")                                                      \
  X(kRemovePropA, "RemovePropA")                                                \
  X(kLoadCursorA, "LoadCursorA")                                                \
  X(kGetMessageExtraInfo, "GetMessageExtraInfo")

// What the desktop does by itself, logged and counted beside the calls: the
// names say so ("desktop:..."), so that they never pass for Win32 functions.
#define DESKTOP_EVENTS(X)                                                          \
  X(kMouseToHooks, "desktop:mouse_to_hooks") /* a mouse event through the hooks */ \
  X(kTimerProcCall, "desktop:timer_proc_call")                                     \
  X(kHookTimedOut, "desktop:hook_timed_out") /* the system removed a slow hook */  \
  X(kScreenRead, "desktop:screen_read")      /* counted only, never logged */      \
  X(kPenInput, "desktop:pen_input")                                                \
  X(kTouchInput, "desktop:touch_input")                                            \
  X(kCursorMovedByAnotherProgram, "desktop:cursor_moved_by_another_program")

enum Fn {
#define DESKTOP_FN_ENUM(fn, name) fn,
  DESKTOP_FUNCTIONS(DESKTOP_FN_ENUM) DESKTOP_EVENTS(DESKTOP_FN_ENUM)
#undef DESKTOP_FN_ENUM
      kFnCount
};
extern const char *const kFunctionNames[kFnCount];

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

  // Top first: the plug-in's top-most windows above every other.
  std::vector<Window> windows;
  std::map<std::string, WNDPROC> classes;
  uintptr_t own_windows_made = 0;
  int foreign_windows_made = 0;
  int own_activations = 0;
  int affinity_support = DESKTOP_AFFINITY_EXCLUDE;
  bool compositor = true;
  Contact contacts[3];                       // by DesktopPointerKind
  uint64_t default_pointer = 0;              // pointer messages DefWindowProcA has had
  std::map<uintptr_t, uintptr_t> paint_dcs;  // BeginPaint's DC -> its window
  uintptr_t paint_dcs_made = 0;
  uintptr_t message_extra = 0;  // GetMessageExtraInfo: the last input message's
  bool stalled = false;         // the thread handles no messages (no paints, timers)
  FailCountdown fail_register_class, fail_create_window, fail_set_prop, fail_begin_paint;

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
// Whether any pixel was made unreadable (a block read then checks each).
bool any_pixel_unreadable();

// ---- Windows (windows.cpp) and pen and touch (pointers.cpp) ----------------

Window *find_window(uintptr_t handle);
// The window a press at (x, y) lands on; 0 for the desktop.
uintptr_t window_at(int64_t x, int64_t y);
// Sends a message to a window of the plug-in's own (0 for any other).
LRESULT send_message(uintptr_t handle, UINT message, WPARAM wparam, LPARAM lparam);
// A button press or release reaches window `to` (0: the desktop): its
// activation and its count, or the own window's procedure.
void deliver_button(uintptr_t to, UINT message, int x, int y);
// The window a paint DC draws into, null for any other DC.
Window *paint_target(HDC hdc);
// Sends WM_PAINT to each shown own window that has something to paint, as
// the thread's message loop does when its queue is empty; not while the
// thread is stalled.
void pump_paints();
// An own window's content at screen (x, y) inside it.
uint32_t window_content(const Window &w, int x, int y);
// rgb as a screen read sees it at (x, y), the plug-in's windows over it.
uint32_t capture_layer(int x, int y, uint32_t rgb);
// SetWindowDisplayAffinity or GetWindowDisplayAffinity where the system has
// them, else null.
FARPROC display_affinity_proc(const char *name);
void windows_reset();
// A low-level mouse event (from the mouse or made from pen and touch)
// through the chain; unless swallowed, the cursor moves and a button
// reaches the window under the pointer (`to` when given, else hit-tested).
bool mouse_input(UINT message, int x, int y, DWORD flags, uintptr_t extra, const uintptr_t *to);

// Message-only windows (clipboard.cpp): made for CreateWindowExA with a
// parent of HWND_MESSAGE, and destroyed for DestroyWindow, each logged.
HWND create_message_window(DWORD ex_style, LPCSTR class_name, DWORD style, HWND parent);
bool is_message_window(uintptr_t h);
BOOL destroy_message_window(HWND hwnd);

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
