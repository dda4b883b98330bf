// The script's actions, declared once: each one's word, grammar line,
// fields, description, and the user inputs it is made of. Parsing,
// describing, --help and both front ends go by this table, so an action
// made of existing inputs is one row here (and its line in the README).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/action.h"

namespace hvhost {

using InputList = std::vector<UserInput>;

struct ActionSpec {
  const char *word;    // "press", "key down"
  const char *fields;  // "[PLACE] X Y [BUTTON]": the grammar line after the word
  const char *help;    // what it does, lines of --help split by '\n'
  // What must be on the innermost open panel: kPanel an open panel, another
  // place that place too; nothing for actions outside the panels.
  std::optional<Place> needs;
  // The inputs it is made of, in order, each from the action's fields:
  // mouse and desktop inputs at its point with its button (with a second
  // point, a drag's: its STEPS moves go there in even steps and its release
  // is there), keys with its key's code, edits with its values, wait with
  // MS, snapshot with NAME.
  std::vector<UserInput::Kind> inputs;
};

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

// The inputs the action is made of on the panel the places describe; false
// with *error when it cannot be made there.
bool resolve(const Action &a, const PanelPlaces &places, InputList *out, std::string *error);

// An error while playing the action: "FILE, line 3: MESSAGE (press field 1
// 2)", the file and line left out when not known.
std::string action_error(const Action &a, const std::string &message, const std::string &file);

// The actions' lines of the grammar for --help and the README.
std::string action_grammar();

}  // namespace hvhost
