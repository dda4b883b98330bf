#include "input/script.h"

#include "common/file_read.h"
#include "common/quote.h"
#include "input/vocabulary.h"

namespace hvhost {

namespace {

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
  // A byte-order mark some editors put at the start of UTF-8 text.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    text.remove_prefix(kByteOrderMark.size());
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
    if (!words.empty()) actions.push_back(parse_action(line_no, words));
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
