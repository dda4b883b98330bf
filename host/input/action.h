// What a user does to the host. A script line is an Action of the vocabulary
// (input/vocabulary.h); resolved, it is the UserInputs a user makes, which
// every front end delivers: the headless one to the host's entry points, the
// windowed one as real input (SendInput). An input's kind is the ActionId
// of the action that is that one input (press, key down, desktop wheel);
// its payload is the record of that kind.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <variant>

#include "common/mouse_button.h"
#include "common/place.h"

namespace hvhost {

struct ActionSpec;

// The actions, in the order of the table in vocabulary.h (and of --help).
// Those that are one input each (all but click, drag and key) name the
// inputs' kinds too.
enum class ActionId {
  kPress,
  kRelease,
  kMove,
  kClick,
  kDrag,
  kKey,
  kKeyDown,
  kKeyUp,
  kRgb,
  kHsv,
  kOk,
  kCancel,
  kWait,
  kDesktopMove,
  kDesktopPress,
  kDesktopRelease,
  kDesktopWheel,
  kDesktopWarp,
  kPenMove,
  kPenDown,
  kPenUp,
  kTouchDown,
  kTouchMove,
  kTouchUp,
  kSnapshot,
};

// One script line: an action of the vocabulary and its fields (those its
// grammar line names; the rest stay at their defaults). Which member a
// field fills is its kind's (kFieldKinds in vocabulary.h).
struct Action {
  const ActionSpec *entry = nullptr;
  Place place = Place::kPanel;
  MouseButton button = MouseButton::kLeft;
  std::array<int, 4> xy{};      // X Y, or X1 Y1 X2 Y2
  int number = 0;               // STEPS, a key's code, MS, NOTCHES
  int qualifiers = 0;           // with a key: IQ_* held
  std::array<int, 3> values{};  // R G B, H S V
  std::string name;             // NAME
  int line = 0;                 // script line, 0 when not from a script

  // The action's word ("press", "key down").
  std::string_view word() const;
  // Whether it is the named row's action.
  bool is(ActionId id) const;

  // Thin wrappers over the vocabulary, for tests and fuzzers.
  static Action press(int x, int y, MouseButton b = MouseButton::kLeft);
  static Action press(Place p, int x, int y, MouseButton b = MouseButton::kLeft);
  static Action move(int x, int y);
  static Action move(Place p, int x, int y);
  static Action release(int x, int y, MouseButton b = MouseButton::kLeft);
  static Action release(Place p, int x, int y, MouseButton b = MouseButton::kLeft);
  static Action click(Place p, int x, int y, MouseButton b = MouseButton::kLeft);
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

// ---- The inputs' payloads ---------------------------------------------------
// One record a kind of input, each made from the action's fields and the
// point the input is at (panel coordinates, or the screen's for the
// desktop) by its from(); a row of the vocabulary names the one its input
// carries.

using InputPoint = std::array<int, 2>;

// A panel's button going down or up at a point: press, release.
struct ButtonAt {
  int x = 0, y = 0;
  MouseButton button = MouseButton::kLeft;
  static ButtonAt from(const Action &a, InputPoint at) { return {at[0], at[1], a.button}; }
};
// The pointer going to a point: move, desktop move and warp, pen and touch.
struct PointerAt {
  int x = 0, y = 0;
  static PointerAt from(const Action &, InputPoint at) { return {at[0], at[1]}; }
};
// A button of the screen pointer, wherever it is: desktop press, release.
struct DesktopButton {
  MouseButton button = MouseButton::kLeft;
  static DesktopButton from(const Action &a, InputPoint) { return {a.button}; }
};
// A key's press or release, with the qualifiers held: key down, key up.
struct KeyStroke {
  int code = 0;
  int qualifiers = 0;  // IQ_*
  static KeyStroke from(const Action &a, InputPoint) { return {a.number, a.qualifiers}; }
};
// Three values typed into an editor (which one is the kind's place): rgb,
// hsv.
struct EditValues {
  std::array<int, 3> values{};
  static EditValues from(const Action &a, InputPoint) { return {a.values}; }
};
// A window's button clicked: ok, cancel.
struct NoPayload {
  static NoPayload from(const Action &, InputPoint) { return {}; }
};
// Virtual (headless) or real (windowed) time passing: wait.
struct Pause {
  int ms = 0;
  static Pause from(const Action &a, InputPoint) { return {a.number}; }
};
// The screen pointer's wheel turned, forward when positive: desktop wheel.
struct WheelTurn {
  int notches = 0;
  static WheelTurn from(const Action &a, InputPoint) { return {a.number}; }
};
// A picture of the panel's window: snapshot.
struct SnapshotName {
  std::string name;
  static SnapshotName from(const Action &a, InputPoint) { return {a.name}; }
};

using InputPayload = std::variant<NoPayload, ButtonAt, PointerAt, DesktopButton, KeyStroke,
                                  EditValues, Pause, WheelTurn, SnapshotName>;

// One input a user makes. Mouse inputs are at panel coordinates of the
// innermost open panel; an edit types the three values into its RGB or HSV
// editor; ok and cancel are its window's buttons; the desktop inputs are
// the screen pointer outside the panels; wait lets time pass; snapshot
// takes a picture of the panel's window.
struct UserInput {
  ActionId kind = ActionId::kWait;
  InputPayload payload = Pause{};

  // The payload as the kind's record, or null when it carries another.
  template <typename P>
  const P *as() const {
    return std::get_if<P>(&payload);
  }
};

}  // namespace hvhost
