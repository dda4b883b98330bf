#include "input/vocabulary.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "common/file_read.h"
#include "common/quote.h"
#include "input/script.h"

namespace hvhost {

namespace {

// Column where the descriptions of --help start, and the width the limits
// legend wraps to.
constexpr size_t kHelpColumn = 35;
constexpr size_t kLegendWidth = 75;

int saturate(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

using K = UserInput::Kind;
using F = FieldKind;

// The words for the qualifiers held with a key, and their bits.
constexpr std::pair<std::string_view, int> kQualifierWords[] = {
    {"ctrl+", kQualifierCtrl}, {"shift+", kQualifierShift}, {"alt+", kQualifierAlt}};

// What the limits legend says of each kind with a range, in its order; the
// ranges themselves come from the rows.
struct KindLegend {
  FieldKind kind;
  const char *label;
  const char *after;  // after the range
};
constexpr KindLegend kLegend[] = {
    {F::kCoord, "X, Y", ""},
    {F::kSteps, "STEPS", ""},
    {F::kMs, "MS", ""},
    {F::kKey, "CODE", ""},
    {F::kValue, "R G B, H S V", ", which the editor clamps to 0..255"},
    {F::kName, "NAME", " letters, digits, '_', '-' and '.', not starting with '.'"},
};

constexpr bool known_kind(FieldKind k) {
  return static_cast<int>(k) >= static_cast<int>(F::kPlace) &&
         static_cast<int>(k) <= static_cast<int>(F::kName);
}

// Why a row cannot be used, or null; see row_problem().
constexpr const char *row_fault(const ActionSpec &row) {
  // Which members the fields fill: xy 0..3, values 4..6, then place,
  // button, number, name.
  unsigned filled = 0;
  const auto fill = [&filled](unsigned bit) {
    const bool twice = (filled & (1u << bit)) != 0;
    filled |= 1u << bit;
    return !twice;
  };
  for (size_t i = 0; i < row.fields.size(); ++i) {
    const Field &f = row.fields[i];
    if (!known_kind(f.kind)) return "a field of unknown kind";
    if (f.min > f.max) return "a field whose range is empty";
    bool once = true;
    switch (f.kind) {
      case F::kPlace:
        if (i + 2 >= row.fields.size() || row.fields[i + 1].kind != F::kCoord ||
            row.fields[i + 2].kind != F::kCoord)
          return "PLACE not followed by X and Y";
        once = fill(7);
        break;
      case F::kArea: once = fill(7); break;
      case F::kCoord:
        if (f.slot < 0 || f.slot > 3) return "a coordinate's slot outside X Y X2 Y2";
        once = fill(static_cast<unsigned>(f.slot));
        break;
      case F::kValue:
        if (f.slot < 0 || f.slot > 2) return "a value's slot outside the three values";
        once = fill(4 + static_cast<unsigned>(f.slot));
        break;
      case F::kButton: once = fill(8); break;
      case F::kSteps:
      case F::kMs:
      case F::kKey: once = fill(9); break;
      case F::kName: once = fill(10); break;
    }
    if (!once) return "two fields fill one member";
  }
  for (const K k : row.inputs)
    if (k < K::kPress || k > K::kSnapshot) return "an input of unknown kind";
  return nullptr;
}

// Why the table cannot be used, or null: a row's fault, a row out of
// ActionId's order, fields of one kind with different ranges (the legend
// states one).
constexpr const char *table_fault() {
  for (size_t r = 0; r < kVocabulary.size(); ++r) {
    const ActionSpec &row = kVocabulary[r];
    if (static_cast<size_t>(row.id) != r) return "a row out of ActionId's order";
    if (const char *fault = row_fault(row)) return fault;
    for (const Field &f : row.fields)
      for (const ActionSpec &other : kVocabulary)
        for (const Field &g : other.fields)
          if (f.kind == g.kind && (f.min != g.min || f.max != g.max))
            return "fields of one kind with different ranges";
  }
  return nullptr;
}
static_assert(table_fault() == nullptr, "the vocabulary's rows must be sound");

std::vector<std::string_view> split_words(std::string_view text, char separator) {
  std::vector<std::string_view> out;
  while (!text.empty()) {
    const size_t at = text.find(separator);
    out.push_back(text.substr(0, at));
    text = at == std::string_view::npos ? std::string_view() : text.substr(at + 1);
  }
  return out;
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

bool has_second_point(const ActionSpec &row) {
  return std::any_of(row.fields.begin(), row.fields.end(),
                     [](const Field &f) { return f.kind == F::kCoord && f.slot >= 2; });
}

class LineParser {
 public:
  LineParser(int line, const std::vector<std::string_view> &words) : line_(line), words_(words) {}

  // The row the words start with, and the words after its word.
  Action parse() { return parse_fields(find_spec()); }

  Action parse_fields(const ActionSpec &row) {
    if (const char *fault = row_fault(row))
      throw std::logic_error(std::string("action row '") + row.word + "': " + fault);
    Action a;
    a.line = line_;
    a.entry = &row;
    // An optional number left out (a drag's STEPS) has its default.
    for (const Field &f : row.fields)
      if (f.optional && (f.kind == F::kSteps || f.kind == F::kMs || f.kind == F::kKey))
        a.number = f.fallback;
    for (size_t i = 0; i < row.fields.size(); ++i) {
      const Field &f = row.fields[i];
      if (f.optional && !more()) continue;
      switch (f.kind) {
        case F::kPlace:
        case F::kArea:
          a.place = place(f.kind == F::kPlace);
          // The eyedropper's point is its centre: no X Y after it.
          if (a.place == Place::kEyedropper) i += 2;
          break;
        case F::kCoord: a.xy[static_cast<size_t>(f.slot)] = number(f.name, f.min, f.max); break;
        case F::kButton: a.button = button(take(f)); break;
        case F::kSteps:
        case F::kMs: a.number = number(f.name, f.min, f.max); break;
        case F::kKey: a.number = key_code(take(f), f, &a.qualifiers); break;
        case F::kValue: a.values[static_cast<size_t>(f.slot)] = number(f.name, f.min, f.max); break;
        case F::kName: a.name = snapshot_name(take(f), f); break;
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
  const ActionSpec &find_spec() {
    const ActionSpec *found = nullptr;
    size_t found_words = 0;
    for (const ActionSpec &s : kVocabulary) {
      const std::vector<std::string_view> w = split_words(s.word, ' ');
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
    return *found;
  }

  std::string_view take(const Field &f) {
    if (!more()) {
      std::string what(f.name);
      if (f.kind == F::kButton) what += " (left, middle or right)";
      if (f.kind == F::kKey) what = "the key " + what + " (a character or a decimal code)";
      fail("missing " + what);
    }
    return words_[pos_++];
  }

  int number(std::string_view what, int lo, int hi) {
    if (!more()) fail("missing " + std::string(what));
    const std::string_view w = words_[pos_++];
    long long v = 0;
    const char *end = w.data() + w.size();
    const char *begin = w.data() + (w.size() > 1 && w[0] == '+' ? 1 : 0);
    const auto [p, ec] = std::from_chars(begin, end, v);
    if (ec == std::errc::result_out_of_range ||
        (ec == std::errc() && p == end && (v < lo || v > hi)))
      fail(std::string(what) + " " + escaped_text(w) + " is out of range (" + std::to_string(lo) +
           ".." + std::to_string(hi) + ")");
    if (ec != std::errc() || p != end)
      fail(std::string(what) + " must be a whole number, not " + quoted_text(w));
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

  // A character, or a decimal CODE within the field's range.
  // A key: one character or a decimal code, after any of ctrl+, shift+ and
  // alt+ for the qualifiers held with it.
  int key_code(std::string_view w, const Field &f, int *qualifiers) {
    for (bool more = true; more && w.size() > 1;) {
      more = false;
      for (const auto &[prefix, bit] : kQualifierWords)
        if (w.size() > prefix.size() && w.substr(0, prefix.size()) == prefix) {
          *qualifiers |= bit;
          w.remove_prefix(prefix.size());
          more = true;
        }
    }
    if (w.find_first_not_of("0123456789") == std::string_view::npos) {
      int v = 0;
      const auto [p, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
      if (ec != std::errc() || v < f.min || v > f.max)
        fail("CODE " + escaped_text(w) + " is out of range (" + std::to_string(f.min) + ".." +
             std::to_string(f.max) + ")");
      return v;
    }
    if (w.size() != 1) fail("a key is one character or a decimal code, not " + quoted_text(w));
    return static_cast<unsigned char>(w[0]);
  }

  std::string snapshot_name(std::string_view w, const Field &f) {
    const bool ok = w.size() >= static_cast<size_t>(f.min) &&
                    w.size() <= static_cast<size_t>(f.max) && w[0] != '.' &&
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

// An action of the vocabulary with the given fields.
Action make(ActionId id, Place place = Place::kPanel, std::array<int, 4> xy = {},
            MouseButton button = MouseButton::kLeft, int number = 0,
            std::array<int, 3> values = {}) {
  Action a;
  a.entry = &action_spec(id);
  a.place = place;
  a.xy = xy;
  a.button = button;
  a.number = number;
  a.values = values;
  return a;
}

// Words into lines of at most width columns, the first after first_prefix,
// the others after as many spaces.
std::string wrap(const std::string &first_prefix, const std::string &text, size_t width) {
  std::string out, line = first_prefix;
  bool empty = true;
  for (const std::string_view word : split_words(text, ' ')) {
    if (word.empty()) continue;
    if (!empty && line.size() + 1 + word.size() > width) {
      out.append(line).append(1, '\n');
      line.assign(first_prefix.size(), ' ');
      empty = true;
    }
    if (!empty) line += ' ';
    line.append(word);
    empty = false;
  }
  return out + line + "\n";
}

}  // namespace

const ActionSpec &action_spec(ActionId id) {
  const size_t i = static_cast<size_t>(id);
  return i < kVocabulary.size() ? kVocabulary[i] : kVocabulary.front();
}

std::optional<std::string> row_problem(const ActionSpec &row) {
  if (const char *fault = row_fault(row)) return std::string(fault);
  return std::nullopt;
}

std::string_view Action::word() const { return entry ? entry->word : ""; }
bool Action::is(ActionId id) const { return entry && entry->id == id; }

Action Action::press(int x, int y, MouseButton b) { return press(Place::kPanel, x, y, b); }
Action Action::press(Place p, int x, int y, MouseButton b) {
  return make(ActionId::kPress, p, {x, y}, b);
}
Action Action::move(int x, int y) { return move(Place::kPanel, x, y); }
Action Action::move(Place p, int x, int y) { return make(ActionId::kMove, p, {x, y}); }
Action Action::release(int x, int y, MouseButton b) { return release(Place::kPanel, x, y, b); }
Action Action::release(Place p, int x, int y, MouseButton b) {
  return make(ActionId::kRelease, p, {x, y}, b);
}
Action Action::click(Place p, int x, int y, MouseButton b) {
  return make(ActionId::kClick, p, {x, y}, b);
}
Action Action::drag(Place p, int x1, int y1, int x2, int y2, int steps) {
  return make(ActionId::kDrag, p, {x1, y1, x2, y2}, MouseButton::kLeft, steps);
}
Action Action::key_press(int code) { return make(ActionId::kKey, Place::kPanel, {}, {}, code); }
Action Action::key_down(int code) { return make(ActionId::kKeyDown, Place::kPanel, {}, {}, code); }
Action Action::key_up(int code) { return make(ActionId::kKeyUp, Place::kPanel, {}, {}, code); }
Action Action::rgb(int r, int g, int b) {
  return make(ActionId::kRgb, Place::kPanel, {}, {}, 0, {r, g, b});
}
Action Action::hsv(int h, int s, int v) {
  return make(ActionId::kHsv, Place::kPanel, {}, {}, 0, {h, s, v});
}
Action Action::click_eyedropper() { return click(Place::kEyedropper, 0, 0); }
Action Action::ok() { return make(ActionId::kOk); }
Action Action::cancel() { return make(ActionId::kCancel); }
Action Action::wait(int ms) { return make(ActionId::kWait, Place::kPanel, {}, {}, ms); }
Action Action::desktop_move(int x, int y) {
  return make(ActionId::kDesktopMove, Place::kPanel, {x, y});
}
Action Action::desktop_press(MouseButton b) {
  return make(ActionId::kDesktopPress, Place::kPanel, {}, b);
}
Action Action::desktop_release(MouseButton b) {
  return make(ActionId::kDesktopRelease, Place::kPanel, {}, b);
}
Action Action::snapshot(std::string name) {
  Action a = make(ActionId::kSnapshot);
  a.name = std::move(name);
  return a;
}

std::string describe(const Action &a) {
  if (!a.entry || row_fault(*a.entry)) return "?";
  std::string s = a.entry->word;
  const FixedList<Field, 6> &fields = a.entry->fields;
  for (size_t i = 0; i < fields.size(); ++i) {
    const Field &f = fields[i];
    std::string word;
    switch (f.kind) {
      case F::kPlace:
      case F::kArea:
        word = place_word(a.place);
        if (a.place == Place::kEyedropper) i += 2;
        break;
      case F::kCoord: word = std::to_string(a.xy[static_cast<size_t>(f.slot)]); break;
      case F::kButton:
        if (!f.optional || a.button != MouseButton::kLeft) word = button_word(a.button);
        break;
      case F::kKey:
        for (const auto &[prefix, bit] : kQualifierWords)
          if (a.qualifiers & bit) word += prefix;
        word += std::to_string(a.number);
        break;
      case F::kSteps:
      case F::kMs: word = std::to_string(a.number); break;
      case F::kValue: word = std::to_string(a.values[static_cast<size_t>(f.slot)]); break;
      case F::kName: word = a.name; break;
    }
    if (!word.empty()) s += " " + word;
  }
  return s;
}

Action parse_action(int line, const std::vector<std::string_view> &words) {
  return LineParser(line, words).parse();
}

Action parse_fields(const ActionSpec &row, int line, const std::vector<std::string_view> &words) {
  return LineParser(line, words).parse_fields(row);
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
  const bool two_points = has_second_point(entry);
  const int moves = two_points ? std::max(a.number, 1) : 1;
  for (const UserInput::Kind kind : entry.inputs) {
    for (int i = 1; i <= (kind == K::kMove ? moves : 1); ++i) {
      UserInput in;
      in.kind = kind;
      in.button = a.button;
      in.code = a.number;
      in.qualifiers = a.qualifiers;
      in.values = a.values;
      in.name = a.name;
      in.needs_panel = entry.needs.has_value();
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
    std::string line = std::string("  ") + s.word;
    for (const Field &f : s.fields)
      line += f.optional ? std::string(" [") + f.name + "]" : std::string(" ") + f.name;
    line.resize(std::max(line.size() + 1, kHelpColumn), ' ');
    for (const std::string_view help : split_words(s.help, '\n')) {
      out += line + std::string(help) + "\n";
      line.assign(kHelpColumn, ' ');
    }
  }
  return out;
}

std::string limits_legend() {
  std::string text;
  for (const KindLegend &k : kLegend) {
    for (const ActionSpec &s : kVocabulary) {
      const Field *f = std::find_if(s.fields.begin(), s.fields.end(),
                                    [&k](const Field &g) { return g.kind == k.kind; });
      if (f == s.fields.end()) continue;
      text += std::string(k.label) + ": " + std::to_string(f->min) + ".." + std::to_string(f->max) +
              k.after + ". ";
      break;
    }
  }
  text += "The script: a regular file of at most " + byte_size_text(kMaxScriptBytes) +
          ", UTF-8 (a byte-order mark at its start is skipped).";
  return wrap("Limits  ", text, kLegendWidth);
}

}  // namespace hvhost
