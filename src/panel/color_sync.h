// The two update paths through which every colour change propagates.
#pragma once

#include <stddef.h>

#include "abi/host_api.h"
#include "color/color.h"

struct PickerPanel;
struct ParsedColor;

void apply_rgb_change(PickerPanel *picker);
void apply_hsv_change(PickerPanel *picker);
// Makes `rgb` the current colour: into the RGB editor, both gradients
// repainted in full, then the RGB path (a new request, a sampled colour).
void picker_show_colour(PickerPanel *picker, ColorTriple rgb);
// An editor's edit: its value is read back from the control and taken
// through the matching path. A null control changes nothing.
void picker_read_rgb_editor(PickerPanel *picker, LWControl *control);
void picker_read_hsv_editor(PickerPanel *picker, LWControl *control);
// The current colour as the host gets it: a channel whose int is still the
// one its request float came in as is that float, any other is int / 255.
void picker_colour_out(const PickerPanel *picker, float out[3]);
// A colour from the clipboard, as one RGB edit: editors, gradients, swatch
// and one hot callback. Pasted floats become the channels' kept floats.
void picker_paste(PickerPanel *picker, const ParsedColor &pasted);
// The current colour as clipboard text (format_color_text) into buf, at
// least kColorTextBufferBytes; returns its length.
size_t picker_copy_text(const PickerPanel *picker, char *buf);
