// libFuzzer harness: whole colour requests against the plug-in in the
// reference host, under ASan + UBSan.
//
// One input is a desktop size, then up to kMaxActivations colour requests.
// Each request is a header (null title, hot callback or not, version), three
// colour floats taken raw from the bytes (so NaN, infinities, huge and
// negative values occur) and a title, followed by the operations performed
// while the picker is open: the host's own mouse, key, edit, click, OK and
// Cancel actions, and also what a real host could deliver that ours never
// does: mouse callbacks with any flags and positions, editor values outside
// 0..255, any key code, draw callbacks with any mode, triggers while a
// sampling run is under way, low-level mouse events with any message, code
// and position, time passing (which fires the eyedropper's timer), and
// failures of host services, desktop calls and the plug-in's allocations.
//
// The plug-in keeps its picker for the life of the process, as it does in a
// real host, so one Host serves every input and the picker is built once,
// before the first input. Everything an input can leave behind is reset at
// the start of the next, so that an input replays the same way alone or in
// a run: the display size (set from the input), the simulated desktop (a
// fresh one: hooks, timers, DCs, time, pointer, its call counts and armed
// failures), the host's call counts and misuse notes, and the picker's mouse
// capture (a button-up); at the end of each input every failure it armed in
// the host, the desktop and the plug-in's allocator is disarmed and the
// pixel failures cleared. The rest of the picker's state is what every
// request loads afresh (colour, title, hot callback, both repaint flags)
// or what no operation here changes (its panel's position). The checks below
// also run between inputs, so a handle or panel an input left behind fails
// that input.
//
// After every operation and every request the harness checks what would
// reveal a fault: no interface misuse or stale handle reported by the host;
// no hook, timer or desktop DC left outside a sampling run; no panel but the
// picker (and during a sampling run its magnifier) and no raster but the
// picker's two; status, result and colour of the request as the host
// interface defines them; the RGB editor, the swatch pair and the returned
// colour agreeing. A broken invariant aborts with a message on stderr.
//
// fuzz/make_corpus.py writes the seed inputs in this format. To see what an
// input does: FUZZ_ACTIONS_VERBOSE=1 build/fuzz/fuzz_actions FILE.
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "abi/host_api.h"
#include "base/alloc.h"
#include "color/color.h"
#include "desktop.h"
#include "model/host.h"
#include "plugin/activation.h"
#include "session/action_feed.h"
#include "session/request.h"
#include "session/simulated_desktop.h"

namespace {

using hvhost::Action;
using hvhost::Control;
using hvhost::Host;
using hvhost::MouseButton;
using hvhost::Panel;
using hvhost::Place;

constexpr int kMaxActivations = 4;
constexpr int kMaxOperations = 300;  // per input, over all its requests
constexpr int kMaxWaitMs = 5000;     // virtual time per input: at most ~50 ticks
constexpr int kPickerRasters = 2;    // field and strip
constexpr int kSwatchHeight = 30;

ServerTagInfo kTags[] = {{"Huevane", 0}, {nullptr, 0}};
const ServerRecord kServer = {LWCOLORPICK_HCLASS, "Huevane", picker_activate, kTags};

// With FUZZ_ACTIONS_VERBOSE set, every operation and request outcome is
// printed on stderr: for reading what a crashing input does.
bool g_verbose = false;

__attribute__((format(printf, 1, 2))) void note(const char *format, ...) {
  if (!g_verbose) return;
  va_list ap;
  va_start(ap, format);
  vfprintf(stderr, format, ap);
  va_end(ap);
  fputc('\n', stderr);
}

[[noreturn]] void fail(const char *what, const std::string &detail = {}) {
  fprintf(stderr, "fuzz_actions: invariant broken: %s%s%s\n", what, detail.empty() ? "" : ": ",
          detail.c_str());
  abort();
}

// Reads the input front to back; past the end every read is 0.
class Bytes {
 public:
  Bytes(const uint8_t *data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t u16() {
    const uint16_t lo = u8();
    return static_cast<uint16_t>(lo | (u8() << 8));
  }
  uint32_t u32() {
    const uint32_t lo = u16();
    return lo | (static_cast<uint32_t>(u16()) << 16);
  }
  int32_t i32() {
    const uint32_t v = u32();
    int32_t out;
    memcpy(&out, &v, sizeof out);
    return out;
  }
  float f32() {
    const uint32_t v = u32();
    float out;
    memcpy(&out, &v, sizeof out);
    return out;
  }

  // Panel coordinates: mostly on and around the picker (-32..415), now and
  // then any int.
  int panel_coord() {
    const uint16_t v = u16();
    return v >= 0xF000 ? i32() : static_cast<int>(v % 448) - 32;
  }
  // Screen coordinates: mostly on and just off a 1920 x 1080 screen.
  int screen_coord() {
    const uint16_t v = u16();
    return v >= 0xF000 ? i32() : static_cast<int>(v % 2048) - 64;
  }
  // Editor values: mostly around 0..255, now and then any int.
  int editor_value() {
    const uint16_t v = u16();
    return v >= 0xF000 ? i32() : static_cast<int>(v % 288) - 16;
  }
  // Mouse flags: the combinations a host sends (right is 0x60, both button
  // bits), or any int.
  int mouse_flags() {
    static const int kCommon[] = {0,
                                  MOUSE_LEFT,
                                  MOUSE_MID,
                                  MOUSE_DOWN,
                                  MOUSE_DOWN | MOUSE_LEFT,
                                  MOUSE_DOWN | MOUSE_MID,
                                  MOUSE_DOWN | MOUSE_RIGHT,
                                  MOUSE_RIGHT};
    const uint8_t sel = u8();
    return sel < 0xC0 ? kCommon[sel % 8] : i32();
  }
  // Key codes: S, s, any 16-bit code or any 32-bit code.
  uint32_t key_code() {
    switch (u8() % 4) {
      case 0: return 'S';
      case 1: return 's';
      case 2: return u16();
      default: return u32();
    }
  }
  MouseButton button() {
    switch (u8() % 3) {
      case 0: return MouseButton::kLeft;
      case 1: return MouseButton::kRight;
      default: return MouseButton::kMiddle;
    }
  }

 private:
  const uint8_t *data_;
  size_t size_;
  size_t pos_ = 0;
};

// ---- The process-wide host ---------------------------------------------------

Host *g_host = nullptr;
Panel *g_picker_panel = nullptr;
std::unique_ptr<hvhost::SimulatedDesktop> g_desktop;

Control *picker_control(const char *type_name) {
  Control *c = g_picker_panel->find_control(type_name);
  if (!c) fail("picker control missing", type_name);
  return c;
}

std::string problems_text() {
  std::string s;
  for (const std::string &p : g_host->trace().problems()) s += "\n  " + p;
  return s;
}

// What must hold between any two operations.
void check_between_operations() {
  Host &host = *g_host;
  if (!host.trace().problems().empty()) fail("host reported misuse", problems_text());
  const size_t panels = host.panels().size();
  const bool sampling = host.innermost_panel() && host.innermost_panel() != g_picker_panel;
  if (!sampling) {
    if (desktop_hook_count() != 0) fail("hook installed outside a sampling run");
    if (desktop_timer_count() != 0) fail("timer alive outside a sampling run");
    if (desktop_outstanding_dcs() != 0) fail("desktop DC held outside a sampling run");
    if (desktop_gdi_objects() != 0) fail("memory DC or bitmap held outside a sampling run");
    if (panels != 1) fail("panels other than the picker", std::to_string(panels));
    if (host.raster_count() != kPickerRasters)
      fail("rasters other than the picker's", std::to_string(host.raster_count()));
  } else {
    if (desktop_hook_count() > 1) fail("more than one hook during a sampling run");
    if (desktop_timer_count() > 1) fail("more than one timer during a sampling run");
    if (desktop_outstanding_dcs() > 1) fail("more than one DC during a sampling run");
    // A memory DC and its section each: the block, and in a frozen run the
    // picture, its loupe and what lay under the magnifier as the run began.
    if (desktop_gdi_objects() > 8) fail("more GDI objects than a frozen run holds");
    if (panels != 2) fail("panels during a sampling run", std::to_string(panels));
    if (host.modal_panels().size() != 2) fail("sampling run not nested in the picker's open");
  }
}

// ---- Operations ------------------------------------------------------------------

enum OpCode {
  kOpPress,
  kOpMove,
  kOpRelease,
  kOpDrag,
  kOpRawButton,
  kOpRawMove,
  kOpKey,
  kOpRawKey,
  kOpEditRgb,
  kOpEditHsv,
  kOpRawEdit,
  kOpEyedropper,
  kOpDesktopMove,
  kOpDesktopPress,
  kOpDesktopRelease,
  kOpDesktopEvent,
  kOpHookDispatch,
  kOpWait,
  kOpRawDraw,
  kOpFailure,
  kOpOk,
  kOpCancel,
  kOpCount
};

Place read_place(Bytes &in) {
  switch (in.u8() % 3) {
    case 0: return Place::kField;
    case 1: return Place::kStrip;
    default: return Place::kPanel;
  }
}

// Makes one service, desktop call or plug-in allocation fail a few calls
// from now. Everything is disarmed at the end of the input.
void arm_failure(Bytes &in, const char *prefix) {
  const uint8_t sel = in.u8();
  const int nth = 1 + (sel >> 4) % 4;
  note("  %sfailure %d, call %d from now", prefix, sel % 10, nth);
  switch (sel % 10) {
    case 0: g_host->trace().fail_nth(hvhost::FailPoint::kLookup, nth); break;
    case 1: g_host->trace().fail_nth(hvhost::FailPoint::kPanelCreate, nth); break;
    case 2: g_host->trace().fail_nth(hvhost::FailPoint::kControlAdd, nth); break;
    case 3: g_host->trace().fail_nth(hvhost::FailPoint::kRasterCreate, nth); break;
    case 4: desktop_fail_call(DESKTOP_FAIL_SET_HOOK, nth); break;
    case 5: desktop_fail_call(DESKTOP_FAIL_SET_TIMER, nth); break;
    case 6: {
      // The device contexts and the block: the high bits choose which.
      static const int kPoints[] = {DESKTOP_FAIL_WINDOW_DC, DESKTOP_FAIL_MEMORY_DC,
                                    DESKTOP_FAIL_DIB, DESKTOP_FAIL_BITBLT};
      desktop_fail_call(kPoints[(sel >> 6) % 4], nth);
      break;
    }
    case 7: {
      const int x = in.screen_coord();
      desktop_fail_pixel(x, in.screen_coord());
      break;
    }
    case 8: desktop_fail_all_pixels(1); break;
    default: plugin_fail_allocation(nth); break;
  }
}

void disarm_failures() {
  for (hvhost::FailPoint p : {hvhost::FailPoint::kLookup, hvhost::FailPoint::kPanelCreate,
                              hvhost::FailPoint::kControlAdd, hvhost::FailPoint::kRasterCreate})
    g_host->trace().fail_nth(p, 0);
  desktop_fail_call(DESKTOP_FAIL_SET_HOOK, 0);
  desktop_fail_call(DESKTOP_FAIL_SET_TIMER, 0);
  for (int p :
       {DESKTOP_FAIL_WINDOW_DC, DESKTOP_FAIL_MEMORY_DC, DESKTOP_FAIL_DIB, DESKTOP_FAIL_BITBLT})
    desktop_fail_call(p, 0);
  desktop_fail_all_pixels(0);
  desktop_clear_pixel_failures();
  plugin_fail_allocation(0);
}

// Feeds the host's modal loops from the input. Operations that are host
// actions are returned as actions; the others are performed here, straight
// on the plug-in's callbacks or the desktop, before the next one is read.
// A direct operation can start a sampling run whose modal loop asks this
// driver for actions again (re-entrantly): it reads on from the same input.
class FuzzDriver : public hvhost::ActionFeed {
 public:
  explicit FuzzDriver(Bytes &in) : in_(in) {}

  // A new request reads on from where the last one stopped; the budgets
  // cover the whole input.
  void begin_request() { ended_ = false; }
  bool out_of_budget() const { return operations_ >= kMaxOperations; }

  std::optional<Action> next_action(Host &host) override {
    while (!ended_) {
      check_between_operations();
      if (in_.empty() || operations_ >= kMaxOperations || host.input_ended()) break;
      ++operations_;
      if (std::optional<Action> a = operation(host)) {
        note("  %s%s", sampling_prefix(host), hvhost::describe(*a).c_str());
        return a;
      }
    }
    ended_ = true;
    return std::nullopt;
  }

 private:
  bool picker_is_innermost(Host &host) const { return host.innermost_panel() == g_picker_panel; }
  const char *sampling_prefix(Host &host) const {
    return picker_is_innermost(host) ? "" : "[sampling] ";
  }

  // The picker's mouse callbacks with any flags and position (and, with
  // the op's top bit, no user data).
  void raw_mouse(bool button_callback, bool null_data) {
    LWPanMouseFunc *const f = button_callback ? g_picker_panel->callbacks().mouse_button
                                              : g_picker_panel->callbacks().mouse_move;
    void *data = null_data ? nullptr : g_picker_panel->user_data();
    const int flags = in_.mouse_flags();
    const int x = in_.panel_coord();
    const int y = in_.panel_coord();
    note("  raw %s flags=%#x at %d %d", button_callback ? "mouse_button" : "mouse_move",
         static_cast<unsigned>(flags), x, y);
    if (f) f(g_picker_panel->id(), data, flags, x, y);
  }

  // An edit as a real host might deliver it: the editor's value set to
  // anything (no 0..255 clamp), then its event callback.
  void raw_edit(bool null_data) {
    const uint8_t sel = in_.u8();
    Control *c = picker_control(sel & 1 ? "MiniHSVControl" : "MiniRGBControl");
    LWValue v = {};
    v.ivec.type = LWT_VINT;
    for (int &x : v.ivec.val) x = (sel & 2) ? in_.i32() : in_.editor_value();
    if (null_data) {
      // An event without user data is ignored by the plug-in; the value is
      // left as it was, so the editor keeps showing the current colour.
      note("  raw edit %s event without user data", c->type_name().c_str());
      if (c->event_func()) c->event_func()(c->handle(), nullptr);
      return;
    }
    c->handle()->set(c->handle(), CTL_VALUE, &v);
    note("  raw edit %s %d %d %d", c->type_name().c_str(), v.ivec.val[0], v.ivec.val[1],
         v.ivec.val[2]);
    if (c->event_func()) c->event_func()(c->handle(), c->user_data());
  }

  std::optional<Action> edit(Host &host, bool rgb) {
    const int r = in_.editor_value(), g = in_.editor_value(), b = in_.editor_value();
    if (picker_is_innermost(host)) return rgb ? Action::rgb(r, g, b) : Action::hsv(r, g, b);
    // The picker's editor edited while the magnifier has the input.
    note("  [sampling] picker edit %s %d %d %d", rgb ? "rgb" : "hsv", r, g, b);
    host.edit_control(*picker_control(rgb ? "MiniRGBControl" : "MiniHSVControl"), {r, g, b});
    return std::nullopt;
  }

  std::optional<Action> operation(Host &host) {
    // The low six bits choose the operation, the top two are flags for it.
    const uint8_t op = in_.u8();
    switch ((op & 0x3F) % kOpCount) {
      case kOpPress: {
        const MouseButton b = in_.button();
        if ((op & 0x80) && picker_is_innermost(host))
          return Action::press(Place::kEyedropper, 0, 0, b);
        const Place p = read_place(in_);
        const int x = in_.panel_coord();
        return Action::press(p, x, in_.panel_coord(), b);
      }
      case kOpMove: {
        const Place p = read_place(in_);
        const int x = in_.panel_coord();
        return Action::move(p, x, in_.panel_coord());
      }
      case kOpRelease: {
        const MouseButton b = in_.button();
        if ((op & 0x80) && picker_is_innermost(host))
          return Action::release(Place::kEyedropper, 0, 0, b);
        const Place p = read_place(in_);
        const int x = in_.panel_coord();
        return Action::release(p, x, in_.panel_coord(), b);
      }
      case kOpDrag: {
        const Place p = read_place(in_);
        const int x1 = in_.panel_coord(), y1 = in_.panel_coord();
        const int x2 = in_.panel_coord(), y2 = in_.panel_coord();
        Action a = Action::drag(p, x1, y1, x2, y2, 1 + in_.u8() % 16);
        a.button = in_.button();
        return a;
      }
      case kOpRawButton: raw_mouse(true, op & 0x80); return std::nullopt;
      case kOpRawMove: raw_mouse(false, op & 0x80); return std::nullopt;
      case kOpKey: {
        // A press and release, or (the op's flags) only one of them.
        const int key = static_cast<int>(in_.key_code());
        if (op & 0x80) return Action::key_down(key);
        if (op & 0x40) return Action::key_up(key);
        return Action::key_press(key);
      }
      case kOpRawKey: {
        // Straight to the picker's key-up (or, with 0x40, key-down)
        // callback, also during a sampling run.
        const LWDualKey key = static_cast<LWDualKey>(in_.key_code());
        const bool down = op & 0x40;
        note("  %sraw key %s %#x%s", sampling_prefix(host), down ? "down" : "up", key,
             (op & 0x80) ? " (null user data)" : "");
        const hvhost::PanelCallbacks &cb = g_picker_panel->callbacks();
        if (LWPanKeyFunc *f = down ? cb.key_down : cb.key_up)
          f(g_picker_panel->id(), (op & 0x80) ? nullptr : g_picker_panel->user_data(), key);
        return std::nullopt;
      }
      case kOpEditRgb: return edit(host, true);
      case kOpEditHsv: return edit(host, false);
      case kOpRawEdit: raw_edit(op & 0x80); return std::nullopt;
      case kOpEyedropper: {
        if (picker_is_innermost(host) && !(op & 0x80)) return Action::click_eyedropper();
        // The button's event straight, also during a sampling run.
        Control *c = picker_control("ButtonControl");
        note("  %sraw eyedropper button event%s", sampling_prefix(host),
             (op & 0x40) ? " (null user data)" : "");
        if (c->event_func()) c->event_func()(c->handle(), (op & 0x40) ? nullptr : c->user_data());
        return std::nullopt;
      }
      case kOpDesktopMove: {
        const int x = in_.screen_coord();
        return Action::desktop_move(x, in_.screen_coord());
      }
      case kOpDesktopPress: return Action::desktop_press(in_.button());
      case kOpDesktopRelease: return Action::desktop_release(in_.button());
      case kOpDesktopEvent: {
        const uint8_t sel = in_.u8();
        const UINT message = sel < 0xF0 ? 0x200u + sel % 8 : in_.u32();
        const int x = in_.screen_coord();
        const int y = in_.screen_coord();
        note("  %sdesktop event %#x at %d %d", sampling_prefix(host), message, x, y);
        desktop_mouse_event(message, x, y);
        return std::nullopt;
      }
      case kOpHookDispatch: {
        const uint8_t sel = in_.u8();
        const int code = (sel & 0x80) ? in_.i32() : 0;
        const WPARAM message = (sel & 0x40) ? static_cast<WPARAM>(in_.u32()) : 0x200u + sel % 8;
        MSLLHOOKSTRUCT event = {};
        event.pt.x = in_.screen_coord();
        event.pt.y = in_.screen_coord();
        event.mouseData = in_.u32();
        note("  %shook dispatch code=%d message=%#lx at %d %d", sampling_prefix(host), code,
             static_cast<unsigned long>(message), event.pt.x, event.pt.y);
        desktop_dispatch_hooks(code, message, &event);
        return std::nullopt;
      }
      case kOpWait: {
        const int ms = in_.u8() * 5;
        if (waited_ms_ + ms > kMaxWaitMs) return std::nullopt;
        waited_ms_ += ms;
        return Action::wait(ms);
      }
      case kOpRawDraw: {
        // The innermost panel's draw callback, with any mode (and, with the
        // op's top bit, no user data).
        const uint8_t sel = in_.u8();
        const int mode = sel < 0xC0 ? sel % 4 : in_.i32();
        Panel *p = host.innermost_panel();
        note("  %sraw draw mode %d", sampling_prefix(host), mode);
        if (p && p->callbacks().draw)
          p->callbacks().draw(p->id(), (op & 0x80) ? nullptr : p->user_data(), mode);
        return std::nullopt;
      }
      case kOpFailure: arm_failure(in_, sampling_prefix(host)); return std::nullopt;
      case kOpOk: return Action::ok();
      default: return Action::cancel();
    }
  }

  Bytes &in_;
  bool ended_ = false;
  int operations_ = 0;
  int waited_ms_ = 0;
};

// ---- Requests ------------------------------------------------------------------------

// The int a request channel loads as: trunc(channel x 255) in double, NaN
// as 0, saturated at the int range.
bool same_bits(float a, float b) { return memcmp(&a, &b, sizeof a) == 0; }

// The host's float channel as the plug-in takes it, clamped as the swatch
// shows it: trunc(channel x 255) in double, NaN as 0.
int shown_channel(float f) {
  const double v = static_cast<double>(f) * 255.0;
  if (std::isnan(v) || v <= 0.0) return 0;
  if (v >= 255.0) return 255;
  return static_cast<int>(v);
}

void check_request(const hvhost::AskedColor &asked, const hvhost::ColorOutcome &out) {
  Host &host = *g_host;
  // Version 0 offers 6, 5 and 4 in turn; the picker serves 4.
  const bool right_version = asked.version == 0 || asked.version == LWCOLORPICK_VERSION;
  // A request of the right version is served, or (a service or an
  // allocation made to fail) refused with 2, untouched.
  const bool served = right_version && out.status == AFUNC_OK;
  if (!right_version && out.status != AFUNC_BADVERSION)
    fail("activation status for another version", std::to_string(out.status));
  if (right_version && out.status != AFUNC_OK && out.status != AFUNC_BADGLOBAL)
    fail("activation status", std::to_string(out.status));
  if (out.result != 0 && out.result != 1) fail("request result", std::to_string(out.result));
  if (!host.modal_panels().empty() || !host.open_panels().empty())
    fail("a panel is still open after the request");
  check_between_operations();
  if (!served) {
    if (out.result != 0 || !out.hot.empty()) fail("a request not served was answered");
  }
  if (out.result == 0) {
    if (!same_bits(out.red, asked.red) || !same_bits(out.green, asked.green) ||
        !same_bits(out.blue, asked.blue))
      fail("cancelled request changed its colour");
  }
  // A channel that is not finite can only be the request's own, given back.
  const float asked_rgb[3] = {asked.red, asked.green, asked.blue};
  for (const hvhost::HotColor &c : out.hot) {
    const float got[3] = {c.red, c.green, c.blue};
    for (int i = 0; i < 3; ++i)
      if (!std::isfinite(got[i]) && !same_bits(got[i], asked_rgb[i]))
        fail("hot callback with a colour that is not finite");
  }
  if (!served) return;
  if (asked.hot_callback && out.hot.empty()) fail("served request made no hot callback");
  if (!asked.hot_callback && !out.hot.empty()) fail("hot callback without one in the request");

  // The RGB editor holds the current colour: it is what an accepted request
  // returns, what the last hot callback reported, and what the swatch shows.
  const std::array<int, 3> rgb = picker_control("MiniRGBControl")->value();
  // ... each channel still at the int it loaded as given back as the
  // request's own float, any other as int / 255.
  // The channels load as the plug-in's one rule has them (a channel past the
  // editors' int range at its end, negative ones at 0 where their
  // saturation would not fit).
  const ColorTriple loaded = channels_from_floats(asked_rgb);
  const int32_t loaded_rgb[3] = {loaded.a, loaded.b, loaded.c};
  float back[3];
  for (int i = 0; i < 3; ++i)
    back[i] = rgb[i] == loaded_rgb[i] ? asked_rgb[i] : static_cast<float>(rgb[i]) / 255.0f;
  if (out.result == 1 && (!same_bits(out.red, back[0]) || !same_bits(out.green, back[1]) ||
                          !same_bits(out.blue, back[2])))
    fail("accepted colour differs from the RGB editor");
  if (asked.hot_callback) {
    const hvhost::HotColor &last = out.hot.back();
    if (!same_bits(last.red, back[0]) || !same_bits(last.green, back[1]) ||
        !same_bits(last.blue, back[2]))
      fail("last hot callback differs from the RGB editor");
  }
  const hvhost::Rect swatch = picker_control("CanvasControl")->inner();
  const hvhost::Framebuffer &fb = g_picker_panel->framebuffer();
  if (fb.pixel(swatch.x, swatch.y) != hvhost::Rgb::clamped(rgb[0], rgb[1], rgb[2]))
    fail("current-colour swatch differs from the RGB editor");
  const hvhost::Rgb initial{static_cast<uint8_t>(shown_channel(asked.red)),
                            static_cast<uint8_t>(shown_channel(asked.green)),
                            static_cast<uint8_t>(shown_channel(asked.blue))};
  if (fb.pixel(swatch.x, swatch.y + kSwatchHeight) != initial)
    fail("initial-colour swatch differs from the request's colour");
}

void run_input(Bytes &in) {
  Host &host = *g_host;
  const uint8_t screen = in.u8();
  static const int kScreens[][2] = {{1920, 1080}, {1920, 1080}, {1920, 1080}, {1920, 1080},
                                    {1920, 1080}, {1, 1},       {800, 600},   {4096, 2160}};
  host.set_display_size(kScreens[screen % 8][0], kScreens[screen % 8][1]);
  g_desktop.reset();
  g_desktop = std::make_unique<hvhost::SimulatedDesktop>(host);
  host.set_desktop(g_desktop.get());
  desktop_set_logging(0);
  host.trace().clear();
  // A button-up resets the picker's mouse capture, as after any release.
  if (LWPanMouseFunc *f = g_picker_panel->callbacks().mouse_button)
    f(g_picker_panel->id(), g_picker_panel->user_data(), 0, 0, 0);

  FuzzDriver driver(in);
  for (int i = 0; i < kMaxActivations && !in.empty() && !driver.out_of_budget(); ++i) {
    const uint8_t header = in.u8();
    hvhost::AskedColor asked;
    asked.hot_callback = !(header & 2);
    if (header & 4) asked.version = in.i32();
    asked.red = in.f32();
    asked.green = in.f32();
    asked.blue = in.f32();
    if (header & 1) {
      asked.title.reset();
    } else {
      std::string title;
      for (int n = header >> 3; n > 0; --n) title += static_cast<char>(in.u8());
      asked.title = title;
    }
    driver.begin_request();
    note("request %d: version %d colour %a %a %a, title %s, %s", i, asked.version,
         static_cast<double>(asked.red), static_cast<double>(asked.green),
         static_cast<double>(asked.blue),
         asked.title ? ("\"" + *asked.title + "\"").c_str() : "null",
         asked.hot_callback ? "hot callback" : "no hot callback");
    host.set_input(&driver);
    const hvhost::ColorOutcome out = hvhost::run_color_request(kServer, asked);
    host.set_input(nullptr);
    note("  -> status %d result %d colour %a %a %a, %zu hot callbacks", out.status, out.result,
         static_cast<double>(out.red), static_cast<double>(out.green),
         static_cast<double>(out.blue), out.hot.size());
    check_request(asked, out);
  }
  disarm_failures();
  check_between_operations();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  g_verbose = getenv("FUZZ_ACTIONS_VERBOSE") != nullptr;
  // The host and the picker live for the whole process, as in a real host.
  g_host = new Host();
  g_host->trace().set_recording_all(false);
  g_desktop = std::make_unique<hvhost::SimulatedDesktop>(*g_host);
  g_host->set_desktop(g_desktop.get());
  desktop_set_logging(0);
  hvhost::CallbackDriver ok([](Host &) -> std::optional<Action> { return Action::ok(); });
  g_host->set_input(&ok);
  hvhost::run_color_request(kServer, hvhost::AskedColor{});
  g_host->set_input(nullptr);
  const std::vector<Panel *> panels = g_host->panels();
  if (panels.size() != 1) fail("the first request did not leave exactly one picker panel");
  g_picker_panel = panels.front();
  check_between_operations();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Bytes in(data, size);
  run_input(in);
  return 0;
}
