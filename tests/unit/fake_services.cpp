#include "unit/fake_services.h"

#include "binding/services.h"

namespace fake {
namespace {

Services *g_current = nullptr;

void bump(const char *op) { ++g_current->counts_[op]; }

void put(LWRasterID id, int x, int y, ColorTriple c) {
  Raster *r = reinterpret_cast<Raster *>(id);
  if (!r || x < 0 || y < 0 || x >= r->w || y >= r->h) return;
  r->pixels[static_cast<size_t>(y * r->w + x)] = c;
}

void box(LWRasterID id, ColorTriple c, int x, int y, int w, int h) {
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) put(id, i, j, c);
}

// Like the host, a get writes the whole member it was handed, default
// included, so a record shorter than the host's union shows under ASan.
void control_get(LWControl *h, int attr, LWValue *value) {
  Control *c = reinterpret_cast<Control *>(h);
  bump("control.get");
  if (value->type == LWT_INTEGER) {
    value->intv.value = c->attrs[attr & 31];
    value->intv.defVal = 0;
  } else {
    for (int i = 0; i < 3; ++i) value->ivec.val[i] = c->value[i];
    value->ivec.defVal = 0;
  }
}

void control_set(LWControl *h, int attr, LWValue *value) {
  Control *c = reinterpret_cast<Control *>(h);
  bump("control.set");
  if (value->type == LWT_INTEGER) {
    c->attrs[attr & 31] = value->intv.value;
    c->ptrs[attr & 31] = value->ptr.ptr;
  } else {
    for (int i = 0; i < 3; ++i) c->value[i] = value->ivec.val[i];
  }
}

}  // namespace

ColorTriple code_colour(int code) {
  switch (code) {
    case LWP_NORMAL: return {0, 0, 0};
    case LWP_HEADLINE: return {255, 255, 255};
    case LWP_EDIT_SEL: return {255, 255, 200};
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
  panel_funcs.create = [](char *, void *) {
    bump("panel.create");
    return reinterpret_cast<LWPanelID>(0x1000);
  };
  panel_funcs.destroy = [](LWPanelID) { bump("panel.destroy"); };
  panel_funcs.open = [](LWPanelID, int) {
    bump("panel.open");
    return 1;
  };
  panel_funcs.draw = [](LWPanelID, int) { bump("panel.draw"); };
  panel_funcs.close = [](LWPanelID) { bump("panel.close"); };
  panel_funcs.get = [](LWPanelID, int, void *) { bump("panel.get"); };
  panel_funcs.set = [](LWPanelID, int, void *) { bump("panel.set"); };
  panel_funcs.addControl = [](LWPanelID, char *, LWPanControlDesc *, char *) {
    bump("control.add");
    g_current->controls.push_back(std::make_unique<Control>());
    Control *c = g_current->controls.back().get();
    c->handle.get = control_get;
    c->handle.set = control_set;
    return &c->handle;
  };
  panel_funcs.drawFuncs = &draw_funcs;
  draw_funcs.drawRGBBox = [](LWPanelID, int, int, int, int, int, int, int) {
    bump("panel.draw_rgb_box");
  };
  draw_funcs.drawBorder = [](LWPanelID, int, int, int, int, int) { bump("panel.draw_border"); };
  draw_funcs.drawBox = [](LWPanelID, int, int, int, int, int) { bump("panel.draw_box"); };
  draw_funcs.drawText = [](LWPanelID, char *, int, int, int) { bump("panel.draw_text"); };
  draw_funcs.dispMetrics = []() -> const LWDisplayMetrics * {
    static const LWDisplayMetrics metrics = {1920, 1080, 0, 0, 0, 24, 12, 10};
    return &metrics;
  };
  raster_funcs.create = [](int w, int h, int) {
    bump("raster.create");
    auto r = std::make_unique<Raster>();
    r->w = w;
    r->h = h;
    r->pixels.assign(static_cast<size_t>(w * h), ColorTriple{-1, -1, -1});
    g_current->rasters.push_back(std::move(r));
    return reinterpret_cast<LWRasterID>(g_current->rasters.back().get());
  };
  raster_funcs.destroy = [](LWRasterID) { bump("raster.destroy"); };
  raster_funcs.drawPixel = [](LWRasterID id, int code, int x, int y) {
    bump("raster.pixel");
    put(id, x, y, code_colour(code));
  };
  raster_funcs.drawRGBPixel = [](LWRasterID id, int r, int g, int b, int x, int y) {
    bump("raster.rgb_pixel");
    put(id, x, y, {r, g, b});
  };
  raster_funcs.drawRGBBox = [](LWRasterID id, int r, int g, int b, int x, int y, int w, int h) {
    bump("raster.rgb_box");
    box(id, {r, g, b}, x, y, w, h);
  };
  raster_funcs.eraseBox = [](LWRasterID id, int x, int y, int w, int h) {
    bump("raster.erase_box");
    box(id, {-2, -2, -2}, x, y, w, h);
  };
  raster_funcs.blitPanel = [](LWRasterID, int, int, LWPanelID, int, int, int, int) {
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
