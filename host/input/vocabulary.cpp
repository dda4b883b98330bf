// The vocabulary's rows put to work.
//
// Sections:
//   Soundness    row_fault() and table_fault(): every row checked at compile time
//   Members      which member of Action a field fills (by kFieldKinds)
//   Parsing      LineParser: one script line into an Action by its row
//   Wrappers     Action::press() and the others, for tests and fuzzers
//   Describing   describe(): an Action back into its script line
//   Resolving    resolve(): an Action into the UserInputs it is made of
//   Help         action_grammar() and limits_legend() for --help
#include "input/vocabulary.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "common/file_read.h"
#include "common/quote.h"
#include "input/script.h"
#include "input/words.h"

namespace hvhost {

namespace {

// Column where the descriptions of --help start, and the width the limits
// legend wraps to.
constexpr size_t kHelpColumn = 35;
constexpr size_t kLegendWidth = 75;

int saturate(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

using F = FieldKind;

// ---- Soundness ---------------------------------------------------------------

constexpr bool kinds_in_order() {
  for (size_t i = 0; i < kFieldKindCount; ++i)
    if (static_cast<size_t>(kFieldKinds[i].kind) != i) return false;
  return true;
}
static_assert(kinds_in_order(), "kFieldKinds lists every FieldKind in its order");

// How many slots a member has, and the first of its bits in row_fault's
// record of the members filled: xy 0..3, values 4..6, then place, button,
// number, name.
struct MemberRoom {
  unsigned first_bit;
  int slots;
  const char *overflow;  // a slot outside it
};
constexpr MemberRoom room(Member m) {
  switch (m) {
    case Member::kXy: return {0, 4, "a coordinate's slot outside X Y X2 Y2"};
    case Member::kValues: return {4, 3, "a value's slot outside the three values"};
    case Member::kPlace: return {7, 1, ""};
    case Member::kButton: return {8, 1, ""};
    case Member::kNumber: return {9, 1, ""};
    case Member::kName: return {10, 1, ""};
  }
  return {11, 0, "a field of unknown kind"};
}

// Why a row cannot be used, or null; see row_problem().
constexpr const char *row_fault(const ActionSpec &row) {
  unsigned filled = 0;
  for (size_t i = 0; i < row.fields.size(); ++i) {
    const Field &f = row.fields[i];
    if (!known_field_kind(f.kind)) return "a field of unknown kind";
    if (f.min > f.max) return "a field whose range is empty";
    if (f.kind == F::kPlace && (i + 2 >= row.fields.size() || row.fields[i + 1].kind != F::kCoord ||
                                row.fields[i + 2].kind != F::kCoord))
      return "PLACE not followed by X and Y";
    const MemberRoom r = room(member_of(f.kind));
    const int slot = r.slots > 1 ? f.slot : 0;
    if (slot < 0 || slot >= r.slots) return r.overflow;
    const unsigned bit = 1u << (r.first_bit + static_cast<unsigned>(slot));
    if (filled & bit) return "two fields fill one member";
    filled |= bit;
  }
  if (row.payload > std::variant_size_v<InputPayload>) return "a payload of unknown kind";
  if (row.payload && row.inputs.size() > 0) return "an action both one input and made of others";
  for (const ActionId k : row.inputs)
    if (static_cast<size_t>(k) >= kActionCount || !kVocabulary[static_cast<size_t>(k)].payload)
      return "an input of unknown kind";
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
static_assert(ActionInputs{ActionId::kPress, ActionId::kRelease, ActionId::kPress,
                           ActionId::kRelease}
                      .size() == 4,
              "an action may be made of four inputs, as a double click is");

// ---- Members -----------------------------------------------------------------

// The int a numeric field fills, or null for a field of another member
// (place, button, name) or a slot outside its member (row_fault refuses
// both before anything is written).
template <typename A>
auto *number_member(A &a, const Field &f) {
  using Int = std::conditional_t<std::is_const_v<A>, const int, int>;
  const size_t slot = static_cast<size_t>(f.slot);
  Int *none = nullptr;
  if (!known_field_kind(f.kind)) return none;
  switch (member_of(f.kind)) {
    case Member::kXy: return slot < a.xy.size() ? &a.xy[slot] : none;
    case Member::kValues: return slot < a.values.size() ? &a.values[slot] : none;
    case Member::kNumber: return static_cast<Int *>(&a.number);
    default: return none;
  }
}

std::vector<std::string_view> split_words(std::string_view text, char separator) {
  std::vector<std::string_view> out;
  while (!text.empty()) {
    const size_t at = text.find(separator);
    out.push_back(text.substr(0, at));
    text = at == std::string_view::npos ? std::string_view() : text.substr(at + 1);
  }
  return out;
}

// The payload a row's number names, made from the action's fields.
template <size_t... I>
InputPayload make_payload(size_t number, const Action &a, InputPoint at,
                          std::index_sequence<I...>) {
  InputPayload out;
  (void)((number == I + 1 ? (out = std::variant_alternative_t<I, InputPayload>::from(a, at), true)
                          : false) ||
         ...);
  return out;
}
InputPayload make_payload(size_t number, const Action &a, InputPoint at) {
  return make_payload(number, a, at, std::make_index_sequence<std::variant_size_v<InputPayload>>());
}

bool has_second_point(const ActionSpec &row) {
  return std::any_of(row.fields.begin(), row.fields.end(),
                     [](const Field &f) { return f.kind == F::kCoord && f.slot >= 2; });
}

// ---- Parsing -----------------------------------------------------------------

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
      if (f.optional)
        if (int *n = number_member(a, f)) *n = f.fallback;
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
        case F::kButton: a.button = button(next_word(f)); break;
        case F::kKey: *number_member(a, f) = key_code(next_word(f), f, &a.qualifiers); break;
        case F::kName: a.name = snapshot_name(next_word(f), f); break;
        default: *number_member(a, f) = number(f.name, f.min, f.max); break;
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
      // A first word that only begins actions ("desktop", "pen", "touch")
      // is named with the word after it.
      std::string said(words_[0]);
      const std::string first = said + ' ';
      const bool prefix =
          std::any_of(std::begin(kVocabulary), std::end(kVocabulary), [&](const ActionSpec &s) {
            return std::string_view(s.word).substr(0, first.size()) == first;
          });
      if (prefix && words_.size() > 1) {
        said += ' ';
        said.append(words_[1]);
      }
      fail("unknown action " + quoted_text(said));
    }
    pos_ = found_words;
    return *found;
  }

  // The next word, as field f's value; none left is an error naming f.
  std::string_view next_word(const Field &f) {
    if (!more()) {
      std::string what(f.name);
      if (f.kind == F::kButton) what += " (" + word_choices(kButtonWords) + ")";
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
    if (const std::optional<MouseButton> b = find_word(kButtonWords, w)) return *b;
    fail("expected " + word_choices(kButtonWords) + ", not " + quoted_text(w));
  }

  // An optional place before the coordinates. A word that cannot begin a
  // number is taken for a place, so a misspelt one is named as such.
  Place place(bool eyedropper_too) {
    const std::string_view w = words_[pos_];
    const size_t count = eyedropper_too ? std::size(kPlaceWords) : kAreaWordCount;
    if (const std::optional<Place> p = find_word(kPlaceWords, w, count)) {
      ++pos_;
      return *p;
    }
    if (w.find_first_of("0123456789+-") != 0)
      fail("unknown place " + quoted_text(w) + " (" + word_choices(kPlaceWords, count) + ")");
    return Place::kPanel;
  }

  // A key: one character or a decimal code within the field's range, after
  // any of the qualifier words for the qualifiers held with it.
  int key_code(std::string_view w, const Field &f, int *qualifiers) {
    for (bool more = true; more && w.size() > 1;) {
      more = false;
      for (const Word<int> &q : kQualifierWords) {
        const std::string_view prefix = q.word;
        if (w.size() > prefix.size() && w.substr(0, prefix.size()) == prefix) {
          *qualifiers |= q.value;
          w.remove_prefix(prefix.size());
          more = true;
        }
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

// ---- Wrappers ----------------------------------------------------------------

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

// ---- Describing --------------------------------------------------------------

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
        word = word_of(kPlaceWords, a.place);
        if (a.place == Place::kEyedropper) i += 2;
        break;
      case F::kButton:
        if (!f.optional || a.button != MouseButton::kLeft) word = word_of(kButtonWords, a.button);
        break;
      case F::kKey:
        for (const Word<int> &q : kQualifierWords)
          if (a.qualifiers & q.value) word += q.word;
        word += std::to_string(a.number);
        break;
      case F::kName: word = a.name; break;
      default:
        if (const int *n = number_member(a, f)) word = std::to_string(*n);
        break;
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

// ---- Resolving ---------------------------------------------------------------

std::string missing_place_message(Place place) {
  const std::string word = word_of(kPlaceWords, place);
  switch (place) {
    case Place::kPanel: break;
    case Place::kField: return "no " + word + " (a 256 x 256 raster) on the open panel";
    case Place::kStrip: return "no " + word + " (a tall narrow raster) on the open panel";
    case Place::kEyedropper: return "no " + word + " button on the open panel";
    case Place::kRgbEditor: return "no RGB editor on the open panel";
    case Place::kHsvEditor: return "no HSV editor on the open panel";
    case Place::kOkButton: return "the open panel has no OK button";
    case Place::kCancelButton: return "the open panel has no Cancel button";
  }
  return "no panel is open";
}

bool needs_panel(const UserInput &in) { return action_spec(in.kind).required_place.has_value(); }

bool resolve(const Action &a, const PanelPlaces &places, InputList *out, std::string *error) {
  const ActionSpec &entry = a.entry ? *a.entry : kVocabulary.front();
  std::array<InputPoint, 2> at{{{a.xy[0], a.xy[1]}, {a.xy[2], a.xy[3]}}};
  if (entry.required_place) {
    for (Place p : {Place::kPanel, *entry.required_place, a.place}) {
      if (places.find(p)) continue;
      *error = missing_place_message(p);
      return false;
    }
    if (a.place != Place::kPanel) {
      const PlaceRect r = *places.find(a.place);
      for (InputPoint &p : at) {
        p = {saturate(int64_t{r.x} + p[0]), saturate(int64_t{r.y} + p[1])};
        if (a.place == Place::kEyedropper) p = {r.x + r.w / 2, r.y + r.h / 2};
      }
    }
  }
  // An action that is one input is its own; the others are made of the
  // inputs they list.
  const ActionInputs own{entry.id};
  const ActionInputs &kinds = entry.payload ? own : entry.inputs;
  // An action with a second point (a drag) moves to it in STEPS even steps
  // and releases there.
  const bool two_points = has_second_point(entry);
  const int moves = two_points ? std::max(a.number, 1) : 1;
  for (const ActionId kind : kinds) {
    const size_t payload = action_spec(kind).payload;
    if (!payload) continue;
    for (int i = 1; i <= (kind == ActionId::kMove ? moves : 1); ++i) {
      InputPoint p = at[two_points && kind == ActionId::kRelease ? 1 : 0];
      if (two_points && kind == ActionId::kMove)
        for (size_t k = 0; k < 2; ++k)
          p[k] = saturate(at[0][k] + (static_cast<int64_t>(at[1][k]) - at[0][k]) * i / moves);
      out->push_back(UserInput{kind, make_payload(payload, a, p)});
    }
  }
  return true;
}

std::string action_error(const Action &a, const std::string &message, const std::string &file) {
  return ScriptError(a.line, message + " (" + describe(a) + ")", file).what();
}

// ---- Help --------------------------------------------------------------------

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
  for (const FieldKindSpec &k : kFieldKinds) {
    if (!k.legend) continue;
    for (const ActionSpec &s : kVocabulary) {
      const Field *f = std::find_if(s.fields.begin(), s.fields.end(),
                                    [&k](const Field &g) { return g.kind == k.kind; });
      if (f == s.fields.end()) continue;
      text += std::string(k.legend) + ": " + std::to_string(f->min) + ".." +
              std::to_string(f->max) + k.after + ". ";
      break;
    }
  }
  text += "The script: a regular file of at most " + byte_size_text(kMaxScriptBytes) +
          ", UTF-8 (a byte-order mark at its start is skipped).";
  return wrap("Limits  ", text, kLegendWidth);
}

}  // namespace hvhost
