// The reference host: serves "LWPanelServices" and "RasterServices" to a
// plug-in over in-memory framebuffers, runs modal panels with input from an
// InputDriver through its input entry points, and records what the plug-in
// asks of it. It knows nothing of scripts: a front end turns those into
// the entry points' calls (session/action_feed.h).
//
// The plug-in reaches the host through C function tables, which have no
// context argument, so one Host is current at a time: constructing a Host
// makes it current and destroying it restores the previous one. The tables
// are process-wide and stay valid after a Host is gone (the plug-in keeps
// them for the life of the process); with no current Host their functions
// do nothing and return null. Every handle the plug-in passes in is checked
// against the current Host's objects, so a stale handle is reported, not
// followed.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "abi/host_api.h"
#include "common/mouse_button.h"
#include "model/framebuffer.h"
#include "model/objects.h"
#include "model/trace.h"

namespace hvhost {

// The largest display, in pixels a side, the host simulates and reports.
inline constexpr int kMaxDisplaySize = 16384;

struct HostOptions {
  int display_width = 1920;
  int display_height = 1080;
};

// Modal opens nest at most this deep; a deeper open returns 0 at once.
inline constexpr int kMaxModalDepth = 16;
// The draw mode of the host's own full redraws.
inline constexpr int kHostRedrawMode = 1;

class Host;

// What a window of the panel cannot show of what the plug-in laid out: no
// size (PAN_W and PAN_H never set), or a control not wholly inside it; one
// problem's text each, none when the window shows it all. The host notes
// them at the panel's open; the windowed front end also reports them as it
// makes the window.
std::vector<std::string> layout_problems(const Panel &panel);

// Source of the user's input for the host's modal loop.
class InputDriver {
 public:
  virtual ~InputDriver() = default;
  // Makes the user's next input through the host's entry points, or stops
  // the run with Host::stop_input. False at the end of input (the host
  // then cancels every open panel); called again after the end, it must
  // keep answering false.
  virtual bool feed(Host &host) = 0;
};

// The desktop outside the host's panels: the screen pointer and time. This
// default only keeps the virtual clock; a simulated desktop overrides it to
// deliver pointer events through its hooks and to fire its timers.
class DesktopInput {
 public:
  virtual ~DesktopInput() = default;
  virtual void pointer_move(int /*x*/, int /*y*/) {}
  virtual void pointer_press(MouseButton) {}
  virtual void pointer_release(MouseButton) {}
  // The wheel turns `notches` notches (forward when positive), each
  // WHEEL_DELTA (120).
  virtual void wheel_turn(int /*notches*/) {}
  // Another program moves the pointer (SetCursorPos): no hook sees it.
  virtual void pointer_warp(int /*x*/, int /*y*/) {}
  // A pen (or a finger) at (x, y) hovers or moves, touches, or lifts.
  enum class Contact { kMove, kDown, kUp };
  virtual void pen_or_touch(bool /*pen*/, Contact, int /*x*/, int /*y*/) {}
  // Time moves on by ms; now_ms is the virtual clock after the step.
  virtual void time_passed(uint32_t /*ms*/, uint64_t /*now_ms*/) {}
  // The keyboard's Ctrl, Shift and Alt are held as the qualifier bits say
  // (1, 2, 4), for the system's key state.
  virtual void keys_held(int /*qualifiers*/) {}
  // A key the host took on a panel went down or up (its code as the panel
  // gets it), for the system's key state.
  virtual void key_changed(uint32_t /*code*/, bool /*down*/) {}
};

// The keys the host keeps for itself on a panel opened without
// PANF_PASSALLKEYS: Enter (its character or the host's Return code) and Esc.
inline constexpr uint32_t kEnterKey = '\r';
inline constexpr uint32_t kEscKey = 0x1B;

class Host {
 public:
  // Called for `snapshot NAME`; returns false and sets *error on failure.
  using SnapshotHandler =
      std::function<bool(const Panel &panel, const std::string &name, std::string *error)>;

  explicit Host(HostOptions options = {});
  ~Host();
  Host(const Host &) = delete;
  Host &operator=(const Host &) = delete;

  static Host *current() { return current_; }
  // The global-lookup function handed to the plug-in's activation.
  static GlobalFunc *lookup_function();
  static LWPanelFuncs *panel_funcs();
  static LWRasterFuncs *raster_funcs();

  // ---- Configuration ----------------------------------------------------
  // Each side is kept within 1..kMaxDisplaySize.
  void set_display_size(int width, int height);
  int display_width() const { return metrics_.width; }
  int display_height() const { return metrics_.height; }
  // Not owned; null means no input (every modal open is cancelled at once).
  // Setting a driver also clears an earlier end of input, abort and error;
  // setting null keeps them for inspection.
  void set_input(InputDriver *driver);
  // Not owned; null restores the built-in desktop, which only keeps time.
  void set_desktop(DesktopInput *desktop);
  DesktopInput &desktop() { return *desktop_; }
  void set_snapshot_handler(SnapshotHandler handler) { snapshot_handler_ = std::move(handler); }
  // A host without that global service: its lookup answers null (recorded
  // as failed). Withheld until given back with withheld = false.
  void withhold_service(const std::string &name, bool withheld = true);

  CallTrace &trace() { return trace_; }
  const CallTrace &trace() const { return trace_; }

  // ---- Objects ----------------------------------------------------------
  // Live panels in creation order.
  std::vector<Panel *> panels() const;
  Panel *panel(LWPanelID id) const;
  Control *control(LWControlID handle) const;
  Raster *raster(LWRasterID id) const;
  size_t raster_count() const { return rasters_.size(); }
  // Live controls, on every live panel.
  size_t control_count() const { return control_index_.size(); }
  // Panels in modal opens, outermost first; the last receives input.
  std::vector<Panel *> modal_panels() const;
  Panel *innermost_panel() const;
  // Every open panel (modal or not), bottom to top.
  std::vector<Panel *> open_panels() const;

  // ---- Input entry points -----------------------------------------------
  // They act on the innermost modal panel and return false when there is
  // none. Mouse positions are panel coordinates. A press on a control goes
  // to the control (a button is clicked when the press is released over
  // it); elsewhere the panel's mouse callbacks are called with the flags
  // 0x80 | button on press, where button is 0x20 left, 0x40 middle or 0x60
  // right (both bits), 0x80 | button on a move while held, and the button
  // bits alone on release. A move with no button held calls nothing.
  bool mouse_press(int x, int y, MouseButton button = MouseButton::kLeft);
  bool mouse_move(int x, int y);
  bool mouse_release(int x, int y, MouseButton button = MouseButton::kLeft);
  // A key press calls the key-down callback (tag 13), its release the
  // key-up callback (tag 21), with the key as a 16-bit LWDualKey; key() is
  // a press followed by a release. On a panel opened without
  // PANF_PASSALLKEYS, Enter and Esc reach neither: Enter's press closes the
  // panel as OK and Esc's as Cancel (a panel without buttons too).
  // Qualifiers (IQ_CTRL, IQ_SHIFT, IQ_ALT) are held from a key's press to
  // its release: the panel's tag 22 and the desktop's key state say so.
  bool key(uint32_t code, int qualifiers = 0);
  bool key_down(uint32_t code, int qualifiers = 0);
  bool key_up(uint32_t code, int qualifiers = 0);
  // The qualifiers held now, as panel tag 22 reads them.
  int qualifiers() const { return qualifiers_; }
  // A user's edit of a control: the value (each field clamped to the
  // editor's 0..255 for editors) is set, the control redrawn, and its event
  // callback called with its user data.
  bool edit_control(Control &control, std::array<int, 3> value);
  // A click of a control: its event callback with its user data.
  bool click_control(Control &control);
  // Close the innermost modal panel, with or without buttons.
  bool accept();  // the innermost modal open returns 1
  bool cancel();  // it returns 0
  // The user moved the panel's window: its position (attributes 0 and 1,
  // kept within +-kCoordinateLimit) follows, and the plug-in reads it back.
  void move_panel(Panel &panel, int x, int y);
  // Tag 23: an open panel goes above the other open panels (a windowed
  // front end brings its window to the front); every raise is counted.
  void raise_panel(Panel &panel);

  // A snapshot of the panel's window by the snapshot handler (none: nothing
  // is taken); false with *error when it fails.
  bool snapshot(const Panel &panel, const std::string &name, std::string *error);
  // The input cannot go on (an action that cannot be made): every open
  // panel is cancelled, and error() says why.
  void stop_input(std::string error);
  const std::string &error() const { return error_; }
  // An action failed and every open panel was cancelled.
  bool aborted() const { return aborted_; }
  // The input driver ran out while a panel was open.
  bool input_ended() const { return input_ended_; }

  // Virtual time, advanced by `wait` actions.
  void advance_time(uint32_t ms);
  uint64_t now_ms() const { return now_ms_; }

  // ---- Drawing ------------------------------------------------------------
  // Full redraw: background, controls, then the draw callback (mode 1).
  void redraw(Panel &panel);
  void redraw_control(Control &control);
  // The screen as the open panels' windows cover it (topmost first), or
  // nothing where no panel is.
  std::optional<Rgb> screen_pixel(int x, int y) const;

 private:
  friend struct HostAbi;

  struct WindowCache;

  Panel *live_panel(LWPanelID id, Op op);
  Control *live_control(LWControlID handle, Op op);
  // The raster of id, or null after noting a bad handle. The per-pixel
  // calls hit the one-entry cache.
  Raster *live_raster(LWRasterID id, Op op) {
    if (last_raster_ && last_raster_->id() == id) return last_raster_;
    return find_raster(id, op);
  }
  Raster *find_raster(LWRasterID id, Op op);
  int run_open(Panel &panel, int flags);
  // A panel opened with no size, or with a control not wholly inside it,
  // shows the user less than the plug-in laid out (a window of that size
  // shows only its buttons): each is a problem.
  void check_layout(const Panel &panel);
  void close_panel(Panel &panel, int result);
  void forget_panel(Panel &panel);
  void call_draw(Panel &panel, int mode);
  void call_mouse(Panel &panel, LWPanMouseFunc *func, Op op, int flags, int x, int y);
  void call_key(Panel &panel, LWPanKeyFunc *func, Op op, uint32_t code);
  void hold_qualifiers(int qualifiers);
  void call_control_event(Control &control);
  // Enter or Esc that the host keeps from the panel (see key_down).
  bool host_key(const Panel &panel, uint32_t code) const;

  CallTrace trace_;
  static inline Host *current_ = nullptr;
  Host *previous_ = nullptr;
  LWDisplayMetrics metrics_{};
  InputDriver *input_ = nullptr;
  DesktopInput default_desktop_;
  DesktopInput *desktop_ = &default_desktop_;
  SnapshotHandler snapshot_handler_;
  std::vector<std::string> withheld_services_;
  uint64_t now_ms_ = 0;
  int qualifiers_ = 0;
  std::string error_;
  bool aborted_ = false;
  bool input_ended_ = false;

  // Panels are shared so that one destroyed inside its own modal open lives
  // until that open returns.
  std::vector<std::shared_ptr<Panel>> panels_;
  std::unordered_map<const void *, Panel *> panel_index_;
  std::unordered_map<const void *, Control *> control_index_;
  std::unordered_map<const void *, std::unique_ptr<Raster>> rasters_;
  Raster *last_raster_ = nullptr;  // one-entry cache for the per-pixel calls
  std::vector<std::shared_ptr<Panel>> modal_;
  std::vector<Panel *> open_;
  mutable std::unordered_map<const Panel *, std::unique_ptr<WindowCache>> window_cache_;
};

}  // namespace hvhost
