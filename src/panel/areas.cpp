#include "panel/areas.h"

#include <stdlib.h>

#include "base/alloc.h"
#include "binding/services.h"

int areas_count(const AreaDef *table) {
  int count = 0;
  while (table[count].width > 0) ++count;
  return count;
}

AreaSet *areas_create(LWPanelID panel, void *owner, AreaSet *set, const AreaDef *table) {
  const int count = areas_count(table);
  set->areas = static_cast<AreaDef *>(plugin_calloc(count ? count : 1, sizeof(AreaDef)));
  set->rasters = static_cast<LWRasterID *>(plugin_calloc(count ? count : 1, sizeof(LWRasterID)));
  // Without the arrays the set is empty rather than broken.
  set->count = (set->areas && set->rasters) ? count : 0;
  for (int i = 0; i < set->count; ++i) {
    set->areas[i] = table[i];
    set->rasters[i] = table[i].kind == AREA_ON_PANEL
                          ? nullptr
                          : g_raster_funcs->create(table[i].width, table[i].height, 0);
  }
  set->panel = panel;
  set->owner = owner;
  set->blit_pending = 0;
  areas_reset_routing(set);
  return set;
}

bool areas_complete(const AreaSet *set, const AreaDef *table) {
  if (!set || !set->areas || !set->rasters || set->count != areas_count(table)) return false;
  for (int i = 0; i < set->count; ++i)
    if (set->areas[i].kind != AREA_ON_PANEL && !set->rasters[i]) return false;
  return true;
}

void areas_destroy(AreaSet *set) {
  if (!set) return;
  if (set->rasters)
    for (int i = 0; i < set->count; ++i)
      if (set->rasters[i]) g_raster_funcs->destroy(set->rasters[i]);
  free(set->rasters);
  free(set->areas);
  free(set);
}

void areas_reset_routing(AreaSet *set) {
  set->captured = -1;
  set->previous[0] = 0;
  set->previous[1] = 0;
  set->press_events = 0;
}

// The drawing target an area's callbacks receive: its raster, or the panel
// for an area drawn straight onto the panel.
static void *area_target(const AreaSet *set, int index) {
  // The router's redraw hands an on-panel area the panel, as the init pass
  // and the refresh do.
  if (set->areas[index].kind == AREA_ON_PANEL) return set->panel;
  return set->rasters[index];
}

// Init and draw callbacks take the same arguments: the target, the owner,
// the kind and the area's rectangle. Only kinds 0 and 1 are called.
static void call_each(AreaSet *set, AreaDrawFunc AreaDef::*callback) {
  for (int i = 0; i < set->count; ++i) {
    const AreaDef &area = set->areas[i];
    if (area.kind != AREA_ON_PANEL && area.kind != AREA_RASTER) continue;
    if (area.*callback)
      (area.*callback)(area_target(set, i), set->owner, area.kind, area.x, area.y, area.width,
                       area.height);
  }
  set->blit_pending = 1;
}

void areas_init_pass(AreaSet *set) { call_each(set, &AreaDef::init); }

void areas_draw_pass(AreaSet *set) { call_each(set, &AreaDef::draw); }

void areas_blit_pass(AreaSet *set) {
  for (int i = 0; i < set->count; ++i) {
    const AreaDef &area = set->areas[i];
    if (area.kind == AREA_RASTER && set->rasters[i])
      g_raster_funcs->blitPanel(set->rasters[i], 0, 0, set->panel, area.x, area.y, area.width,
                                area.height);
  }
  set->blit_pending = 0;
}

static bool area_contains(const AreaDef &area, int x, int y) {
  // 64-bit differences: event positions come from the host unchecked.
  const long long dx = static_cast<long long>(x) - area.x;
  const long long dy = static_cast<long long>(y) - area.y;
  return dx >= 0 && dx < area.width && dy >= 0 && dy < area.height;
}

void areas_route_mouse(LWPanelID panel, AreaSet *set, int flags, int x, int y) {
  if (!set) return;
  if (!(flags & MOUSE_DOWN)) {
    set->captured = -1;
    set->previous[0] = x;
    set->previous[1] = y;
    set->press_events = 0;
    return;
  }
  if (set->press_events == 0) {
    for (int i = 0; i < set->count; ++i) {
      if (area_contains(set->areas[i], x, y)) {
        set->captured = i;
        break;
      }
    }
  }
  if (set->captured >= 0) {
    const AreaDef &area = set->areas[set->captured];
    const int local_x = wrap_sub(x, area.x);
    const int local_y = wrap_sub(y, area.y);
    set->previous[0] = wrap_sub(set->previous[0], area.x);
    set->previous[1] = wrap_sub(set->previous[1], area.y);
    const int result =
        area.event ? area.event(panel, set->owner, flags, local_x, local_y, set->previous) : 0;
    if (result && area.draw) {
      area.draw(area_target(set, set->captured), set->owner, area.kind, local_x, local_y,
                area.width, area.height);
      set->blit_pending = 1;
      g_panel_funcs->draw(panel, DR_REFRESH);
    }
  }
  // Saturates rather than wrapping on an endless press.
  if (set->press_events < INT32_MAX) ++set->press_events;
  set->previous[0] = x;
  set->previous[1] = y;
}
