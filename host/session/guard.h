// The host command's last line of defence: whatever escapes (an allocation
// that fails, any other exception) ends the run with one clear message and
// a nonzero exit code instead of an abort.
#pragma once

#include <functional>
#include <ostream>

namespace hvhost {

// Runs body and returns its exit code. An exception that escapes it is
// reported on err as "error: out of memory" (std::bad_alloc) or
// "error: internal error: WHAT", and the result is kExitInternal. Also
// installs a terminate handler that does the same for an exception that
// cannot be caught here (one thrown through a function that may not throw).
int run_guarded(const std::function<int()> &body, std::ostream &err);

}  // namespace hvhost
