// "LWPanelServices" and the controls: the global lookup, the panel slots of
// LWPanelFuncs, the slots of each LWControl, and the three tables.
//
// Tags the host serves are listed in panel_get / panel_set / control_get /
// control_set; any other tag is accepted and ignored, as the host does (it
// is recorded in the trace, and a get leaves the value as it was).
#include "tables/host_abi.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "model/palette.h"

namespace hvhost {

namespace {

int clamp_coordinate(int v) { return std::clamp(v, -kCoordinateLimit, kCoordinateLimit); }

template <typename F>
F *as_function(void *p) {
  return reinterpret_cast<F *>(p);
}

template <typename F>
void *as_pointer(F *f) {
  return reinterpret_cast<void *>(f);
}

bool is_int_tag(int tag) { return tag == PAN_X || tag == PAN_Y || tag == PAN_W || tag == PAN_H; }

}  // namespace

// ---- Global lookup ------------------------------------------------------------

void *HostAbi::lookup(const char *name, int use_mode) {
  Host *h = host();
  if (!h) return nullptr;
  const std::string n = name ? name : "";
  const auto &withheld = h->withheld_services_;
  if (h->trace_.should_fail(FailPoint::kLookup) ||
      std::find(withheld.begin(), withheld.end(), n) != withheld.end()) {
    h->trace_.record(Op::kLookup, nullptr, n, {use_mode}, CallStatus::kFailed);
    return nullptr;
  }
  h->trace_.record(Op::kLookup, nullptr, n, {use_mode});
  if (n == LWPANELFUNCS_GLOBAL) return &panel_table;
  if (n == LWRASTERFUNCS_GLOBAL) return &raster_table;
  return nullptr;
}

// ---- Panels -------------------------------------------------------------------

LWPanelID HostAbi::panel_create(char *title, void *) {
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

void HostAbi::panel_destroy(LWPanelID id) {
  Host *h = host();
  if (!h) return;
  Panel *p = h->live_panel(id, Op::kPanelDestroy);
  if (!p) return;
  h->trace_.record(Op::kPanelDestroy, id, "", {});
  h->close_panel(*p, 0);
  h->forget_panel(*p);
}

int HostAbi::panel_open(LWPanelID id, int flags) {
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

// The host's input runs in the modal loop of a blocking open; outside it
// there are no events to handle, so this only reports.
int HostAbi::panel_handle(LWPanelID id, int event_flags) {
  Host *h = host();
  if (!h) return 0;
  Panel *p = h->live_panel(id, Op::kPanelHandle);
  if (!p) return 0;
  h->trace_.record(Op::kPanelHandle, id, "", {event_flags});
  return 0;
}

void HostAbi::panel_draw(LWPanelID id, int mode) {
  Host *h = host();
  if (!h) return;
  Panel *p = h->live_panel(id, Op::kPanelDraw);
  if (!p) return;
  h->trace_.record(Op::kPanelDraw, id, "", {mode});
  if (!p->is_open() || mode == DR_ERASE) return;
  if (mode == kHostRedrawMode)
    h->redraw(*p);
  else
    h->call_draw(*p, mode);
}

void HostAbi::panel_close(LWPanelID id) {
  Host *h = host();
  if (!h) return;
  Panel *p = h->live_panel(id, Op::kPanelClose);
  if (!p) return;
  h->trace_.record(Op::kPanelClose, id, "", {});
  h->close_panel(*p, 0);
}

void HostAbi::panel_get(LWPanelID id, int tag, void *value) {
  Host *h = host();
  if (!h) return;
  Panel *p = h->live_panel(id, Op::kPanelGet);
  if (!p) return;
  if (!value) return misuse(h, Op::kPanelGet, id, tag, "null value pointer");
  h->trace_.record(Op::kPanelGet, id, "", {tag});
  int *iv = static_cast<int *>(value);
  void **pv = static_cast<void **>(value);
  const PanelCallbacks &cb = p->callbacks_;
  switch (tag) {
    case PAN_X: *iv = p->x_; break;
    case PAN_Y: *iv = p->y_; break;
    case PAN_W: *iv = p->width(); break;
    case PAN_H: *iv = p->height(); break;
    case PAN_VERSION: *iv = LWPANELS_API_VERSION; break;
    case PAN_QUALIFIERS: *iv = h->qualifiers(); break;
    case PAN_USERDRAW: *pv = as_pointer(cb.draw); break;
    case PAN_USEROPEN: *pv = as_pointer(cb.opened); break;
    case PAN_TITLE: *pv = const_cast<char *>(p->title_.c_str()); break;
    case PAN_USERDATA: *pv = p->user_data_; break;
    case PAN_USERKEYS: *pv = as_pointer(cb.key_down); break;
    case PAN_USERKEYUPS: *pv = as_pointer(cb.key_up); break;
    case PAN_MOUSEBUTTON: *pv = as_pointer(cb.mouse_button); break;
    case PAN_MOUSEMOVE: *pv = as_pointer(cb.mouse_move); break;
    default: break;  // accepted, value untouched
  }
}

void HostAbi::panel_set(LWPanelID id, int tag, void *value) {
  Host *h = host();
  if (!h) return;
  Panel *p = h->live_panel(id, Op::kPanelSet);
  if (!p) return;
  const bool int_tag = is_int_tag(tag);
  if (int_tag && !value) return misuse(h, Op::kPanelSet, id, tag, "null value pointer");
  const int iv = int_tag ? *static_cast<const int *>(value) : 0;
  // The entry is whole when recorded: an int tag with its value, a title
  // with its text.
  const char *title = tag == PAN_TITLE && value ? static_cast<const char *>(value) : "";
  if (int_tag)
    h->trace_.record(Op::kPanelSet, id, "", {tag, iv});
  else
    h->trace_.record(Op::kPanelSet, id, title, {tag});
  PanelCallbacks &cb = p->callbacks_;
  switch (tag) {
    case PAN_X: p->x_ = clamp_coordinate(iv); break;
    case PAN_Y: p->y_ = clamp_coordinate(iv); break;
    case PAN_W:
    case PAN_H: {
      const int w = tag == PAN_W ? iv : p->width();
      const int ht = tag == PAN_H ? iv : p->height();
      p->fb_.resize(w, ht, palette::kBackground);
      for (const auto &c : p->controls_) c->draw(p->fb_);
      if (p->is_open()) h->redraw(*p);
      break;
    }
    case PAN_USERDRAW: cb.draw = as_function<LWPanDrawFunc>(value); break;
    case PAN_USEROPEN: cb.opened = as_function<LWPanHookFunc>(value); break;
    case PAN_TITLE: {
      p->title_ = title;
      break;
    }
    case PAN_USERDATA: p->user_data_ = value; break;
    case PAN_USERKEYS: cb.key_down = as_function<LWPanKeyFunc>(value); break;
    case PAN_USERKEYUPS: cb.key_up = as_function<LWPanKeyFunc>(value); break;
    case PAN_MOUSEBUTTON: cb.mouse_button = as_function<LWPanMouseFunc>(value); break;
    case PAN_MOUSEMOVE: cb.mouse_move = as_function<LWPanMouseFunc>(value); break;
    case PAN_TO_FRONT: h->raise_panel(*p); break;
    default: break;  // accepted and ignored
  }
}

// ---- Controls -------------------------------------------------------------------

LWControl *HostAbi::control_add(LWPanelID id, char *type_name, LWPanControlDesc *desc,
                                char *label) {
  Host *h = host();
  if (!h) return nullptr;
  Panel *p = h->live_panel(id, Op::kControlAdd);
  if (!p) return nullptr;
  // The whole union is the host's to read.
  LWPanControlDesc d;
  std::memset(&d, 0, sizeof d);
  if (desc) std::memcpy(&d, desc, sizeof d);
  const std::string type = type_name ? type_name : "";
  if (h->trace_.should_fail(FailPoint::kControlAdd)) {
    h->trace_.record(Op::kControlAdd, id, type, {d.area.type, d.area.width, d.area.height},
                     CallStatus::kFailed);
    return nullptr;
  }
  if (type.empty()) {
    misuse(h, Op::kControlAdd, id, 0, "no type name");
    return nullptr;
  }
  auto control = std::make_unique<Control>(*p, type, d, label ? label : "");
  Control *c = control.get();
  c->abi_.draw = &control_draw;
  c->abi_.get = &control_get;
  c->abi_.set = &control_set;
  c->abi_.priv_data = c;
  p->controls_.push_back(std::move(control));
  h->control_index_[c->handle()] = c;
  h->trace_.record(Op::kControlAdd, id, type, {d.area.type, d.area.width, d.area.height});
  c->draw(p->fb_);
  return c->handle();
}

// The control after `after` on the panel, the first with a null `after`,
// null after the last.
LWControl *HostAbi::control_next(LWPanelID id, LWControlID after) {
  Host *h = host();
  if (!h) return nullptr;
  Panel *p = h->live_panel(id, Op::kControlNext);
  if (!p) return nullptr;
  const auto &controls = p->controls_;
  size_t next = 0;
  if (after) {
    Control *c = h->live_control(after, Op::kControlNext);
    if (!c) return nullptr;
    auto it = std::find_if(controls.begin(), controls.end(),
                           [&](const std::unique_ptr<Control> &k) { return k.get() == c; });
    if (it == controls.end()) {
      misuse(h, Op::kControlNext, id, 0, "the control is on another panel");
      return nullptr;
    }
    next = static_cast<size_t>(it - controls.begin()) + 1;
  }
  h->trace_.record(Op::kControlNext, id, "", {});
  return next < controls.size() ? controls[next]->handle() : nullptr;
}

void HostAbi::control_draw(LWControlID handle, int mode) {
  Host *h = host();
  if (!h) return;
  Control *c = h->live_control(handle, Op::kControlDraw);
  if (!c) return;
  h->trace_.record(Op::kControlDraw, handle, c->type_name(), {mode});
  Framebuffer &fb = c->panel_->fb_;
  if (mode == DR_ERASE)
    fb.fill_rect(c->x_, c->y_, c->width_, c->height_, palette::kBackground);
  else
    c->draw(fb);
}

void HostAbi::control_get(LWControlID handle, int tag, LWValue *value) {
  Host *h = host();
  if (!h) return;
  Control *c = h->live_control(handle, Op::kControlGet);
  if (!c) return;
  if (!value) return misuse(h, Op::kControlGet, handle, tag, "null value record");
  if (tag == CTL_VALUE && c->is_editor()) {
    if (value->type != LWT_VINT)
      return misuse(h, Op::kControlGet, handle, tag, "an editor's value is an int vector");
    h->trace_.record(Op::kControlGet, handle, c->type_name(), {tag});
    // The whole member, default included.
    std::copy(c->value_.begin(), c->value_.end(), value->ivec.val);
    value->ivec.defVal = 0;
    return;
  }
  const Rect inner = c->inner();
  int v = 0;
  void *ptr = nullptr;
  bool pointer = false;
  switch (tag) {
    case CTL_X: v = c->x_; break;
    case CTL_Y: v = c->y_; break;
    case CTL_W: v = c->width_; break;
    case CTL_H: v = c->height_; break;
    case CTL_VALUE: v = c->value_[0]; break;
    case CTL_HOTX: v = inner.x; break;
    case CTL_HOTY: v = inner.y; break;
    case CTL_HOTW: v = c->width_ + c->placement_offset_x(); break;
    case CTL_HOTH: v = c->height_ + c->placement_offset_y(); break;
    case CTL_USEREVENT: ptr = as_pointer(c->event_func_), pointer = true; break;
    case CTL_USERDATA: ptr = c->user_data_, pointer = true; break;
    case CTL_PANEL: ptr = c->panel_->id(), pointer = true; break;
    default:  // accepted, value untouched
      h->trace_.record(Op::kControlGet, handle, c->type_name(), {tag});
      return;
  }
  if (value->type != LWT_INTEGER)
    return misuse(h, Op::kControlGet, handle, tag, "the value is an integer record");
  if (pointer) {
    value->ptr.ptr = ptr;
  } else {
    value->intv.value = v;
    value->intv.defVal = 0;
  }
  h->trace_.record(Op::kControlGet, handle, c->type_name(), {tag});
}

void HostAbi::control_set(LWControlID handle, int tag, LWValue *value) {
  Host *h = host();
  if (!h) return;
  Control *c = h->live_control(handle, Op::kControlSet);
  if (!c) return;
  if (!value) return misuse(h, Op::kControlSet, handle, tag, "null value record");
  Framebuffer &fb = c->panel_->fb_;
  if (tag == CTL_VALUE && c->is_editor()) {
    if (value->type != LWT_VINT)
      return misuse(h, Op::kControlSet, handle, tag, "an editor's value is an int vector");
    const int *val = value->ivec.val;
    h->trace_.record(Op::kControlSet, handle, c->type_name(), {tag, val[0], val[1], val[2]});
    c->value_ = {val[0], val[1], val[2]};
    // Redrawn, and never the event callback: that is for the user's edits.
    c->draw(fb);
    return;
  }
  const bool served = tag == CTL_X || tag == CTL_Y || tag == CTL_VALUE || tag == CTL_USEREVENT ||
                      tag == CTL_USERDATA;
  if (!served) {  // accepted and ignored
    h->trace_.record(Op::kControlSet, handle, c->type_name(), {tag});
    return;
  }
  if (value->type != LWT_INTEGER)
    return misuse(h, Op::kControlSet, handle, tag, "the value is an integer record");
  switch (tag) {
    case CTL_X:
    case CTL_Y:
      h->trace_.record(Op::kControlSet, handle, c->type_name(), {tag, value->intv.value});
      // Moved: clear where it was, draw it where it is.
      fb.fill_rect(c->x_, c->y_, c->width_, c->height_, palette::kBackground);
      (tag == CTL_X ? c->x_ : c->y_) = clamp_coordinate(value->intv.value);
      c->draw(fb);
      return;
    case CTL_VALUE:
      h->trace_.record(Op::kControlSet, handle, c->type_name(), {tag, value->intv.value});
      c->value_ = {value->intv.value, 0, 0};
      c->draw(fb);
      return;
    case CTL_USEREVENT:
      h->trace_.record(Op::kControlSet, handle, c->type_name(), {tag});
      c->event_func_ = as_function<LWCtlEventFunc>(value->ptr.ptr);
      return;
    case CTL_USERDATA:
      h->trace_.record(Op::kControlSet, handle, c->type_name(), {tag});
      c->user_data_ = value->ptr.ptr;
      return;
    default: return;
  }
}

// ---- The tables -------------------------------------------------------------------

LWPanelFuncs HostAbi::panel_table = {
    &HostAbi::panel_create,
    &HostAbi::panel_destroy,
    &HostAbi::panel_open,
    &HostAbi::panel_handle,
    &HostAbi::panel_draw,
    &HostAbi::panel_close,
    &HostAbi::panel_get,
    &HostAbi::panel_set,
    &HostAbi::control_add,
    &HostAbi::control_next,
    &HostAbi::draw_table,
    nullptr,  // user_data: the caller's
    &HostAbi::lookup,
};

DrawFuncs HostAbi::draw_table = {
    &HostAbi::draw_pixel, &HostAbi::draw_rgb_pixel, &HostAbi::draw_line,
    &HostAbi::draw_box,   &HostAbi::draw_rgb_box,   &HostAbi::draw_border,
    &HostAbi::text_width, &HostAbi::draw_text,      &HostAbi::display_metrics,
};

LWRasterFuncs HostAbi::raster_table = {
    &HostAbi::raster_pixel,   &HostAbi::raster_rgb_pixel, &HostAbi::raster_line,
    &HostAbi::raster_box,     &HostAbi::raster_rgb_box,   &HostAbi::raster_erase_box,
    &HostAbi::raster_border,  &HostAbi::raster_text,      &HostAbi::raster_create,
    &HostAbi::raster_destroy, &HostAbi::raster_blit,      &HostAbi::raster_blit_raster,
};

GlobalFunc *Host::lookup_function() { return &HostAbi::lookup; }
LWPanelFuncs *Host::panel_funcs() { return &HostAbi::panel_table; }
LWRasterFuncs *Host::raster_funcs() { return &HostAbi::raster_table; }

}  // namespace hvhost
