// The objects the host hands out to the plug-in as handles: panels, the
// controls on them, and off-screen rasters. Each is owned by the Host; the
// handle is the object's address, and the host checks every handle it is
// given against the objects it holds.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "abi/host_api.h"
#include "common/mouse_button.h"
#include "model/framebuffer.h"

namespace hvhost {

class Panel;
class Raster;

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool contains(int px, int py) const {
    return static_cast<int64_t>(px) - x >= 0 && static_cast<int64_t>(px) - x < w &&
           static_cast<int64_t>(py) - y >= 0 && static_cast<int64_t>(py) - y < h;
  }
};

enum class ControlKind {
  kCanvas,   // "CanvasControl": a sunken frame around an area the plug-in draws on
  kButton,   // "ButtonControl": a push button with a text or icon label
  kMiniRgb,  // "MiniRGBControl": three compact numeric fields R, G, B
  kMiniHsv,  // "MiniHSVControl": three compact numeric fields H, S, V
  kOther,    // any other type name: a labelled box
};

// Geometry of the host's controls. Tags 2 and 3 (CTL_W, CTL_H) report the
// control's width and height; tags 5 and 6 (CTL_HOTX, CTL_HOTY) the top-left
// corner of its inner drawing area; tags 7 and 8 (CTL_HOTW, CTL_HOTH) the
// width and height plus the control's placement offset, the distance a
// control of that type keeps from the position a plug-in computes for it: a
// plug-in that places a control at X = HOTW - W + target puts it at target
// plus that offset. The mini editors keep 32 pixels, which puts the picker's
// editors (target -28) at x = 4, under the hue-saturation field.
inline constexpr int kMiniEditorWidth = 204;
inline constexpr int kMiniEditorHeight = 24;
inline constexpr int kMiniEditorOffsetX = 32;
inline constexpr int kButtonDefaultHeight = 22;
// Editor fields hold 0..255: a user's edit is clamped to it. A value set by
// the plug-in is shown as given.
inline constexpr int kEditorMin = 0;
inline constexpr int kEditorMax = 255;
// Panel and control positions are kept within +-kCoordinateLimit, so that
// no arithmetic on them can overflow.
inline constexpr int kCoordinateLimit = 1 << 20;

class Control {
 public:
  Control(Panel &panel, std::string type_name, LWPanControlDesc desc, std::string label);
  Control(const Control &) = delete;
  Control &operator=(const Control &) = delete;

  // The control's record; its address is the LWControlID.
  LWControl *handle() { return &abi_; }
  Panel &panel() const { return *panel_; }
  ControlKind kind() const { return kind_; }
  const std::string &type_name() const { return type_name_; }
  const std::string &label() const { return label_; }
  const LWPanControlDesc &desc() const { return desc_; }
  bool is_editor() const {
    return kind_ == ControlKind::kMiniRgb || kind_ == ControlKind::kMiniHsv;
  }

  int x() const { return x_; }
  int y() const { return y_; }
  int width() const { return width_; }
  int height() const { return height_; }
  Rect rect() const { return {x_, y_, width_, height_}; }
  // The area a plug-in draws on (the canvas inside its frame); the whole
  // control for the other kinds.
  Rect inner() const;
  int placement_offset_x() const { return offset_x_; }
  int placement_offset_y() const { return 0; }
  // The numeric field i (0..2) of a MiniRGBControl or MiniHSVControl, where
  // its value is shown and a user types; an empty rectangle for other kinds
  // or another i.
  Rect editor_field(int i) const;
  // Centre of the control, where a user would click it.
  int center_x() const { return x_ + width_ / 2; }
  int center_y() const { return y_ + height_ / 2; }

  const std::array<int, 3> &value() const { return value_; }
  LWCtlEventFunc *event_func() const { return event_func_; }
  void *user_data() const { return user_data_; }
  bool pressed() const { return pressed_; }

  // Draws the control into fb at its position.
  void draw(Framebuffer &fb) const;

 private:
  friend class Host;
  friend struct HostAbi;

  LWControl abi_{};  // the record the plug-in holds
  Panel *panel_;
  std::string type_name_;
  std::string label_;
  LWPanControlDesc desc_;
  ControlKind kind_;
  int x_ = 0, y_ = 0, width_ = 0, height_ = 0, offset_x_ = 0;
  std::array<int, 3> value_{};
  LWCtlEventFunc *event_func_ = nullptr;
  void *user_data_ = nullptr;
  bool pressed_ = false;
};

// Where a raster the plug-in blitted onto a panel lands: the rectangle its
// whole extent covers in panel coordinates, wherever part of it was copied.
struct PanelBlit {
  const Raster *raster = nullptr;
  Rect area;
};

struct PanelCallbacks {
  LWPanDrawFunc *draw = nullptr;           // PAN_USERDRAW
  LWPanHookFunc *opened = nullptr;         // PAN_USEROPEN
  LWPanKeyFunc *key_down = nullptr;        // PAN_USERKEYS
  LWPanKeyFunc *key_up = nullptr;          // PAN_USERKEYUPS
  LWPanMouseFunc *mouse_button = nullptr;  // PAN_MOUSEBUTTON
  LWPanMouseFunc *mouse_move = nullptr;    // PAN_MOUSEMOVE
};

class Panel {
 public:
  explicit Panel(std::string title);
  Panel(const Panel &) = delete;
  Panel &operator=(const Panel &) = delete;

  LWPanelID id() { return static_cast<LWPanelID>(this); }
  const std::string &title() const { return title_; }
  // Position of the panel's window on the screen (attributes 0 and 1).
  int x() const { return x_; }
  int y() const { return y_; }
  int width() const { return fb_.width(); }
  int height() const { return fb_.height(); }
  Framebuffer &framebuffer() { return fb_; }
  const Framebuffer &framebuffer() const { return fb_; }
  void *user_data() const { return user_data_; }
  const PanelCallbacks &callbacks() const { return callbacks_; }

  bool is_open() const { return open_; }
  int open_flags() const { return open_flags_; }
  // Whether the host shows an OK / Cancel row under the panel.
  bool has_ok_cancel() const {
    return open_ && (open_flags_ & PANF_CANCEL) && !(open_flags_ & PANF_NOBUTT);
  }
  int times_opened() const { return times_opened_; }
  // Times the plug-in raised the panel (tag 23, PAN_TO_FRONT).
  int times_raised() const { return times_raised_; }

  const std::vector<std::unique_ptr<Control>> &controls() const { return controls_; }
  // The first control of that type name, or null.
  Control *find_control(std::string_view type_name) const;
  // The first control of the kind, or null.
  Control *find_control(ControlKind kind) const;
  // The topmost control containing the point, or null.
  Control *control_at(int x, int y) const;
  // Each raster blitted onto the panel where it was blitted last, in the
  // order of their first blits; a raster destroyed is forgotten.
  const std::vector<PanelBlit> &blits() const { return blits_; }

 private:
  friend class Host;
  friend struct HostAbi;

  // Notes a blit of the raster whose top-left lands at (x, y).
  void note_blit(const Raster &raster, int64_t x, int64_t y);
  void forget_blits(const Raster &raster);

  struct MouseState {
    std::optional<MouseButton> held;
    Control *captured = nullptr;  // the control a press began on
  };

  std::string title_;
  int x_ = 0, y_ = 0;
  Framebuffer fb_;
  void *user_data_ = nullptr;
  PanelCallbacks callbacks_;
  std::vector<std::unique_ptr<Control>> controls_;
  std::vector<PanelBlit> blits_;
  bool open_ = false;
  bool modal_ = false;
  bool close_requested_ = false;
  bool destroyed_ = false;
  int open_flags_ = 0;
  int result_ = 0;
  int times_opened_ = 0;
  int times_raised_ = 0;
  int drawing_ = 0;  // inside the draw callback: a draw request then would recurse
  MouseState mouse_;
};

class Raster {
 public:
  Raster(int w, int h);
  LWRasterID id() { return static_cast<LWRasterID>(this); }
  int width() const { return fb_.width(); }
  int height() const { return fb_.height(); }
  Framebuffer &framebuffer() { return fb_; }
  const Framebuffer &framebuffer() const { return fb_; }

 private:
  Framebuffer fb_;
};

}  // namespace hvhost
