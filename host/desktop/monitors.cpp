// The simulated desktop's monitors and the calling thread's DPI context: the
// control interface that sets them up (desktop.h) and the Win32 stand-ins
// that answer from them. Which coordinates each function answers in, and
// why, is in docs/architecture.md ("The simulated desktop's monitors").

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "desktop_state.h"

using namespace desktop_detail;

namespace {

bool overlap(const DesktopMonitor &a, const DesktopMonitor &b) {
  return int64_t{a.x} < int64_t{b.x} + b.width && int64_t{b.x} < int64_t{a.x} + a.width &&
         int64_t{a.y} < int64_t{b.y} + b.height && int64_t{b.y} < int64_t{a.y} + a.height;
}

bool valid_monitor(const DesktopMonitor &m) {
  return m.width >= 1 && m.height >= 1 && m.width <= DESKTOP_MAX_SIZE &&
         m.height <= DESKTOP_MAX_SIZE && m.scale >= DESKTOP_MIN_SCALE &&
         m.scale <= DESKTOP_MAX_SCALE && m.x >= -DESKTOP_MAX_SIZE && m.x <= DESKTOP_MAX_SIZE &&
         m.y >= -DESKTOP_MAX_SIZE && m.y <= DESKTOP_MAX_SIZE;
}

// v * num / den rounded to the nearest, halves away from zero, as MulDiv
// (Wine scales points with it: -500 at 144 dpi is -333 to an unaware
// thread). num and den are positive.
int64_t mul_div(int64_t v, int64_t num, int64_t den) {
  const int64_t p = v * num;
  return p >= 0 ? (p + den / 2) / den : -((-p + den / 2) / den);
}

DPI_AWARENESS_CONTEXT context_of(int mode) {
  return reinterpret_cast<DPI_AWARENESS_CONTEXT>(static_cast<intptr_t>(-mode));
}

// The Windows 10 function, reached only through GetProcAddress as the
// plug-in reaches the real one. Returns the previous context, or NULL for a
// context it does not know or refuses.
DPI_AWARENESS_CONTEXT WINAPI set_thread_dpi_context(DPI_AWARENESS_CONTEXT context) {
  State &s = state();
  Ticket t = begin_call(kSetThreadDpiAwarenessContext);
  const intptr_t asked = -reinterpret_cast<intptr_t>(context);
  const bool known = asked >= DESKTOP_DPI_UNAWARE && asked <= DESKTOP_DPI_PER_MONITOR_V2;
  const bool refused =
      s.dpi_support == DESKTOP_DPI_SWITCH_NO_V2 && asked == DESKTOP_DPI_PER_MONITOR_V2;
  DPI_AWARENESS_CONTEXT previous = nullptr;
  if (known && !refused) {
    previous = context_of(s.thread_dpi);
    s.thread_dpi = static_cast<int>(asked);
  }
  end_call(t, {-asked}, reinterpret_cast<intptr_t>(previous),
           "SetThreadDpiAwarenessContext(%ld) = %ld", static_cast<long>(-asked),
           static_cast<long>(reinterpret_cast<intptr_t>(previous)));
  return previous;
}

}  // namespace

namespace desktop_detail {

const DesktopMonitor &monitor_at(int64_t x, int64_t y) {
  for (const DesktopMonitor &m : state().monitors) {
    if (x >= m.x && y >= m.y && x < int64_t{m.x} + m.width && y < int64_t{m.y} + m.height) return m;
  }
  return state().monitors.front();
}

int64_t to_logical(int64_t v, const DesktopMonitor &m) {
  const State &s = state();
  switch (s.thread_dpi) {
    case DESKTOP_DPI_UNAWARE: return mul_div(v, 100, m.scale);
    case DESKTOP_DPI_SYSTEM_AWARE: return mul_div(v, s.monitors.front().scale, m.scale);
    default: return v;
  }
}

POINT logical_point(int64_t x, int64_t y) {
  const DesktopMonitor &m = monitor_at(x, y);
  return POINT{static_cast<int32_t>(to_logical(x, m)), static_cast<int32_t>(to_logical(y, m))};
}

RECT logical_rect(const DesktopMonitor &m) {
  return RECT{static_cast<int32_t>(to_logical(m.x, m)), static_cast<int32_t>(to_logical(m.y, m)),
              static_cast<int32_t>(to_logical(int64_t{m.x} + m.width, m)),
              static_cast<int32_t>(to_logical(int64_t{m.y} + m.height, m))};
}

}  // namespace desktop_detail

extern "C" {

int desktop_set_monitors(const DesktopMonitor *monitors, int count) {
  if (monitors == nullptr || count < 1 || count > DESKTOP_MAX_MONITORS) return 0;
  if (monitors[0].x != 0 || monitors[0].y != 0) return 0;
  int64_t left = 0, top = 0, right = 0, bottom = 0;
  for (int i = 0; i < count; ++i) {
    const DesktopMonitor &m = monitors[i];
    if (!valid_monitor(m)) return 0;
    for (int j = 0; j < i; ++j) {
      if (overlap(m, monitors[j])) return 0;
    }
    left = std::min<int64_t>(left, m.x);
    top = std::min<int64_t>(top, m.y);
    right = std::max<int64_t>(right, int64_t{m.x} + m.width);
    bottom = std::max<int64_t>(bottom, int64_t{m.y} + m.height);
  }
  if (right - left > DESKTOP_MAX_SIZE || bottom - top > DESKTOP_MAX_SIZE) return 0;
  State &s = state();
  s.monitors.assign(monitors, monitors + count);
  s.origin_x = static_cast<int>(left);
  s.origin_y = static_cast<int>(top);
  s.width = static_cast<int>(right - left);
  s.height = static_cast<int>(bottom - top);
  desktop_set_cursor(s.cursor_x, s.cursor_y);
  // Every top-level window hears of it, the plug-in's own among them.
  std::vector<uintptr_t> own;
  for (const Window &w : s.windows)
    if (w.own) own.push_back(w.handle);
  for (uintptr_t h : own) send_message(h, WM_DISPLAYCHANGE, 32, 0);
  return 1;
}

// In the thread's logical coordinates: back to physical ones on the monitor
// whose logical rectangle holds the point (the primary when none does), the
// reverse of to_logical; then clipped to the screen as the pointer always is.
// No hook runs, as on Windows.
BOOL WINAPI SetCursorPos(int x, int y) {
  State &s = state();
  Ticket t = begin_call(kSetCursorPos);
  const DesktopMonitor *on = &s.monitors.front();
  for (const DesktopMonitor &m : s.monitors) {
    const RECT r = logical_rect(m);
    if (x >= r.left && y >= r.top && x < r.right && y < r.bottom) on = &m;
  }
  const int64_t num = s.thread_dpi == DESKTOP_DPI_UNAWARE        ? 100
                      : s.thread_dpi == DESKTOP_DPI_SYSTEM_AWARE ? s.monitors.front().scale
                                                                 : on->scale;
  const auto physical = [&](int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(mul_div(v, on->scale, num), INT32_MIN, INT32_MAX));
  };
  desktop_set_cursor(physical(x), physical(y));
  end_call(t, {x, y}, TRUE, "SetCursorPos(%d, %d) = 1 (%d, %d)", x, y, s.cursor_x, s.cursor_y);
  return TRUE;
}

int desktop_monitor_count(void) { return static_cast<int>(state().monitors.size()); }

int desktop_monitor(int i, DesktopMonitor *out) {
  const State &s = state();
  if (out == nullptr || i < 0 || i >= static_cast<int>(s.monitors.size())) return 0;
  *out = s.monitors[static_cast<size_t>(i)];
  return 1;
}

void desktop_origin(int *x, int *y) {
  if (x) *x = state().origin_x;
  if (y) *y = state().origin_y;
}

void desktop_set_thread_dpi(int mode) {
  if (mode >= DESKTOP_DPI_UNAWARE && mode <= DESKTOP_DPI_PER_MONITOR_V2) state().thread_dpi = mode;
}

int desktop_thread_dpi(void) { return state().thread_dpi; }

void desktop_set_dpi_support(int support) {
  if (support >= DESKTOP_DPI_SWITCH_ALL && support <= DESKTOP_DPI_SWITCH_MISSING)
    state().dpi_support = support;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
  Ticket t = begin_call(kGetProcAddress);
  FARPROC proc = nullptr;
  // Of user32 the DPI and display affinity functions are known, and only
  // where the system has them.
  if (from_handle(module) == kUser32 && name != nullptr &&
      std::strcmp(name, "SetThreadDpiAwarenessContext") == 0 &&
      state().dpi_support != DESKTOP_DPI_SWITCH_MISSING) {
    proc = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&set_thread_dpi_context));
  } else if (from_handle(module) == kUser32) {
    proc = display_affinity_proc(name);
  }
  end_call(t, {handle_int(module)}, proc ? 1 : 0, "GetProcAddress(0x%lx, %s%.40s%s) = %s",
           static_cast<unsigned long>(from_handle(module)), name ? "\"" : "", name ? name : "null",
           name ? "\"" : "", proc ? "proc" : "null");
  return proc;
}

// Only the whole screen (no device context, no clip) is listed, in the
// calling thread's coordinates; the callback may stop the listing.
BOOL WINAPI EnumDisplayMonitors(HDC hdc, const RECT *clip, MONITORENUMPROC proc, LPARAM data) {
  State &s = state();
  Ticket t = begin_call(kEnumDisplayMonitors);
  BOOL ok = FALSE;
  int listed = 0;
  if (!s.fail_monitors.fire() && hdc == nullptr && clip == nullptr && proc != nullptr) {
    ok = TRUE;
    // A copy: the callback may change the monitors.
    const std::vector<DesktopMonitor> monitors = s.monitors;
    for (size_t i = 0; i < monitors.size(); ++i) {
      RECT rect = logical_rect(monitors[i]);
      ++listed;
      if (!proc(to_handle<HMONITOR>(kMonitorBase + i + 1), nullptr, &rect, data)) break;
    }
  }
  end_call(t, {handle_int(hdc), listed}, ok, "EnumDisplayMonitors(%s) = %d, %d listed",
           hdc ? "dc" : "null", ok, listed);
  return ok;
}

int WINAPI GetSystemMetrics(int index) {
  const State &s = state();
  Ticket t = begin_call(kGetSystemMetrics);
  const RECT primary = logical_rect(s.monitors.front());
  RECT all = primary;
  for (const DesktopMonitor &m : s.monitors) {
    const RECT r = logical_rect(m);
    all = RECT{std::min(all.left, r.left), std::min(all.top, r.top), std::max(all.right, r.right),
               std::max(all.bottom, r.bottom)};
  }
  int value = 0;
  switch (index) {
    case SM_CXSCREEN: value = primary.right - primary.left; break;
    case SM_CYSCREEN: value = primary.bottom - primary.top; break;
    case SM_XVIRTUALSCREEN: value = all.left; break;
    case SM_YVIRTUALSCREEN: value = all.top; break;
    case SM_CXVIRTUALSCREEN: value = all.right - all.left; break;
    case SM_CYVIRTUALSCREEN: value = all.bottom - all.top; break;
    case SM_CMONITORS: value = static_cast<int>(s.monitors.size()); break;
    default: break;
  }
  end_call(t, {index}, value, "GetSystemMetrics(%d) = %d", index, value);
  return value;
}

}  // extern "C"
