// The Win32 functions the plug-in calls, as the simulated desktop serves
// them on systems that are not Windows: declared in the plug-in's stand-in
// header (win32/win32_standin.h), each logged with its arguments and
// result.

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "desktop_state.h"

using namespace desktop_detail;

namespace {

// Readable handle names for the log text: "null", a fixed name, a numbered
// name ("dc3"), or hex. Each returns a buffer from a small ring, so several
// can appear in one format call.
const char *handle_name(uintptr_t value, uintptr_t fixed, const char *fixed_name, uintptr_t base,
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

const char *window_name(HWND w) {
  return handle_name(from_handle(w), kDesktopWindow, "desktop", 0, "");
}

const char *dc_name(HDC dc) { return handle_name(from_handle(dc), 0, "", kDcBase, "dc"); }

const char *hook_name(HHOOK h) { return handle_name(from_handle(h), 0, "", kHookBase, "hook"); }

const char *module_name(HINSTANCE m) {
  if (from_handle(m) == kUser32) return "user32";
  return handle_name(from_handle(m), kModule, "exe", 0, "");
}

template <typename P>
const char *proc_name(P proc) {
  return proc ? "proc" : "null";
}

HookList::iterator find_hook(uintptr_t handle) {
  HookList &hooks = state().hooks;
  return std::find_if(hooks.begin(), hooks.end(),
                      [handle](const Hook &h) { return h.live && h.handle == handle; });
}

}  // namespace

extern "C" {

HWND WINAPI GetDesktopWindow(void) {
  Ticket t = begin_call(kGetDesktopWindow);
  HWND w = to_handle<HWND>(kDesktopWindow);
  end_call(t, {}, handle_int(w), "GetDesktopWindow() = desktop");
  return w;
}

HDC WINAPI GetWindowDC(HWND hwnd) {
  State &s = state();
  Ticket t = begin_call(kGetWindowDC);
  HDC dc = nullptr;
  // A null window means the whole screen, as on Windows; it is the desktop's DC.
  if (!s.fail_dc.fire() && (hwnd == nullptr || from_handle(hwnd) == kDesktopWindow)) {
    dc = to_handle<HDC>(kDcBase + ++s.dcs_made);
    s.dcs[from_handle(dc)] = hwnd;
  }
  end_call(t, {handle_int(hwnd)}, handle_int(dc), "GetWindowDC(%s) = %s", window_name(hwnd),
           dc_name(dc));
  return dc;
}

int WINAPI ReleaseDC(HWND hwnd, HDC hdc) {
  State &s = state();
  Ticket t = begin_call(kReleaseDC);
  int result = 0;
  auto it = s.dcs.find(from_handle(hdc));
  if (it != s.dcs.end() && it->second == hwnd) {
    s.dcs.erase(it);
    result = 1;
  }
  end_call(t, {handle_int(hwnd), handle_int(hdc)}, result, "ReleaseDC(%s, %s) = %d",
           window_name(hwnd), dc_name(hdc), result);
  return result;
}

BOOL WINAPI GetWindowRect(HWND hwnd, RECT *rect) {
  State &s = state();
  Ticket t = begin_call(kGetWindowRect);
  BOOL ok = rect != nullptr && from_handle(hwnd) == kDesktopWindow;
  // The desktop window is the primary monitor, in the thread's coordinates.
  if (ok) *rect = logical_rect(s.monitors.front());
  RECT r = ok ? *rect : RECT{0, 0, 0, 0};
  end_call(t, {r.left, r.top, r.right, r.bottom}, ok, "GetWindowRect(%s) = %d {%d, %d, %d, %d}",
           window_name(hwnd), ok, r.left, r.top, r.right, r.bottom);
  return ok;
}

HHOOK WINAPI SetWindowsHookExA(int id, HOOKPROC proc, HINSTANCE module, DWORD thread_id) {
  State &s = state();
  Ticket t = begin_call(kSetWindowsHookExA);
  HHOOK hook = nullptr;
  // Only the low-level mouse hook exists here, and it is global only.
  if (!s.fail_hook.fire() && id == WH_MOUSE_LL && proc != nullptr && thread_id == 0) {
    const uintptr_t handle = kHookBase + ++s.hooks_made;
    s.hooks.push_front(Hook{handle, proc, true});
    hook = to_handle<HHOOK>(handle);
  }
  end_call(t, {id, handle_int(module), static_cast<intptr_t>(thread_id)}, handle_int(hook),
           "SetWindowsHookExA(%d, %s, %s, %lu) = %s", id, proc_name(proc), module_name(module),
           static_cast<unsigned long>(thread_id), hook_name(hook));
  return hook;
}

// As on current Windows the handle is only a label: the event goes to the
// hook after the one the innermost dispatch is calling.
LRESULT WINAPI CallNextHookEx(HHOOK hook, int code, WPARAM wparam, LPARAM lparam) {
  State &s = state();
  Ticket t = begin_call(kCallNextHookEx);
  LRESULT result = 0;
  if (!s.frames.empty()) {
    const size_t frame = s.frames.size() - 1;
    const uint64_t epoch = s.epoch;
    result =
        call_hook(std::next(s.frames[frame].at), s.frames[frame].arrived, code, wparam, lparam);
    if (s.epoch == epoch && frame < s.frames.size()) {
      s.frames[frame].passed_on = true;
      s.frames[frame].passed_result = result;
    }
  }
  end_call(t, {handle_int(hook), code, static_cast<intptr_t>(wparam)}, result,
           "CallNextHookEx(%s, %d, 0x%lx) = %ld", hook_name(hook), code,
           static_cast<unsigned long>(wparam), static_cast<long>(result));
  return result;
}

BOOL WINAPI UnhookWindowsHookEx(HHOOK hook) {
  Ticket t = begin_call(kUnhookWindowsHookEx);
  BOOL ok = FALSE;
  auto it = find_hook(from_handle(hook));
  if (it != state().hooks.end()) {
    it->live = false;
    purge_dead_hooks();
    ok = TRUE;
  }
  end_call(t, {handle_int(hook)}, ok, "UnhookWindowsHookEx(%s) = %d", hook_name(hook), ok);
  return ok;
}

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
  State &s = state();
  Ticket t = begin_call(kSetTimer);
  UINT_PTR result = 0;
  // There are no windows of the caller's own, so only window-less timers.
  if (!s.fail_timer.fire() && hwnd == nullptr) {
    const UINT elapse = std::min(std::max(elapse_ms, kTimerMinimum), kTimerMaximum);
    // An identifier of a live window-less timer replaces that timer; any
    // other is ignored and a new identifier is made.
    result = s.timers.count(id) ? id : s.next_timer_id++;
    s.timers[result] = Timer{elapse, s.now + elapse, s.timer_order++, proc};
  }
  end_call(t, {handle_int(hwnd), static_cast<intptr_t>(id), static_cast<intptr_t>(elapse_ms)},
           static_cast<intptr_t>(result), "SetTimer(%s, %lu, %u, %s) = %lu", window_name(hwnd),
           static_cast<unsigned long>(id), elapse_ms, proc_name(proc),
           static_cast<unsigned long>(result));
  return result;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
  State &s = state();
  Ticket t = begin_call(kKillTimer);
  BOOL ok = hwnd == nullptr && s.timers.erase(id) == 1;
  end_call(t, {handle_int(hwnd), static_cast<intptr_t>(id)}, ok, "KillTimer(%s, %lu) = %d",
           window_name(hwnd), static_cast<unsigned long>(id), ok);
  return ok;
}

BOOL WINAPI GetCursorPos(POINT *point) {
  State &s = state();
  Ticket t = begin_call(kGetCursorPos);
  BOOL ok = point != nullptr;
  const POINT p = ok ? logical_point(s.cursor_x, s.cursor_y) : POINT{0, 0};
  if (ok) *point = p;
  end_call(t, {p.x, p.y}, ok, "GetCursorPos() = %d (%d, %d)", ok, p.x, p.y);
  return ok;
}

// A screen DC's pixel costs a screen read; a memory DC's is its bitmap's.
COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
  State &s = state();
  Ticket t = begin_call(kGetPixel);
  COLORREF result = CLR_INVALID;
  uint32_t rgb = 0;
  bool read = false;
  if (s.dcs.count(from_handle(hdc))) {
    charge_screen_read();
    read = on_screen(x, y) && pixel_readable(x, y);
    if (read) rgb = compose(x, y);
  } else if (auto dc = s.memory_dcs.find(from_handle(hdc)); dc != s.memory_dcs.end()) {
    auto bm = s.bitmaps.find(dc->second.bitmap);
    read =
        bm != s.bitmaps.end() && x >= 0 && y >= 0 && x < bm->second.width && y < bm->second.height;
    if (read) {
      const Bitmap &b = bm->second;
      const int row = b.bottom_up ? b.height - 1 - y : y;
      rgb =
          b.bits[static_cast<size_t>(row) * static_cast<size_t>(b.width) + static_cast<size_t>(x)];
    }
  }
  if (read) result = ((rgb >> 16) & 0xFFu) | (rgb & 0xFF00u) | ((rgb & 0xFFu) << 16);
  end_call(t, {handle_int(hdc), x, y}, static_cast<intptr_t>(result),
           "GetPixel(%s, %d, %d) = 0x%06lx", dc_name(hdc), x, y,
           static_cast<unsigned long>(result));
  return result;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  Ticket t = begin_call(kGetModuleHandleA);
  // The executable and user32 are known; any other module counts as not
  // loaded.
  HMODULE module = name == nullptr ? to_handle<HMODULE>(kModule) : nullptr;
  if (name != nullptr && strcasecmp(name, "user32.dll") == 0) module = to_handle<HMODULE>(kUser32);
  end_call(t, {as_int(reinterpret_cast<uintptr_t>(name))}, handle_int(module),
           "GetModuleHandleA(%s%.40s%s) = %s", name ? "\"" : "", name ? name : "null",
           name ? "\"" : "", module_name(module));
  return module;
}

}  // extern "C"
