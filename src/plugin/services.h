// Process-wide host bindings: the stored global lookup, the service tables
// acquired with it, and the value records shared by every control call.
#pragma once

#include "plugin/host_api.h"

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

// Function pointers travel through the host's void * slots.
template <typename F>
void *callback_ptr(F f) {
  return reinterpret_cast<void *>(f);
}
