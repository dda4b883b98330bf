// The script's actions, declared once: each one a typed row named by an
// ActionId, with its word, its fields (kind, optional or not, range), its
// description, what it needs on the panel and the user inputs it is made of.
// The grammar lines and limits of --help, the parser, describe() and
// resolve() all go by the rows, so an action made of existing inputs and
// fields is its name in ActionId and one row of kVocabulary below (and its
// line in docs/host.md).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "input/action.h"

namespace hvhost {

using InputList = std::vector<UserInput>;

// The actions, in the order of the table (and of --help).
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
  kSnapshot,
};
// Counted by the last name: one added at the end is named here too.
inline constexpr size_t kActionCount = static_cast<size_t>(ActionId::kSnapshot) + 1;

// What a field is: how it is parsed, described and limited, and which
// member of Action it fills. The limits legend lists the kinds with a
// range in this order.
enum class FieldKind {
  kPlace,   // [PLACE]: field, strip or eyedropper (which takes no X Y)
  kArea,    // [AREA]: field or strip
  kCoord,   // X, Y, X1 ...: Action::xy[slot]
  kButton,  // BUTTON: left, middle or right
  kSteps,   // STEPS: Action::number
  kMs,      // MS: Action::number
  kKey,     // C: a character, or a decimal CODE within the range
  kValue,   // R G B, H S V: Action::values[slot]
  kName,    // NAME: Action::name, its length within the range
};

struct Field {
  FieldKind kind = FieldKind::kCoord;
  const char *name = "";  // as the grammar shows it, without brackets
  bool optional = false;  // shown in brackets; may be left out at the end
  int min = 0, max = 0;   // a number's range; a name's length
  int slot = 0;           // kCoord: index into Action::xy; kValue: into values
  int fallback = 0;       // an optional number's value when left out
};

// A short list of fixed capacity, so that the rows are constant data.
template <typename T, size_t N>
struct FixedList {
  std::array<T, N> items{};
  size_t count = 0;
  constexpr FixedList() = default;
  constexpr FixedList(std::initializer_list<T> list) {
    for (const T &t : list) {
      // More than N does not compile in a constant (the table).
      if (count == N) throw std::length_error("FixedList: more items than it holds");
      items[count++] = t;
    }
  }
  constexpr const T *begin() const { return items.data(); }
  constexpr const T *end() const { return items.data() + count; }
  constexpr size_t size() const { return count; }
  constexpr const T &operator[](size_t i) const { return items[i]; }
};

struct ActionSpec {
  ActionId id = ActionId::kPress;
  const char *word = "";            // "press", "key down"
  FixedList<Field, 6> fields = {};  // the grammar line after the word, typed
  const char *help = "";            // what it does, lines of --help split by '\n'
  // What must be on the innermost open panel: kPanel an open panel, another
  // place that place too; nothing for actions outside the panels (time and
  // the desktop), the one answer to which inputs need no panel.
  std::optional<Place> needs = std::nullopt;
  // The inputs it is made of, in order, each from the action's fields:
  // mouse and desktop inputs at its point with its button (with a second
  // point, a drag's: its STEPS moves go there in even steps and its release
  // is there), keys with its key's code, edits with its values, wait with
  // MS, snapshot with NAME.
  FixedList<UserInput::Kind, 3> inputs = {};
};

// ---- The rows -------------------------------------------------------------

// The fields' ranges and defaults.
inline constexpr int kCoordMin = -32768;
inline constexpr int kCoordMax = 32767;
inline constexpr int kMaxWaitMs = 3600000;
inline constexpr int kMaxDragSteps = 10000;
inline constexpr int kDefaultDragSteps = 8;
inline constexpr int kMaxKeyCode = 65535;
inline constexpr int kMaxNameLength = 100;

// Typed fields, as the rows use them.
namespace fields {
constexpr Field place() { return {FieldKind::kPlace, "PLACE", true}; }
constexpr Field area() { return {FieldKind::kArea, "AREA", true}; }
constexpr Field coord(const char *name, int slot) {
  return {FieldKind::kCoord, name, false, kCoordMin, kCoordMax, slot};
}
constexpr Field button(bool optional) { return {FieldKind::kButton, "BUTTON", optional}; }
constexpr Field steps() {
  return {FieldKind::kSteps, "STEPS", true, 1, kMaxDragSteps, 0, kDefaultDragSteps};
}
constexpr Field ms() { return {FieldKind::kMs, "MS", false, 0, kMaxWaitMs}; }
constexpr Field key() { return {FieldKind::kKey, "C", false, 0, kMaxKeyCode}; }
constexpr Field value(const char *name, int slot) {
  return {FieldKind::kValue, name, false, INT32_MIN, INT32_MAX, slot};
}
constexpr Field name() { return {FieldKind::kName, "NAME", false, 1, kMaxNameLength}; }
}  // namespace fields

// The rows, in ActionId's order: name, word, typed fields, description
// (lines of --help split by '\n'), what it needs on the panel, its inputs.
// vocabulary.cpp checks at compile time that each is sound.
inline constexpr std::array<ActionSpec, kActionCount> kVocabulary = [] {
  using namespace fields;
  using K = UserInput::Kind;
  // clang-format off
  return std::array<ActionSpec, kActionCount>{{
    {ActionId::kPress, "press", {place(), coord("X", 0), coord("Y", 1), button(true)},
     "a mouse button goes down at X Y", Place::kPanel, {K::kPress}},
    {ActionId::kRelease, "release", {place(), coord("X", 0), coord("Y", 1), button(true)},
     "... and comes up; over the control it\nwent down on, that clicks the control",
     Place::kPanel, {K::kRelease}},
    {ActionId::kMove, "move", {place(), coord("X", 0), coord("Y", 1)},
     "the pointer moves; the plug-in hears of\nit only while a button is held",
     Place::kPanel, {K::kMove}},
    {ActionId::kClick, "click", {place(), coord("X", 0), coord("Y", 1), button(true)},
     "a press and a release at X Y", Place::kPanel, {K::kPress, K::kRelease}},
    {ActionId::kDrag, "drag",
     {area(), coord("X1", 0), coord("Y1", 1), coord("X2", 2), coord("Y2", 3), steps()},
     "left press at X1 Y1, STEPS moves in even\nsteps to X2 Y2 (default 8), release there",
     Place::kPanel, {K::kPress, K::kMove, K::kRelease}},
    {ActionId::kKey, "key", {key()}, "a key pressed and released; C is a\ncharacter or a "
     "decimal code, after any\nof ctrl+ shift+ alt+ for keys held", Place::kPanel,
     {K::kKeyDown, K::kKeyUp}},
    {ActionId::kKeyDown, "key down", {key()}, "only the key's press", Place::kPanel,
     {K::kKeyDown}},
    {ActionId::kKeyUp, "key up", {key()}, "only the key's release", Place::kPanel,
     {K::kKeyUp}},
    {ActionId::kRgb, "rgb", {value("R", 0), value("G", 1), value("B", 2)},
     "the user types the three values into the\nRGB editor", Place::kRgbEditor,
     {K::kEditRgb}},
    {ActionId::kHsv, "hsv", {value("H", 0), value("S", 1), value("V", 2)},
     "... or into the HSV editor", Place::kHsvEditor, {K::kEditHsv}},
    {ActionId::kOk, "ok", {},
     "the OK button of the panel's window (an\nerror on a panel without it, such as the\n"
     "magnifier)", Place::kOkButton, {K::kOk}},
    {ActionId::kCancel, "cancel", {}, "its Cancel button (the same)", Place::kCancelButton,
     {K::kCancel}},
    {ActionId::kWait, "wait", {ms()}, "virtual time passes; the timers due fire",
     std::nullopt, {K::kWait}},
    {ActionId::kDesktopMove, "desktop move", {coord("X", 0), coord("Y", 1)},
     "the screen pointer, in screen coordinates,\nthrough the low-level mouse hooks (the\n"
     "eyedropper's pick)", std::nullopt, {K::kDesktopMove}},
    {ActionId::kDesktopPress, "desktop press", {button(false)},
     "a button of the screen pointer goes down", std::nullopt, {K::kDesktopPress}},
    {ActionId::kDesktopRelease, "desktop release", {button(false)}, "... and comes up",
     std::nullopt, {K::kDesktopRelease}},
    {ActionId::kDesktopWheel, "desktop wheel", {value("NOTCHES", 0)},
     "its wheel turns NOTCHES notches, forward\n(away from the user) when positive",
     std::nullopt, {K::kDesktopWheel}},
    {ActionId::kSnapshot, "snapshot", {name()},
     "NAME.png of the innermost open panel's\nwindow, in the --snapshot directory",
     Place::kPanel, {K::kSnapshot}},
  }};
  // clang-format on
}();

// The row of an action.
const ActionSpec &action_spec(ActionId id);

// Why a row cannot be used, or nothing: a field kind outside FieldKind, a
// slot outside the member it indexes, two fields filling one member, a
// PLACE not followed by X and Y, fields of one kind with different ranges.
// Every row of the table passes (a static assertion); parsing by a row that
// does not is refused.
std::optional<std::string> row_problem(const ActionSpec &row);

// Where the named places are on the innermost open panel. Input asks the
// model through this without knowing it; the session implements it.
struct PlaceRect {
  int x = 0, y = 0, w = 0, h = 0;
};
class PanelPlaces {
 public:
  virtual ~PanelPlaces() = default;
  // The place's rectangle in panel coordinates (the whole client area for
  // Place::kPanel); nothing when no panel is open or it has no such place.
  virtual std::optional<PlaceRect> find(Place place) const = 0;
};

// Why an action cannot be made: "no field (a 256 x 256 raster) on the open
// panel", "no panel is open".
std::string missing_place_message(Place place);

// The words of one script line as an action; throws ScriptError naming the
// line and, for a missing value, the value ("missing B").
Action parse_action(int line, const std::vector<std::string_view> &words);

// The words after the action's word, parsed by the given row; throws
// ScriptError as parse_action does, and std::logic_error for a row with a
// row_problem, before it writes anything.
Action parse_fields(const ActionSpec &row, int line, const std::vector<std::string_view> &words);

// The inputs the action is made of on the panel the places describe; false
// with *error when it cannot be made there.
bool resolve(const Action &a, const PanelPlaces &places, InputList *out, std::string *error);

// An error while playing the action: "FILE, line 3: MESSAGE (press field 1
// 2)", the file and line left out when not known.
std::string action_error(const Action &a, const std::string &message, const std::string &file);

// The actions' lines of the grammar for --help and docs/host.md.
std::string action_grammar();

// The "Limits" paragraph of the grammar: each kind of field with a range,
// from the rows, wrapped as --help is.
std::string limits_legend();

}  // namespace hvhost
