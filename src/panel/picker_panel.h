// The picker's state record, its construction and layout, and the panel's
// draw callback.
#pragma once

#include "abi/host_api.h"
#include "color/color.h"

struct AreaSet;

struct PickerPanel {
  LWPanelID panel;
  LWControl *rgb_editor;
  LWControl *hsv_editor;
  LWControl *swatch;
  LWControl *eyedropper_button;
  AreaSet *areas;  // null when its allocation failed
  LWHotColorFunc *hot_func;
  void *hot_data;
  ColorTriple initial_rgb;
  ColorTriple current_rgb;
  ColorTriple current_hsv;
  GradientState *gradient;
  int32_t field_marker_x;
  int32_t field_marker_y;
  int32_t panel_x;
  int32_t panel_y;
};

constexpr int kPickerWidth = 304;
constexpr int kPickerHeight = 340;
constexpr int kSwatchBoxWidth = 48;
constexpr int kSwatchBoxHeight = 30;

// Returns null only when the record itself cannot be allocated.
PickerPanel *picker_create_panel(void);
void place_control(LWControl *control, PickerPanel *picker, int target_x, int target_y,
                   LWCtlEventFunc *callback);
void picker_draw_callback(LWPanelID panel, void *user_data, int mode);
// The key-down callback: keys act on their release (picker_key_callback).
int picker_empty_callback(LWPanelID panel, void *user_data, LWDualKey key);

// Centred position for a panel of the given size: floor of half the
// difference, also when it is negative.
int centre_offset(int display_extent, int panel_extent);

// The one picker of the process; null until the first activation.
extern PickerPanel *g_picker;
