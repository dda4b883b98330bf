#include "session/exit_codes.h"

#include <string_view>

namespace hvhost {

std::string exit_code_text() {
  std::string out = "EXIT CODES\n";
  for (const ExitCode &row : kExitCodes) {
    std::string line = "  " + std::to_string(row.code) + "  ";
    const size_t indent = line.size();
    bool first_word = true;
    for (std::string_view rest = row.meaning; !rest.empty();) {
      const size_t space = rest.find(' ');
      const std::string_view word = rest.substr(0, space);
      rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);
      if (!first_word && line.size() + 1 + word.size() > kExitCodeTextWidth) {
        out += line + "\n";
        line.assign(indent, ' ');
        first_word = true;
      }
      if (!first_word) line += ' ';
      line += word;
      first_word = false;
    }
    out += line + "\n";
  }
  return out;
}

}  // namespace hvhost
