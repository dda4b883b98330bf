#include "input/vocabulary.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "common/quote.h"
#include "input/script.h"

namespace hvhost {

namespace {

constexpr int kCoordMin = -32768;
constexpr int kCoordMax = 32767;
constexpr int kMaxWaitMs = 3600000;
constexpr int kMaxDragSteps = 10000;
constexpr int kDefaultDragSteps = 8;
constexpr size_t kMaxNameLength = 100;
// Column where the descriptions of --help start.
constexpr size_t kHelpColumn = 35;

int saturate(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

using K = UserInput::Kind;

// A row: the word, its fields as the grammar shows them, its description
// (lines of --help split by '\n'), what it needs on the panel, its inputs.
// clang-format off
const std::vector<ActionSpec> kVocabulary = {
    {"press", "[PLACE] X Y [BUTTON]", "a mouse button goes down at X Y",
     Place::kPanel, {K::kPress}},
    {"release", "[PLACE] X Y [BUTTON]",
     "... and comes up; over the control it\nwent down on, that clicks the control",
     Place::kPanel, {K::kRelease}},
    {"move", "[PLACE] X Y",
     "the pointer moves; the plug-in hears of\nit only while a button is held",
     Place::kPanel, {K::kMove}},
    {"click", "[PLACE] X Y [BUTTON]", "a press and a release at X Y",
     Place::kPanel, {K::kPress, K::kRelease}},
    {"drag", "[AREA] X1 Y1 X2 Y2 [STEPS]",
     "left press at X1 Y1, STEPS moves in even\nsteps to X2 Y2 (default 8), release there",
     Place::kPanel, {K::kPress, K::kMove, K::kRelease}},
    {"key", "C", "a key pressed and released", Place::kPanel, {K::kKeyDown, K::kKeyUp}},
    {"key down", "C", "only the key's press", Place::kPanel, {K::kKeyDown}},
    {"key up", "C", "only the key's release", Place::kPanel, {K::kKeyUp}},
    {"rgb", "R G B", "the user types the three values into the\nRGB editor",
     Place::kRgbEditor, {K::kEditRgb}},
    {"hsv", "H S V", "... or into the HSV editor", Place::kHsvEditor, {K::kEditHsv}},
    {"ok", "", "the OK button of the panel's window (an\nerror on a panel without it, such as "
     "the\nmagnifier)", Place::kOkButton, {K::kOk}},
    {"cancel", "", "its Cancel button (the same)", Place::kCancelButton, {K::kCancel}},
    {"wait", "MS", "virtual time passes; the timers due fire", std::nullopt, {K::kWait}},
    {"desktop move", "X Y", "the screen pointer, in screen coordinates,\nthrough the "
     "low-level mouse hooks (the\neyedropper's pick)", std::nullopt, {K::kDesktopMove}},
    {"desktop press", "BUTTON", "a button of the screen pointer goes down",
     std::nullopt, {K::kDesktopPress}},
    {"desktop release", "BUTTON", "... and comes up", std::nullopt, {K::kDesktopRelease}},
    {"snapshot", "NAME",
     "NAME.png of the innermost open panel's\nwindow, in the --snapshot directory",
     Place::kPanel, {K::kSnapshot}},
};
// clang-format on

std::vector<std::string_view> split_fields(std::string_view fields, char separator = ' ') {
  std::vector<std::string_view> out;
  while (!fields.empty()) {
    const size_t at = fields.find(separator);
    out.push_back(fields.substr(0, at));
    fields = at == std::string_view::npos ? std::string_view() : fields.substr(at + 1);
  }
  return out;
}

bool optional_field(std::string_view f) { return f.front() == '['; }
bool is_place_field(std::string_view f) { return f == "[PLACE]" || f == "[AREA]"; }
bool is_coord_field(std::string_view f) {
  return (f[0] == 'X' || f[0] == 'Y') && (f.size() == 1 || f[1] == '1' || f[1] == '2');
}
size_t coord_index(std::string_view f) {
  return (f[0] == 'Y' ? 1 : 0) + (f.size() == 2 && f[1] == '2' ? 2 : 0);
}

const char *place_word(Place p) {
  switch (p) {
    case Place::kField: return "field";
    case Place::kStrip: return "strip";
    case Place::kEyedropper: return "eyedropper";
    default: return "";
  }
}

const char *button_word(MouseButton b) {
  switch (b) {
    case MouseButton::kLeft: return "left";
    case MouseButton::kRight: return "right";
    case MouseButton::kMiddle: return "middle";
  }
  return "?";
}

class LineParser {
 public:
  LineParser(int line, const std::vector<std::string_view> &words) : line_(line), words_(words) {}

  Action parse() {
    Action a;
    a.line = line_;
    a.entry = find_spec();
    const std::vector<std::string_view> fields = split_fields(a.entry->fields);
    if (std::string_view(a.entry->fields).find("[STEPS]") != std::string_view::npos)
      a.number = kDefaultDragSteps;
    for (size_t i = 0; i < fields.size(); ++i) {
      const std::string_view f = fields[i];
      if (optional_field(f) && !more()) continue;
      if (is_place_field(f)) {
        a.place = place(f == "[PLACE]");
        // The eyedropper's point is its centre: no X Y after it.
        if (a.place == Place::kEyedropper) i += 2;
      } else if (is_coord_field(f)) {
        a.xy[coord_index(f)] = number(f, kCoordMin, kCoordMax);
      } else if (f == "[BUTTON]" || f == "BUTTON") {
        a.button = button(take(f));
      } else if (f == "[STEPS]") {
        a.number = number(f, 1, kMaxDragSteps);
      } else if (f == "C") {
        a.number = key_code(take(f));
      } else if (f == "MS") {
        a.number = number(f, 0, kMaxWaitMs);
      } else if (f == "NAME") {
        a.name = snapshot_name(take(f));
      } else {  // R G B, H S V
        a.values[static_cast<size_t>(i)] = number(f, INT32_MIN, INT32_MAX);
      }
    }
    if (more()) fail("unexpected " + quoted_text(words_[pos_]) + " after the action");
    return a;
  }

 private:
  [[noreturn]] void fail(const std::string &message) const { throw ScriptError(line_, message); }

  bool more() const { return pos_ < words_.size(); }

  // The longest word of the table the line starts with ("key down S" is
  // key down, "key d" is key).
  const ActionSpec *find_spec() {
    const ActionSpec *found = nullptr;
    size_t found_words = 0;
    for (const ActionSpec &s : kVocabulary) {
      const std::vector<std::string_view> w = split_fields(s.word);
      if (w.size() > words_.size() || w.size() <= found_words) continue;
      if (std::equal(w.begin(), w.end(), words_.begin())) {
        found = &s;
        found_words = w.size();
      }
    }
    if (!found) {
      std::string said(words_[0]);
      if (words_[0] == "desktop" && words_.size() > 1) {
        said += ' ';
        said.append(words_[1]);
      }
      fail("unknown action " + quoted_text(said));
    }
    pos_ = found_words;
    return found;
  }

  std::string_view take(std::string_view field) {
    if (!more()) {
      std::string what(field);
      if (optional_field(field)) what = what.substr(1, what.size() - 2);
      if (what == "BUTTON") what += " (left, middle or right)";
      if (what == "C") what = "the key C (a character or a decimal code)";
      fail("missing " + what);
    }
    return words_[pos_++];
  }

  int number(std::string_view field, int lo, int hi) {
    const std::string_view w = take(field);
    std::string what(field);
    if (optional_field(field)) what = what.substr(1, what.size() - 2);
    long long v = 0;
    const char *end = w.data() + w.size();
    const char *begin = w.data() + (w.size() > 1 && w[0] == '+' ? 1 : 0);
    const auto [p, ec] = std::from_chars(begin, end, v);
    if (ec == std::errc::result_out_of_range ||
        (ec == std::errc() && p == end && (v < lo || v > hi)))
      fail(what + " " + escaped_text(w) + " is out of range (" + std::to_string(lo) + ".." +
           std::to_string(hi) + ")");
    if (ec != std::errc() || p != end)
      fail(what + " must be a whole number, not " + quoted_text(w));
    return static_cast<int>(v);
  }

  MouseButton button(std::string_view w) {
    if (w == "left") return MouseButton::kLeft;
    if (w == "right") return MouseButton::kRight;
    if (w == "middle") return MouseButton::kMiddle;
    fail("expected left, middle or right, not " + quoted_text(w));
  }

  // An optional place before the coordinates. A word that cannot begin a
  // number is taken for a place, so a misspelt one is named as such.
  Place place(bool eyedropper_too) {
    const std::string_view w = words_[pos_];
    Place p = Place::kPanel;
    if (w == "field") p = Place::kField;
    if (w == "strip") p = Place::kStrip;
    if (w == "eyedropper" && eyedropper_too) p = Place::kEyedropper;
    if (p != Place::kPanel) {
      ++pos_;
      return p;
    }
    if (w.find_first_of("0123456789+-") != 0)
      fail("unknown place " + quoted_text(w) +
           (eyedropper_too ? " (field, strip or eyedropper)" : " (field or strip)"));
    return p;
  }

  int key_code(std::string_view w) {
    if (w.find_first_not_of("0123456789") == std::string_view::npos) {
      --pos_;
      return number("CODE", 0, 65535);
    }
    if (w.size() != 1) fail("a key is one character or a decimal code, not " + quoted_text(w));
    return static_cast<unsigned char>(w[0]);
  }

  std::string snapshot_name(std::string_view w) {
    const bool ok = w.size() <= kMaxNameLength && w[0] != '.' &&
                    w.find_first_not_of(
                        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                        "0123456789_-.") == std::string_view::npos;
    if (!ok)
      fail("bad snapshot name " + quoted_text(w) +
           " (letters, digits, '_', '-' and '.', not starting with '.')");
    return std::string(w);
  }

  int line_;
  const std::vector<std::string_view> &words_;
  size_t pos_ = 0;
};

const ActionSpec &action_spec(std::string_view word) {
  for (const ActionSpec &s : kVocabulary)
    if (s.word == word) return s;
  return kVocabulary.front();
}

// An action of the vocabulary with the given fields.
Action make(std::string_view word, Place place = Place::kPanel, std::array<int, 4> xy = {},
            MouseButton button = MouseButton::kLeft, int number = 0,
            std::array<int, 3> values = {}) {
  Action a;
  a.entry = &action_spec(word);
  a.place = place;
  a.xy = xy;
  a.button = button;
  a.number = number;
  a.values = values;
  return a;
}

}  // namespace

std::string_view Action::word() const { return entry ? entry->word : ""; }

Action Action::press(int x, int y, MouseButton b) { return press(Place::kPanel, x, y, b); }
Action Action::press(Place p, int x, int y, MouseButton b) { return make("press", p, {x, y}, b); }
Action Action::move(int x, int y) { return move(Place::kPanel, x, y); }
Action Action::move(Place p, int x, int y) { return make("move", p, {x, y}); }
Action Action::release(int x, int y, MouseButton b) { return release(Place::kPanel, x, y, b); }
Action Action::release(Place p, int x, int y, MouseButton b) {
  return make("release", p, {x, y}, b);
}
Action Action::click(Place p, int x, int y, MouseButton b) { return make("click", p, {x, y}, b); }
Action Action::drag(Place p, int x1, int y1, int x2, int y2, int steps) {
  return make("drag", p, {x1, y1, x2, y2}, MouseButton::kLeft, steps);
}
Action Action::key_press(int code) { return make("key", Place::kPanel, {}, {}, code); }
Action Action::key_down(int code) { return make("key down", Place::kPanel, {}, {}, code); }
Action Action::key_up(int code) { return make("key up", Place::kPanel, {}, {}, code); }
Action Action::rgb(int r, int g, int b) { return make("rgb", Place::kPanel, {}, {}, 0, {r, g, b}); }
Action Action::hsv(int h, int s, int v) { return make("hsv", Place::kPanel, {}, {}, 0, {h, s, v}); }
Action Action::click_eyedropper() { return click(Place::kEyedropper, 0, 0); }
Action Action::ok() { return make("ok"); }
Action Action::cancel() { return make("cancel"); }
Action Action::wait(int ms) { return make("wait", Place::kPanel, {}, {}, ms); }
Action Action::desktop_move(int x, int y) { return make("desktop move", Place::kPanel, {x, y}); }
Action Action::desktop_press(MouseButton b) { return make("desktop press", Place::kPanel, {}, b); }
Action Action::desktop_release(MouseButton b) {
  return make("desktop release", Place::kPanel, {}, b);
}
Action Action::snapshot(std::string name) {
  Action a = make("snapshot");
  a.name = std::move(name);
  return a;
}

std::string describe(const Action &a) {
  if (!a.entry) return "?";
  std::string s = a.entry->word;
  const std::vector<std::string_view> fields = split_fields(a.entry->fields);
  for (size_t i = 0; i < fields.size(); ++i) {
    const std::string_view f = fields[i];
    std::string word;
    if (is_place_field(f)) {
      word = place_word(a.place);
      if (a.place == Place::kEyedropper) i += 2;
    } else if (is_coord_field(f)) {
      word = std::to_string(a.xy[coord_index(f)]);
    } else if (f == "[BUTTON]" || f == "BUTTON") {
      if (f == "BUTTON" || a.button != MouseButton::kLeft) word = button_word(a.button);
    } else if (f == "[STEPS]" || f == "C" || f == "MS") {
      word = std::to_string(a.number);
    } else if (f == "NAME") {
      word = a.name;
    } else {
      word = std::to_string(a.values[i]);
    }
    if (!word.empty()) s += " " + word;
  }
  return s;
}

Action parse_action(int line, const std::vector<std::string_view> &words) {
  return LineParser(line, words).parse();
}

std::string missing_place_message(Place place) {
  switch (place) {
    case Place::kPanel: break;
    case Place::kField: return "no field (a 256 x 256 raster) on the open panel";
    case Place::kStrip: return "no strip (a tall narrow raster) on the open panel";
    case Place::kEyedropper: return "no eyedropper button on the open panel";
    case Place::kRgbEditor: return "no RGB editor on the open panel";
    case Place::kHsvEditor: return "no HSV editor on the open panel";
    case Place::kOkButton: return "the open panel has no OK button";
    case Place::kCancelButton: return "the open panel has no Cancel button";
  }
  return "no panel is open";
}

bool resolve(const Action &a, const PanelPlaces &places, InputList *out, std::string *error) {
  const ActionSpec &entry = a.entry ? *a.entry : kVocabulary.front();
  std::array<std::array<int, 2>, 2> at{{{a.xy[0], a.xy[1]}, {a.xy[2], a.xy[3]}}};
  if (entry.needs) {
    for (Place p : {Place::kPanel, *entry.needs, a.place}) {
      if (places.find(p)) continue;
      *error = missing_place_message(p);
      return false;
    }
    if (a.place != Place::kPanel) {
      const PlaceRect r = *places.find(a.place);
      for (std::array<int, 2> &p : at) {
        p = {saturate(int64_t{r.x} + p[0]), saturate(int64_t{r.y} + p[1])};
        if (a.place == Place::kEyedropper) p = {r.x + r.w / 2, r.y + r.h / 2};
      }
    }
  }
  // An action with a second point (a drag) moves to it in STEPS even steps
  // and releases there.
  const bool two_points = std::string_view(entry.fields).find("X2") != std::string_view::npos;
  const int moves = two_points ? std::max(a.number, 1) : 1;
  for (const UserInput::Kind kind : entry.inputs) {
    for (int i = 1; i <= (kind == K::kMove ? moves : 1); ++i) {
      UserInput in;
      in.kind = kind;
      in.button = a.button;
      in.code = a.number;
      in.values = a.values;
      in.name = a.name;
      std::array<int, 2> p = at[two_points && kind == K::kRelease ? 1 : 0];
      if (two_points && kind == K::kMove)
        for (size_t k = 0; k < 2; ++k)
          p[k] = saturate(at[0][k] + (static_cast<int64_t>(at[1][k]) - at[0][k]) * i / moves);
      in.x = p[0];
      in.y = p[1];
      out->push_back(std::move(in));
    }
  }
  return true;
}

std::string action_error(const Action &a, const std::string &message, const std::string &file) {
  return ScriptError(a.line, message + " (" + describe(a) + ")", file).what();
}

std::string action_grammar() {
  std::string out;
  for (const ActionSpec &s : kVocabulary) {
    std::string line = std::string("  ") + s.word + (*s.fields ? " " : "") + s.fields;
    line.resize(std::max(line.size() + 1, kHelpColumn), ' ');
    for (const std::string_view help : split_fields(s.help, '\n')) {
      out += line + std::string(help) + "\n";
      line.assign(kHelpColumn, ' ');
    }
  }
  return out;
}

}  // namespace hvhost
