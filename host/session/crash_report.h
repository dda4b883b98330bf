// The report the command leaves when the plug-in takes the process down or
// does not return: one message on stderr naming what happened and the last
// call between host and plug-in, the --trace file ended with its counts,
// problems and a "crash" or "timeout" line, and an exit code of its own.
//
// The plug-in runs in the host's process (a colour request hands it the
// host's tables and callbacks, and the windowed host's windows belong to
// the thread that runs it), so the report is made where the fault
// arrives: elsewhere than Windows in a signal handler on its own stack,
// which only formats into fixed buffers, writes and exits; on Windows in
// the unhandled-exception filter, the abort signal and a watchdog thread,
// writing with WriteFile alone. The trace file has every line up to the
// fault already: it is written a line at a time.
#pragma once

#include <string>

namespace hvhost {

class CallTrace;

// Installs the handlers (once for the process) and names what the report
// reads: the host's call trace (null: none) and the open --trace file's
// descriptor (-1: none). Call again with null and -1 before they go.
void watch_plugin(const CallTrace *trace, int trace_fd);

// Starts the time limit: SECONDS of real time after which the run ends
// with the timeout report, unless note_host_progress() moved it on; 0 or
// less stops it. While note_host_waiting(true) holds (the windowed host
// waiting for the user), time does not count.
void limit_plugin_time(double seconds);
void note_host_progress();
void note_host_waiting(bool waiting);

// Ends the process with the crash report: "error: the plug-in crashed:
// WHAT; the last call: ..." and exit code kExitCrash. what is a noun phrase
// ("an exception it did not catch (std::runtime_error: boom)").
[[noreturn]] void end_with_crash(const char *what);

// Names the plug-in's module file and an address inside it (one of its
// symbols): a fault at an instruction in the module is then reported as
// "at mypicker.p+0x1a2b", with "(in FUNCTION)" when the file has a symbol
// table. Call before the plug-in runs, outside the handlers.
void watch_module(const std::string &path, const void *inside);

}  // namespace hvhost
