// Screen eyedropper: a modal sampling run with a desktop-wide mouse hook and
// the magnifier.
#pragma once

#include "abi/host_api.h"
#include "color/color.h"
#include "eyedropper/desktop_space.h"
#include "eyedropper/spoit_panel.h"
#include "eyedropper/win32.h"

// One sampling run's state, made at the run's start and released by its one
// exit. The hook and the timer reach it through the current run.
struct SamplingRun {
  LWPanelFuncs *panel_funcs;  // looked up afresh for the run
  LWRasterFuncs *raster_funcs;
  SpoitPanel *magnifier;
  HWND desktop_window;
  HDC desktop_dc;
  SetThreadDpiContextFn set_dpi_context;  // null before Windows 10 1607
  POINT pointer;                          // the hook's last point, in physical pixels
  int32_t pointer_moved;                  // the hook has seen the pointer since the start
  HHOOK hook;  // null when it could not be installed: the run ends at once
  UINT_PTR timer;
  ColorTriple picked;
  int32_t pressed;
  int32_t accepted;
  int32_t ended;   // a release has ended the run; the hook passes everything on
  char title[64];  // the magnifier's title: the readout under the pointer
};

// Runs one sampling run, the magnifier's corner at (x, y), with the services
// the stored lookup gives. Returns 1 when a colour was taken, else 0; *out
// is the last colour read ({0, 0, 0} when none was). Runs never nest: a call
// during a run returns 0 at once.
int eyedropper_run(int x, int y, ColorTriple *out);

// The run under way; null outside a run.
const SamplingRun *sampling_run_current(void);

// The run's Win32 callbacks: the low-level mouse hook and the magnifier's
// 100 ms tick. Outside a run they do nothing (the hook passes events on).
// The tick centres on the hook's last point once the pointer has moved, on
// GetCursorPos before that, and makes its calls in a per-monitor-aware
// thread context, so that everything it reads is in physical pixels as the
// hook's points are.
LRESULT CALLBACK spoit_mouse_hook(int code, WPARAM message, LPARAM event);
void CALLBACK spoit_timer_tick(HWND hwnd, UINT message, UINT_PTR id, DWORD time);
