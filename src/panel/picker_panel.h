// The picker's state record, its construction and layout, and its drawing.
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
  AreaSet *areas;
  LWHotColorFunc *hot_func;
  void *hot_data;
  ColorTriple initial_rgb;  // the request's channels as ints, as they came in
  ColorTriple current_rgb;
  // The request's own channels, or a paste's floats. A channel whose
  // current int is still the one its float loaded as (float_rgb) goes back
  // to the host as this float, bit for bit, so that a colour nobody changed
  // comes back as it went in.
  float request_rgb[3];
  ColorTriple float_rgb;  // the ints request_rgb loaded as
  ColorTriple current_hsv;
  GradientState *gradient;
  int32_t field_marker_x;
  int32_t field_marker_y;
  int32_t panel_x;
  int32_t panel_y;
  // A line under the editors saying why the last action did nothing (a
  // refused paste); null when there is none. Static text.
  const char *notice;
};

constexpr int kPickerWidth = 304;
constexpr int kPickerHeight = 340;
constexpr int kSwatchBoxWidth = 48;
constexpr int kSwatchBoxHeight = 30;

// The callbacks the picker hands the host: one table, defined beside the
// functions it names (plugin/picker_callbacks.cpp). Construction registers
// them from it.
struct PickerCallbacks {
  LWPanDrawFunc *draw;                // PAN_USERDRAW (7)
  LWPanKeyFunc *key_down;             // PAN_USERKEYS (13)
  LWPanMouseFunc *mouse_button;       // PAN_MOUSEBUTTON (15)
  LWPanMouseFunc *mouse_move;         // PAN_MOUSEMOVE (16)
  LWPanKeyFunc *key_up;               // PAN_USERKEYUPS (21)
  LWCtlEventFunc *eyedropper_button;  // CTL_USEREVENT of the eyedropper button
  LWCtlEventFunc *hsv_editor;         // CTL_USEREVENT of the HSV editor
  LWCtlEventFunc *rgb_editor;         // CTL_USEREVENT of the RGB editor
};

// Builds the panel, its controls and areas, registering `callbacks`.
// Returns null when any part cannot be had (an allocation, the panel, a
// control or a raster), having released every part it did get.
PickerPanel *picker_create_panel(const PickerCallbacks *callbacks);
// Releases everything the picker holds: its rasters and area arrays, its
// panel with the controls on it, its ramp, and the record. Null does nothing.
void picker_destroy_panel(PickerPanel *picker);
// The panel's own drawing: the swatch pair, the frames of the field and the
// strip, and (but in mode DR_ERASE) the areas' rasters.
void picker_draw(PickerPanel *picker, int mode);

// Where the notice goes: the strip under the RGB editor, left of the swatch.
constexpr int kNoticeX = 4;
constexpr int kNoticeY = 326;
constexpr int kNoticeWidth = 208;
constexpr int kNoticeHeight = 14;

// The notice for an editor edit that is not taken.
constexpr const char kEditBeyondNotice[] = "Not taken: value too large";

// Shows `text` (static; null clears) as the picker's notice, at once.
void picker_show_notice(PickerPanel *picker, const char *text);

// Centred position for a panel of the given size: floor of half the
// difference, also when it is negative.
int centre_offset(int display_extent, int panel_extent);
