#include "eyedropper/eyedropper.h"

#include <stdio.h>

#include "binding/services.h"

constexpr UINT kTickMilliseconds = 100;
constexpr LRESULT kSwallowEvent = 1;
static const char kUnreadableReadout[] = "---,---,---";

// The run under way, for the hook and the timer; null outside a run.
static SamplingRun *g_run = nullptr;

const SamplingRun *sampling_run_current(void) { return g_run; }

// Reads the pixel under the event into the picked colour and its readout
// into the title. A pixel that cannot be read (GetPixel's failure value: off
// the desktop, a secure desktop, a display the context does not reach) is no
// colour: the picked colour stays and the readout says so.
static bool sample_pixel(SamplingRun *run, const MSLLHOOKSTRUCT *event) {
  const COLORREF pixel = GetPixel(run->desktop_dc, event->pt.x, event->pt.y);
  if (pixel == CLR_INVALID) {
    snprintf(run->title, sizeof run->title, "%s", kUnreadableReadout);
    return false;
  }
  run->picked = colorref_split(pixel);
  const ColorTriple &c = run->picked;
  snprintf(run->title, sizeof run->title, "%3d,%3d,%3d", static_cast<int>(c.a),
           static_cast<int>(c.b), static_cast<int>(c.c));
  return true;
}

LRESULT CALLBACK spoit_mouse_hook(int code, WPARAM message, LPARAM lparam) {
  const MSLLHOOKSTRUCT *event = reinterpret_cast<const MSLLHOOKSTRUCT *>(lparam);
  SamplingRun *run = g_run;
  SpoitPanel *spoit = run ? run->magnifier : nullptr;
  // Once a release has ended the run, the hook stays installed until the
  // host's loop notices the close; everything it sees meanwhile goes on
  // down the chain untouched.
  if (code != HC_ACTION || !spoit || run->ended)
    return CallNextHookEx(run ? run->hook : nullptr, code, message, lparam);
  // Every event carries the pointer's position in physical pixels.
  if (event) {
    run->pointer = event->pt;
    run->pointer_moved = 1;
  }
  switch (message) {
    case WM_MOUSEMOVE:
      if (event) {
        sample_pixel(run, event);
        panel_set_ptr(run->panel_funcs, spoit->panel, PAN_TITLE, run->title);
      }
      break;
    // The pick's press and release are the eyedropper's alone: a nonzero
    // result keeps them from the window under the pointer, which would
    // otherwise take the click (press a button, select in a viewport).
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: run->pressed = 1; return kSwallowEvent;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
      if (!run->pressed) break;
      run->ended = 1;
      // Only a left release over a pixel that could be read takes a colour.
      const bool read = event && sample_pixel(run, event);
      if (message == WM_LBUTTONUP && read) run->accepted = 1;
      run->panel_funcs->close(spoit->panel);
      return kSwallowEvent;
    }
    default: break;
  }
  return CallNextHookEx(run->hook, code, message, lparam);
}

void CALLBACK spoit_timer_tick(HWND, UINT, UINT_PTR, DWORD) {
  SamplingRun *run = g_run;
  if (!run || !run->magnifier) return;
  // The host's thread is put back in its own context before the host is
  // called: it makes its windows on this thread.
  const DpiSwitch dpi = dpi_switch_to_physical(run->set_dpi_context);
  // Before the first hook event the system's pointer; a failed read keeps
  // the last centre (the origin at first).
  POINT cursor = {0, 0};
  if (!run->pointer_moved && GetCursorPos(&cursor)) run->pointer = cursor;
  MonitorList monitors;
  monitor_list_read(&monitors, run->desktop_window);
  spoit_panel_sample(run->magnifier, run->desktop_dc, monitors, run->pointer);
  dpi_switch_restore(dpi);
  run->panel_funcs->draw(run->magnifier->panel, DR_REFRESH);
}

// The run's start: the host's services looked up afresh, the magnifier
// made and the desktop's device context taken. Returns false, having made
// nothing, when there is no lookup or a service is missing.
static bool run_start(SamplingRun *run, int x, int y) {
  GlobalFunc *lookup = g_global_lookup;
  if (!lookup) return false;
  run->panel_funcs = static_cast<LWPanelFuncs *>(lookup(LWPANELFUNCS_GLOBAL, 0));
  run->raster_funcs = static_cast<LWRasterFuncs *>(lookup(LWRASTERFUNCS_GLOBAL, 0));
  if (!run->panel_funcs || !run->raster_funcs) return false;
  g_run = run;
  run->magnifier = spoit_panel_create(run->panel_funcs, run->raster_funcs, x, y);
  run->desktop_window = GetDesktopWindow();
  run->desktop_dc = GetWindowDC(run->desktop_window);
  run->set_dpi_context = dpi_context_function();
  return true;
}

// The modal part: the hook and the tick installed, then the magnifier's
// blocking open, which a release in the hook closes. Without a magnifier
// panel nothing could end the run, and without the hook no click could:
// either way the run ends at once, not accepted.
static void run_modal(SamplingRun *run) {
  if (run->magnifier && run->magnifier->panel)
    run->hook = SetWindowsHookExA(WH_MOUSE_LL, spoit_mouse_hook, GetModuleHandleA(nullptr), 0);
  if (!run->hook) return;
  run->timer = SetTimer(nullptr, 0, kTickMilliseconds, spoit_timer_tick);
  run->panel_funcs->open(run->magnifier->panel, PANF_BLOCKING | PANF_NOBUTT);
}

// The one exit: the tick and the hook removed, the device context released
// and the magnifier destroyed, in that order; then no run is current.
static void run_exit(SamplingRun *run) {
  if (run->hook) {
    KillTimer(nullptr, run->timer);
    UnhookWindowsHookEx(run->hook);
    run->hook = nullptr;
  }
  ReleaseDC(run->desktop_window, run->desktop_dc);
  spoit_panel_destroy(run->magnifier);
  run->magnifier = nullptr;
  g_run = nullptr;
}

int eyedropper_run(int x, int y, ColorTriple *out) {
  *out = {0, 0, 0};
  if (g_run) return 0;
  SamplingRun run = {};
  if (!run_start(&run, x, y)) return 0;
  run_modal(&run);
  run_exit(&run);
  *out = run.picked;
  return run.accepted;
}
