#include "panel/picker_panel.h"

#include <stdlib.h>

#include "eyedropper/eyedropper.h"
#include "panel/areas.h"
#include "panel/color_sync.h"
#include "panel/field_strip.h"
#include "plugin/alloc.h"
#include "plugin/services.h"

PickerPanel *g_picker = nullptr;

// Shared by every control add; only the fields named at each step are
// written, so the mini editors inherit the button's width and height.
static ControlDesc g_control_desc = {0, 0, 0};

static const char kEyedropperLabel[] = "\x03(i:MIMG_ZOOM)";

int centre_offset(int display_extent, int panel_extent) {
  // Arithmetic shift: floor of half the difference. Computed in 64 bits so
  // that no display size can overflow.
  const long long diff = static_cast<long long>(display_extent) - panel_extent;
  const long long half = diff >= 0 ? diff / 2 : -((-diff + 1) / 2);
  return static_cast<int>(half);
}

void picker_empty_callback(PanelID, void *) {}

void place_control(HostControl *control, PickerPanel *picker, int target_x, int target_y,
                   ControlEventFunc callback) {
  if (!control) return;
  const int width = control_get_int(control, CTL_W);
  control_get_int(control, CTL_H);
  const int hot_x = control_get_int(control, CTL_HOTX);
  control_get_int(control, CTL_HOTY);
  control_set_int(control, CTL_X, wrap_add(wrap_sub(hot_x, width), target_x));
  control_set_int(control, CTL_Y, target_y);
  control_set_ptr(control, CTL_USER_DATA, picker);
  control_set_ptr(control, CTL_EVENT_FUNC, callback_ptr(callback));
}

static HostControl *add_control(PanelID panel, const char *type_name, const char *label) {
  return g_panel_funcs->add_control(panel, type_name, &g_control_desc, label);
}

PickerPanel *picker_create_panel(void) {
  if (!g_panel_funcs || !g_raster_funcs) return nullptr;
  PickerPanel *picker = static_cast<PickerPanel *>(plugin_calloc(1, sizeof(PickerPanel)));
  if (!picker) return nullptr;
  picker->gradient = gradient_create();
  if (picker->gradient) picker->panel = g_panel_funcs->create("", g_panel_funcs);
  if (!picker->gradient || !picker->panel) {
    // Without its ramp or its panel the picker cannot work; give up now so
    // the next request can try again.
    if (picker->gradient) {
      free(picker->gradient->red_ramp);
      free(picker->gradient->green_ramp);
      free(picker->gradient->blue_ramp);
      free(picker->gradient);
    }
    free(picker);
    return nullptr;
  }
  const PanelID panel = picker->panel;

  AreaSet *set = static_cast<AreaSet *>(plugin_calloc(1, sizeof(AreaSet)));
  picker->areas = set ? areas_create(panel, picker, set, kPickerAreaTable) : nullptr;

  g_control_desc.type = CTL_TYPE_DRAWN;
  g_control_desc.width = kSwatchBoxWidth;
  g_control_desc.height = 2 * kSwatchBoxHeight;
  picker->swatch = add_control(panel, "CanvasControl", "");
  g_control_desc.type = CTL_TYPE_DRAWN;
  g_control_desc.width = 22;
  g_control_desc.height = 0;
  picker->eyedropper_button = add_control(panel, "ButtonControl", kEyedropperLabel);
  g_control_desc.type = CTL_TYPE_EDITOR;
  picker->rgb_editor = add_control(panel, "MiniRGBControl", "");
  g_control_desc.type = CTL_TYPE_EDITOR;
  picker->hsv_editor = add_control(panel, "MiniHSVControl", "");

  place_control(picker->swatch, picker, 216, 268, nullptr);
  place_control(picker->eyedropper_button, picker, 272, 288, eyedropper_button_callback);
  place_control(picker->hsv_editor, picker, -28, 268, hsv_editor_changed);
  place_control(picker->rgb_editor, picker, -28, 298, rgb_editor_changed);

  panel_set_ptr(g_panel_funcs, panel, PAN_USER_DATA, picker);
  panel_set_ptr(g_panel_funcs, panel, PAN_DRAW_FUNC, callback_ptr(picker_draw_callback));
  panel_set_ptr(g_panel_funcs, panel, PAN_MOUSE_BUTTON_FUNC, callback_ptr(picker_mouse_callback));
  panel_set_ptr(g_panel_funcs, panel, PAN_MOUSE_MOVE_FUNC, callback_ptr(picker_mouse_callback));
  panel_set_ptr(g_panel_funcs, panel, PAN_NOTIFY_FUNC, callback_ptr(picker_empty_callback));
  panel_set_ptr(g_panel_funcs, panel, PAN_KEY_FUNC, callback_ptr(picker_key_callback));
  panel_set_int(g_panel_funcs, panel, PAN_W, kPickerWidth);
  panel_set_int(g_panel_funcs, panel, PAN_H, kPickerHeight);

  const int *metrics = g_panel_funcs->display_metrics();
  if (metrics) {
    picker->panel_x = centre_offset(metrics[0], kPickerWidth);
    picker->panel_y = centre_offset(metrics[1], kPickerHeight);
  }

  if (picker->areas) areas_init_pass(picker->areas);
  return picker;
}

void picker_draw_callback(PanelID, void *user_data, int mode) {
  PickerPanel *picker = static_cast<PickerPanel *>(user_data);
  if (!picker) return;
  // The swatch pair goes where the swatch control is; without one it has
  // no place on the panel.
  if (picker->swatch) {
    const int x = control_get_int(picker->swatch, CTL_INNER_X);
    const int y = control_get_int(picker->swatch, CTL_INNER_Y);
    const ColorTriple &cur = picker->current_rgb;
    const ColorTriple &ini = picker->initial_rgb;
    g_panel_funcs->draw_rgb_box(picker->panel, cur.a, cur.b, cur.c, x, y, kSwatchBoxWidth,
                                kSwatchBoxHeight);
    g_panel_funcs->draw_rgb_box(picker->panel, ini.a, ini.b, ini.c, x,
                                wrap_add(y, kSwatchBoxHeight), kSwatchBoxWidth, kSwatchBoxHeight);
  }
  g_panel_funcs->draw_border(picker->panel, 1, 3, 7, 258, 258);
  g_panel_funcs->draw_border(picker->panel, 1, 267, 7, 24, 258);
  if (!picker->areas || mode == DRAW_MODE_NONE) return;
  areas_blit_pass(picker->areas);
}
