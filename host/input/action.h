// What a user does to the host, as actions that any front end produces: the
// headless one reads them from a script or a test, a windowed one translates
// window messages into them. The host's modal loop pulls them from an
// InputDriver and performs them on the innermost open panel.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hvhost {

class Host;

enum class MouseButton { kLeft, kRight, kMiddle };

// Where the coordinates of a mouse action are measured from. Field and
// strip are the rasters the plug-in drew on the open panel as its field and
// strip; the eyedropper place is the centre of the panel's ButtonControl
// (model/places.h finds them).
enum class Place { kPanel, kField, kStrip, kEyedropper };

enum class ActionKind {
  kPress,
  kMove,
  kRelease,
  kDrag,
  kKey,      // a key pressed and released
  kKeyDown,  // a key pressed (and held)
  kKeyUp,    // a key released
  kEditRgb,
  kEditHsv,
  kClickEyedropper,
  kOk,
  kCancel,
  kWait,
  kDesktopMove,
  kDesktopPress,
  kDesktopRelease,
  kSnapshot,
};

struct Action {
  ActionKind kind = ActionKind::kOk;
  Place place = Place::kPanel;
  MouseButton button = MouseButton::kLeft;
  int x = 0, y = 0;             // press, move, release, drag start, desktop move
  int x2 = 0, y2 = 0;           // drag end
  int steps = 0;                // drag: number of moves
  int key = 0;                  // key code
  std::array<int, 3> values{};  // rgb, hsv
  int ms = 0;                   // wait
  std::string name;             // snapshot name
  int line = 0;                 // script line, 0 when not from a script

  static Action press(int x, int y, MouseButton b = MouseButton::kLeft);
  static Action press(Place p, int x, int y, MouseButton b = MouseButton::kLeft);
  static Action move(int x, int y);
  static Action move(Place p, int x, int y);
  static Action release(int x, int y, MouseButton b = MouseButton::kLeft);
  static Action release(Place p, int x, int y, MouseButton b = MouseButton::kLeft);
  static Action drag(Place p, int x1, int y1, int x2, int y2, int steps = 8);
  // A key pressed and released; key_down and key_up are the two halves.
  static Action key_press(int code);
  static Action key_down(int code);
  static Action key_up(int code);
  static Action rgb(int r, int g, int b);
  static Action hsv(int h, int s, int v);
  static Action click_eyedropper();
  static Action ok();
  static Action cancel();
  static Action wait(int ms);
  static Action desktop_move(int x, int y);
  static Action desktop_press(MouseButton b = MouseButton::kLeft);
  static Action desktop_release(MouseButton b = MouseButton::kLeft);
  static Action snapshot(std::string name);
};

// The script line that gives this action ("press field 10 20", "ok").
std::string describe(const Action &a);

// Source of actions for the host's modal loop.
class InputDriver {
 public:
  virtual ~InputDriver() = default;
  // The next action for the innermost open panel, or nothing at the end of
  // input (the host then cancels every open panel). Called again after the
  // end, it must keep answering nothing.
  virtual std::optional<Action> next(Host &host) = 0;
};

// A fixed list of actions, performed in order.
class ActionQueue : public InputDriver {
 public:
  ActionQueue() = default;
  explicit ActionQueue(std::vector<Action> actions);
  void push(Action a) { actions_.push_back(std::move(a)); }
  size_t remaining() const { return actions_.size(); }
  std::optional<Action> next(Host &host) override;

 private:
  std::deque<Action> actions_;
};

// Asks a function for each action; lets a test look at the host between
// actions.
class CallbackDriver : public InputDriver {
 public:
  using Func = std::function<std::optional<Action>(Host &)>;
  explicit CallbackDriver(Func f) : f_(std::move(f)) {}
  std::optional<Action> next(Host &host) override;

 private:
  Func f_;
  bool ended_ = false;
};

// The desktop outside the host's panels: the screen pointer and time. The
// host routes `desktop ...` and `wait` actions here. This default only keeps
// the virtual clock; a simulated desktop overrides it to deliver pointer
// events through its hooks and to fire its timers.
class DesktopInput {
 public:
  virtual ~DesktopInput() = default;
  virtual void pointer_move(int x, int y);
  virtual void pointer_press(MouseButton button);
  virtual void pointer_release(MouseButton button);
  // Time moves on by ms; now_ms is the virtual clock after the step.
  virtual void time_passed(uint32_t ms, uint64_t now_ms);
};

}  // namespace hvhost
