// The command's exit codes: one row a code, the number and what it means.
// --help's EXIT CODES section is written from this table, and docs/host.md
// is checked against --help, so the three cannot disagree.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>

namespace hvhost {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;     // bad options, script, wallpaper or output path
inline constexpr int kExitModule = 2;    // the module cannot be loaded or has no such server
inline constexpr int kExitRun = 3;       // an action failed, an output could not be written
inline constexpr int kExitInternal = 4;  // out of memory, or an internal error
inline constexpr int kExitCrash = 5;     // the plug-in crashed (a fault, an abort, an exception)
inline constexpr int kExitTimeout = 6;   // the plug-in did not return within --timeout
inline constexpr int kExitProblems = 7;  // --strict: the plug-in misused the host's interface

struct ExitCode {
  int code;
  const char *meaning;  // as --help says it, one sentence, unwrapped
};

inline constexpr ExitCode kExitCodes[] = {
    {kExitOk, "the request ran, whether the panel was accepted or cancelled"},
    {kExitUsage, "bad options or script, an unusable wallpaper, --trace or --snapshot"},
    {kExitModule, "the module cannot be loaded or has no such ColorPicker server"},
    {kExitRun, "an action could not be performed, or a snapshot or the trace could not be written"},
    {kExitInternal, "out of memory, or an internal error of the host"},
    {kExitCrash,
     "the plug-in crashed: a fault, an abort, or an exception it did not catch; stderr names it "
     "and the last call, the trace ends with it"},
    {kExitTimeout, "the plug-in did not return within --timeout (reported as for 5)"},
    {kExitProblems,
     "with --strict: the plug-in misused the host's interface; each problem is on stderr (the "
     "run was otherwise exit 0)"},
};

// Every code once, in order from 0, so that a row's place is its code.
constexpr bool exit_codes_in_order() {
  for (size_t i = 0; i < std::size(kExitCodes); ++i)
    if (kExitCodes[i].code != static_cast<int>(i)) return false;
  return true;
}
static_assert(exit_codes_in_order(), "kExitCodes lists 0, 1, 2, ... each once");

// The EXIT CODES section of --help and docs/host.md: the table, each
// meaning wrapped to lines of at most kExitCodeTextWidth columns.
inline constexpr size_t kExitCodeTextWidth = 72;
std::string exit_code_text();

}  // namespace hvhost
