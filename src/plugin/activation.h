// The host's entry into the plug-in.
#pragma once

#include "abi/host_api.h"

struct PickerPanel;

// Serves one colour request. Results: AFUNC_OK when the panel was shown
// (the request's result says whether the user accepted), AFUNC_BADVERSION
// for a class version other than 4, AFUNC_BADLOCAL for a null request and
// AFUNC_BADGLOBAL when the host's panel or raster services are missing or
// the picker cannot be built; on those three the request is left untouched,
// so the host can fall back to its own requester.
extern "C" int picker_activate(int version, GlobalFunc *global, void *local, void *server_data);

// The one picker of the process; null until the first activation.
extern PickerPanel *g_picker;
