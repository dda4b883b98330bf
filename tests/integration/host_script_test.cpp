// The headless host's script grammar.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "input/script.h"
#include "input/script_grammar.h"
#include "input/vocabulary.h"
#include "input/words.h"
#include "model/host.h"
#include "session/action_feed.h"

namespace {

using hvhost::Action;
using hvhost::MouseButton;
using hvhost::parse_script;
using hvhost::Place;
using hvhost::ScriptError;

std::vector<std::string> described(const std::vector<Action> &actions) {
  std::vector<std::string> out;
  for (const Action &a : actions) out.push_back(hvhost::describe(a));
  return out;
}

TEST(Script, EveryActionParsesAndReadsBackTheSame) {
  const std::vector<Action> actions = parse_script(R"(
# A comment line, then blank and indented lines.

  press 10 20
press field 0 255 right   # trailing comment
move strip -5 32767
release 3 4 left
press 5 6 middle
release strip 7 8 middle
press eyedropper
move eyedropper
release eyedropper right
drag field 1 2 3 4
drag strip 5 6 7 8 3
drag -1 -2 -3 -4 10000
key S
key 115
key 0
key down S
key up 115
key d
key ctrl+v
key down shift+ctrl+4112
key alt++
rgb 1 -2 300
hsv 0 0 2147483647
click eyedropper
click strip 3 4 right
click 5 6
ok
cancel
wait 0
wait 3600000
desktop move -32768 100
desktop press left
desktop release right
desktop press middle
desktop wheel -3
desktop wheel +273
desktop warp 5 -6
pen move 1 2
pen down 3 4
pen up 5 6
touch down -7 8
touch move 9 10
touch up 11 12
desktop warp -32768 32767
pen   move  +7   -0   # spaced, signed, commented
touch down 32767 -32768
snapshot picker-1.final_2
)");
  EXPECT_EQ(described(actions), (std::vector<std::string>{"press 10 20",
                                                          "press field 0 255 right",
                                                          "move strip -5 32767",
                                                          "release 3 4",
                                                          "press 5 6 middle",
                                                          "release strip 7 8 middle",
                                                          "press eyedropper",
                                                          "move eyedropper",
                                                          "release eyedropper right",
                                                          "drag field 1 2 3 4 8",
                                                          "drag strip 5 6 7 8 3",
                                                          "drag -1 -2 -3 -4 10000",
                                                          "key 83",
                                                          "key 115",
                                                          "key 0",
                                                          "key down 83",
                                                          "key up 115",
                                                          "key 100",
                                                          "key ctrl+118",
                                                          "key down ctrl+shift+4112",
                                                          "key alt+43",
                                                          "rgb 1 -2 300",
                                                          "hsv 0 0 2147483647",
                                                          "click eyedropper",
                                                          "click strip 3 4 right",
                                                          "click 5 6",
                                                          "ok",
                                                          "cancel",
                                                          "wait 0",
                                                          "wait 3600000",
                                                          "desktop move -32768 100",
                                                          "desktop press left",
                                                          "desktop release right",
                                                          "desktop press middle",
                                                          "desktop wheel -3",
                                                          "desktop wheel 273",
                                                          "desktop warp 5 -6",
                                                          "pen move 1 2",
                                                          "pen down 3 4",
                                                          "pen up 5 6",
                                                          "touch down -7 8",
                                                          "touch move 9 10",
                                                          "touch up 11 12",
                                                          "desktop warp -32768 32767",
                                                          "pen move 7 0",
                                                          "touch down 32767 -32768",
                                                          "snapshot picker-1.final_2"}));
  EXPECT_EQ(actions[0].line, 4);
  EXPECT_EQ(actions[1].place, Place::kField);
  EXPECT_EQ(actions[1].button, MouseButton::kRight);
  EXPECT_EQ(actions[4].button, MouseButton::kMiddle);
  EXPECT_EQ(actions.back().word(), "snapshot");
}

TEST(Script, WindowsLineEndsAByteOrderMarkAndAnEmptyScriptAreFine) {
  EXPECT_EQ(described(parse_script("press 1 2\r\nok\r\n")),
            (std::vector<std::string>{"press 1 2", "ok"}));
  EXPECT_EQ(described(parse_script("\xEF\xBB\xBFok\n")), (std::vector<std::string>{"ok"}));
  EXPECT_TRUE(parse_script("").empty());
  EXPECT_TRUE(parse_script("\n\n# only comments\n   \t\n").empty());
}

struct BadLine {
  const char *script;
  const char *error;
};

void PrintTo(const BadLine &b, std::ostream *os) {
  std::string s = b.script;
  for (size_t i = 0; (i = s.find_first_of("\r\n", i)) != std::string::npos;)
    s.replace(i, 1, s[i] == '\n' ? "\\n" : "\\r");
  *os << '"' << s << '"';
}

class ScriptErrors : public ::testing::TestWithParam<BadLine> {};

TEST_P(ScriptErrors, NameTheLineAndTheProblem) {
  try {
    parse_script(GetParam().script);
    FAIL() << "accepted: " << GetParam().script;
  } catch (const ScriptError &e) {
    EXPECT_EQ(std::string(e.what()), GetParam().error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Script, ScriptErrors,
    ::testing::Values(
        BadLine{"ok\njump 1 2", "line 2: unknown action 'jump'"},
        BadLine{"press 1", "line 1: missing Y"}, BadLine{"press", "line 1: missing X"},
        BadLine{"press 1 2 centre", "line 1: expected left, middle or right, not 'centre'"},
        BadLine{"press nowhere 1 2",
                "line 1: unknown place 'nowhere' (field, strip or eyedropper)"},
        BadLine{"click 1", "line 1: missing Y"},
        BadLine{"move 1 2 left", "line 1: unexpected 'left' after the action"},
        BadLine{"press x 2", "line 1: unknown place 'x' (field, strip or eyedropper)"},
        BadLine{"press 1.5 2", "line 1: X must be a whole number, not '1.5'"},
        BadLine{"press 1 32768", "line 1: Y 32768 is out of range (-32768..32767)"},
        BadLine{"press 99999999999999999999 0",
                "line 1: X 99999999999999999999 is out of range (-32768..32767)"},
        BadLine{"press field", "line 1: missing X"},
        BadLine{"drag field 1 2 3", "line 1: missing Y2"},
        BadLine{"drag 1 2 3 4 0", "line 1: STEPS 0 is out of range (1..10000)"},
        BadLine{"drag eyedropper 1 2 3 4", "line 1: unknown place 'eyedropper' (field or strip)"},
        BadLine{"key", "line 1: missing the key C (a character or a decimal code)"},
        BadLine{"key SS", "line 1: a key is one character or a decimal code, not 'SS'"},
        BadLine{"key 65536", "line 1: CODE 65536 is out of range (0..65535)"},
        BadLine{"key ctrl+", "line 1: a key is one character or a decimal code, not 'ctrl+'"},
        BadLine{"key ctrl+99999", "line 1: CODE 99999 is out of range (0..65535)"},
        BadLine{"key up", "line 1: missing the key C (a character or a decimal code)"},
        BadLine{"key down S S", "line 1: unexpected 'S' after the action"},
        BadLine{"rgb 1 2", "line 1: missing B"}, BadLine{"hsv", "line 1: missing H"},
        BadLine{"hsv 1 2 3 4", "line 1: unexpected '4' after the action"},
        BadLine{"rgb 1 2 2147483648",
                "line 1: B 2147483648 is out of range (-2147483648..2147483647)"},
        BadLine{"click ok", "line 1: unknown place 'ok' (field, strip or eyedropper)"},
        BadLine{"ok now", "line 1: unexpected 'now' after the action"},
        BadLine{"wait -1", "line 1: MS -1 is out of range (0..3600000)"},
        BadLine{"wait", "line 1: missing MS"},
        BadLine{"desktop jump", "line 1: unknown action 'desktop jump'"},
        BadLine{"desktop press", "line 1: missing BUTTON (left, middle or right)"},
        BadLine{"desktop move 1", "line 1: missing Y"},
        BadLine{"desktop wheel", "line 1: missing NOTCHES"},
        BadLine{"pen down 1", "line 1: missing Y"},
        BadLine{"touch", "line 1: unknown action 'touch'"},
        BadLine{"desktop wheel 274", "line 1: NOTCHES 274 is out of range (-273..273)"},
        BadLine{"desktop wheel -274", "line 1: NOTCHES -274 is out of range (-273..273)"},
        BadLine{"desktop wheel up", "line 1: NOTCHES must be a whole number, not 'up'"},
        BadLine{"press 1 2 Left", "line 1: expected left, middle or right, not 'Left'"},
        BadLine{"desktop release", "line 1: missing BUTTON (left, middle or right)"},
        BadLine{"snapshot", "line 1: missing NAME"},
        BadLine{"snapshot ../x",
                "line 1: bad snapshot name '../x' (letters, digits, '_', '-' and '.', not "
                "starting with '.')"},
        BadLine{"snapshot .hidden",
                "line 1: bad snapshot name '.hidden' (letters, digits, '_', '-' and '.', not "
                "starting with '.')"},
        BadLine{"PRESS 1 2", "line 1: unknown action 'PRESS'"},
        // What does not show is escaped, so these are not mistaken for "ok".
        BadLine{"ok\f", "line 1: unknown action 'ok\\f'"},
        BadLine{"\vok", "line 1: unknown action '\\vok'"},
        // A byte-order mark is skipped at the start only.
        BadLine{"ok\n\xEF\xBB\xBFok", "line 2: unknown action '\\xEF\\xBB\\xBFok'"},
        BadLine{"snapshot a\\b\x7F",
                "line 1: bad snapshot name 'a\\\\b\\x7F' (letters, digits, "
                "'_', '-' and '.', not starting with '.')"},
        BadLine{"key \xC3\xA9",
                "line 1: a key is one character or a decimal code, not "
                "'\\xC3\\xA9'"},
        BadLine{"ok\n\n\nok\rok", "line 4: unexpected control character '\\r'"},
        // Pen, touch and warp: points within the desktop's 16-bit range,
        // both given, nothing after them.
        BadLine{"pen", "line 1: unknown action 'pen'"},
        BadLine{"pen hover 1 2", "line 1: unknown action 'pen hover'"},
        BadLine{"PEN down 1 2", "line 1: unknown action 'PEN'"},
        BadLine{"pen up", "line 1: missing X"}, BadLine{"touch up 1", "line 1: missing Y"},
        BadLine{"desktop warp", "line 1: missing X"},
        BadLine{"desktop warp 1", "line 1: missing Y"},
        BadLine{"pen move 1 32768", "line 1: Y 32768 is out of range (-32768..32767)"},
        BadLine{"touch down -32769 0", "line 1: X -32769 is out of range (-32768..32767)"},
        BadLine{"desktop warp 99999999999999999999 0",
                "line 1: X 99999999999999999999 is out of range (-32768..32767)"},
        BadLine{"touch move 1.5 2", "line 1: X must be a whole number, not '1.5'"},
        BadLine{"pen down 1 0x10", "line 1: Y must be a whole number, not '0x10'"},
        BadLine{"pen down field 1 2", "line 1: X must be a whole number, not 'field'"},
        BadLine{"pen down 1 2 left", "line 1: unexpected 'left' after the action"},
        BadLine{"touch up 1 2 3", "line 1: unexpected '3' after the action"},
        BadLine{"desktop warp 1 2 3", "line 1: unexpected '3' after the action"},
        BadLine{"ok\npen up 1 2\ntouch move 3", "line 3: missing Y"}));

TEST(Script, ALongWordIsQuotedShort) {
  const std::string word(1 << 20, 'x');
  for (const std::string &script :
       {word, "press " + word + " 1", "press 1 2 " + word, "wait 9" + std::string(1 << 20, '9')}) {
    try {
      parse_script(script);
      FAIL();
    } catch (const ScriptError &e) {
      const std::string what = e.what();
      EXPECT_LT(what.size(), 160u) << what.substr(0, 300);
      EXPECT_NE(what.find(std::string(40, script[0] == 'w' ? '9' : 'x') + "..."), std::string::npos)
          << what;
      EXPECT_NE(what.find(" bytes)"), std::string::npos) << what;
    }
  }
}

TEST(Script, LoadingAFileNamesTheFile) {
  const std::string path = ::testing::TempDir() + "/host_script_test.txt";
  {
    std::ofstream out(path);
    out << "ok\nbogus\n";
  }
  try {
    hvhost::load_script(path);
    FAIL();
  } catch (const ScriptError &e) {
    EXPECT_EQ(std::string(e.what()), path + ", line 2: unknown action 'bogus'");
    EXPECT_EQ(e.line(), 2);
  }
  std::remove(path.c_str());
  try {
    hvhost::load_script(path);
    FAIL();
  } catch (const ScriptError &e) {
    EXPECT_EQ(std::string(e.what()), path + ": cannot read the script: No such file or directory");
  }
}

// ---- Actions resolved into inputs, on a panel described without the host ----

// A panel of 300 x 200 with a field at 4,8, an eyedropper button at
// 10,20 (30 x 40) and an RGB editor; no strip, no HSV editor, no buttons.
class FakePlaces : public hvhost::PanelPlaces {
 public:
  explicit FakePlaces(bool open = true) : open_(open) {}
  std::optional<hvhost::PlaceRect> find(Place p) const override {
    if (!open_) return std::nullopt;
    switch (p) {
      case Place::kPanel: return hvhost::PlaceRect{0, 0, 300, 200};
      case Place::kField: return hvhost::PlaceRect{4, 8, 256, 256};
      case Place::kEyedropper: return hvhost::PlaceRect{10, 20, 30, 40};
      case Place::kRgbEditor: return hvhost::PlaceRect{0, 150, 100, 20};
      default: return std::nullopt;
    }
  }

 private:
  bool open_;
};

// An input as a test reads it: its kind's word, then its payload.
std::string input_text(const hvhost::UserInput &in) {
  std::string out = hvhost::action_spec(in.kind).word;
  const auto button = [](MouseButton b) { return b != MouseButton::kLeft ? " not-left" : ""; };
  if (const auto *b = in.as<hvhost::ButtonAt>())
    out += " " + std::to_string(b->x) + "," + std::to_string(b->y) + button(b->button);
  if (const auto *p = in.as<hvhost::PointerAt>())
    out += " " + std::to_string(p->x) + "," + std::to_string(p->y);
  if (const auto *b = in.as<hvhost::DesktopButton>()) out += button(b->button);
  if (const auto *k = in.as<hvhost::KeyStroke>()) {
    out += " " + std::to_string(k->code);
    if (k->qualifiers) out += " q" + std::to_string(k->qualifiers);
  }
  if (const auto *e = in.as<hvhost::EditValues>()) out += " " + std::to_string(e->values[2]);
  if (const auto *w = in.as<hvhost::Pause>()) out += " " + std::to_string(w->ms);
  if (const auto *t = in.as<hvhost::WheelTurn>()) out += " " + std::to_string(t->notches);
  if (const auto *n = in.as<hvhost::SnapshotName>()) out += " " + n->name;
  if (!hvhost::needs_panel(in)) out += " anywhere";
  return out;
}

std::string inputs_text(const hvhost::InputList &inputs) {
  std::string out;
  for (const hvhost::UserInput &in : inputs) out += (out.empty() ? "" : "; ") + input_text(in);
  return out;
}

struct Resolved {
  const char *line;
  bool panel_open;
  const char *result;  // the inputs, or the error
};

class Resolving : public ::testing::TestWithParam<Resolved> {};

TEST_P(Resolving, ActionsBecomeTheUsersInputsOrSayWhatIsMissing) {
  const Action a = parse_script(GetParam().line).at(0);
  hvhost::InputList inputs;
  std::string error;
  if (!hvhost::resolve(a, FakePlaces(GetParam().panel_open), &inputs, &error)) {
    EXPECT_TRUE(inputs.empty());
    EXPECT_EQ(error, GetParam().result);
  } else {
    EXPECT_EQ(inputs_text(inputs), GetParam().result);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Script, Resolving,
    ::testing::Values(
        Resolved{"click field 1 2", true, "press 5,10; release 5,10"},
        Resolved{"click 7 8 right", true, "press 7,8 not-left; release 7,8 not-left"},
        Resolved{"click eyedropper", true, "press 25,40; release 25,40"},
        Resolved{"move eyedropper", true, "move 25,40"},
        Resolved{"drag field 0 0 10 -10 2", true, "press 4,8; move 9,3; move 14,-2; release 14,-2"},
        // Across the whole coordinate range.
        Resolved{"drag -32768 0 32767 0 1", true, "press -32768,0; move 32767,0; release 32767,0"},
        Resolved{"key 27", true, "key down 27; key up 27"}, Resolved{"key up S", true, "key up 83"},
        Resolved{"key ctrl+c", true, "key down 99 q1; key up 99 q1"},
        Resolved{"rgb 1 2 3", true, "rgb 3"},
        Resolved{"press strip 1 1", true, "no strip (a tall narrow raster) on the open panel"},
        Resolved{"hsv 1 2 3", true, "no HSV editor on the open panel"},
        Resolved{"ok", true, "the open panel has no OK button"},
        Resolved{"cancel", true, "the open panel has no Cancel button"},
        Resolved{"press 1 2", false, "no panel is open"},
        Resolved{"snapshot x", false, "no panel is open"},
        // Time and the desktop go on without a panel, as their rows say, and
        // their inputs carry that to the front ends.
        Resolved{"wait 5", false, "wait 5 anywhere"},
        Resolved{"desktop move 5 6", false, "desktop move 5,6 anywhere"},
        Resolved{"desktop press right", false, "desktop press not-left anywhere"},
        Resolved{"desktop release left", true, "desktop release anywhere"},
        Resolved{"desktop wheel -2", false, "desktop wheel -2 anywhere"},
        Resolved{"desktop wheel -273", true, "desktop wheel -273 anywhere"},
        Resolved{"release field 1 2 middle", true, "release 5,10 not-left"},
        Resolved{"snapshot final", true, "snapshot final"},
        Resolved{"ok", false, "no panel is open"}));

// ---- The rows themselves ----

using hvhost::ActionSpec;
using hvhost::Field;
using hvhost::FieldKind;

struct BadRow {
  const char *what;
  ActionSpec row;
  const char *problem;
};

void PrintTo(const BadRow &b, std::ostream *os) { *os << b.what; }

constexpr Field kX{FieldKind::kCoord, "X", false, -5, 5, 0};
constexpr Field kY{FieldKind::kCoord, "Y", false, -5, 5, 1};
constexpr Field kR{FieldKind::kValue, "R", false, 0, 9, 0};
constexpr Field kG{FieldKind::kValue, "G", false, 0, 9, 1};
constexpr Field kB{FieldKind::kValue, "B", false, 0, 9, 2};

class BadRows : public ::testing::TestWithParam<BadRow> {};

// A row that would send a field where its member has no room is refused
// before anything is written: the parser never indexes by a field's position.
TEST_P(BadRows, AreRefusedBeforeAnyFieldIsWritten) {
  const ActionSpec &row = GetParam().row;
  EXPECT_EQ(hvhost::row_problem(row).value_or("sound"), GetParam().problem);
  const std::vector<std::string_view> words = {"1", "2", "3", "4", "5", "6"};
  EXPECT_THROW(hvhost::parse_fields(row, 1, words), std::logic_error);
}

INSTANTIATE_TEST_SUITE_P(
    Script, BadRows,
    ::testing::Values(
        BadRow{"[PLACE] R G B",
               {hvhost::ActionId::kRgb, "paint", {{FieldKind::kPlace, "PLACE", true}, kR, kG, kB}},
               "PLACE not followed by X and Y"},
        BadRow{"a fourth value",
               {hvhost::ActionId::kRgb,
                "paint",
                {kR, kG, kB, {FieldKind::kValue, "A", false, 0, 9, 3}}},
               "a value's slot outside the three values"},
        BadRow{"a fifth coordinate",
               {hvhost::ActionId::kMove, "go", {kX, kY, {FieldKind::kCoord, "Z", false, 0, 9, 4}}},
               "a coordinate's slot outside X Y X2 Y2"},
        BadRow{"a field kind the parser does not know",
               {hvhost::ActionId::kRgb, "paint", {{static_cast<FieldKind>(99), "Q"}, kR}},
               "a field of unknown kind"},
        BadRow{
            "R twice", {hvhost::ActionId::kRgb, "paint", {kR, kR}}, "two fields fill one member"},
        BadRow{"one input and made of others too",
               {hvhost::ActionId::kRgb,
                "paint",
                {kR},
                "",
                std::nullopt,
                hvhost::carries<hvhost::EditValues>,
                {hvhost::ActionId::kPress}},
               "an action both one input and made of others"},
        BadRow{
            "made of an action that is not one input",
            {hvhost::ActionId::kKey, "tap", {kR}, "", std::nullopt, 0, {hvhost::ActionId::kClick}},
            "an input of unknown kind"},
        BadRow{"a payload outside the records",
               {hvhost::ActionId::kRgb, "paint", {kR}, "", std::nullopt, 99},
               "a payload of unknown kind"},
        BadRow{"an empty range",
               {hvhost::ActionId::kWait, "nap", {{FieldKind::kMs, "MS", false, 5, 1}}},
               "a field whose range is empty"}));

TEST(Script, RowsParseByTheirFieldsAndAreNamedByTheirIds) {
  const ActionSpec row{hvhost::ActionId::kRgb, "paint", {kX, kY, kR, kG, kB}};
  ASSERT_FALSE(hvhost::row_problem(row));
  const Action a = hvhost::parse_fields(row, 7, {"-5", "5", "0", "4", "9"});
  EXPECT_EQ(a.xy, (std::array<int, 4>{-5, 5, 0, 0}));
  EXPECT_EQ(a.values, (std::array<int, 3>{0, 4, 9}));
  EXPECT_EQ(hvhost::describe(a), "paint -5 5 0 4 9");
  EXPECT_THROW(hvhost::parse_fields(row, 7, {"-5", "6"}), ScriptError);
  for (size_t i = 0; i < hvhost::kActionCount; ++i) {
    const auto id = static_cast<hvhost::ActionId>(i);
    EXPECT_EQ(hvhost::action_spec(id).id, id);
  }
  EXPECT_TRUE(Action::drag(Place::kField, 1, 2, 3, 4).is(hvhost::ActionId::kDrag));
  EXPECT_FALSE(Action::press(1, 2).is(hvhost::ActionId::kRelease));
}

// The word tables are what the parser takes, describe() writes and --help
// lists; each action that is one input carries its own payload.
TEST(Script, WordTablesAreWhatTheParserHelpAndDescribeUse) {
  const std::string help = hvhost::script_grammar();
  for (const auto &w : hvhost::kPlaceWords) {
    EXPECT_NE(help.find(w.word), std::string::npos) << w.word;
    const std::string line =
        std::string("click ") + w.word + (w.value == Place::kEyedropper ? "" : " 1 2");
    EXPECT_EQ(hvhost::describe(parse_script(line).at(0)), line);
  }
  EXPECT_NE(help.find("\nAREA    field or strip: "), std::string::npos);
  EXPECT_NE(help.find("\nBUTTON  left (the default), middle or right\n"), std::string::npos);
  for (const auto &w : hvhost::kButtonWords)
    EXPECT_EQ(hvhost::describe(parse_script(std::string("desktop press ") + w.word).at(0)),
              std::string("desktop press ") + w.word);
  for (const hvhost::FieldKindSpec &k : hvhost::kFieldKinds) {
    if (!k.legend) continue;
    EXPECT_NE(help.find(std::string(k.legend) + ":"), std::string::npos) << k.legend;
  }
  // Every place there is, at 1,2: each row resolves to inputs that carry
  // their own kind's payload, one for an action that is one input.
  struct EveryPlace : hvhost::PanelPlaces {
    std::optional<hvhost::PlaceRect> find(Place) const override {
      return hvhost::PlaceRect{1, 2, 30, 40};
    }
  };
  for (const hvhost::ActionSpec &row : hvhost::kVocabulary) {
    Action a;
    a.entry = &row;
    hvhost::InputList inputs;
    std::string error;
    ASSERT_TRUE(hvhost::resolve(a, EveryPlace(), &inputs, &error)) << row.word << ": " << error;
    for (const hvhost::UserInput &in : inputs)
      EXPECT_EQ(in.payload.index() + 1, hvhost::action_spec(in.kind).payload) << row.word;
    EXPECT_EQ(inputs.size() == 1 && inputs[0].kind == row.id, row.payload != 0) << row.word;
  }
}

// An input whose payload is not its kind's, or an action that is not one
// input, is refused with a message; nothing is delivered.
TEST(Script, DeliveryTakesOnlyAnInputWithItsKindsPayload) {
  hvhost::Host host;
  std::string error;
  EXPECT_FALSE(hvhost::deliver(host, {hvhost::ActionId::kWait, hvhost::ButtonAt{}}, &error));
  EXPECT_EQ(error, "an input without its payload");
  EXPECT_FALSE(hvhost::deliver(host, {hvhost::ActionId::kClick, hvhost::ButtonAt{}}, &error));
  EXPECT_EQ(error, "not an input its kind can carry: click");
  EXPECT_FALSE(hvhost::deliver(host, {hvhost::ActionId::kPress, hvhost::ButtonAt{}}, &error));
  EXPECT_EQ(error, "no panel is open");
  EXPECT_TRUE(
      hvhost::deliver(host, {hvhost::ActionId::kDesktopWheel, hvhost::WheelTurn{2}}, &error));
  EXPECT_TRUE(hvhost::deliver(host, {hvhost::ActionId::kWait, hvhost::Pause{5}}, &error));
}

TEST(Script, PlayingErrorsNameTheScriptTheLineAndTheAction) {
  const Action a = parse_script("ok\n\nhsv 1 2 3").at(1);
  EXPECT_EQ(hvhost::action_error(a, "no HSV editor", "s.txt"),
            "s.txt, line 3: no HSV editor (hsv 1 2 3)");
  EXPECT_EQ(hvhost::action_error(Action::ok(), "gone", ""), "gone (ok)");
}

}  // namespace
