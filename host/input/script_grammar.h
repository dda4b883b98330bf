// The script grammar and the exit codes as the user reads them: the end of
// --help, and word for word the "Scripts" section of docs/host.md (a test
// checks that the two agree).
#pragma once

#include <string>

namespace hvhost {

std::string script_grammar();
const char *exit_code_text();

}  // namespace hvhost
