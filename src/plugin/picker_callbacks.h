// The picker's callbacks as the host calls them, in one table.
#pragma once

#include "panel/picker_panel.h"

// Defined at the end of picker_callbacks.cpp, beside the functions it names;
// picker construction registers them from it.
extern const PickerCallbacks kPickerCallbacks;
