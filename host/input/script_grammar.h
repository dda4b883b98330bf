// The script grammar as the user reads it: the end of --help, and word for
// word the "Scripts" section of docs/host.md (a test checks that the two
// agree).
#pragma once

#include <string>

namespace hvhost {

std::string script_grammar();

}  // namespace hvhost
