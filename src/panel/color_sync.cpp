#include "panel/color_sync.h"

#include "binding/services.h"
#include "color/color_text.h"
#include "panel/areas.h"
#include "panel/picker_panel.h"

void picker_colour_out(const PickerPanel *picker, float out[3]) {
  const int32_t current[3] = {picker->current_rgb.a, picker->current_rgb.b, picker->current_rgb.c};
  const int32_t loaded[3] = {picker->float_rgb.a, picker->float_rgb.b, picker->float_rgb.c};
  for (int i = 0; i < 3; ++i)
    out[i] = current[i] == loaded[i] ? picker->request_rgb[i] : channel_to_float(current[i]);
}

// Clears the notice, repaints every area into its raster, blits the
// rasters, draws the current-colour box (when there is a swatch), then reports the colour to
// the host, in that order.
static void refresh(PickerPanel *picker) {
  picker_show_notice(picker, nullptr);  // a change answers the last refusal
  if (picker->areas) {
    areas_draw_pass(picker->areas);
    areas_blit_pass(picker->areas);
  }
  const ColorTriple &rgb = picker->current_rgb;
  // Without its control the swatch has no place: its inner position would
  // read as 0, 0, on top of the field.
  if (picker->swatch) {
    const int x = control_get_int(picker->swatch, CTL_HOTX);
    const int y = control_get_int(picker->swatch, CTL_HOTY);
    g_panel_funcs->drawFuncs->drawRGBBox(picker->panel, rgb.a, rgb.b, rgb.c, x, y, kSwatchBoxWidth,
                                         kSwatchBoxHeight);
  }
  if (picker->hot_func) {
    float out[3];
    picker_colour_out(picker, out);
    picker->hot_func(picker->hot_data, out[0], out[1], out[2]);
  }
}

void apply_rgb_change(PickerPanel *picker) {
  rgb_to_hsv(&picker->current_rgb, &picker->current_hsv);
  const ColorTriple &hsv = picker->current_hsv;
  control_set_triple(picker->hsv_editor, CTL_VALUE, hsv.a, hsv.b, hsv.c);
  refresh(picker);
}

void apply_hsv_change(PickerPanel *picker) {
  hsv_to_rgb(&picker->current_rgb, &picker->current_hsv);
  const ColorTriple &rgb = picker->current_rgb;
  control_set_triple(picker->rgb_editor, CTL_VALUE, rgb.a, rgb.b, rgb.c);
  refresh(picker);
}

// A new RGB colour repaints both gradients in full.
static void take_rgb(PickerPanel *picker, ColorTriple rgb) {
  picker->current_rgb = rgb;
  picker->gradient->field_repaint_all = 1;
  picker->gradient->strip_repaint_all = 1;
  apply_rgb_change(picker);
}

void picker_show_colour(PickerPanel *picker, ColorTriple rgb) {
  control_set_triple(picker->rgb_editor, CTL_VALUE, rgb.a, rgb.b, rgb.c);
  take_rgb(picker, rgb);
}

// An edit whose other editor would need a number beyond an int (typed
// values far outside 0..255) is not taken: the edited editor goes back to
// the current colour and the notice says why; nothing else changes.
static void refuse_edit(PickerPanel *picker, LWControl *control, const ColorTriple &now) {
  control_set_triple(control, CTL_VALUE, now.a, now.b, now.c);
  picker_show_notice(picker, kEditBeyondNotice);
}

void picker_read_rgb_editor(PickerPanel *picker, LWControl *control) {
  if (!control_get_triple(control, CTL_VALUE)) return;
  const ColorTriple rgb = {g_ivec_value.ivec.val[0], g_ivec_value.ivec.val[1],
                           g_ivec_value.ivec.val[2]};
  if (!saturation_fits(&rgb)) return refuse_edit(picker, control, picker->current_rgb);
  take_rgb(picker, rgb);
}

void picker_read_hsv_editor(PickerPanel *picker, LWControl *control) {
  if (!control_get_triple(control, CTL_VALUE)) return;
  const ColorTriple hsv = {g_ivec_value.ivec.val[0], g_ivec_value.ivec.val[1],
                           g_ivec_value.ivec.val[2]};
  if (!hsv_products_fit(&hsv)) return refuse_edit(picker, control, picker->current_hsv);
  picker->current_hsv = hsv;
  picker->gradient->strip_repaint_all = 1;
  apply_hsv_change(picker);
}

void picker_paste(PickerPanel *picker, const ParsedColor &pasted) {
  // Pasted floats are kept as the request's are: bit for bit while their
  // channel stays at the int they load as.
  if (pasted.uses_floats) {
    for (int i = 0; i < 3; ++i) picker->request_rgb[i] = pasted.channel[i];
    picker->float_rgb = {pasted.rgb[0], pasted.rgb[1], pasted.rgb[2]};
  }
  picker_show_colour(picker, {pasted.rgb[0], pasted.rgb[1], pasted.rgb[2]});
}

size_t picker_copy_text(const PickerPanel *picker, char *buf) {
  float out[3];
  picker_colour_out(picker, out);
  const int32_t rgb[3] = {picker->current_rgb.a, picker->current_rgb.b, picker->current_rgb.c};
  return format_color_text(rgb, out, buf);
}
