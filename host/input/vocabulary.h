// The script's actions, declared once: each one a typed row named by an
// ActionId, with its word, its fields (kind, optional or not, range), its
// description, what it needs on the panel and the user inputs it is made of.
// The grammar lines and limits of --help, the parser, describe() and
// resolve() all go by the rows, so an action made of existing inputs and
// fields is its name in ActionId (input/action.h) and one row of
// kVocabulary below (and its line in docs/host.md); a new kind of input is
// that, its payload beside the others in action.h, its delivery in
// session/action_feed.cpp and its step in win32/script_player.cpp.
//
// Sections:
//   Fields        FieldKind, the member each fills (kFieldKinds), Field
//   Rows          ActionSpec, the fields' ranges, kVocabulary
//   Entry points  parsing, resolving into inputs, errors, the grammar for --help
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "input/action.h"

namespace hvhost {

using InputList = std::vector<UserInput>;

// How many actions there are: counted by the last name of ActionId
// (input/action.h); one added at the end is named here too.
inline constexpr size_t kActionCount = static_cast<size_t>(ActionId::kSnapshot) + 1;

// ---- Fields ---------------------------------------------------------------

// What a field is: how it is parsed, described and limited, and which
// member of Action it fills (kFieldKinds below).
enum class FieldKind {
  kPlace,    // [PLACE]: field, strip or eyedropper (which takes no X Y)
  kArea,     // [AREA]: field or strip
  kCoord,    // X, Y, X1 ...
  kButton,   // BUTTON: left, middle or right
  kSteps,    // STEPS
  kMs,       // MS
  kKey,      // C: a character, or a decimal CODE within the range
  kValue,    // R G B, H S V
  kNotches,  // NOTCHES: the wheel's turn
  kName,     // NAME, its length within the range
};

// The members of Action a field can fill.
enum class Member { kPlace, kXy, kButton, kNumber, kValues, kName };

// Each field kind's member and what the limits legend says of it: the
// one place that maps a kind to what it fills. The legend lists the kinds
// with a label in this order; their ranges come from the rows.
struct FieldKindSpec {
  FieldKind kind;
  Member member;
  const char *legend = nullptr;  // its label in the limits legend; null for none
  const char *after = "";        // the legend's words after the range
};
inline constexpr FieldKindSpec kFieldKinds[] = {
    {FieldKind::kPlace, Member::kPlace},
    {FieldKind::kArea, Member::kPlace},
    {FieldKind::kCoord, Member::kXy, "X, Y"},
    {FieldKind::kButton, Member::kButton},
    {FieldKind::kSteps, Member::kNumber, "STEPS"},
    {FieldKind::kMs, Member::kNumber, "MS"},
    {FieldKind::kKey, Member::kNumber, "CODE"},
    {FieldKind::kValue, Member::kValues, "R G B, H S V", ", which the editor clamps to 0..255"},
    {FieldKind::kNotches, Member::kNumber, "NOTCHES"},
    {FieldKind::kName, Member::kName, "NAME",
     " letters, digits, '_', '-' and '.', not starting with '.'"},
};
inline constexpr size_t kFieldKindCount = std::size(kFieldKinds);

// Whether a value is one of FieldKind's (a row can hold any int).
constexpr bool known_field_kind(FieldKind kind) {
  return static_cast<size_t>(kind) < kFieldKindCount;
}
// A known kind's member.
constexpr Member member_of(FieldKind kind) { return kFieldKinds[static_cast<size_t>(kind)].member; }

struct Field {
  FieldKind kind = FieldKind::kCoord;
  const char *name = "";  // as the grammar shows it, without brackets
  bool optional = false;  // shown in brackets; may be left out at the end
  int min = 0, max = 0;   // a number's range; a name's length
  int slot = 0;           // index into its member when that is an array (xy, values)
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

// ---- Rows -----------------------------------------------------------------

// Which payload a row's input carries: carries<WheelTurn> is the
// record's place among InputPayload's alternatives plus one; 0 is none.
template <typename P, size_t I = 0>
constexpr size_t payload_number() {
  static_assert(I < std::variant_size_v<InputPayload>, "not one of InputPayload's records");
  if constexpr (std::is_same_v<P, std::variant_alternative_t<I, InputPayload>>)
    return I + 1;
  else
    return payload_number<P, I + 1>();
}
template <typename P>
inline constexpr size_t carries = payload_number<P>();

// The inputs of an action made of others, in order. A row may list up to
// kMaxActionInputs (a double click would be four); one with more does not
// compile, as FixedList's constructor throws in the constant table.
inline constexpr size_t kMaxActionInputs = 8;
using ActionInputs = FixedList<ActionId, kMaxActionInputs>;

struct ActionSpec {
  ActionId id = ActionId::kPress;
  const char *word = "";            // "press", "key down"
  FixedList<Field, 6> fields = {};  // the grammar line after the word, typed
  const char *help = "";            // what it does, lines of --help split by '\n'
  // What must be on the innermost open panel: kPanel an open panel, another
  // place that place too; nothing for actions outside the panels (time and
  // the desktop), the one answer to which inputs need no panel.
  std::optional<Place> required_place = std::nullopt;
  // An action that is one input: the payload it carries (carries<WheelTurn>),
  // made from the action's fields by the record's from(); the input's kind
  // is the row's id. 0 for the others.
  size_t payload = 0;
  // An action made of other actions' inputs (click, drag, key): their ids,
  // in order, each input's payload made from this action's fields by its
  // own row. Mouse inputs are at the action's point (with a second point,
  // a drag's: its STEPS moves go there in even steps and its release is
  // there).
  ActionInputs inputs = {};
};

// The fields' ranges and defaults.
inline constexpr int kCoordMin = -32768;
inline constexpr int kCoordMax = 32767;
inline constexpr int kMaxWaitMs = 3600000;
inline constexpr int kMaxDragSteps = 10000;
inline constexpr int kDefaultDragSteps = 8;
inline constexpr int kMaxKeyCode = 65535;
inline constexpr int kMaxNameLength = 100;
// One wheel event carries a signed 16-bit delta of WHEEL_DELTA (120) a
// notch: at most 273 notches either way.
inline constexpr int kMaxWheelNotches = 32767 / 120;

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
constexpr Field notches() {
  return {FieldKind::kNotches, "NOTCHES", false, -kMaxWheelNotches, kMaxWheelNotches};
}
constexpr Field name() { return {FieldKind::kName, "NAME", false, 1, kMaxNameLength}; }
}  // namespace fields

// The rows, in ActionId's order: name, word, typed fields, description
// (lines of --help split by '\n'), what it needs on the panel, and either
// its payload (an action that is one input) or the inputs it is made of.
// vocabulary.cpp checks at compile time that each is sound.
inline constexpr std::array<ActionSpec, kActionCount> kVocabulary = [] {
  using namespace fields;
  using A = ActionId;
  // clang-format off
  return std::array<ActionSpec, kActionCount>{{
    {A::kPress, "press", {place(), coord("X", 0), coord("Y", 1), button(true)},
     "a mouse button goes down at X Y", Place::kPanel, carries<ButtonAt>},
    {A::kRelease, "release", {place(), coord("X", 0), coord("Y", 1), button(true)},
     "... and comes up; over the control it\nwent down on, that clicks the control",
     Place::kPanel, carries<ButtonAt>},
    {A::kMove, "move", {place(), coord("X", 0), coord("Y", 1)},
     "the pointer moves; the plug-in hears of\nit only while a button is held",
     Place::kPanel, carries<PointerAt>},
    {A::kClick, "click", {place(), coord("X", 0), coord("Y", 1), button(true)},
     "a press and a release at X Y", Place::kPanel, 0, {A::kPress, A::kRelease}},
    {A::kDrag, "drag",
     {area(), coord("X1", 0), coord("Y1", 1), coord("X2", 2), coord("Y2", 3), steps()},
     "left press at X1 Y1, STEPS moves in even\nsteps to X2 Y2 (default 8), release there",
     Place::kPanel, 0, {A::kPress, A::kMove, A::kRelease}},
    {A::kKey, "key", {key()}, "a key pressed and released; C is a\ncharacter or a "
     "decimal code, after any\nof ctrl+ shift+ alt+ for keys held", Place::kPanel, 0,
     {A::kKeyDown, A::kKeyUp}},
    {A::kKeyDown, "key down", {key()}, "only the key's press", Place::kPanel,
     carries<KeyStroke>},
    {A::kKeyUp, "key up", {key()}, "only the key's release", Place::kPanel,
     carries<KeyStroke>},
    {A::kRgb, "rgb", {value("R", 0), value("G", 1), value("B", 2)},
     "the user types the three values into the\nRGB editor", Place::kRgbEditor,
     carries<EditValues>},
    {A::kHsv, "hsv", {value("H", 0), value("S", 1), value("V", 2)},
     "... or into the HSV editor", Place::kHsvEditor, carries<EditValues>},
    {A::kOk, "ok", {},
     "the OK button of the panel's window (an\nerror on a panel without it, such as the\n"
     "magnifier)", Place::kOkButton, carries<NoPayload>},
    {A::kCancel, "cancel", {}, "its Cancel button (the same)", Place::kCancelButton,
     carries<NoPayload>},
    {A::kWait, "wait", {ms()}, "virtual time passes; the timers due fire",
     std::nullopt, carries<Pause>},
    {A::kDesktopMove, "desktop move", {coord("X", 0), coord("Y", 1)},
     "the screen pointer, in screen coordinates,\nthrough the low-level mouse hooks (the\n"
     "eyedropper's pick)", std::nullopt, carries<PointerAt>},
    {A::kDesktopPress, "desktop press", {button(false)},
     "a button of the screen pointer goes down", std::nullopt, carries<DesktopButton>},
    {A::kDesktopRelease, "desktop release", {button(false)}, "... and comes up",
     std::nullopt, carries<DesktopButton>},
    {A::kDesktopWheel, "desktop wheel", {notches()},
     "its wheel turns NOTCHES notches, forward\n(away from the user) when positive",
     std::nullopt, carries<WheelTurn>},
    {A::kDesktopWarp, "desktop warp", {coord("X", 0), coord("Y", 1)},
     "another program moves the screen pointer\n(SetCursorPos): no hook sees it",
     std::nullopt, carries<PointerAt>},
    {A::kPenMove, "pen move", {coord("X", 0), coord("Y", 1)},
     "a pen hovers, or moves in contact, to\nscreen X Y: pointer input to the window\n"
     "there, mouse input only where it leaves\nit to DefWindowProc", std::nullopt,
     carries<PointerAt>},
    {A::kPenDown, "pen down", {coord("X", 0), coord("Y", 1)}, "the pen touches the screen",
     std::nullopt, carries<PointerAt>},
    {A::kPenUp, "pen up", {coord("X", 0), coord("Y", 1)}, "... and lifts", std::nullopt,
     carries<PointerAt>},
    {A::kTouchDown, "touch down", {coord("X", 0), coord("Y", 1)},
     "a finger touches the screen (its mouse\ninput waits for the lift unless the\n"
     "window turns press-and-hold off)", std::nullopt, carries<PointerAt>},
    {A::kTouchMove, "touch move", {coord("X", 0), coord("Y", 1)}, "... moves in contact",
     std::nullopt, carries<PointerAt>},
    {A::kTouchUp, "touch up", {coord("X", 0), coord("Y", 1)}, "... and lifts", std::nullopt,
     carries<PointerAt>},
    {A::kSnapshot, "snapshot", {name()},
     "NAME.png of the innermost open panel's\nwindow, in the --snapshot directory",
     Place::kPanel, carries<SnapshotName>},
  }};
  // clang-format on
}();

// ---- Entry points ---------------------------------------------------------

// The row of an action.
const ActionSpec &action_spec(ActionId id);

// Why a row cannot be used, or nothing: a field kind outside FieldKind, a
// slot outside the member it indexes, two fields filling one member, a
// PLACE not followed by X and Y, an input that is not one action's input.
// Every row of the table passes (a static assertion); parsing by a row that
// does not is refused.
std::optional<std::string> row_problem(const ActionSpec &row);

// Whether an input goes to the innermost open panel, as its kind's row
// says (time and the desktop go on without one).
bool needs_panel(const UserInput &in);

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
