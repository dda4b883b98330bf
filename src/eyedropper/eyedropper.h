// Screen eyedropper: a modal sampling run with a desktop-wide mouse hook.
#pragma once

#include "abi/host_api.h"
#include "color/color.h"
#include "eyedropper/win32.h"

// The key-up callback: S starts the eyedropper when its key is released.
int picker_key_callback(LWPanelID panel, void *user_data, LWDualKey key);
void eyedropper_button_callback(LWControl *control, void *user_data);
int eyedropper_run(GlobalFunc *lookup, int x, int y, ColorTriple *out);
LRESULT CALLBACK spoit_mouse_hook(int code, WPARAM message, LPARAM event);
