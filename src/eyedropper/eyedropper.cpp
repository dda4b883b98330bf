#include "eyedropper/eyedropper.h"

#include <stdio.h>
#include <stdlib.h>

#include "eyedropper/spoit_panel.h"
#include "panel/color_sync.h"
#include "panel/picker_panel.h"
#include "plugin/services.h"

constexpr int kLowLevelMouseHook = 14;  // WH_MOUSE_LL
constexpr UINT kTickMilliseconds = 100;
constexpr int kMagnifierOffset = 100;
constexpr LRESULT kSwallowEvent = 1;
static const char kUnreadableReadout[] = "---,---,---";

static void destroy_magnifier(void) {
  SpoitPanel *spoit = g_sampling.magnifier;
  if (!spoit) return;
  if (spoit->panel) g_sampling.panel_funcs->destroy(spoit->panel);
  if (spoit->raster) g_sampling.raster_funcs->destroy(spoit->raster);
  free(spoit);
  g_sampling.magnifier = nullptr;
}

// Reads the pixel under the event into the picked colour and its readout
// into the title buffer. A pixel that cannot be read (GetPixel's failure
// value: off the desktop, a secure desktop, a display the context does not
// reach) is no colour: the picked colour stays and the readout says so.
static bool sample_pixel(const MSLLHOOKSTRUCT *event) {
  const COLORREF pixel = GetPixel(g_sampling.desktop_dc, event->pt.x, event->pt.y);
  if (pixel == CLR_INVALID) {
    snprintf(g_sampling.title, sizeof g_sampling.title, "%s", kUnreadableReadout);
    return false;
  }
  g_sampling.picked = colorref_split(pixel);
  const ColorTriple &c = g_sampling.picked;
  snprintf(g_sampling.title, sizeof g_sampling.title, "%3d,%3d,%3d", static_cast<int>(c.a),
           static_cast<int>(c.b), static_cast<int>(c.c));
  return true;
}

LRESULT CALLBACK spoit_mouse_hook(int code, WPARAM message, LPARAM lparam) {
  const MSLLHOOKSTRUCT *event = reinterpret_cast<const MSLLHOOKSTRUCT *>(lparam);
  SpoitPanel *spoit = g_sampling.magnifier;
  // Once a release has ended the run, the hook stays installed until the
  // host's loop notices the close; everything it sees meanwhile goes on
  // down the chain untouched.
  if (code != HC_ACTION || !spoit || g_sampling.ended)
    return CallNextHookEx(g_sampling.hook, code, message, lparam);
  switch (message) {
    case WM_MOUSEMOVE:
      if (event) {
        sample_pixel(event);
        panel_set_ptr(g_sampling.panel_funcs, spoit->panel, PAN_TITLE, g_sampling.title);
      }
      break;
    // The pick's press and release are the eyedropper's alone: a nonzero
    // result keeps them from the window under the pointer, which would
    // otherwise take the click (press a button, select in a viewport).
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: g_sampling.pressed = 1; return kSwallowEvent;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
      if (!g_sampling.pressed) break;
      g_sampling.ended = 1;
      // Only a left release over a pixel that could be read takes a colour.
      const bool read = event && sample_pixel(event);
      if (message == WM_LBUTTONUP && read) g_sampling.accepted = 1;
      g_sampling.panel_funcs->close(spoit->panel);
      return kSwallowEvent;
    }
    default: break;
  }
  return CallNextHookEx(g_sampling.hook, code, message, lparam);
}

int eyedropper_run(GlobalFunc *, int x, int y, ColorTriple *out) {
  g_sampling.lookup = g_global_lookup;
  g_sampling.picked = {0, 0, 0};
  g_sampling.accepted = 0;
  if (!g_sampling.lookup) {
    *out = g_sampling.picked;
    return 0;
  }
  g_sampling.panel_funcs = static_cast<LWPanelFuncs *>(g_sampling.lookup(LWPANELFUNCS_GLOBAL, 0));
  g_sampling.raster_funcs =
      static_cast<LWRasterFuncs *>(g_sampling.lookup(LWRASTERFUNCS_GLOBAL, 0));
  if (!g_sampling.panel_funcs || !g_sampling.raster_funcs) {
    *out = g_sampling.picked;
    return 0;
  }
  if (!g_sampling.magnifier) g_sampling.magnifier = spoit_panel_create(x, y);
  g_sampling.pressed = 0;
  g_sampling.ended = 0;
  g_sampling.desktop_window = GetDesktopWindow();
  g_sampling.desktop_dc = GetWindowDC(g_sampling.desktop_window);
  GetWindowRect(g_sampling.desktop_window, &g_sampling.desktop_rect);
  g_sampling.hook = nullptr;
  // Without a magnifier panel nothing could end the run; without the hook no
  // click could. Either way the run ends at once, not accepted.
  if (g_sampling.magnifier && g_sampling.magnifier->panel)
    g_sampling.hook =
        SetWindowsHookExA(kLowLevelMouseHook, spoit_mouse_hook, GetModuleHandleA(nullptr), 0);
  if (g_sampling.hook) {
    const UINT_PTR timer = SetTimer(nullptr, 0, kTickMilliseconds, spoit_timer_tick);
    g_sampling.picked = {0, 0, 0};
    g_sampling.accepted = 0;
    g_sampling.panel_funcs->open(g_sampling.magnifier->panel, PANF_BLOCKING | PANF_NOBUTT);
    KillTimer(nullptr, timer);
    UnhookWindowsHookEx(g_sampling.hook);
    g_sampling.hook = nullptr;
  }
  ReleaseDC(g_sampling.desktop_window, g_sampling.desktop_dc);
  destroy_magnifier();
  *out = g_sampling.picked;
  return g_sampling.accepted;
}

static void run_trigger(PickerPanel *picker) {
  if (g_sampling.running) return;  // runs never nest
  g_sampling.running = 1;
  ColorTriple picked = {0, 0, 0};
  const int accepted = eyedropper_run(g_global_lookup, wrap_add(picker->panel_x, kMagnifierOffset),
                                      wrap_add(picker->panel_y, kMagnifierOffset), &picked);
  if (accepted) {
    picker->current_rgb = picked;
    control_set_triple(picker->rgb_editor, CTL_VALUE, picked.a, picked.b, picked.c);
    picker->gradient->field_repaint_all = 1;
    picker->gradient->strip_repaint_all = 1;
    apply_rgb_change(picker);
  }
  panel_set_ptr(g_panel_funcs, picker->panel, PAN_TO_FRONT, nullptr);
  g_sampling.running = 0;
}

int picker_key_callback(LWPanelID, void *user_data, LWDualKey key) {
  if ((key != 'S' && key != 's') || !user_data) return 0;
  run_trigger(static_cast<PickerPanel *>(user_data));
  return 0;
}

void eyedropper_button_callback(LWControl *, void *user_data) {
  if (!user_data) return;
  run_trigger(static_cast<PickerPanel *>(user_data));
}
