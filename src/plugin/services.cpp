#include "plugin/services.h"

#include <stddef.h>

GlobalFunc g_global_lookup = nullptr;
PanelFuncs *g_panel_funcs = nullptr;
RasterFuncs *g_raster_funcs = nullptr;

IntValue g_int_value = {VALUE_TYPE_INT, 0, nullptr};
IntVectorValue g_ivec_value = {VALUE_TYPE_IVEC, {0, 0, 0}};

// Looked up for the host's benefit in this order; only the panel and raster
// services are used afterwards.
static const char *const kGlobalNames[] = {
    "ContextMenuServices",      "Directory Info",    "File Request 2",
    "File IO 2",                "Info Messages 2",   "MultiThreading Utilities",
    PANEL_SERVICES_NAME,        RASTER_SERVICES_NAME, "LWXPanel",
};
constexpr int kPanelServicesIndex = 6;
constexpr int kRasterServicesIndex = 7;

void acquire_services(GlobalFunc global) {
  if (g_global_lookup || !global) return;
  g_global_lookup = global;
  void *services[sizeof kGlobalNames / sizeof kGlobalNames[0]];
  for (size_t i = 0; i < sizeof kGlobalNames / sizeof kGlobalNames[0]; ++i)
    services[i] = global(kGlobalNames[i], 0);
  g_panel_funcs = static_cast<PanelFuncs *>(services[kPanelServicesIndex]);
  g_raster_funcs = static_cast<RasterFuncs *>(services[kRasterServicesIndex]);
}

// A control the host could not create is a null handle; calls on it do
// nothing and read as 0.
int control_get_int(HostControl *control, int attribute) {
  if (!control) return 0;
  g_int_value.type = VALUE_TYPE_INT;
  control->get(control, attribute, &g_int_value);
  return g_int_value.intv;
}

void control_set_int(HostControl *control, int attribute, int value) {
  if (!control) return;
  g_int_value.type = VALUE_TYPE_INT;
  g_int_value.intv = value;
  control->set(control, attribute, &g_int_value);
}

void control_set_ptr(HostControl *control, int attribute, void *value) {
  if (!control) return;
  g_int_value.type = VALUE_TYPE_INT;
  g_int_value.ptr = value;
  control->set(control, attribute, &g_int_value);
}

void control_set_triple(HostControl *control, int attribute, int32_t a, int32_t b, int32_t c) {
  if (!control) return;
  g_ivec_value.type = VALUE_TYPE_IVEC;
  g_ivec_value.val[0] = a;
  g_ivec_value.val[1] = b;
  g_ivec_value.val[2] = c;
  control->set(control, attribute, &g_ivec_value);
}

bool control_get_triple(HostControl *control, int attribute) {
  if (!control) return false;
  g_ivec_value.type = VALUE_TYPE_IVEC;
  control->get(control, attribute, &g_ivec_value);
  return true;
}

void panel_set_int(PanelFuncs *funcs, PanelID panel, int attribute, int value) {
  funcs->set(panel, attribute, &value);
}

void panel_set_ptr(PanelFuncs *funcs, PanelID panel, int attribute, void *value) {
  funcs->set(panel, attribute, value);
}

int panel_get_int(PanelFuncs *funcs, PanelID panel, int attribute) {
  int value = 0;
  funcs->get(panel, attribute, &value);
  return value;
}
