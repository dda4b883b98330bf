// What a user does to the host. A script line is an Action of the vocabulary
// (input/vocabulary.h); resolved, it is the UserInputs a user makes, which
// every front end delivers: the headless one to the host's entry points, the
// windowed one as real input (SendInput).
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "common/mouse_button.h"

namespace hvhost {

struct ActionSpec;
enum class ActionId;  // the rows' names, input/vocabulary.h

// Where the coordinates of a mouse action are measured from, and what else
// an action needs on the innermost open panel. Field and strip are the
// rasters the plug-in drew on the panel as its field and strip; the
// eyedropper is the panel's ButtonControl; the editors and the window's OK
// and Cancel buttons are not script words, only what rgb, hsv, ok and
// cancel need.
enum class Place {
  kPanel,
  kField,
  kStrip,
  kEyedropper,
  kRgbEditor,
  kHsvEditor,
  kOkButton,
  kCancelButton,
};

// Qualifiers held with a key, in the host's bits (panel tag 22).
inline constexpr int kQualifierCtrl = 1;
inline constexpr int kQualifierShift = 2;
inline constexpr int kQualifierAlt = 4;

// One script line: an action of the vocabulary and its fields (those its
// grammar line names; the rest stay at their defaults).
struct Action {
  const ActionSpec *entry = nullptr;
  Place place = Place::kPanel;
  MouseButton button = MouseButton::kLeft;
  std::array<int, 4> xy{};      // X Y, or X1 Y1 X2 Y2
  int number = 0;               // STEPS, a key's code, MS
  int qualifiers = 0;           // with a key: kQualifier* held
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

// The inputs a user makes. Mouse inputs are at panel coordinates of the
// innermost open panel; an edit types the three values into its RGB or HSV
// editor; ok and cancel are its window's buttons; the desktop inputs are
// the screen pointer outside the panels; wait lets time pass; snapshot
// takes a picture of the panel's window.
struct UserInput {
  enum Kind {
    kPress,
    kMove,
    kRelease,
    kKeyDown,
    kKeyUp,
    kEditRgb,
    kEditHsv,
    kOk,
    kCancel,
    kWait,
    kDesktopMove,
    kDesktopPress,
    kDesktopRelease,
    kDesktopWheel,
    kSnapshot,
  };
  Kind kind = kWait;
  int x = 0, y = 0;  // mouse, desktop move
  MouseButton button = MouseButton::kLeft;
  int code = 0;                 // a key's code, MS
  int qualifiers = 0;           // a key's: kQualifier* held with it
  std::array<int, 3> values{};  // edits
  std::string name;             // snapshot
  // Whether it goes to the innermost open panel, as its action's row says
  // (time and the desktop go on without one).
  bool needs_panel = true;
};

}  // namespace hvhost
