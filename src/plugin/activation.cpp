#include "plugin/activation.h"

#include "binding/services.h"
#include "panel/areas.h"
#include "panel/color_sync.h"
#include "panel/picker_panel.h"
#include "plugin/picker_callbacks.h"

// The title when the request gives none: the product and its version.
static const char kDefaultTitle[] = "Huevane " HUEVANE_VERSION;

PickerPanel *g_picker = nullptr;

int picker_activate(int version, GlobalFunc *global, void *local, void *) {
  if (version != LWCOLORPICK_VERSION) return AFUNC_BADVERSION;
  LWColorPickLocal *request = static_cast<LWColorPickLocal *>(local);
  if (!request) return AFUNC_BADLOCAL;
  if (!acquire_services(global)) return AFUNC_BADGLOBAL;
  if (!g_picker) g_picker = picker_create_panel(&kPickerCallbacks);
  // No panel can be shown: the host is told so and may use its own.
  if (!g_picker) return AFUNC_BADGLOBAL;
  PickerPanel *picker = g_picker;
  picker->hot_func = request->hotFunc;
  picker->hot_data = request->data;

  const char *title = request->title ? request->title : kDefaultTitle;
  panel_set_ptr(g_panel_funcs, picker->panel, PAN_TITLE, const_cast<char *>(title));
  panel_set_int(g_panel_funcs, picker->panel, PAN_X, picker->panel_x);
  panel_set_int(g_panel_funcs, picker->panel, PAN_Y, picker->panel_y);

  const float channels[3] = {request->red, request->green, request->blue};
  const ColorTriple rgb = channels_from_floats(channels);
  picker->initial_rgb = rgb;
  picker->float_rgb = rgb;
  picker->request_rgb[0] = request->red;
  picker->request_rgb[1] = request->green;
  picker->request_rgb[2] = request->blue;
  picker_show_colour(picker, rgb);
  if (picker->areas) areas_reset_routing(picker->areas);

  request->result = g_panel_funcs->open(picker->panel, PANF_BLOCKING | PANF_CANCEL);
  picker->panel_x = panel_get_int(g_panel_funcs, picker->panel, PAN_X);
  picker->panel_y = panel_get_int(g_panel_funcs, picker->panel, PAN_Y);
  if (request->result) {
    float out[3];
    picker_colour_out(picker, out);
    request->red = out[0];
    request->green = out[1];
    request->blue = out[2];
  }
  return AFUNC_OK;
}
