#include "panel/picker_panel.h"

#include <stdlib.h>

#include "base/alloc.h"
#include "binding/services.h"
#include "panel/areas.h"
#include "panel/field_strip.h"

// Shared by every control add; only the fields named at each step are
// written, so the mini editors inherit the button's width and height.
static LWPanControlDesc g_control_desc = {LWT_NULL};

static const char kEyedropperLabel[] = "\x03(i:MIMG_ZOOM)";

int centre_offset(int display_extent, int panel_extent) {
  // Arithmetic shift: floor of half the difference. Computed in 64 bits so
  // that no display size can overflow.
  const long long diff = static_cast<long long>(display_extent) - panel_extent;
  const long long half = diff >= 0 ? diff / 2 : -((-diff + 1) / 2);
  return static_cast<int>(half);
}

// Places a control at target_x (corrected by the control's own geometry)
// and target_y, and hands it the picker and its event callback.
static void place_control(LWControl *control, PickerPanel *picker, int target_x, int target_y,
                          LWCtlEventFunc *callback) {
  if (!control) return;
  const int width = control_get_int(control, CTL_W);
  control_get_int(control, CTL_H);
  const int hot_x = control_get_int(control, CTL_HOTW);
  control_get_int(control, CTL_HOTH);
  control_set_int(control, CTL_X, wrap_add(wrap_sub(hot_x, width), target_x));
  control_set_int(control, CTL_Y, target_y);
  control_set_ptr(control, CTL_USERDATA, picker);
  control_set_ptr(control, CTL_USEREVENT, callback_ptr(callback));
}

static LWControl *add_control(LWPanelID panel, const char *type_name, const char *label) {
  return g_panel_funcs->addControl(panel, const_cast<char *>(type_name), &g_control_desc,
                                   const_cast<char *>(label));
}

void picker_destroy_panel(PickerPanel *picker) {
  if (!picker) return;
  areas_destroy(picker->areas);
  // The panel owns its controls: destroying it releases them too.
  if (picker->panel) g_panel_funcs->destroy(picker->panel);
  if (picker->gradient) {
    free(picker->gradient->red_ramp);
    free(picker->gradient->green_ramp);
    free(picker->gradient->blue_ramp);
    free(picker->gradient);
  }
  free(picker);
}

// Whether construction got every part: the ramp, the panel, each control,
// the area set with all its rasters.
static bool picker_is_whole(const PickerPanel *picker) {
  return picker->gradient && picker->panel && picker->swatch && picker->eyedropper_button &&
         picker->rgb_editor && picker->hsv_editor &&
         areas_complete(picker->areas, kPickerAreaTable);
}

PickerPanel *picker_create_panel(const PickerCallbacks *callbacks) {
  if (!g_panel_funcs || !g_raster_funcs) return nullptr;
  PickerPanel *picker = static_cast<PickerPanel *>(plugin_calloc(1, sizeof(PickerPanel)));
  if (!picker) return nullptr;
  picker->gradient = gradient_create();
  if (picker->gradient)
    picker->panel = g_panel_funcs->create(const_cast<char *>(""), g_panel_funcs);
  const LWPanelID panel = picker->panel;
  if (panel) {
    AreaSet *set = static_cast<AreaSet *>(plugin_calloc(1, sizeof(AreaSet)));
    if (set) picker->areas = areas_create(panel, picker, set, kPickerAreaTable);

    g_control_desc.area.type = LWT_AREA;
    g_control_desc.area.width = kSwatchBoxWidth;
    g_control_desc.area.height = 2 * kSwatchBoxHeight;
    picker->swatch = add_control(panel, "CanvasControl", "");
    g_control_desc.area.type = LWT_AREA;
    g_control_desc.area.width = 22;
    g_control_desc.area.height = 0;
    picker->eyedropper_button = add_control(panel, "ButtonControl", kEyedropperLabel);
    g_control_desc.type = LWT_VINT;
    picker->rgb_editor = add_control(panel, "MiniRGBControl", "");
    g_control_desc.type = LWT_VINT;
    picker->hsv_editor = add_control(panel, "MiniHSVControl", "");
  }
  // A picker missing any part would stay that way for the rest of the
  // process (it is built once): everything it got is released instead, and
  // the next request builds it afresh.
  if (!picker_is_whole(picker)) {
    picker_destroy_panel(picker);
    return nullptr;
  }

  place_control(picker->swatch, picker, 216, 268, nullptr);
  place_control(picker->eyedropper_button, picker, 272, 288, callbacks->eyedropper_button);
  place_control(picker->hsv_editor, picker, -28, 268, callbacks->hsv_editor);
  place_control(picker->rgb_editor, picker, -28, 298, callbacks->rgb_editor);

  panel_set_ptr(g_panel_funcs, panel, PAN_USERDATA, picker);
  panel_set_ptr(g_panel_funcs, panel, PAN_USERDRAW, callback_ptr(callbacks->draw));
  panel_set_ptr(g_panel_funcs, panel, PAN_MOUSEBUTTON, callback_ptr(callbacks->mouse_button));
  panel_set_ptr(g_panel_funcs, panel, PAN_MOUSEMOVE, callback_ptr(callbacks->mouse_move));
  panel_set_ptr(g_panel_funcs, panel, PAN_USERKEYS, callback_ptr(callbacks->key_down));
  panel_set_ptr(g_panel_funcs, panel, PAN_USERKEYUPS, callback_ptr(callbacks->key_up));
  panel_set_int(g_panel_funcs, panel, PAN_W, kPickerWidth);
  panel_set_int(g_panel_funcs, panel, PAN_H, kPickerHeight);

  const LWDisplayMetrics *metrics =
      g_panel_funcs->drawFuncs->dispMetrics ? g_panel_funcs->drawFuncs->dispMetrics() : nullptr;
  if (metrics) {
    picker->panel_x = centre_offset(metrics->width, kPickerWidth);
    picker->panel_y = centre_offset(metrics->height, kPickerHeight);
  }

  areas_init_pass(picker->areas);
  return picker;
}

void picker_draw(PickerPanel *picker, int mode) {
  // The swatch pair goes where the swatch control is; without one it has
  // no place on the panel.
  if (picker->swatch) {
    const int x = control_get_int(picker->swatch, CTL_HOTX);
    const int y = control_get_int(picker->swatch, CTL_HOTY);
    const ColorTriple &cur = picker->current_rgb;
    const ColorTriple &ini = picker->initial_rgb;
    g_panel_funcs->drawFuncs->drawRGBBox(picker->panel, cur.a, cur.b, cur.c, x, y, kSwatchBoxWidth,
                                         kSwatchBoxHeight);
    g_panel_funcs->drawFuncs->drawRGBBox(picker->panel, ini.a, ini.b, ini.c, x,
                                         wrap_add(y, kSwatchBoxHeight), kSwatchBoxWidth,
                                         kSwatchBoxHeight);
  }
  g_panel_funcs->drawFuncs->drawBorder(picker->panel, 1, 3, 7, 258, 258);
  g_panel_funcs->drawFuncs->drawBorder(picker->panel, 1, 267, 7, 24, 258);
  if (picker->notice && g_panel_funcs->drawFuncs->drawText)
    g_panel_funcs->drawFuncs->drawText(picker->panel, const_cast<char *>(picker->notice),
                                       LWP_NORMAL, kNoticeX, kNoticeY);
  if (!picker->areas || mode == DR_ERASE) return;
  areas_blit_pass(picker->areas);
}

void picker_show_notice(PickerPanel *picker, const char *text) {
  if (!picker->notice && !text) return;
  picker->notice = text;
  const DrawFuncs *draw = g_panel_funcs->drawFuncs;
  if (draw->drawBox)
    draw->drawBox(picker->panel, LWP_BG, kNoticeX, kNoticeY, kNoticeWidth, kNoticeHeight);
  if (text && draw->drawText)
    draw->drawText(picker->panel, const_cast<char *>(text), LWP_NORMAL, kNoticeX, kNoticeY);
}
