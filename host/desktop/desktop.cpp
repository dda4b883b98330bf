// The simulated desktop: a wallpaper with the host's panels composed over
// it, a pointer, a low-level mouse hook chain, window-less timers on virtual
// time, and the Win32 functions the eyedropper calls, implemented over them.
//
// Callbacks (hooks, timer procedures, the overlay) may call back into any
// function here, including ones that remove hooks or timers or reset the
// whole desktop. So no iterator or reference into the state is held across a
// callback, except hook list iterators, and hooks are only marked dead while
// a dispatch runs and erased once the outermost dispatch has returned.

#include "desktop.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <list>
#include <map>
#include <set>
#include <utility>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_MAX_DIMENSIONS DESKTOP_MAX_SIZE
#include <stb/stb_image.h>

#include "base/fail_countdown.h"

namespace {

// Handle values: fixed or numbered from a base, so that logs can name them.
constexpr uintptr_t kDesktopWindow = 0x10010;
constexpr uintptr_t kModule = 0x400000;
constexpr uintptr_t kDcBase = 0x0DC00000;
constexpr uintptr_t kHookBase = 0x0A000000;
constexpr uintptr_t kHandleRange = 0x00100000;
constexpr UINT_PTR kFirstTimerId = 0x1001;
constexpr UINT kTimerMinimum = 10;           // USER_TIMER_MINIMUM
constexpr UINT kTimerMaximum = 0x7FFFFFFF;  // USER_TIMER_MAXIMUM

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
const char *const kFunctionNames[] = {
    "GetDesktopWindow", "GetWindowDC",   "ReleaseDC",   "GetWindowRect",
    "SetWindowsHookExA", "CallNextHookEx", "UnhookWindowsHookEx", "SetTimer",
    "KillTimer",        "GetCursorPos",  "GetPixel",    "GetModuleHandleA",
    "@mouse",           "@timer"};
enum Fn {
  kGetDesktopWindow, kGetWindowDC, kReleaseDC, kGetWindowRect, kSetWindowsHookExA,
  kCallNextHookEx, kUnhookWindowsHookEx, kSetTimer, kKillTimer, kGetCursorPos,
  kGetPixel, kGetModuleHandleA, kMouseEvent, kTimerEvent, kFnCount
};

struct State {
  int width = DESKTOP_DEFAULT_WIDTH;
  int height = DESKTOP_DEFAULT_HEIGHT;

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

  FailCountdown fail_hook, fail_timer, fail_dc;
  std::set<std::pair<int, int>> bad_pixels;
  bool all_pixels_bad = false;
};

State &S() {
  static State state;
  return state;
}

bool ValidSize(int width, int height) {
  return width >= 1 && height >= 1 && width <= DESKTOP_MAX_SIZE && height <= DESKTOP_MAX_SIZE;
}

template <typename H>
H ToHandle(uintptr_t value) {
  return reinterpret_cast<H>(value);
}

template <typename H>
uintptr_t FromHandle(H handle) {
  return reinterpret_cast<uintptr_t>(handle);
}

// ---- Log ---------------------------------------------------------------------

// A log slot is taken when a call starts, so entries are in call order even
// when callbacks run inside the call, and filled in when it returns.
struct Ticket {
  uint64_t generation;
  size_t index;  // SIZE_MAX: not logged
};

Ticket BeginCall(Fn fn) {
  State &s = S();
  ++s.counts[fn];
  if (!s.logging || s.log.size() >= DESKTOP_LOG_CAPACITY) return {s.log_generation, SIZE_MAX};
  DesktopCall entry{};
  entry.function = kFunctionNames[fn];
  std::snprintf(entry.text, sizeof entry.text, "%s(...)", entry.function);
  s.log.push_back(entry);
  return {s.log_generation, s.log.size() - 1};
}

__attribute__((format(printf, 4, 5))) void EndCall(Ticket ticket,
                                                   std::initializer_list<intptr_t> args,
                                                   intptr_t result, const char *format, ...) {
  State &s = S();
  if (ticket.index == SIZE_MAX || ticket.generation != s.log_generation ||
      ticket.index >= s.log.size()) {
    return;
  }
  DesktopCall &entry = s.log[ticket.index];
  size_t i = 0;
  for (intptr_t a : args) {
    if (i < 4) entry.args[i++] = a;
  }
  entry.result = result;
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(entry.text, sizeof entry.text, format, ap);
  va_end(ap);
}

// Readable handle names for the log text: "null", a fixed name, a numbered
// name ("dc3"), or hex. Each returns a buffer from a small ring, so several
// can appear in one format call.
const char *Name(uintptr_t value, uintptr_t fixed, const char *fixed_name, uintptr_t base,
                 const char *prefix) {
  static char ring[8][24];
  static int next = 0;
  char *out = ring[next];
  next = (next + 1) % 8;
  if (value == 0) {
    std::snprintf(out, sizeof ring[0], "null");
  } else if (fixed != 0 && value == fixed) {
    std::snprintf(out, sizeof ring[0], "%s", fixed_name);
  } else if (base != 0 && value > base && value < base + kHandleRange) {
    std::snprintf(out, sizeof ring[0], "%s%lu", prefix, static_cast<unsigned long>(value - base));
  } else {
    std::snprintf(out, sizeof ring[0], "0x%lx", static_cast<unsigned long>(value));
  }
  return out;
}
const char *WindowName(HWND w) { return Name(FromHandle(w), kDesktopWindow, "desktop", 0, ""); }
const char *DcName(HDC dc) { return Name(FromHandle(dc), 0, "", kDcBase, "dc"); }
const char *HookName(HHOOK h) { return Name(FromHandle(h), 0, "", kHookBase, "hook"); }
const char *ModuleName(HINSTANCE m) { return Name(FromHandle(m), kModule, "exe", 0, ""); }
intptr_t AsInt(uintptr_t v) { return static_cast<intptr_t>(v); }
template <typename H>
intptr_t HandleInt(H h) {
  return AsInt(FromHandle(h));
}
template <typename P>
const char *ProcName(P proc) {
  return proc ? "proc" : "null";
}

// ---- Screen ------------------------------------------------------------------

bool OnScreen(int64_t x, int64_t y) {
  const State &s = S();
  return x >= 0 && y >= 0 && x < s.width && y < s.height;
}

uint32_t Wallpaper(int x, int y) {
  const State &s = S();
  if (s.pattern) return desktop_test_pattern(x, y, s.width, s.height);
  if (x >= s.wallpaper_width || y >= s.wallpaper_height) return 0;
  return s.wallpaper[static_cast<size_t>(y) * static_cast<size_t>(s.wallpaper_width) +
                     static_cast<size_t>(x)];
}

// The pixel as seen on screen; (x, y) must be on screen. The overlay is
// copied out first: it may replace itself while it runs.
uint32_t Compose(int x, int y) {
  const State &s = S();
  DesktopOverlayFunc overlay = s.overlay;
  void *ctx = s.overlay_ctx;
  if (overlay) {
    uint32_t rgb = 0;
    if (overlay(ctx, x, y, &rgb)) return rgb & 0xFFFFFFu;
  }
  // The overlay may have resized the screen.
  if (!OnScreen(x, y)) return 0;
  return Wallpaper(x, y);
}

int Clamp(int v, int lo, int hi) { return std::min(std::max(v, lo), hi); }

void ClipCursor() {
  State &s = S();
  s.cursor_x = Clamp(s.cursor_x, 0, s.width - 1);
  s.cursor_y = Clamp(s.cursor_y, 0, s.height - 1);
}

// ---- Hooks -------------------------------------------------------------------

HookList::iterator FirstLive(HookList::iterator it) {
  HookList &hooks = S().hooks;
  while (it != hooks.end() && !it->live) ++it;
  return it;
}

void PurgeDeadHooks() {
  State &s = S();
  if (s.frames.empty()) s.hooks.remove_if([](const Hook &h) { return !h.live; });
}

HookList::iterator FindHook(uintptr_t handle) {
  HookList &hooks = S().hooks;
  return std::find_if(hooks.begin(), hooks.end(),
                      [handle](const Hook &h) { return h.live && h.handle == handle; });
}

LRESULT RunChain(int code, WPARAM wparam, LPARAM lparam) {
  State &s = S();
  HookList::iterator first = FirstLive(s.hooks.begin());
  if (first == s.hooks.end()) return 0;
  s.frames.push_back(first);
  LRESULT result = first->proc(code, wparam, lparam);
  s.frames.pop_back();
  PurgeDeadHooks();
  return result;
}

void KillAllHooks() {
  State &s = S();
  for (Hook &h : s.hooks) h.live = false;
  PurgeDeadHooks();
}

}  // namespace

// ---- Win32 stand-ins -------------------------------------------------------------

extern "C" {

HWND WINAPI GetDesktopWindow(void) {
  Ticket t = BeginCall(kGetDesktopWindow);
  HWND w = ToHandle<HWND>(kDesktopWindow);
  EndCall(t, {}, HandleInt(w), "GetDesktopWindow() = desktop");
  return w;
}

HDC WINAPI GetWindowDC(HWND hwnd) {
  State &s = S();
  Ticket t = BeginCall(kGetWindowDC);
  HDC dc = nullptr;
  // A null window means the whole screen, as on Windows; it is the desktop's DC.
  if (!s.fail_dc.fire() && (hwnd == nullptr || FromHandle(hwnd) == kDesktopWindow)) {
    dc = ToHandle<HDC>(kDcBase + ++s.dcs_made);
    s.dcs[FromHandle(dc)] = hwnd;
  }
  EndCall(t, {HandleInt(hwnd)}, HandleInt(dc), "GetWindowDC(%s) = %s", WindowName(hwnd),
          DcName(dc));
  return dc;
}

int WINAPI ReleaseDC(HWND hwnd, HDC hdc) {
  State &s = S();
  Ticket t = BeginCall(kReleaseDC);
  int result = 0;
  auto it = s.dcs.find(FromHandle(hdc));
  if (it != s.dcs.end() && it->second == hwnd) {
    s.dcs.erase(it);
    result = 1;
  }
  EndCall(t, {HandleInt(hwnd), HandleInt(hdc)}, result, "ReleaseDC(%s, %s) = %d",
          WindowName(hwnd), DcName(hdc), result);
  return result;
}

BOOL WINAPI GetWindowRect(HWND hwnd, RECT *rect) {
  State &s = S();
  Ticket t = BeginCall(kGetWindowRect);
  BOOL ok = rect != nullptr && FromHandle(hwnd) == kDesktopWindow;
  if (ok) *rect = RECT{0, 0, s.width, s.height};
  RECT r = ok ? *rect : RECT{0, 0, 0, 0};
  EndCall(t, {r.left, r.top, r.right, r.bottom}, ok, "GetWindowRect(%s) = %d {%d, %d, %d, %d}",
          WindowName(hwnd), ok, r.left, r.top, r.right, r.bottom);
  return ok;
}

HHOOK WINAPI SetWindowsHookExA(int id, HOOKPROC proc, HINSTANCE module, DWORD thread_id) {
  State &s = S();
  Ticket t = BeginCall(kSetWindowsHookExA);
  HHOOK hook = nullptr;
  // Only the low-level mouse hook exists here, and it is global only.
  if (!s.fail_hook.fire() && id == WH_MOUSE_LL && proc != nullptr && thread_id == 0) {
    const uintptr_t handle = kHookBase + ++s.hooks_made;
    s.hooks.push_front(Hook{handle, proc, true});
    hook = ToHandle<HHOOK>(handle);
  }
  EndCall(t, {id, HandleInt(module), static_cast<intptr_t>(thread_id)}, HandleInt(hook),
          "SetWindowsHookExA(%d, %s, %s, %lu) = %s", id, ProcName(proc), ModuleName(module),
          static_cast<unsigned long>(thread_id), HookName(hook));
  return hook;
}

// As on current Windows the handle is only a label: the event goes to the
// hook after the one the innermost dispatch is calling.
LRESULT WINAPI CallNextHookEx(HHOOK hook, int code, WPARAM wparam, LPARAM lparam) {
  State &s = S();
  Ticket t = BeginCall(kCallNextHookEx);
  LRESULT result = 0;
  if (!s.frames.empty()) {
    const size_t frame = s.frames.size() - 1;
    HookList::iterator here = s.frames[frame];
    HookList::iterator next = FirstLive(std::next(here));
    if (next != s.hooks.end()) {
      s.frames[frame] = next;
      result = next->proc(code, wparam, lparam);
      s.frames[frame] = here;
    }
  }
  EndCall(t, {HandleInt(hook), code, static_cast<intptr_t>(wparam)}, result,
          "CallNextHookEx(%s, %d, 0x%lx) = %ld", HookName(hook), code,
          static_cast<unsigned long>(wparam), static_cast<long>(result));
  return result;
}

BOOL WINAPI UnhookWindowsHookEx(HHOOK hook) {
  Ticket t = BeginCall(kUnhookWindowsHookEx);
  BOOL ok = FALSE;
  auto it = FindHook(FromHandle(hook));
  if (it != S().hooks.end()) {
    it->live = false;
    PurgeDeadHooks();
    ok = TRUE;
  }
  EndCall(t, {HandleInt(hook)}, ok, "UnhookWindowsHookEx(%s) = %d", HookName(hook), ok);
  return ok;
}

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
  State &s = S();
  Ticket t = BeginCall(kSetTimer);
  UINT_PTR result = 0;
  // There are no windows of the caller's own, so only window-less timers.
  if (!s.fail_timer.fire() && hwnd == nullptr) {
    const UINT elapse = std::min(std::max(elapse_ms, kTimerMinimum), kTimerMaximum);
    // An identifier of a live window-less timer replaces that timer; any
    // other is ignored and a new identifier is made.
    result = s.timers.count(id) ? id : s.next_timer_id++;
    s.timers[result] = Timer{elapse, s.now + elapse, s.timer_order++, proc};
  }
  EndCall(t, {HandleInt(hwnd), static_cast<intptr_t>(id), static_cast<intptr_t>(elapse_ms)},
          static_cast<intptr_t>(result), "SetTimer(%s, %lu, %u, %s) = %lu", WindowName(hwnd),
          static_cast<unsigned long>(id), elapse_ms, ProcName(proc),
          static_cast<unsigned long>(result));
  return result;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
  State &s = S();
  Ticket t = BeginCall(kKillTimer);
  BOOL ok = hwnd == nullptr && s.timers.erase(id) == 1;
  EndCall(t, {HandleInt(hwnd), static_cast<intptr_t>(id)}, ok, "KillTimer(%s, %lu) = %d",
          WindowName(hwnd), static_cast<unsigned long>(id), ok);
  return ok;
}

BOOL WINAPI GetCursorPos(POINT *point) {
  State &s = S();
  Ticket t = BeginCall(kGetCursorPos);
  BOOL ok = point != nullptr;
  if (ok) *point = POINT{s.cursor_x, s.cursor_y};
  EndCall(t, {ok ? s.cursor_x : 0, ok ? s.cursor_y : 0}, ok, "GetCursorPos() = %d (%d, %d)", ok,
          ok ? s.cursor_x : 0, ok ? s.cursor_y : 0);
  return ok;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
  State &s = S();
  Ticket t = BeginCall(kGetPixel);
  COLORREF result = CLR_INVALID;
  if (s.dcs.count(FromHandle(hdc)) && OnScreen(x, y) && !s.all_pixels_bad &&
      !s.bad_pixels.count({x, y})) {
    const uint32_t rgb = Compose(x, y);
    result = ((rgb >> 16) & 0xFFu) | (rgb & 0xFF00u) | ((rgb & 0xFFu) << 16);
  }
  EndCall(t, {HandleInt(hdc), x, y}, static_cast<intptr_t>(result),
          "GetPixel(%s, %d, %d) = 0x%06lx", DcName(hdc), x, y,
          static_cast<unsigned long>(result));
  return result;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  Ticket t = BeginCall(kGetModuleHandleA);
  // Only the executable is known; any named module counts as not loaded.
  HMODULE module = name == nullptr ? ToHandle<HMODULE>(kModule) : nullptr;
  EndCall(t, {AsInt(reinterpret_cast<uintptr_t>(name))}, HandleInt(module),
          "GetModuleHandleA(%s%.40s%s) = %s", name ? "\"" : "", name ? name : "null",
          name ? "\"" : "", ModuleName(module));
  return module;
}

// ---- Control interface --------------------------------------------------------------

int desktop_reset(int width, int height) {
  if (!ValidSize(width, height)) return 0;
  State &s = S();
  s.width = width;
  s.height = height;
  s.pattern = true;
  s.wallpaper.clear();
  s.wallpaper.shrink_to_fit();
  s.wallpaper_width = s.wallpaper_height = 0;
  s.overlay = nullptr;
  s.overlay_ctx = nullptr;
  s.cursor_x = width / 2;
  s.cursor_y = height / 2;
  s.now = 0;
  ++s.epoch;
  // Dispatches in progress keep their iterators: hooks die, the list stays.
  KillAllHooks();
  s.hooks_made = 0;
  s.timers.clear();
  s.next_timer_id = kFirstTimerId;
  s.timer_order = 0;
  s.dcs.clear();
  s.dcs_made = 0;
  desktop_log_clear();
  s.logging = true;
  s.fail_hook = s.fail_timer = s.fail_dc = FailCountdown{};
  desktop_clear_pixel_failures();
  return 1;
}

int desktop_set_size(int width, int height) {
  if (!ValidSize(width, height)) return 0;
  S().width = width;
  S().height = height;
  ClipCursor();
  return 1;
}

int desktop_width(void) { return S().width; }
int desktop_height(void) { return S().height; }

uint32_t desktop_test_pattern(int x, int y, int width, int height) {
  if (width < 1 || height < 1 || x < 0 || y < 0 || x >= width || y >= height) return 0;
  // Bars in the usual order; each channel full on or off.
  static const uint32_t kBars[8] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00,
                                    0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};
  const int64_t w = width, h = height;
  const int64_t bars_end = h * 2 / 3;
  const int64_t ramp_end = h * 5 / 6;
  const int64_t across = std::max<int64_t>(w - 1, 1);
  const auto level = static_cast<uint32_t>(x * 255 / across);
  if (y < bars_end) return kBars[static_cast<int64_t>(x) * 8 / w];
  if (y < ramp_end) return level << 16 | level << 8 | level;
  const int64_t down = std::max<int64_t>(h - 1 - ramp_end, 1);
  const auto green = static_cast<uint32_t>((y - ramp_end) * 255 / down);
  return level << 16 | green << 8 | 128u;
}

void desktop_use_test_pattern(void) {
  State &s = S();
  s.pattern = true;
  s.wallpaper.clear();
  s.wallpaper.shrink_to_fit();
  s.wallpaper_width = s.wallpaper_height = 0;
}

int desktop_set_wallpaper(const uint32_t *pixels, int width, int height, int stride) {
  if (pixels == nullptr || !ValidSize(width, height) || stride < width) return 0;
  std::vector<uint32_t> image(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    const uint32_t *row = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
    uint32_t *out = image.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x) out[x] = row[x] & 0xFFFFFFu;
  }
  State &s = S();
  s.wallpaper = std::move(image);
  s.wallpaper_width = width;
  s.wallpaper_height = height;
  s.pattern = false;
  return 1;
}

int desktop_load_wallpaper(const char *path) {
  if (path == nullptr) return 0;
  int width = 0, height = 0, channels = 0;
  stbi_uc *data = stbi_load(path, &width, &height, &channels, 3);
  if (data == nullptr) return 0;
  int ok = 0;
  if (ValidSize(width, height)) {
    std::vector<uint32_t> image(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t i = 0; i < image.size(); ++i) {
      const stbi_uc *p = data + i * 3;
      image[i] = static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
    }
    ok = desktop_set_wallpaper(image.data(), width, height, width);
  }
  stbi_image_free(data);
  return ok;
}

void desktop_wallpaper_size(int *width, int *height) {
  const State &s = S();
  if (width) *width = s.pattern ? s.width : s.wallpaper_width;
  if (height) *height = s.pattern ? s.height : s.wallpaper_height;
}

void desktop_set_overlay(DesktopOverlayFunc func, void *ctx) {
  S().overlay = func;
  S().overlay_ctx = func ? ctx : nullptr;
}

uint32_t desktop_screen_pixel(int x, int y) { return OnScreen(x, y) ? Compose(x, y) : 0; }

int desktop_read_screen(int x, int y, int w, int h, uint32_t *out) {
  if (out == nullptr || !ValidSize(w, h)) return 0;
  for (int64_t row = 0; row < h; ++row) {
    for (int64_t col = 0; col < w; ++col) {
      const int64_t sx = x + col, sy = y + row;
      out[row * w + col] =
          OnScreen(sx, sy) ? Compose(static_cast<int>(sx), static_cast<int>(sy)) : 0;
    }
  }
  return 1;
}

void desktop_set_cursor(int x, int y) {
  S().cursor_x = x;
  S().cursor_y = y;
  ClipCursor();
}

void desktop_cursor(int *x, int *y) {
  if (x) *x = S().cursor_x;
  if (y) *y = S().cursor_y;
}

int desktop_mouse_event(UINT message, int x, int y) {
  State &s = S();
  Ticket t = BeginCall(kMouseEvent);
  EndCall(t, {static_cast<intptr_t>(message), x, y}, 0, "@mouse(0x%x, %d, %d)", message, x, y);
  MSLLHOOKSTRUCT event{};
  event.pt = POINT{x, y};
  event.time = static_cast<DWORD>(s.now);
  const bool swallowed = RunChain(HC_ACTION, message, reinterpret_cast<LPARAM>(&event)) != 0;
  // Windows does not move the pointer for a move a hook swallowed.
  if (!(swallowed && message == WM_MOUSEMOVE)) desktop_set_cursor(x, y);
  return swallowed ? 1 : 0;
}

LRESULT desktop_dispatch_hooks(int code, WPARAM wparam, const MSLLHOOKSTRUCT *event) {
  MSLLHOOKSTRUCT copy{};
  if (event) copy = *event;
  return RunChain(code, wparam, reinterpret_cast<LPARAM>(&copy));
}

uint64_t desktop_time_ms(void) { return S().now; }

int desktop_advance_time(uint32_t ms) {
  State &s = S();
  const uint64_t epoch = s.epoch;
  const uint64_t target = s.now + ms;
  int calls = 0;
  // Each round picks the earliest due timer afresh, since a procedure may
  // set, kill or replace timers (or reset everything).
  while (s.epoch == epoch) {
    auto best = s.timers.end();
    for (auto it = s.timers.begin(); it != s.timers.end(); ++it) {
      if (best == s.timers.end() || it->second.due < best->second.due ||
          (it->second.due == best->second.due && it->second.order < best->second.order)) {
        best = it;
      }
    }
    if (best == s.timers.end() || best->second.due > target) break;
    const UINT_PTR id = best->first;
    const TIMERPROC proc = best->second.proc;
    s.now = std::max(s.now, best->second.due);
    best->second.due += best->second.elapse;
    const auto time = static_cast<DWORD>(s.now);
    Ticket t = BeginCall(kTimerEvent);
    EndCall(t, {static_cast<intptr_t>(id), static_cast<intptr_t>(time)}, 0, "@timer(%lu, %lu)",
            static_cast<unsigned long>(id), static_cast<unsigned long>(time));
    ++calls;
    // A window-less timer without a procedure would post WM_TIMER to a
    // queue nobody reads here; it only shows in the log.
    if (proc) proc(nullptr, WM_TIMER, id, time);
  }
  if (s.epoch == epoch) s.now = std::max(s.now, target);
  return calls;
}

int desktop_hook_count(void) {
  const HookList &hooks = S().hooks;
  return static_cast<int>(
      std::count_if(hooks.begin(), hooks.end(), [](const Hook &h) { return h.live; }));
}

int desktop_timer_count(void) { return static_cast<int>(S().timers.size()); }
int desktop_outstanding_dcs(void) { return static_cast<int>(S().dcs.size()); }
HWND desktop_window(void) { return ToHandle<HWND>(kDesktopWindow); }
HMODULE desktop_module(void) { return ToHandle<HMODULE>(kModule); }

size_t desktop_log_size(void) { return S().log.size(); }

int desktop_log_entry(size_t i, DesktopCall *out) {
  const State &s = S();
  if (out == nullptr || i >= s.log.size()) return 0;
  *out = s.log[i];
  return 1;
}

void desktop_log_clear(void) {
  State &s = S();
  s.log.clear();
  ++s.log_generation;
  std::fill(std::begin(s.counts), std::end(s.counts), 0);
}

int desktop_call_count(const char *function) {
  if (function == nullptr) return 0;
  for (int i = 0; i < kFnCount; ++i) {
    if (std::strcmp(function, kFunctionNames[i]) == 0) return S().counts[i];
  }
  return 0;
}

void desktop_set_logging(int on) { S().logging = on != 0; }

void desktop_fail_call(int point, int nth) {
  State &s = S();
  switch (point) {
    case DESKTOP_FAIL_SET_HOOK: s.fail_hook.arm(nth); break;
    case DESKTOP_FAIL_SET_TIMER: s.fail_timer.arm(nth); break;
    case DESKTOP_FAIL_WINDOW_DC: s.fail_dc.arm(nth); break;
  }
}

void desktop_fail_pixel(int x, int y) { S().bad_pixels.insert({x, y}); }
void desktop_fail_all_pixels(int on) { S().all_pixels_bad = on != 0; }

void desktop_clear_pixel_failures(void) {
  S().bad_pixels.clear();
  S().all_pixels_bad = false;
}

}  // extern "C"
