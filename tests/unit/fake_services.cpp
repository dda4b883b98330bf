#include "unit/fake_services.h"

#include "plugin/services.h"

namespace fake {
namespace {

Services *g_current = nullptr;

void bump(const char *op) { ++g_current->counts_[op]; }

void put(RasterID id, int x, int y, ColorTriple c) {
  Raster *r = reinterpret_cast<Raster *>(id);
  if (!r || x < 0 || y < 0 || x >= r->w || y >= r->h) return;
  r->pixels[static_cast<size_t>(y * r->w + x)] = c;
}

void box(RasterID id, ColorTriple c, int x, int y, int w, int h) {
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) put(id, i, j, c);
}

void control_get(HostControl *h, int attr, void *value) {
  Control *c = reinterpret_cast<Control *>(h);
  bump("control.get");
  if (static_cast<IntValue *>(value)->type == VALUE_TYPE_INT)
    static_cast<IntValue *>(value)->intv = c->attrs[attr & 31];
  else
    for (int i = 0; i < 3; ++i) static_cast<IntVectorValue *>(value)->val[i] = c->value[i];
}

void control_set(HostControl *h, int attr, void *value) {
  Control *c = reinterpret_cast<Control *>(h);
  bump("control.set");
  if (static_cast<IntValue *>(value)->type == VALUE_TYPE_INT) {
    c->attrs[attr & 31] = static_cast<IntValue *>(value)->intv;
    c->ptrs[attr & 31] = static_cast<IntValue *>(value)->ptr;
  } else {
    for (int i = 0; i < 3; ++i) c->value[i] = static_cast<IntVectorValue *>(value)->val[i];
  }
}

}  // namespace

ColorTriple code_colour(int code) {
  switch (code) {
    case HOST_COLOR_BLACK: return {0, 0, 0};
    case HOST_COLOR_WHITE: return {255, 255, 255};
    case HOST_COLOR_LIGHT_GREY: return {200, 200, 200};
    default: return {1, 2, 3};
  }
}

Services &Services::get() { return *g_current; }

int Services::count(const std::string &op) const {
  auto it = counts_.find(op);
  return it == counts_.end() ? 0 : it->second;
}

Services::Services() {
  g_current = this;
  panel_funcs.create = [](const char *, PanelFuncs *) {
    bump("panel.create");
    return reinterpret_cast<PanelID>(0x1000);
  };
  panel_funcs.destroy = [](PanelID) { bump("panel.destroy"); };
  panel_funcs.open = [](PanelID, int) { bump("panel.open"); return 1; };
  panel_funcs.draw = [](PanelID, int) { bump("panel.draw"); };
  panel_funcs.close = [](PanelID) { bump("panel.close"); };
  panel_funcs.get = [](PanelID, int, void *) { bump("panel.get"); };
  panel_funcs.set = [](PanelID, int, void *) { bump("panel.set"); };
  panel_funcs.add_control = [](PanelID, const char *, ControlDesc *, const char *) {
    bump("control.add");
    g_current->controls.push_back(std::make_unique<Control>());
    Control *c = g_current->controls.back().get();
    c->handle.get = control_get;
    c->handle.set = control_set;
    return &c->handle;
  };
  panel_funcs.draw_rgb_box = [](PanelID, int, int, int, int, int, int, int) {
    bump("panel.draw_rgb_box");
  };
  panel_funcs.draw_border = [](PanelID, int, int, int, int, int) { bump("panel.draw_border"); };
  panel_funcs.display_metrics = []() -> const int * {
    static const int metrics[] = {1920, 1080};
    return metrics;
  };
  raster_funcs.create = [](int w, int h, int) {
    bump("raster.create");
    auto r = std::make_unique<Raster>();
    r->w = w;
    r->h = h;
    r->pixels.assign(static_cast<size_t>(w * h), ColorTriple{-1, -1, -1});
    g_current->rasters.push_back(std::move(r));
    return reinterpret_cast<RasterID>(g_current->rasters.back().get());
  };
  raster_funcs.destroy = [](RasterID) { bump("raster.destroy"); };
  raster_funcs.pixel = [](RasterID id, int code, int x, int y) {
    bump("raster.pixel");
    put(id, x, y, code_colour(code));
  };
  raster_funcs.rgb_pixel = [](RasterID id, int r, int g, int b, int x, int y) {
    bump("raster.rgb_pixel");
    put(id, x, y, {r, g, b});
  };
  raster_funcs.rgb_box = [](RasterID id, int r, int g, int b, int x, int y, int w, int h) {
    bump("raster.rgb_box");
    box(id, {r, g, b}, x, y, w, h);
  };
  raster_funcs.erase_box = [](RasterID id, int x, int y, int w, int h) {
    bump("raster.erase_box");
    box(id, {-2, -2, -2}, x, y, w, h);
  };
  raster_funcs.blit = [](RasterID, int, int, PanelID, int, int, int, int) {
    bump("raster.blit");
  };
  g_panel_funcs = &panel_funcs;
  g_raster_funcs = &raster_funcs;
}

Services::~Services() {
  g_panel_funcs = nullptr;
  g_raster_funcs = nullptr;
  g_current = nullptr;
}

}  // namespace fake
