#include "binding/services.h"

#include <stddef.h>

GlobalFunc *g_global_lookup = nullptr;
LWPanelFuncs *g_panel_funcs = nullptr;
LWRasterFuncs *g_raster_funcs = nullptr;

LWValue g_int_value = {LWT_INTEGER};
LWValue g_ivec_value = {LWT_VINT};

// Looked up for the host's benefit in this order; only the panel and raster
// services are used afterwards.
static const char *const kGlobalNames[] = {
    "ContextMenuServices", "Directory Info",     "File Request 2",
    "File IO 2",           "Info Messages 2",    "MultiThreading Utilities",
    LWPANELFUNCS_GLOBAL,   LWRASTERFUNCS_GLOBAL, "LWXPanel",
};
constexpr int kPanelServicesIndex = 6;
constexpr int kRasterServicesIndex = 7;

static bool services_usable(void) {
  return g_panel_funcs && g_panel_funcs->drawFuncs && g_raster_funcs;
}

bool acquire_services(GlobalFunc *global) {
  if (services_usable()) return true;
  if (!global) return false;
  // A lookup that failed is tried again on the next request: a host that
  // brings its services up late must not leave the picker broken.
  g_global_lookup = global;
  void *services[sizeof kGlobalNames / sizeof kGlobalNames[0]];
  for (size_t i = 0; i < sizeof kGlobalNames / sizeof kGlobalNames[0]; ++i)
    services[i] = global(kGlobalNames[i], GFUSE_TRANSIENT);
  g_panel_funcs = static_cast<LWPanelFuncs *>(services[kPanelServicesIndex]);
  g_raster_funcs = static_cast<LWRasterFuncs *>(services[kRasterServicesIndex]);
  return services_usable();
}

// A control the host could not create is a null handle; calls on it do
// nothing and read as 0.
int control_get_int(LWControl *control, int tag) {
  if (!control) return 0;
  g_int_value.type = LWT_INTEGER;
  control->get(control, tag, &g_int_value);
  return g_int_value.intv.value;
}

void control_set_int(LWControl *control, int tag, int value) {
  if (!control) return;
  g_int_value.type = LWT_INTEGER;
  g_int_value.intv.value = value;
  control->set(control, tag, &g_int_value);
}

void control_set_ptr(LWControl *control, int tag, void *value) {
  if (!control) return;
  g_int_value.type = LWT_INTEGER;
  g_int_value.ptr.ptr = value;
  control->set(control, tag, &g_int_value);
}

void control_set_triple(LWControl *control, int tag, int32_t a, int32_t b, int32_t c) {
  if (!control) return;
  g_ivec_value.type = LWT_VINT;
  g_ivec_value.ivec.val[0] = a;
  g_ivec_value.ivec.val[1] = b;
  g_ivec_value.ivec.val[2] = c;
  control->set(control, tag, &g_ivec_value);
}

bool control_get_triple(LWControl *control, int tag) {
  if (!control) return false;
  g_ivec_value.type = LWT_VINT;
  control->get(control, tag, &g_ivec_value);
  return true;
}

void panel_set_int(LWPanelFuncs *funcs, LWPanelID panel, int tag, int value) {
  funcs->set(panel, tag, &value);
}

void panel_set_ptr(LWPanelFuncs *funcs, LWPanelID panel, int tag, void *value) {
  funcs->set(panel, tag, value);
}

int panel_get_int(LWPanelFuncs *funcs, LWPanelID panel, int tag) {
  int value = 0;
  funcs->get(panel, tag, &value);
  return value;
}
