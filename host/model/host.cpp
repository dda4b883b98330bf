#include "model/host.h"

#include <algorithm>
#include <utility>

#include "model/chrome.h"
#include "model/palette.h"
#include "model/text.h"

namespace hvhost {

namespace {

int button_flag(MouseButton b) {
  switch (b) {
    case MouseButton::kLeft: return MOUSE_LEFT;
    case MouseButton::kMiddle: return MOUSE_MID;
    case MouseButton::kRight: return MOUSE_RIGHT;
  }
  return 0;
}

}  // namespace

struct Host::WindowCache {
  Framebuffer image;
  WindowLayout layout;
  uint64_t revision = ~uint64_t{0};
  std::string title;
  int flags = -1;
};

Host::Host(HostOptions options) : previous_(current_) {
  set_display_size(options.display_width, options.display_height);
  current_ = this;
}

Host::~Host() {
  // Restores the previous host if this one is current; a host destroyed
  // out of order just leaves the chain.
  if (current_ == this) current_ = previous_;
}

void Host::set_display_size(int width, int height) {
  metrics_ = LWDisplayMetrics{};
  metrics_.width = std::clamp(width, 1, kMaxDisplaySize);
  metrics_.height = std::clamp(height, 1, kMaxDisplaySize);
  metrics_.pixX = 1;  // square pixels
  metrics_.pixY = 1;
  metrics_.maxColors = 1 << 24;
  metrics_.depth = 24;
  metrics_.textHeight = kTextLineHeight;
  metrics_.textAscent = kTextHeight;
}

void Host::set_input(InputDriver *driver) {
  input_ = driver;
  if (!driver) return;
  input_ended_ = false;
  aborted_ = false;
  error_.clear();
}

void Host::set_desktop(DesktopInput *desktop) { desktop_ = desktop ? desktop : &default_desktop_; }

void Host::withhold_service(const std::string &name, bool withheld) {
  auto &w = withheld_services_;
  w.erase(std::remove(w.begin(), w.end(), name), w.end());
  if (withheld) w.push_back(name);
}

// ---- Objects ---------------------------------------------------------------

std::vector<Panel *> Host::panels() const {
  std::vector<Panel *> out;
  for (const auto &p : panels_) out.push_back(p.get());
  return out;
}

Panel *Host::panel(LWPanelID id) const {
  auto it = panel_index_.find(id);
  return it == panel_index_.end() ? nullptr : it->second;
}

Control *Host::control(LWControlID handle) const {
  auto it = control_index_.find(handle);
  return it == control_index_.end() ? nullptr : it->second;
}

Raster *Host::raster(LWRasterID id) const {
  auto it = rasters_.find(id);
  return it == rasters_.end() ? nullptr : it->second.get();
}

std::vector<Panel *> Host::modal_panels() const {
  std::vector<Panel *> out;
  for (const auto &p : modal_) out.push_back(p.get());
  return out;
}

Panel *Host::innermost_panel() const { return modal_.empty() ? nullptr : modal_.back().get(); }

std::vector<Panel *> Host::open_panels() const { return open_; }

Panel *Host::live_panel(LWPanelID id, Op op) {
  Panel *p = panel(id);
  if (!p) {
    trace_.record(op, id, "", {}, CallStatus::kBadHandle);
    trace_.note_problem(std::string(op_name(op)) + ": unknown panel handle");
  }
  return p;
}

Control *Host::live_control(LWControlID handle, Op op) {
  Control *c = control(handle);
  if (!c) {
    trace_.record(op, handle, "", {}, CallStatus::kBadHandle);
    trace_.note_problem(std::string(op_name(op)) + ": unknown control handle");
  }
  return c;
}

Raster *Host::find_raster(LWRasterID id, Op op) {
  Raster *r = raster(id);
  if (!r) {
    trace_.record(op, id, "", {}, CallStatus::kBadHandle);
    trace_.note_problem(std::string(op_name(op)) + ": unknown raster handle");
    return nullptr;
  }
  last_raster_ = r;
  return r;
}

void Host::forget_panel(Panel &panel) {
  for (const auto &c : panel.controls_) control_index_.erase(c->handle());
  panel_index_.erase(panel.id());
  window_cache_.erase(&panel);
  open_.erase(std::remove(open_.begin(), open_.end(), &panel), open_.end());
  panel.destroyed_ = true;
  auto it = std::find_if(panels_.begin(), panels_.end(),
                         [&](const std::shared_ptr<Panel> &p) { return p.get() == &panel; });
  if (it != panels_.end()) panels_.erase(it);
}

// ---- Drawing ---------------------------------------------------------------

void Host::redraw(Panel &panel) {
  if (panel.drawing_) {
    trace_.note_problem("redraw requested from inside the panel's draw callback: ignored");
    return;
  }
  panel.fb_.erase(palette::kBackground);
  for (const auto &c : panel.controls_) c->draw(panel.fb_);
  call_draw(panel, kHostRedrawMode);
}

void Host::call_draw(Panel &panel, int mode) {
  if (!panel.callbacks_.draw) return;
  if (panel.drawing_) {
    trace_.note_problem("panel.draw from inside the panel's draw callback: ignored");
    return;
  }
  trace_.record(Op::kCallDraw, panel.id(), "", {mode});
  ++panel.drawing_;
  panel.callbacks_.draw(panel.id(), panel.user_data_, mode);
  --panel.drawing_;
}

void Host::redraw_control(Control &control) { control.draw(control.panel().fb_); }

std::optional<Rgb> Host::screen_pixel(int x, int y) const {
  for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
    const Panel &p = **it;
    std::unique_ptr<WindowCache> &cache = window_cache_[&p];
    if (!cache) cache = std::make_unique<WindowCache>();
    if (cache->revision != p.framebuffer().revision() || cache->title != p.title() ||
        cache->flags != p.open_flags() || cache->layout.client.w != p.width() ||
        cache->layout.client.h != p.height()) {
      cache->layout = window_layout(p);
      compose_window_into(p, cache->image);
      cache->revision = p.framebuffer().revision();
      cache->title = p.title();
      cache->flags = p.open_flags();
    }
    const int64_t wx = static_cast<int64_t>(x) - p.x();
    const int64_t wy = static_cast<int64_t>(y) - p.y();
    if (wx >= 0 && wy >= 0 && wx < cache->image.width() && wy < cache->image.height())
      return cache->image.pixel(static_cast<int>(wx), static_cast<int>(wy));
  }
  return std::nullopt;
}

// ---- Modal open ------------------------------------------------------------

int Host::run_open(Panel &panel, int flags) {
  const bool blocking = (flags & PANF_BLOCKING) != 0;
  if (blocking && static_cast<int>(modal_.size()) >= kMaxModalDepth) {
    trace_.note_problem("panel.open: modal opens nested deeper than " +
                        std::to_string(kMaxModalDepth));
    return 0;
  }
  // Holds the panel even if the plug-in destroys it during the open.
  std::shared_ptr<Panel> keep;
  for (const auto &p : panels_)
    if (p.get() == &panel) keep = p;

  panel.open_ = true;
  panel.modal_ = blocking;
  panel.open_flags_ = flags;
  panel.close_requested_ = false;
  panel.result_ = 0;
  panel.mouse_ = {};
  ++panel.times_opened_;
  open_.push_back(&panel);
  if (blocking) modal_.push_back(keep);

  if (panel.callbacks_.opened) {
    trace_.record(Op::kCallOpened, panel.id(), "", {});
    panel.callbacks_.opened(panel.id(), panel.user_data_);
  }
  if (panel.open_ && !panel.destroyed_) {
    check_layout(panel);
    redraw(panel);
  }
  if (!blocking) return 1;

  while (!panel.close_requested_ && !panel.destroyed_ && !aborted_ && !input_ended_)
    if (!input_ || !input_->feed(*this)) input_ended_ = true;
  const int result = panel.close_requested_ ? panel.result_ : 0;
  auto it = std::find(modal_.begin(), modal_.end(), keep);
  if (it != modal_.end()) modal_.erase(it);
  open_.erase(std::remove(open_.begin(), open_.end(), &panel), open_.end());
  panel.open_ = false;
  panel.modal_ = false;
  panel.mouse_ = {};
  return result;
}

std::vector<std::string> layout_problems(const Panel &panel) {
  if (panel.width() <= 0 || panel.height() <= 0)
    return {"panel.open: the panel has no size (" + std::to_string(panel.width()) + " x " +
            std::to_string(panel.height()) +
            "; set PAN_W and PAN_H): a window shows none of its controls"};
  std::vector<std::string> problems;
  const Rect area{0, 0, panel.width(), panel.height()};
  for (const auto &c : panel.controls()) {
    const Rect r = c->rect();
    const bool inside = r.w > 0 && r.h > 0 && r.x >= 0 && r.y >= 0 &&
                        static_cast<int64_t>(r.x) + r.w <= area.w &&
                        static_cast<int64_t>(r.y) + r.h <= area.h;
    if (!inside)
      problems.push_back("panel.open: the " + c->type_name() + " at " + std::to_string(r.x) + "," +
                         std::to_string(r.y) + " (" + std::to_string(r.w) + " x " +
                         std::to_string(r.h) + ") is not wholly inside its panel (" +
                         std::to_string(area.w) + " x " + std::to_string(area.h) + ")");
  }
  return problems;
}

void Host::check_layout(const Panel &panel) {
  for (std::string &problem : layout_problems(panel)) trace_.note_problem(std::move(problem));
}

void Host::close_panel(Panel &panel, int result) {
  if (!panel.open_) return;
  if (panel.modal_) {
    // The modal loop notices and returns.
    if (!panel.close_requested_) panel.result_ = result;
    panel.close_requested_ = true;
    return;
  }
  panel.open_ = false;
  open_.erase(std::remove(open_.begin(), open_.end(), &panel), open_.end());
}

// ---- Input entry points ----------------------------------------------------

void Host::call_mouse(Panel &panel, LWPanMouseFunc *func, Op op, int flags, int x, int y) {
  if (!func) return;
  trace_.record(op, panel.id(), "", {flags, x, y});
  func(panel.id(), panel.user_data_, flags, x, y);
}

void Host::call_key(Panel &panel, LWPanKeyFunc *func, Op op, uint32_t code) {
  if (!func) return;
  const LWDualKey key = static_cast<LWDualKey>(code);
  if (qualifiers_)
    trace_.record(op, panel.id(), "", {key, qualifiers_});
  else
    trace_.record(op, panel.id(), "", {key});
  func(panel.id(), panel.user_data_, key);
}

void Host::call_control_event(Control &control) {
  if (!control.event_func_) return;
  trace_.record(Op::kCallControlEvent, control.handle(), control.type_name(), {});
  control.event_func_(control.handle(), control.user_data_);
}

bool Host::mouse_press(int x, int y, MouseButton button) {
  Panel *p = innermost_panel();
  if (!p) return false;
  p->mouse_.held = button;
  p->mouse_.captured = p->control_at(x, y);
  if (Control *c = p->mouse_.captured) {
    if (c->kind() == ControlKind::kButton) {
      c->pressed_ = true;
      redraw_control(*c);
    }
    return true;
  }
  call_mouse(*p, p->callbacks_.mouse_button, Op::kCallMouseButton, MOUSE_DOWN | button_flag(button),
             x, y);
  return true;
}

bool Host::mouse_move(int x, int y) {
  Panel *p = innermost_panel();
  if (!p) return false;
  if (!p->mouse_.held || p->mouse_.captured) return true;
  call_mouse(*p, p->callbacks_.mouse_move, Op::kCallMouseMove,
             MOUSE_DOWN | button_flag(*p->mouse_.held), x, y);
  return true;
}

bool Host::mouse_release(int x, int y, MouseButton button) {
  Panel *p = innermost_panel();
  if (!p) return false;
  Control *captured = p->mouse_.captured;
  p->mouse_ = {};
  if (captured) {
    const bool was_pressed = captured->pressed_;
    captured->pressed_ = false;
    if (was_pressed) redraw_control(*captured);
    const bool clickable =
        captured->kind() == ControlKind::kButton || captured->kind() == ControlKind::kCanvas;
    if (clickable && captured->rect().contains(x, y)) call_control_event(*captured);
    return true;
  }
  call_mouse(*p, p->callbacks_.mouse_button, Op::kCallMouseButton, button_flag(button), x, y);
  return true;
}

bool Host::host_key(const Panel &panel, uint32_t code) const {
  const bool enter = code == kEnterKey || code == LWDK_RETURN;
  return (enter || code == kEscKey) && !(panel.open_flags() & PANF_PASSALLKEYS);
}

void Host::hold_qualifiers(int qualifiers) {
  if (qualifiers == qualifiers_) return;
  qualifiers_ = qualifiers;
  desktop_->keys_held(qualifiers);
}

bool Host::key_down(uint32_t code, int qualifiers) {
  Panel *p = innermost_panel();
  if (!p) return false;
  hold_qualifiers(qualifiers);
  desktop_->key_changed(code, true);
  if (host_key(*p, code)) {
    close_panel(*p, code == kEscKey ? 0 : 1);
    return true;
  }
  call_key(*p, p->callbacks_.key_down, Op::kCallKeyDown, code);
  return true;
}

bool Host::key_up(uint32_t code, int qualifiers) {
  Panel *p = innermost_panel();
  if (!p) return false;
  hold_qualifiers(qualifiers);
  desktop_->key_changed(code, false);
  if (!host_key(*p, code)) call_key(*p, p->callbacks_.key_up, Op::kCallKeyUp, code);
  // The keys held with it come up after it.
  hold_qualifiers(0);
  return true;
}

bool Host::key(uint32_t code, int qualifiers) {
  if (!key_down(code, qualifiers)) return false;
  // The press may have opened a panel over this one, or closed it: the
  // release goes to whichever panel takes input now.
  key_up(code, qualifiers);
  return true;
}

bool Host::edit_control(Control &control, std::array<int, 3> value) {
  if (control.panel().destroyed_) return false;
  if (control.is_editor())
    for (int &v : value) v = std::clamp(v, kEditorMin, kEditorMax);
  control.value_ = value;
  redraw_control(control);
  call_control_event(control);
  return true;
}

bool Host::click_control(Control &control) {
  if (control.panel().destroyed_) return false;
  call_control_event(control);
  return true;
}

bool Host::accept() {
  Panel *p = innermost_panel();
  if (!p) return false;
  close_panel(*p, 1);
  return true;
}

bool Host::cancel() {
  Panel *p = innermost_panel();
  if (!p) return false;
  close_panel(*p, 0);
  return true;
}

void Host::move_panel(Panel &panel, int x, int y) {
  panel.x_ = std::clamp(x, -kCoordinateLimit, kCoordinateLimit);
  panel.y_ = std::clamp(y, -kCoordinateLimit, kCoordinateLimit);
}

void Host::raise_panel(Panel &panel) {
  ++panel.times_raised_;
  auto it = std::find(open_.begin(), open_.end(), &panel);
  if (it != open_.end()) std::rotate(it, it + 1, open_.end());
}

void Host::advance_time(uint32_t ms) {
  now_ms_ += ms;
  desktop_->time_passed(ms, now_ms_);
}

bool Host::snapshot(const Panel &panel, const std::string &name, std::string *error) {
  return !snapshot_handler_ || snapshot_handler_(panel, name, error);
}

void Host::stop_input(std::string error) {
  error_ = std::move(error);
  aborted_ = true;
}

}  // namespace hvhost
