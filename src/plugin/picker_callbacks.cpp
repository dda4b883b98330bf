// Every callback the picker hands the host, and at the end the table they
// are registered from. Each one checks its user data (the picker) and hands
// the event to the panel or, for the eyedropper's triggers, starts a
// sampling run and gives the panel the colour it took.
#include "plugin/picker_callbacks.h"

#include "binding/services.h"
#include "color/color_text.h"
#include "eyedropper/eyedropper.h"
#include "panel/areas.h"
#include "panel/color_sync.h"
#include "win32/clipboard.h"

// The magnifier opens this far right of and below the picker's corner.
constexpr int kMagnifierOffset = 100;

// A pick from the picker is under way: the run and the picker's update
// after it. Triggers meanwhile are ignored: runs never nest.
static bool g_picking = false;

// Runs the eyedropper; an accepted colour becomes the picker's. Either way
// the picker is raised afterwards.
static void pick_from_screen(PickerPanel *picker) {
  if (g_picking) return;
  g_picking = true;
  ColorTriple picked = {0, 0, 0};
  if (eyedropper_run(wrap_add(picker->panel_x, kMagnifierOffset),
                     wrap_add(picker->panel_y, kMagnifierOffset), &picked))
    picker_show_colour(picker, picked);
  panel_set_ptr(g_panel_funcs, picker->panel, PAN_TO_FRONT, nullptr);
  g_picking = false;
}

static void on_draw(LWPanelID, void *user_data, int mode) {
  if (user_data) picker_draw(static_cast<PickerPanel *>(user_data), mode);
}

// The control characters a host may hand for Ctrl+C and Ctrl+V.
constexpr LWDualKey kCtrlC = 3;
constexpr LWDualKey kCtrlV = 22;

// Ctrl is down when any one says so: the host's qualifiers (panel tag 22),
// or the system's key state.
static bool ctrl_down(const PickerPanel *picker) {
  return (panel_get_int(g_panel_funcs, picker->panel, PAN_QUALIFIERS) & IQ_CTRL) != 0 ||
         ctrl_key_down();
}

// The current colour onto the clipboard as text; a beep when the
// clipboard would not take it.
static void copy_colour(const PickerPanel *picker) {
  char text[kColorTextBufferBytes];
  const size_t size = picker_copy_text(picker, text);
  if (!clipboard_put_text(text, size)) refusal_beep();
}

// Why a paste was refused, as the picker's notice says it.
static const char *refusal_text(ColorTextRead read) {
  switch (read) {
    case ColorTextRead::kBeyondEditors: return "Not pasted: value too large";
    case ColorTextRead::kNotAColour: break;
    case ColorTextRead::kOk: break;
  }
  return "Not pasted: not a colour";
}

// The clipboard's text, when it reads as a colour, becomes the picker's;
// anything else changes nothing but for a beep and a notice of why.
static void paste_colour(PickerPanel *picker) {
  char text[kColorTextMaxBytes + 1];
  const long size = clipboard_get_text(text, sizeof text);
  ParsedColor pasted;
  const ColorTextRead read = size >= 0 ? parse_color_text(text, static_cast<size_t>(size), &pasted)
                                       : ColorTextRead::kNotAColour;
  if (read == ColorTextRead::kOk) {
    picker_paste(picker, pasted);
    return;
  }
  refusal_beep();
  picker_show_notice(picker, refusal_text(read));
}

// Ctrl+C and Ctrl+V act on their press, as they do everywhere on Windows;
// other keys act on their release.
static int on_key_down(LWPanelID, void *user_data, LWDualKey key) {
  PickerPanel *picker = static_cast<PickerPanel *>(user_data);
  if (!picker) return 0;
  const bool c = key == 'c' || key == 'C';
  const bool v = key == 'v' || key == 'V';
  if (key == kCtrlC || (c && ctrl_down(picker)))
    copy_colour(picker);
  else if (key == kCtrlV || (v && ctrl_down(picker)))
    paste_colour(picker);
  return 0;
}

// Button and move events alike go to the area router.
static void on_mouse(LWPanelID panel, void *user_data, int flags, int x, int y) {
  PickerPanel *picker = static_cast<PickerPanel *>(user_data);
  if (picker) areas_route_mouse(panel, picker->areas, flags, x, y);
}

// S starts the eyedropper when its key is released.
static int on_key_up(LWPanelID, void *user_data, LWDualKey key) {
  if ((key != 'S' && key != 's') || !user_data) return 0;
  pick_from_screen(static_cast<PickerPanel *>(user_data));
  return 0;
}

static void on_eyedropper_button(LWControl *, void *user_data) {
  if (user_data) pick_from_screen(static_cast<PickerPanel *>(user_data));
}

static void on_hsv_editor(LWControl *control, void *user_data) {
  if (user_data) picker_read_hsv_editor(static_cast<PickerPanel *>(user_data), control);
}

static void on_rgb_editor(LWControl *control, void *user_data) {
  if (user_data) picker_read_rgb_editor(static_cast<PickerPanel *>(user_data), control);
}

// Each slot by name: the compiler checks that every function goes where its
// name says and that the slots come in the record's order.
const PickerCallbacks kPickerCallbacks = {
    .draw = on_draw,
    .key_down = on_key_down,
    .mouse_button = on_mouse,
    .mouse_move = on_mouse,
    .key_up = on_key_up,
    .eyedropper_button = on_eyedropper_button,
    .hsv_editor = on_hsv_editor,
    .rgb_editor = on_rgb_editor,
};
