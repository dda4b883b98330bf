// --bench: figures of the windowed host under real input, printed as
// "bench ..." lines (a measurement, not a test):
//   - 225 GetPixel calls on the desktop device context, the reads of one
//     magnifier tick, timed by the host itself;
//   - the magnifier's tick as the plug-in runs it from its 100 ms timer
//     (225 reads and a redraw), timed around the timer's dispatch;
//   - the time from a SendInput pointer move to the hot callback it causes,
//     over a field drag of one-pixel steps.
#pragma once

#include <ostream>

#include "abi/host_api.h"
#include "session/request.h"

namespace hvhost {
class Host;
}

namespace hvwin {

class FrontEnd;

// Runs the benchmark request on host through fe; returns an exit code.
int run_bench(hvhost::Host &host, FrontEnd &fe, const ServerRecord &server,
              const hvhost::AskedColor &request, double timeout_s, std::ostream &out,
              std::ostream &err);

}  // namespace hvwin
