#include "input/script.h"

#include <charconv>

#include "input/file_read.h"
#include "input/quote.h"

namespace hvhost {

namespace {

constexpr int kCoordMin = -32768;
constexpr int kCoordMax = 32767;
constexpr int kMaxWaitMs = 3600000;
constexpr int kMaxDragSteps = 10000;
constexpr size_t kMaxNameLength = 100;

std::vector<std::string_view> split(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
    if (j > i) out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

class LineParser {
 public:
  LineParser(int line, std::vector<std::string_view> words)
      : line_(line), words_(std::move(words)) {}

  Action parse() {
    const std::string_view verb = take("an action");
    Action a;
    if (verb == "press" || verb == "release") {
      a = mouse(verb == "press" ? ActionKind::kPress : ActionKind::kRelease, true);
    } else if (verb == "move") {
      a = mouse(ActionKind::kMove, false);
    } else if (verb == "drag") {
      a.kind = ActionKind::kDrag;
      a.place = optional_area();
      a.x = coord("X1");
      a.y = coord("Y1");
      a.x2 = coord("X2");
      a.y2 = coord("Y2");
      a.steps = more() ? number("STEPS", 1, kMaxDragSteps) : 8;
    } else if (verb == "key") {
      a.kind = ActionKind::kKey;
      if (peek() == "down" || peek() == "up") {
        a.kind = peek() == "down" ? ActionKind::kKeyDown : ActionKind::kKeyUp;
        ++pos_;
      }
      a.key = key_code(take("a key"));
    } else if (verb == "rgb" || verb == "hsv") {
      a.kind = verb == "rgb" ? ActionKind::kEditRgb : ActionKind::kEditHsv;
      for (int &v : a.values) v = number("a value", INT32_MIN, INT32_MAX);
    } else if (verb == "click") {
      const std::string_view what = take("what to click");
      if (what != "eyedropper") fail("cannot click " + quoted_text(what) + " (only eyedropper)");
      a.kind = ActionKind::kClickEyedropper;
    } else if (verb == "ok") {
      a.kind = ActionKind::kOk;
    } else if (verb == "cancel") {
      a.kind = ActionKind::kCancel;
    } else if (verb == "wait") {
      a.kind = ActionKind::kWait;
      a.ms = number("MS", 0, kMaxWaitMs);
    } else if (verb == "desktop") {
      a = desktop();
    } else if (verb == "snapshot") {
      a.kind = ActionKind::kSnapshot;
      a.name = snapshot_name(take("a snapshot name"));
    } else {
      fail("unknown action " + quoted_text(verb));
    }
    if (more()) fail("unexpected " + quoted_text(words_[pos_]) + " after the action");
    a.line = line_;
    return a;
  }

 private:
  [[noreturn]] void fail(const std::string &message) const { throw ScriptError(line_, message); }

  bool more() const { return pos_ < words_.size(); }
  std::string_view peek() const { return more() ? words_[pos_] : std::string_view(); }
  std::string_view take(const char *what) {
    if (!more()) fail(std::string("missing ") + what);
    return words_[pos_++];
  }

  int number(const char *what, int lo, int hi) {
    const std::string_view w = take(what);
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
  int coord(const char *what) { return number(what, kCoordMin, kCoordMax); }

  MouseButton button_word(std::string_view w) {
    if (w == "left") return MouseButton::kLeft;
    if (w == "right") return MouseButton::kRight;
    if (w == "middle") return MouseButton::kMiddle;
    fail("expected left, middle or right, not " + quoted_text(w));
  }

  Place optional_area() {
    Place p = Place::kPanel;
    if (peek() == "field") p = Place::kField;
    if (peek() == "strip") p = Place::kStrip;
    if (p != Place::kPanel) ++pos_;
    return p;
  }

  Action mouse(ActionKind kind, bool with_button) {
    Action a;
    a.kind = kind;
    if (peek() == "eyedropper") {
      ++pos_;
      a.place = Place::kEyedropper;
    } else {
      a.place = optional_area();
      a.x = coord("X");
      a.y = coord("Y");
    }
    if (with_button && more()) a.button = button_word(take("a button"));
    return a;
  }

  Action desktop() {
    const std::string_view what = take("desktop move, press or release");
    Action a;
    if (what == "move") {
      a.kind = ActionKind::kDesktopMove;
      a.x = coord("X");
      a.y = coord("Y");
    } else if (what == "press" || what == "release") {
      a.kind = what == "press" ? ActionKind::kDesktopPress : ActionKind::kDesktopRelease;
      a.button = button_word(take("left, middle or right"));
    } else {
      fail("unknown desktop action " + quoted_text(what));
    }
    return a;
  }

  int key_code(std::string_view w) {
    const bool digits = w.find_first_not_of("0123456789") == std::string_view::npos;
    if (digits) {
      --pos_;
      return number("a key code", 0, 65535);
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
  std::vector<std::string_view> words_;
  size_t pos_ = 0;
};

}  // namespace

namespace {

std::string error_text(int line, const std::string &message, const std::string &file) {
  std::string where = file;
  if (line > 0) where += (file.empty() ? "line " : ", line ") + std::to_string(line);
  return where.empty() ? message : where + ": " + message;
}

}  // namespace

ScriptError::ScriptError(int line, const std::string &message, const std::string &file)
    : std::runtime_error(error_text(line, message, file)), line_(line), message_(message) {}

std::vector<Action> parse_script(std::string_view text) {
  std::vector<Action> actions;
  int line_no = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    ++line_no;
    if (const size_t hash = line.find('#'); hash != std::string_view::npos)
      line = line.substr(0, hash);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    for (const char &c : line)
      if (c == '\0' || c == '\r')
        throw ScriptError(line_no, "unexpected control character " + quoted_text({&c, 1}));
    std::vector<std::string_view> words = split(line);
    if (!words.empty()) actions.push_back(LineParser(line_no, std::move(words)).parse());
    start = end + 1;
  }
  return actions;
}

std::vector<Action> load_script(const std::string &path) {
  std::string text, why;
  if (!read_regular_file(path, kMaxScriptBytes, &text, &why))
    throw ScriptError(0, "cannot read the script: " + why, path);
  try {
    return parse_script(text);
  } catch (const ScriptError &e) {
    throw ScriptError(e.line(), e.message(), path);
  }
}

}  // namespace hvhost
