// The two update paths through which every colour change propagates.
#pragma once

#include "abi/host_api.h"

struct PickerPanel;

void apply_rgb_change(PickerPanel *picker);
void apply_hsv_change(PickerPanel *picker);
void rgb_editor_changed(LWControl *control, void *user_data);
void hsv_editor_changed(LWControl *control, void *user_data);
