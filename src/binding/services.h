// The host services as the plug-in uses them: the stored global lookup, the
// service tables acquired with it, the panel and control call helpers, and
// the value records shared by every control call.
#pragma once

#include "abi/host_api.h"

extern GlobalFunc *g_global_lookup;
extern LWPanelFuncs *g_panel_funcs;
extern LWRasterFuncs *g_raster_funcs;

// Filled immediately before each control call and read immediately after.
// Each is the host's whole value union: the host may write any field of the
// member it is handed. `g_int_value` carries type 2 (ints, pointers),
// `g_ivec_value` type 5 (the editors' triples).
extern LWValue g_int_value;
extern LWValue g_ivec_value;

// Stores the lookup and acquires the services. Once both tables are had it
// does nothing more; until then every call looks them up again. Returns
// whether the panel and raster services (with the panel drawing table) are
// there.
bool acquire_services(GlobalFunc *global);

// Control accessors through the shared records.
int control_get_int(LWControl *control, int tag);
void control_set_int(LWControl *control, int tag, int value);
void control_set_ptr(LWControl *control, int tag, void *value);
void control_set_triple(LWControl *control, int tag, int32_t a, int32_t b, int32_t c);
// Reads a value triple into the shared vector record; false for a null control.
bool control_get_triple(LWControl *control, int tag);

// Function pointers travel through the host's void * slots.
template <typename F>
void *callback_ptr(F f) {
  return reinterpret_cast<void *>(f);
}

// Panel attribute helpers over a given panel-services table: ints travel as
// a pointer to an int, everything else as the pointer itself.
void panel_set_int(LWPanelFuncs *funcs, LWPanelID panel, int tag, int value);
void panel_set_ptr(LWPanelFuncs *funcs, LWPanelID panel, int tag, void *value);
int panel_get_int(LWPanelFuncs *funcs, LWPanelID panel, int tag);

// Two's-complement addition: host-supplied coordinates are not trusted to
// stay away from the int limits.
inline int wrap_add(int a, int b) {
  return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
}
inline int wrap_sub(int a, int b) {
  return static_cast<int>(static_cast<unsigned>(a) - static_cast<unsigned>(b));
}
