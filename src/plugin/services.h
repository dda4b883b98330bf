// Process-wide host bindings: the stored global lookup, the service tables
// acquired with it, and the value records shared by every control call.
#pragma once

#include "abi/host_api.h"

extern GlobalFunc g_global_lookup;
extern PanelFuncs *g_panel_funcs;
extern RasterFuncs *g_raster_funcs;

// Filled immediately before each control call and read immediately after.
extern IntValue g_int_value;
extern IntVectorValue g_ivec_value;

// Stores the lookup and acquires the services, once per process.
void acquire_services(GlobalFunc global);

// Control accessors through the shared records.
int control_get_int(HostControl *control, int attribute);
void control_set_int(HostControl *control, int attribute, int value);
void control_set_ptr(HostControl *control, int attribute, void *value);
void control_set_triple(HostControl *control, int attribute, int32_t a, int32_t b, int32_t c);
// Reads a value triple into the shared vector record; false for a null control.
bool control_get_triple(HostControl *control, int attribute);

// Function pointers travel through the host's void * slots.
template <typename F>
void *callback_ptr(F f) {
  return reinterpret_cast<void *>(f);
}

// Panel attribute helpers over a given panel-services table: ints travel as
// a pointer to an int, everything else as the pointer itself.
void panel_set_int(PanelFuncs *funcs, PanelID panel, int attribute, int value);
void panel_set_ptr(PanelFuncs *funcs, PanelID panel, int attribute, void *value);
int panel_get_int(PanelFuncs *funcs, PanelID panel, int attribute);

// Two's-complement addition: host-supplied coordinates are not trusted to
// stay away from the int limits.
inline int wrap_add(int a, int b) {
  return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
}
inline int wrap_sub(int a, int b) {
  return static_cast<int>(static_cast<unsigned>(a) - static_cast<unsigned>(b));
}
