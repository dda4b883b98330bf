// The tick's view of the desktop in physical pixels, whatever DPI mode the
// host's thread runs in: the thread switched to a per-monitor-aware context
// for the tick's own calls and back, and the monitors' rectangles.
#pragma once

#include "win32/win32.h"

// SetThreadDpiAwarenessContext (Windows 10 1607 and later), looked up at
// run time so that the module loads on older systems; null where missing.
typedef DPI_AWARENESS_CONTEXT(WINAPI *SetThreadDpiContextFn)(DPI_AWARENESS_CONTEXT context);
SetThreadDpiContextFn dpi_context_function(void);

// A switch of the calling thread's DPI context. `previous` is null when the
// thread was not switched (no function, or both contexts refused).
struct DpiSwitch {
  SetThreadDpiContextFn set_context;
  DPI_AWARENESS_CONTEXT previous;
};

// Switches to per-monitor aware v2, or to plain per-monitor aware when v2 is
// refused (Wine 8 refuses it). With a null function nothing is switched.
DpiSwitch dpi_switch_to_physical(SetThreadDpiContextFn set_context);
// Puts back the context the switch replaced; nothing when it switched none.
void dpi_switch_restore(const DpiSwitch &dpi);

// The monitors' rectangles as EnumDisplayMonitors reports them in the
// calling thread's context; at most kMaxMonitors are kept.
constexpr int kMaxMonitors = 16;
struct MonitorList {
  RECT rects[kMaxMonitors];
  int count;
};

// Reads the list. When the system lists no monitor (the call fails or finds
// none), the desktop window's rectangle stands in for one.
void monitor_list_read(MonitorList *list, HWND desktop_window);
// Whether (x, y) lies on a listed monitor; 64-bit so that any cell position
// around an int-limit pointer compares safely.
bool monitor_list_contains(const MonitorList &list, long long x, long long y);

// A rectangle in the host's coordinates (`host`, the monitors as its
// context lists them) in physical pixels (`physical`, the same monitors in
// a per-monitor-aware context), by the monitor its centre lies on. False
// when the lists differ in length or no monitor holds the centre.
bool rect_to_physical(const RECT &rect, const MonitorList &host, const MonitorList &physical,
                      RECT *out);
