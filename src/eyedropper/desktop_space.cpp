#include "eyedropper/desktop_space.h"

#include <stdint.h>

SetThreadDpiContextFn dpi_context_function(void) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (!user32) return nullptr;
  FARPROC proc = GetProcAddress(user32, "SetThreadDpiAwarenessContext");
  // Through a plain function pointer: FARPROC's own signature differs.
  return reinterpret_cast<SetThreadDpiContextFn>(reinterpret_cast<void (*)(void)>(proc));
}

DpiSwitch dpi_switch_to_physical(SetThreadDpiContextFn set_context) {
  DpiSwitch dpi = {set_context, nullptr};
  if (!set_context) return dpi;
  dpi.previous = set_context(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  if (!dpi.previous) dpi.previous = set_context(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
  return dpi;
}

void dpi_switch_restore(const DpiSwitch &dpi) {
  if (dpi.set_context && dpi.previous) dpi.set_context(dpi.previous);
}

static BOOL CALLBACK add_monitor(HMONITOR, HDC, RECT *rect, LPARAM data) {
  MonitorList *list = reinterpret_cast<MonitorList *>(data);
  if (!rect) return TRUE;
  list->rects[list->count++] = *rect;
  return list->count < kMaxMonitors;
}

void monitor_list_read(MonitorList *list, HWND desktop_window) {
  list->count = 0;
  if (!EnumDisplayMonitors(nullptr, nullptr, add_monitor, reinterpret_cast<LPARAM>(list)) &&
      list->count > 0 && list->count < kMaxMonitors) {
    // A failure part way leaves a list that may miss monitors: none is
    // trusted then, as for a failure before the first.
    list->count = 0;
  }
  if (list->count == 0 && GetWindowRect(desktop_window, &list->rects[0])) list->count = 1;
}

bool monitor_list_contains(const MonitorList &list, long long x, long long y) {
  for (int i = 0; i < list.count; ++i) {
    const RECT &r = list.rects[i];
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  }
  return false;
}

bool rect_to_physical(const RECT &rect, const MonitorList &host, const MonitorList &physical,
                      RECT *out) {
  if (host.count != physical.count) return false;
  const long long cx = (static_cast<long long>(rect.left) + rect.right) / 2;
  const long long cy = (static_cast<long long>(rect.top) + rect.bottom) / 2;
  for (int i = 0; i < host.count; ++i) {
    const RECT &h = host.rects[i], &p = physical.rects[i];
    if (cx < h.left || cx >= h.right || cy < h.top || cy >= h.bottom) continue;
    // Within a monitor the scale is one factor, both ways the same.
    const long long hw = static_cast<long long>(h.right) - h.left;
    const long long hh = static_cast<long long>(h.bottom) - h.top;
    const long long pw = static_cast<long long>(p.right) - p.left;
    const long long ph = static_cast<long long>(p.bottom) - p.top;
    if (hw <= 0 || hh <= 0) return false;
    const auto map = [](long long v, long long from, long long size, long long to,
                        long long to_size) {
      const long long m = to + (v - from) * to_size / size;
      return static_cast<LONG>(m < INT32_MIN ? INT32_MIN : m > INT32_MAX ? INT32_MAX : m);
    };
    *out = {map(rect.left, h.left, hw, p.left, pw), map(rect.top, h.top, hh, p.top, ph),
            map(rect.right, h.left, hw, p.left, pw), map(rect.bottom, h.top, hh, p.top, ph)};
    return true;
  }
  return false;
}
