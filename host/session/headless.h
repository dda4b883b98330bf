// The headless host: one colour request with input from the configured
// actions, on the session every front end shares. Used by the huevane-host
// command (and the windowed one's --headless).
#pragma once

#include <ostream>

#include "session/session.h"

namespace hvhost {

// Prints "hot R G B" for each hot callback and "result N R G B" at the end
// on out; problems go to err. Returns an exit code.
int run_headless(const SessionConfig &config, std::ostream &out, std::ostream &err);

}  // namespace hvhost
