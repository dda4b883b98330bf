// Table-driven drawn areas: rasters, hit testing and mouse capture.
#pragma once

#include "abi/host_api.h"

typedef void (*AreaInitFunc)(void *target, void *owner, int kind, int x, int y, int w, int h);
typedef int (*AreaEventFunc)(LWPanelID panel, void *owner, int flags, int local_x, int local_y,
                             int32_t *previous);
typedef void (*AreaDrawFunc)(void *target, void *owner, int kind, int x, int y, int w, int h);

enum AreaKind { AREA_ON_PANEL = 0, AREA_RASTER = 1 };

struct AreaDef {
  int32_t kind;
  int32_t x, y;
  int32_t width, height;
  AreaInitFunc init;
  AreaEventFunc event;
  AreaDrawFunc draw;
};

struct AreaSet {
  AreaDef *areas;
  LWPanelID panel;
  LWRasterID *rasters;
  int32_t count;
  int32_t captured;
  void *owner;
  int32_t previous[2];  // x, y
  int32_t press_events;
  int32_t blit_pending;
};

// Counts `table` up to its first row of width 0 or less.
int areas_count(const AreaDef *table);
AreaSet *areas_create(LWPanelID panel, void *owner, AreaSet *set, const AreaDef *table);
// Whether the set holds every row of `table` with a raster for each raster
// area: false when an array or a raster could not be had.
bool areas_complete(const AreaSet *set, const AreaDef *table);
// Destroys the set's rasters and frees its arrays and the set itself (as
// allocated for areas_create). Null does nothing.
void areas_destroy(AreaSet *set);
// Idle routing: no capture, no press under way, previous position (0, 0).
// A panel can close while a button is held, so every activation starts here.
void areas_reset_routing(AreaSet *set);
void areas_route_mouse(LWPanelID panel, AreaSet *set, int flags, int x, int y);

// Calls every init callback, then raises blit pending (construction).
void areas_init_pass(AreaSet *set);
// Calls every draw callback, then raises blit pending (the refresh).
void areas_draw_pass(AreaSet *set);
// Blits every raster area onto the set's panel, then clears blit pending.
void areas_blit_pass(AreaSet *set);
