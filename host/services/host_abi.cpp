// The function tables the plug-in calls: "LWPanelServices" and
// "RasterServices", and the control accessors. Each entry finds the current
// Host, checks the handles it was given, records the call and does the work.
#include <algorithm>
#include <cstring>
#include <string>

#include "services/host.h"
#include "services/palette.h"

namespace hvhost {

namespace {

int clamp_coordinate(int v) { return std::clamp(v, -kCoordinateLimit, kCoordinateLimit); }

template <typename F>
F as_function(void *p) {
  return reinterpret_cast<F>(p);
}

template <typename F>
void *as_pointer(F f) {
  return reinterpret_cast<void *>(f);
}

}  // namespace

struct HostAbi {
  static PanelFuncs panel_table;
  static RasterFuncs raster_table;

  static Host *host() { return Host::current(); }

  // ---- Global lookup ------------------------------------------------------

  static void *lookup(const char *name, int use_mode) {
    Host *h = host();
    if (!h) return nullptr;
    const std::string n = name ? name : "";
    if (h->trace_.should_fail(FailPoint::kLookup)) {
      h->trace_.record(Op::kLookup, nullptr, n, {use_mode}, CallStatus::kFailed);
      return nullptr;
    }
    h->trace_.record(Op::kLookup, nullptr, n, {use_mode});
    if (n == PANEL_SERVICES_NAME) return &panel_table;
    if (n == RASTER_SERVICES_NAME) return &raster_table;
    return nullptr;
  }

  // ---- Panels ---------------------------------------------------------------

  static PanelID panel_create(const char *title, PanelFuncs *) {
    Host *h = host();
    if (!h) return nullptr;
    const std::string t = title ? title : "";
    if (h->trace_.should_fail(FailPoint::kPanelCreate)) {
      h->trace_.record(Op::kPanelCreate, nullptr, t, {}, CallStatus::kFailed);
      return nullptr;
    }
    auto panel = std::make_shared<Panel>(t);
    Panel *p = panel.get();
    h->panels_.push_back(std::move(panel));
    h->panel_index_[p->id()] = p;
    h->trace_.record(Op::kPanelCreate, p->id(), t, {});
    return p->id();
  }

  static void panel_destroy(PanelID id) {
    Host *h = host();
    if (!h) return;
    Panel *p = h->live_panel(id, Op::kPanelDestroy);
    if (!p) return;
    h->trace_.record(Op::kPanelDestroy, id, "", {});
    h->close_panel(*p, 0);
    h->forget_panel(*p);
  }

  static int panel_open(PanelID id, int flags) {
    Host *h = host();
    if (!h) return 0;
    Panel *p = h->live_panel(id, Op::kPanelOpen);
    if (!p) return 0;
    if (p->is_open()) {
      h->trace_.record(Op::kPanelOpen, id, "", {flags}, CallStatus::kMisuse);
      h->trace_.note_problem("panel.open: the panel is already open");
      return 0;
    }
    h->trace_.record(Op::kPanelOpen, id, "", {flags});
    return h->run_open(*p, flags);
  }

  static void panel_draw(PanelID id, int mode) {
    Host *h = host();
    if (!h) return;
    Panel *p = h->live_panel(id, Op::kPanelDraw);
    if (!p) return;
    h->trace_.record(Op::kPanelDraw, id, "", {mode});
    if (!p->is_open() || mode == DRAW_MODE_NONE) return;
    if (mode == kHostRedrawMode)
      h->redraw(*p);
    else
      h->call_draw(*p, mode);
  }

  static void panel_close(PanelID id) {
    Host *h = host();
    if (!h) return;
    Panel *p = h->live_panel(id, Op::kPanelClose);
    if (!p) return;
    h->trace_.record(Op::kPanelClose, id, "", {});
    h->close_panel(*p, 0);
  }

  static void panel_get(PanelID id, int attribute, void *value) {
    Host *h = host();
    if (!h) return;
    Panel *p = h->live_panel(id, Op::kPanelGet);
    if (!p) return;
    if (!value) return misuse(h, Op::kPanelGet, id, attribute, "null value pointer");
    h->trace_.record(Op::kPanelGet, id, "", {attribute});
    int *iv = static_cast<int *>(value);
    void **pv = static_cast<void **>(value);
    switch (attribute) {
      case PAN_X: *iv = p->x_; break;
      case PAN_Y: *iv = p->y_; break;
      case PAN_W: *iv = p->width(); break;
      case PAN_H: *iv = p->height(); break;
      case PAN_DRAW_FUNC: *pv = as_pointer(p->callbacks_.draw); break;
      case PAN_OPENED_FUNC: *pv = as_pointer(p->callbacks_.opened); break;
      case PAN_TITLE: *pv = const_cast<char *>(p->title_.c_str()); break;
      case PAN_USER_DATA: *pv = p->user_data_; break;
      case PAN_NOTIFY_FUNC: *pv = as_pointer(p->callbacks_.notify); break;
      case PAN_MOUSE_BUTTON_FUNC: *pv = as_pointer(p->callbacks_.mouse_button); break;
      case PAN_MOUSE_MOVE_FUNC: *pv = as_pointer(p->callbacks_.mouse_move); break;
      case PAN_KEY_FUNC: *pv = as_pointer(p->callbacks_.key); break;
      default:
        h->trace_.note_problem("panel.get: attribute " + std::to_string(attribute) +
                               " is not readable");
        break;
    }
  }

  static void panel_set(PanelID id, int attribute, void *value) {
    Host *h = host();
    if (!h) return;
    Panel *p = h->live_panel(id, Op::kPanelSet);
    if (!p) return;
    const bool int_attribute =
        attribute == PAN_X || attribute == PAN_Y || attribute == PAN_W || attribute == PAN_H;
    if (int_attribute && !value)
      return misuse(h, Op::kPanelSet, id, attribute, "null value pointer");
    TraceEntry *e = h->trace_.record(Op::kPanelSet, id, "", {attribute});
    const int iv = int_attribute ? *static_cast<const int *>(value) : 0;
    if (e && int_attribute) e->args[e->arg_count++] = iv;
    switch (attribute) {
      case PAN_X: p->x_ = clamp_coordinate(iv); break;
      case PAN_Y: p->y_ = clamp_coordinate(iv); break;
      case PAN_W:
      case PAN_H: {
        const int w = attribute == PAN_W ? iv : p->width();
        const int ht = attribute == PAN_H ? iv : p->height();
        p->fb_.resize(w, ht, palette::kBackground);
        for (const auto &c : p->controls_) c->draw(p->fb_);
        if (p->is_open()) h->redraw(*p);
        break;
      }
      case PAN_DRAW_FUNC: p->callbacks_.draw = as_function<PanelDrawFunc>(value); break;
      case PAN_OPENED_FUNC: p->callbacks_.opened = as_function<PanelOpenedFunc>(value); break;
      case PAN_TITLE: {
        p->title_ = value ? static_cast<const char *>(value) : "";
        if (e) e->text = p->title_;
        break;
      }
      case PAN_USER_DATA: p->user_data_ = value; break;
      case PAN_NOTIFY_FUNC: p->callbacks_.notify = as_function<PanelNotifyFunc>(value); break;
      case PAN_MOUSE_BUTTON_FUNC:
        p->callbacks_.mouse_button = as_function<PanelMouseFunc>(value);
        break;
      case PAN_MOUSE_MOVE_FUNC:
        p->callbacks_.mouse_move = as_function<PanelMouseFunc>(value);
        break;
      case PAN_KEY_FUNC: p->callbacks_.key = as_function<PanelKeyFunc>(value); break;
      case PAN_AFTER_EYEDROPPER: ++p->after_eyedropper_count_; break;
      default:
        h->trace_.note_problem("panel.set: unknown attribute " + std::to_string(attribute));
        break;
    }
  }

  // ---- Controls -------------------------------------------------------------

  static HostControl *control_add(PanelID id, const char *type_name, ControlDesc *desc,
                                  const char *label) {
    Host *h = host();
    if (!h) return nullptr;
    Panel *p = h->live_panel(id, Op::kControlAdd);
    if (!p) return nullptr;
    const ControlDesc d = desc ? *desc : ControlDesc{0, 0, 0};
    const std::string type = type_name ? type_name : "";
    if (h->trace_.should_fail(FailPoint::kControlAdd)) {
      h->trace_.record(Op::kControlAdd, id, type, {d.type, d.width, d.height},
                       CallStatus::kFailed);
      return nullptr;
    }
    if (type.empty()) {
      misuse(h, Op::kControlAdd, id, 0, "no type name");
      return nullptr;
    }
    auto control = std::make_unique<Control>(*p, type, d, label ? label : "");
    Control *c = control.get();
    c->abi_.get = &control_get;
    c->abi_.set = &control_set;
    c->abi_.host_data = c;
    p->controls_.push_back(std::move(control));
    h->control_index_[c->handle()] = c;
    h->trace_.record(Op::kControlAdd, id, type, {d.type, d.width, d.height});
    c->draw(p->fb_);
    return c->handle();
  }

  static void control_get(HostControl *handle, int attribute, void *value) {
    Host *h = host();
    if (!h) return;
    Control *c = h->live_control(handle, Op::kControlGet);
    if (!c) return;
    if (!value) return misuse(h, Op::kControlGet, handle, attribute, "null value record");
    const int32_t type = *static_cast<const int32_t *>(value);
    if (attribute == CTL_VALUE && c->is_editor()) {
      if (type != VALUE_TYPE_IVEC)
        return misuse(h, Op::kControlGet, handle, attribute, "editor value needs IntVectorValue");
      h->trace_.record(Op::kControlGet, handle, c->type_name(), {attribute});
      IntVectorValue *v = static_cast<IntVectorValue *>(value);
      std::copy(c->value_.begin(), c->value_.end(), v->val);
      return;
    }
    if (type != VALUE_TYPE_INT)
      return misuse(h, Op::kControlGet, handle, attribute, "attribute needs IntValue");
    IntValue *v = static_cast<IntValue *>(value);
    const Rect inner = c->inner();
    switch (attribute) {
      case CTL_X: v->intv = c->x_; break;
      case CTL_Y: v->intv = c->y_; break;
      case CTL_W: v->intv = c->width_; break;
      case CTL_H: v->intv = c->height_; break;
      case CTL_VALUE: v->intv = c->value_[0]; break;
      case CTL_INNER_X: v->intv = inner.x; break;
      case CTL_INNER_Y: v->intv = inner.y; break;
      case CTL_HOTX: v->intv = c->width_ + c->placement_offset_x(); break;
      case CTL_HOTY: v->intv = c->height_ + c->placement_offset_y(); break;
      case CTL_EVENT_FUNC: v->ptr = as_pointer(c->event_func_); break;
      case CTL_USER_DATA: v->ptr = c->user_data_; break;
      default:
        return misuse(h, Op::kControlGet, handle, attribute, "unknown attribute");
    }
    h->trace_.record(Op::kControlGet, handle, c->type_name(), {attribute});
  }

  static void control_set(HostControl *handle, int attribute, void *value) {
    Host *h = host();
    if (!h) return;
    Control *c = h->live_control(handle, Op::kControlSet);
    if (!c) return;
    if (!value) return misuse(h, Op::kControlSet, handle, attribute, "null value record");
    const int32_t type = *static_cast<const int32_t *>(value);
    Framebuffer &fb = c->panel_->fb_;
    if (attribute == CTL_VALUE && c->is_editor()) {
      if (type != VALUE_TYPE_IVEC)
        return misuse(h, Op::kControlSet, handle, attribute, "editor value needs IntVectorValue");
      const IntVectorValue *v = static_cast<const IntVectorValue *>(value);
      h->trace_.record(Op::kControlSet, handle, c->type_name(),
                       {attribute, v->val[0], v->val[1], v->val[2]});
      c->value_ = {v->val[0], v->val[1], v->val[2]};
      // Redrawn, and never the event callback: that is for the user's edits.
      c->draw(fb);
      return;
    }
    if (type != VALUE_TYPE_INT)
      return misuse(h, Op::kControlSet, handle, attribute, "attribute needs IntValue");
    const IntValue *v = static_cast<const IntValue *>(value);
    switch (attribute) {
      case CTL_X:
      case CTL_Y:
        h->trace_.record(Op::kControlSet, handle, c->type_name(), {attribute, v->intv});
        // Moved: clear where it was, draw it where it is.
        fb.fill_rect(c->x_, c->y_, c->width_, c->height_, palette::kBackground);
        (attribute == CTL_X ? c->x_ : c->y_) = clamp_coordinate(v->intv);
        c->draw(fb);
        return;
      case CTL_VALUE:
        h->trace_.record(Op::kControlSet, handle, c->type_name(), {attribute, v->intv});
        c->value_ = {v->intv, 0, 0};
        c->draw(fb);
        return;
      case CTL_EVENT_FUNC:
        h->trace_.record(Op::kControlSet, handle, c->type_name(), {attribute});
        c->event_func_ = as_function<ControlEventFunc>(v->ptr);
        return;
      case CTL_USER_DATA:
        h->trace_.record(Op::kControlSet, handle, c->type_name(), {attribute});
        c->user_data_ = v->ptr;
        return;
      default:
        return misuse(h, Op::kControlSet, handle, attribute, "attribute cannot be set");
    }
  }

  // ---- Panel drawing ------------------------------------------------------

  static void draw_rgb_box(PanelID id, int r, int g, int b, int x, int y, int w, int hgt) {
    Host *h = host();
    if (!h) return;
    Panel *p = h->live_panel(id, Op::kDrawRgbBox);
    if (!p) return;
    h->trace_.record(Op::kDrawRgbBox, id, "", {r, g, b, x, y, w, hgt});
    p->fb_.fill_rect(x, y, w, hgt, Rgb::clamped(r, g, b));
  }

  static void draw_border(PanelID id, int indent, int x, int y, int w, int hgt) {
    Host *h = host();
    if (!h) return;
    Panel *p = h->live_panel(id, Op::kDrawBorder);
    if (!p) return;
    h->trace_.record(Op::kDrawBorder, id, "", {indent, x, y, w, hgt});
    if (indent > 0)  // sunken
      p->fb_.bevel(x, y, w, hgt, palette::kBevelDark, palette::kBevelLight);
    else if (indent < 0)  // raised
      p->fb_.bevel(x, y, w, hgt, palette::kBevelLight, palette::kBevelDark);
    else
      p->fb_.frame(x, y, w, hgt, palette::kFrame);
  }

  static const int *display_metrics() {
    Host *h = host();
    if (!h) return nullptr;
    h->trace_.record(Op::kDisplayMetrics, nullptr, "", {h->metrics_[0], h->metrics_[1]});
    return h->metrics_.data();
  }

  // ---- Rasters ----------------------------------------------------------------

  static RasterID raster_create(int w, int hgt, int flags) {
    Host *h = host();
    if (!h) return nullptr;
    if (h->trace_.should_fail(FailPoint::kRasterCreate)) {
      h->trace_.record(Op::kRasterCreate, nullptr, "", {w, hgt, flags}, CallStatus::kFailed);
      return nullptr;
    }
    auto raster = std::make_unique<Raster>(w, hgt);
    const RasterID id = raster->id();
    h->rasters_[id] = std::move(raster);
    h->trace_.record(Op::kRasterCreate, id, "", {w, hgt, flags});
    return id;
  }

  static void raster_destroy(RasterID id) {
    Host *h = host();
    if (!h) return;
    Raster *r = h->live_raster(id, Op::kRasterDestroy);
    if (!r) return;
    h->trace_.record(Op::kRasterDestroy, id, "", {});
    if (h->last_raster_ == r) h->last_raster_ = nullptr;
    h->rasters_.erase(id);
  }

  static void raster_pixel(RasterID id, int code, int x, int y) {
    Host *h = host();
    if (!h) return;
    Raster *r = h->live_raster(id, Op::kRasterPixel);
    if (!r) return;
    h->trace_.record(Op::kRasterPixel, id, "", {code, x, y});
    r->framebuffer().set_pixel(x, y, palette::color_for_code(code));
  }

  static void raster_rgb_pixel(RasterID id, int red, int g, int b, int x, int y) {
    Host *h = host();
    if (!h) return;
    Raster *r = h->live_raster(id, Op::kRasterRgbPixel);
    if (!r) return;
    h->trace_.record(Op::kRasterRgbPixel, id, "", {red, g, b, x, y});
    r->framebuffer().set_pixel(x, y, Rgb::clamped(red, g, b));
  }

  static void raster_rgb_box(RasterID id, int red, int g, int b, int x, int y, int w, int hgt) {
    Host *h = host();
    if (!h) return;
    Raster *r = h->live_raster(id, Op::kRasterRgbBox);
    if (!r) return;
    h->trace_.record(Op::kRasterRgbBox, id, "", {red, g, b, x, y, w, hgt});
    r->framebuffer().fill_rect(x, y, w, hgt, Rgb::clamped(red, g, b));
  }

  static void raster_erase_box(RasterID id, int x, int y, int w, int hgt) {
    Host *h = host();
    if (!h) return;
    Raster *r = h->live_raster(id, Op::kRasterEraseBox);
    if (!r) return;
    h->trace_.record(Op::kRasterEraseBox, id, "", {x, y, w, hgt});
    r->framebuffer().fill_rect(x, y, w, hgt, palette::kBackground);
  }

  static void raster_blit(RasterID id, int src_x, int src_y, PanelID panel, int x, int y, int w,
                          int hgt) {
    Host *h = host();
    if (!h) return;
    Raster *r = h->live_raster(id, Op::kRasterBlit);
    if (!r) return;
    Panel *p = h->live_panel(panel, Op::kRasterBlit);
    if (!p) return;
    h->trace_.record(Op::kRasterBlit, id, "", {src_x, src_y, x, y, w, hgt});
    p->fb_.blit(r->framebuffer(), src_x, src_y, x, y, w, hgt);
  }

  static void misuse(Host *h, Op op, const void *handle, int attribute, const char *what) {
    h->trace_.record(op, handle, "", {attribute}, CallStatus::kMisuse);
    h->trace_.note_problem(std::string(op_name(op)) + " " + std::to_string(attribute) + ": " +
                           what);
  }
};

PanelFuncs HostAbi::panel_table = {
    &HostAbi::panel_create, &HostAbi::panel_destroy, &HostAbi::panel_open,
    &HostAbi::panel_draw,   &HostAbi::panel_close,   &HostAbi::panel_get,
    &HostAbi::panel_set,    &HostAbi::control_add,   &HostAbi::draw_rgb_box,
    &HostAbi::draw_border,  &HostAbi::display_metrics,
};

RasterFuncs HostAbi::raster_table = {
    &HostAbi::raster_create,  &HostAbi::raster_destroy,   &HostAbi::raster_pixel,
    &HostAbi::raster_rgb_pixel, &HostAbi::raster_rgb_box, &HostAbi::raster_erase_box,
    &HostAbi::raster_blit,
};

GlobalFunc Host::lookup_function() { return &HostAbi::lookup; }
PanelFuncs *Host::panel_funcs() { return &HostAbi::panel_table; }
RasterFuncs *Host::raster_funcs() { return &HostAbi::raster_table; }

}  // namespace hvhost
