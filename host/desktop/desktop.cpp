// The simulated desktop: a wallpaper with the host's panels composed over
// it, a pointer, a low-level mouse hook chain, window-less timers on virtual
// time, and the Win32 functions the eyedropper calls, implemented over them
// (win32_functions.cpp). This file holds the state's helpers and the control
// interface the host and the tests use (desktop.h).
//
// Callbacks (hooks, timer procedures, the overlay) may call back into any
// function here, including ones that remove hooks or timers or reset the
// whole desktop. So no iterator or reference into the state is held across a
// callback, except hook list iterators, and hooks are only marked dead while
// a dispatch runs and erased once the outermost dispatch has returned.

#include "desktop.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "desktop_state.h"
#include "png_wallpaper.h"

namespace desktop_detail {

// Function names the log and the call counts know, in the order of Fn.
const char *const kFunctionNames[kFnCount] = {
#define DESKTOP_FN_NAME(fn, name) name,
    DESKTOP_FUNCTIONS(DESKTOP_FN_NAME) DESKTOP_EVENTS(DESKTOP_FN_NAME)
#undef DESKTOP_FN_NAME
};

// The desktop's own events are named "desktop:...", and no Win32 function
// is, so that a name in the log or a count says which of the two it is.
constexpr bool named_as_event(const char *name) {
  const char prefix[] = "desktop:";
  for (size_t i = 0; i + 1 < sizeof prefix; ++i)
    if (name[i] != prefix[i]) return false;
  return true;
}
#define DESKTOP_FN_IS_CALL(fn, name) static_assert(!named_as_event(name), name);
#define DESKTOP_FN_IS_EVENT(fn, name) static_assert(named_as_event(name), name);
DESKTOP_FUNCTIONS(DESKTOP_FN_IS_CALL)
DESKTOP_EVENTS(DESKTOP_FN_IS_EVENT)
#undef DESKTOP_FN_IS_CALL
#undef DESKTOP_FN_IS_EVENT

State &state() {
  static State state;
  return state;
}

Ticket begin_call(Fn fn) {
  State &s = state();
  ++s.counts[fn];
  if (!s.logging || s.log.size() >= DESKTOP_LOG_CAPACITY) return {s.log_generation, SIZE_MAX};
  DesktopCall entry{};
  entry.function = kFunctionNames[fn];
  std::snprintf(entry.text, sizeof entry.text, "%s(...)", entry.function);
  s.log.push_back(entry);
  return {s.log_generation, s.log.size() - 1};
}

void end_call(Ticket ticket, std::initializer_list<intptr_t> args, intptr_t result,
              const char *format, ...) {
  State &s = state();
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

bool on_screen(int64_t x, int64_t y) {
  for (const DesktopMonitor &m : state().monitors) {
    if (x >= m.x && y >= m.y && x < int64_t{m.x} + m.width && y < int64_t{m.y} + m.height)
      return true;
  }
  return false;
}

HookList::iterator first_live(HookList::iterator it) {
  HookList &hooks = state().hooks;
  while (it != hooks.end() && !it->live) ++it;
  return it;
}

void purge_dead_hooks() {
  State &s = state();
  if (s.frames.empty()) s.hooks.remove_if([](const Hook &h) { return !h.live; });
}

void charge_screen_read() {
  State &s = state();
  ++s.counts[kScreenRead];
  s.now += s.screen_read_ms;
}

bool any_pixel_unreadable() {
  const State &s = state();
  return s.all_pixels_bad || !s.bad_pixels.empty();
}

bool pixel_readable(int x, int y) {
  const State &s = state();
  return !s.all_pixels_bad && !s.bad_pixels.count({x, y});
}

namespace {

// The system gives up on a hook: it is marked dead (erased once no dispatch
// runs) and nobody is told but the log and the listener.
void remove_for_timeout(Hook &hook, uint64_t waited) {
  State &s = state();
  hook.live = false;
  const uintptr_t handle = hook.handle;
  const auto ms = static_cast<uint32_t>(std::min<uint64_t>(waited, UINT32_MAX));
  Ticket t = begin_call(kHookTimedOut);
  end_call(t, {as_int(handle), static_cast<intptr_t>(ms)}, 0,
           "desktop:hook_timed_out(hook%lu, %lu ms)",
           static_cast<unsigned long>(handle - kHookBase), static_cast<unsigned long>(ms));
  if (s.hook_removed) s.hook_removed(s.hook_removed_ctx, to_handle<HHOOK>(handle), ms);
}

}  // namespace

LRESULT call_hook(HookList::iterator at, uint64_t arrived, int code, WPARAM wparam, LPARAM lparam) {
  State &s = state();
  HookList::iterator it = first_live(at);
  // A hook the event has waited too long for is dropped before its call.
  while (it != s.hooks.end() && s.now > arrived && s.now - arrived > s.hook_timeout_ms) {
    remove_for_timeout(*it, s.now - arrived);
    it = first_live(std::next(it));
  }
  if (it == s.hooks.end()) return 0;
  const uint64_t epoch = s.epoch;
  s.frames.push_back(Frame{it, arrived, false, 0});
  LRESULT result = it->proc(code, wparam, lparam);
  const Frame done = s.frames.back();
  s.frames.pop_back();
  if (s.epoch != epoch || !it->live || s.now <= arrived || s.now - arrived <= s.hook_timeout_ms)
    return result;
  // The call ended too late: the system has already gone on without its
  // answer, to the rest of the chain (once: if the hook passed the event
  // on itself, the rest has seen it).
  remove_for_timeout(*it, s.now - arrived);
  return done.passed_on ? done.passed_result
                        : call_hook(std::next(it), arrived, code, wparam, lparam);
}

}  // namespace desktop_detail

using namespace desktop_detail;

namespace {

bool valid_size(int width, int height) {
  return width >= 1 && height >= 1 && width <= DESKTOP_MAX_SIZE && height <= DESKTOP_MAX_SIZE;
}

// (x, y) is on screen; the wallpaper spans the monitors' bounding box.
uint32_t wallpaper_pixel(int screen_x, int screen_y) {
  const State &s = state();
  const int x = screen_x - s.origin_x, y = screen_y - s.origin_y;
  if (s.pattern) return desktop_test_pattern(x, y, s.width, s.height);
  if (x >= s.wallpaper_width || y >= s.wallpaper_height) return 0;
  return s.wallpaper[static_cast<size_t>(y) * static_cast<size_t>(s.wallpaper_width) +
                     static_cast<size_t>(x)];
}

int clamp_int(int v, int lo, int hi) { return std::min(std::max(v, lo), hi); }

// Onto the nearest monitor (the first of equally near ones), as the system
// keeps the pointer on the screen.
void clip_cursor() {
  State &s = state();
  if (on_screen(s.cursor_x, s.cursor_y)) return;
  int64_t best = INT64_MAX;
  int bx = 0, by = 0;
  for (const DesktopMonitor &m : s.monitors) {
    const int x = clamp_int(s.cursor_x, m.x, m.x + m.width - 1);
    const int y = clamp_int(s.cursor_y, m.y, m.y + m.height - 1);
    const int64_t dx = int64_t{x} - s.cursor_x, dy = int64_t{y} - s.cursor_y;
    if (dx * dx + dy * dy < best) {
      best = dx * dx + dy * dy;
      bx = x;
      by = y;
    }
  }
  s.cursor_x = bx;
  s.cursor_y = by;
}

// The user's event, made at the user's time, through the chain.
LRESULT run_chain(int code, WPARAM wparam, LPARAM lparam) {
  State &s = state();
  LRESULT result = call_hook(s.hooks.begin(), s.input_time, code, wparam, lparam);
  purge_dead_hooks();
  return result;
}

// The virtual key of a button message and whether it goes down; 0 for
// other messages.
int button_key(UINT message, bool *down) {
  *down = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: return VK_LBUTTON;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: return VK_RBUTTON;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: return VK_MBUTTON;
  }
  return 0;
}

void kill_all_hooks() {
  State &s = state();
  for (Hook &h : s.hooks) h.live = false;
  purge_dead_hooks();
}

}  // namespace

bool desktop_detail::mouse_input(UINT message, int x, int y, DWORD flags, uintptr_t extra,
                                 const uintptr_t *to) {
  State &s = state();
  MSLLHOOKSTRUCT event{};
  event.pt = POINT{x, y};
  event.flags = flags;
  event.time = static_cast<DWORD>(s.now);
  event.dwExtraInfo = extra;
  const bool swallowed = run_chain(HC_ACTION, message, reinterpret_cast<LPARAM>(&event)) != 0;
  s.message_extra = extra;
  // Windows does not move the pointer for a move a hook swallowed, nor
  // change the key state for a button a hook swallowed.
  if (!(swallowed && message == WM_MOUSEMOVE)) desktop_set_cursor(x, y);
  bool down = false;
  const int key = button_key(message, &down);
  if (key && !swallowed) {
    desktop_key_event(key, down ? 1 : 0);
    deliver_button(to ? *to : window_at(x, y), message, x, y);
  }
  pump_paints();
  return swallowed;
}

// The pixel as seen on screen; (x, y) must be on screen. The overlay is
// copied out first: it may replace itself while it runs.
uint32_t desktop_detail::compose(int x, int y) {
  const State &s = state();
  DesktopOverlayFunc overlay = s.overlay;
  void *ctx = s.overlay_ctx;
  if (overlay) {
    uint32_t rgb = 0;
    if (overlay(ctx, x, y, &rgb)) return capture_layer(x, y, rgb & 0xFFFFFFu);
  }
  // The overlay may have resized the screen.
  if (!on_screen(x, y)) return 0;
  return capture_layer(x, y, wallpaper_pixel(x, y));
}

extern "C" {

int desktop_reset(int width, int height) {
  if (!valid_size(width, height)) return 0;
  State &s = state();
  s.monitors.assign(1, DesktopMonitor{0, 0, width, height, 100});
  s.origin_x = s.origin_y = 0;
  s.width = width;
  s.height = height;
  s.thread_dpi = DESKTOP_DPI_SYSTEM_AWARE;
  s.dpi_support = DESKTOP_DPI_SWITCH_ALL;
  s.pattern = true;
  s.wallpaper.clear();
  s.wallpaper.shrink_to_fit();
  s.wallpaper_width = s.wallpaper_height = 0;
  s.overlay = nullptr;
  s.overlay_ctx = nullptr;
  s.cursor_x = width / 2;
  s.cursor_y = height / 2;
  s.now = 0;
  s.input_time = 0;
  s.screen_read_ms = 0;
  s.hook_timeout_ms = 1000;
  ++s.epoch;
  // Dispatches in progress keep their iterators: hooks die, the list stays.
  kill_all_hooks();
  s.hooks_made = 0;
  s.timers.clear();
  s.next_timer_id = kFirstTimerId;
  s.timer_order = 0;
  s.dcs.clear();
  s.dcs_made = 0;
  s.memory_dcs.clear();
  s.bitmaps.clear();
  s.memory_dcs_made = s.bitmaps_made = 0;
  std::fill(std::begin(s.key_down), std::end(s.key_down), false);
  std::fill(std::begin(s.key_pressed), std::end(s.key_pressed), false);
  desktop_log_clear();
  s.logging = true;
  s.fail_hook = s.fail_timer = s.fail_dc = s.fail_monitors = FailCountdown{};
  s.fail_memory_dc = s.fail_dib = s.fail_select = s.fail_bitblt = FailCountdown{};
  desktop_clear_pixel_failures();
  clipboard_reset();
  windows_reset();
  return 1;
}

int desktop_set_size(int width, int height) {
  std::vector<DesktopMonitor> monitors = state().monitors;
  monitors[0].width = width;
  monitors[0].height = height;
  return desktop_set_monitors(monitors.data(), static_cast<int>(monitors.size()));
}

int desktop_width(void) { return state().width; }
int desktop_height(void) { return state().height; }

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
  State &s = state();
  s.pattern = true;
  s.wallpaper.clear();
  s.wallpaper.shrink_to_fit();
  s.wallpaper_width = s.wallpaper_height = 0;
}

int desktop_set_wallpaper(const uint32_t *pixels, int width, int height, int stride) {
  if (pixels == nullptr || !valid_size(width, height) || stride < width) return 0;
  std::vector<uint32_t> image(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    const uint32_t *row = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
    uint32_t *out = image.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x) out[x] = row[x] & 0xFFFFFFu;
  }
  State &s = state();
  s.wallpaper = std::move(image);
  s.wallpaper_width = width;
  s.wallpaper_height = height;
  s.pattern = false;
  return 1;
}

int desktop_load_wallpaper_png(const void *data, size_t size, char *error, size_t error_size) {
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  std::string problem;
  if (!desktop_internal::decode_png_wallpaper(data, size, &pixels, &width, &height, &problem)) {
    if (error != nullptr && error_size > 0) std::snprintf(error, error_size, "%s", problem.c_str());
    return 0;
  }
  State &s = state();
  s.wallpaper = std::move(pixels);
  s.wallpaper_width = width;
  s.wallpaper_height = height;
  s.pattern = false;
  return 1;
}

void desktop_wallpaper_size(int *width, int *height) {
  const State &s = state();
  if (width) *width = s.pattern ? s.width : s.wallpaper_width;
  if (height) *height = s.pattern ? s.height : s.wallpaper_height;
}

void desktop_set_overlay(DesktopOverlayFunc func, void *ctx) {
  state().overlay = func;
  state().overlay_ctx = func ? ctx : nullptr;
}

uint32_t desktop_screen_pixel(int x, int y) { return on_screen(x, y) ? compose(x, y) : 0; }

int desktop_read_screen(int x, int y, int w, int h, uint32_t *out) {
  if (out == nullptr || !valid_size(w, h)) return 0;
  for (int64_t row = 0; row < h; ++row) {
    for (int64_t col = 0; col < w; ++col) {
      const int64_t sx = x + col, sy = y + row;
      out[row * w + col] =
          on_screen(sx, sy) ? compose(static_cast<int>(sx), static_cast<int>(sy)) : 0;
    }
  }
  return 1;
}

void desktop_set_cursor(int x, int y) {
  state().cursor_x = x;
  state().cursor_y = y;
  clip_cursor();
}

void desktop_cursor(int *x, int *y) {
  if (x) *x = state().cursor_x;
  if (y) *y = state().cursor_y;
}

int desktop_mouse_event(UINT message, int x, int y) {
  Ticket t = begin_call(kMouseToHooks);
  end_call(t, {static_cast<intptr_t>(message), x, y}, 0, "desktop:mouse_to_hooks(0x%x, %d, %d)",
           message, x, y);
  return mouse_input(message, x, y, 0, 0, nullptr) ? 1 : 0;
}

int desktop_wheel_event(int notches) {
  return desktop_wheel_delta(std::clamp(notches, -32768 / WHEEL_DELTA, 32767 / WHEEL_DELTA) *
                             WHEEL_DELTA);
}

int desktop_wheel_delta(int delta) {
  State &s = state();
  delta = std::clamp(delta, -32768, 32767);
  Ticket t = begin_call(kMouseToHooks);
  end_call(t, {WM_MOUSEWHEEL, s.cursor_x, s.cursor_y}, 0,
           "desktop:mouse_to_hooks(0x%x, %d, %d, wheel %d)", WM_MOUSEWHEEL, s.cursor_x, s.cursor_y,
           delta);
  MSLLHOOKSTRUCT event{};
  event.pt = POINT{s.cursor_x, s.cursor_y};
  event.mouseData = static_cast<DWORD>(static_cast<uint16_t>(static_cast<int16_t>(delta))) << 16;
  event.time = static_cast<DWORD>(s.now);
  return run_chain(HC_ACTION, WM_MOUSEWHEEL, reinterpret_cast<LPARAM>(&event)) != 0 ? 1 : 0;
}

void desktop_key_event(int key, int down) {
  if (key < 0 || key > 255) return;
  State &s = state();
  if (down && !s.key_down[key]) s.key_pressed[key] = true;
  s.key_down[key] = down != 0;
}

LRESULT desktop_dispatch_hooks(int code, WPARAM wparam, const MSLLHOOKSTRUCT *event) {
  MSLLHOOKSTRUCT copy{};
  if (event) copy = *event;
  return run_chain(code, wparam, reinterpret_cast<LPARAM>(&copy));
}

uint64_t desktop_time_ms(void) { return state().now; }
uint64_t desktop_input_time_ms(void) { return state().input_time; }

void desktop_thread_busy(uint32_t ms) { state().now += ms; }

void desktop_set_screen_read_ms(uint32_t ms) { state().screen_read_ms = ms; }
uint32_t desktop_screen_read_ms(void) { return state().screen_read_ms; }
void desktop_set_hook_timeout_ms(uint32_t ms) { state().hook_timeout_ms = ms; }
uint32_t desktop_hook_timeout_ms(void) { return state().hook_timeout_ms; }

void desktop_set_hook_removed_listener(DesktopHookRemovedFunc func, void *ctx) {
  state().hook_removed = func;
  state().hook_removed_ctx = func ? ctx : nullptr;
}

int desktop_advance_time(uint32_t ms) {
  State &s = state();
  const uint64_t epoch = s.epoch;
  const uint64_t target = s.input_time + ms;
  int calls = 0;
  // A stalled thread fires nothing; what fell due fires once it is free.
  if (s.stalled) {
    s.input_time = target;
    s.now = std::max(s.now, target);
    return 0;
  }
  pump_paints();
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
    // It fires when the thread is free, once however often it fell due
    // meanwhile; next at the first due time after that.
    const uint64_t due = best->second.due, elapse = best->second.elapse;
    s.now = std::max(s.now, due);
    best->second.due = due + elapse * ((s.now - due) / elapse + 1);
    const auto time = static_cast<DWORD>(s.now);
    Ticket t = begin_call(kTimerProcCall);
    end_call(t, {static_cast<intptr_t>(id), static_cast<intptr_t>(time)}, 0,
             "desktop:timer_proc_call(%lu, %lu)", static_cast<unsigned long>(id),
             static_cast<unsigned long>(time));
    ++calls;
    // A window-less timer without a procedure would post WM_TIMER to a
    // queue nobody reads here; it only shows in the log.
    if (proc) proc(nullptr, WM_TIMER, id, time);
    pump_paints();
  }
  if (s.epoch == epoch) {
    s.now = std::max(s.now, target);
    s.input_time = target;
  }
  return calls;
}

int desktop_hook_count(void) {
  const HookList &hooks = state().hooks;
  return static_cast<int>(
      std::count_if(hooks.begin(), hooks.end(), [](const Hook &h) { return h.live; }));
}

int desktop_timer_count(void) { return static_cast<int>(state().timers.size()); }
int desktop_outstanding_dcs(void) { return static_cast<int>(state().dcs.size()); }
int desktop_gdi_objects(void) {
  return static_cast<int>(state().memory_dcs.size() + state().bitmaps.size());
}
HWND desktop_window(void) { return to_handle<HWND>(kDesktopWindow); }
HMODULE desktop_module(void) { return to_handle<HMODULE>(kModule); }

size_t desktop_log_size(void) { return state().log.size(); }

int desktop_log_entry(size_t i, DesktopCall *out) {
  const State &s = state();
  if (out == nullptr || i >= s.log.size()) return 0;
  *out = s.log[i];
  return 1;
}

void desktop_log_clear(void) {
  State &s = state();
  s.log.clear();
  ++s.log_generation;
  std::fill(std::begin(s.counts), std::end(s.counts), 0);
}

int desktop_call_count(const char *function) {
  if (function == nullptr) return 0;
  for (int i = 0; i < kFnCount; ++i) {
    if (std::strcmp(function, kFunctionNames[i]) == 0) return state().counts[i];
  }
  return 0;
}

void desktop_set_logging(int on) { state().logging = on != 0; }

void desktop_fail_call(int point, int nth) {
  State &s = state();
  switch (point) {
    case DESKTOP_FAIL_SET_HOOK: s.fail_hook.arm(nth); break;
    case DESKTOP_FAIL_SET_TIMER: s.fail_timer.arm(nth); break;
    case DESKTOP_FAIL_WINDOW_DC: s.fail_dc.arm(nth); break;
    case DESKTOP_FAIL_MONITORS: s.fail_monitors.arm(nth); break;
    case DESKTOP_FAIL_MEMORY_DC: s.fail_memory_dc.arm(nth); break;
    case DESKTOP_FAIL_DIB: s.fail_dib.arm(nth); break;
    case DESKTOP_FAIL_SELECT: s.fail_select.arm(nth); break;
    case DESKTOP_FAIL_BITBLT: s.fail_bitblt.arm(nth); break;
    case DESKTOP_FAIL_REGISTER_CLASS: s.fail_register_class.arm(nth); break;
    case DESKTOP_FAIL_CREATE_WINDOW: s.fail_create_window.arm(nth); break;
    case DESKTOP_FAIL_SET_PROP: s.fail_set_prop.arm(nth); break;
    case DESKTOP_FAIL_BEGIN_PAINT: s.fail_begin_paint.arm(nth); break;
    default: clipboard_fail_call(point, nth); break;
  }
}

int desktop_fail_pending(int point) {
  State &s = state();
  switch (point) {
    case DESKTOP_FAIL_SET_HOOK: return s.fail_hook.pending() ? 1 : 0;
    case DESKTOP_FAIL_SET_TIMER: return s.fail_timer.pending() ? 1 : 0;
    case DESKTOP_FAIL_WINDOW_DC: return s.fail_dc.pending() ? 1 : 0;
    case DESKTOP_FAIL_MONITORS: return s.fail_monitors.pending() ? 1 : 0;
    case DESKTOP_FAIL_MEMORY_DC: return s.fail_memory_dc.pending() ? 1 : 0;
    case DESKTOP_FAIL_DIB: return s.fail_dib.pending() ? 1 : 0;
    case DESKTOP_FAIL_SELECT: return s.fail_select.pending() ? 1 : 0;
    case DESKTOP_FAIL_BITBLT: return s.fail_bitblt.pending() ? 1 : 0;
    case DESKTOP_FAIL_REGISTER_CLASS: return s.fail_register_class.pending() ? 1 : 0;
    case DESKTOP_FAIL_CREATE_WINDOW: return s.fail_create_window.pending() ? 1 : 0;
    case DESKTOP_FAIL_SET_PROP: return s.fail_set_prop.pending() ? 1 : 0;
    case DESKTOP_FAIL_BEGIN_PAINT: return s.fail_begin_paint.pending() ? 1 : 0;
  }
  int pending = 0;
  return clipboard_fail_pending(point, &pending) ? pending : 0;
}

void desktop_fail_pixel(int x, int y) { state().bad_pixels.insert({x, y}); }
void desktop_fail_all_pixels(int on) { state().all_pixels_bad = on != 0; }

void desktop_clear_pixel_failures(void) {
  state().bad_pixels.clear();
  state().all_pixels_bad = false;
}

}  // extern "C"
