// The host's script: one action a line. The grammar, as docs/host.md and
// --help give it, is script_grammar() (input/script_grammar.h).
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "input/action.h"

namespace hvhost {

// The largest script file read, in bytes.
inline constexpr size_t kMaxScriptBytes = size_t{4} << 20;

class ScriptError : public std::runtime_error {
 public:
  // what(): "line 3: message", or "FILE, line 3: message" with a file.
  ScriptError(int line, const std::string &message, const std::string &file = "");
  int line() const { return line_; }  // 0 when not about one line
  const std::string &message() const { return message_; }

 private:
  int line_;
  std::string message_;
};

// Throws ScriptError for the first bad line ("line 3: ...").
std::vector<Action> parse_script(std::string_view text);
// Reads (a regular file of at most kMaxScriptBytes) and parses a file;
// errors name the file and say why it cannot be read.
std::vector<Action> load_script(const std::string &path);

}  // namespace hvhost
