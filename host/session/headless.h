// The headless host: load the module, run one colour request with input
// from a list of actions, print what the plug-in reports. Shared by the
// huevane-host command and by tests that run it in-process.
#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "input/action.h"
#include "session/request.h"
#include "model/trace.h"

namespace hvhost {

inline constexpr char kDefaultServerName[] = "Huevane";

struct HeadlessConfig {
  std::string module_path;
  std::string server_name = kDefaultServerName;
  AskedColor request;
  int display_width = 1920;
  int display_height = 1080;
  std::vector<Action> actions;
  // Where `snapshot NAME` writes NAME.png; without it snapshots are skipped
  // with a note on the error stream.
  std::optional<std::string> snapshot_dir;
  // A PNG to show on the simulated desktop instead of its test pattern.
  std::optional<std::string> wallpaper_path;
  // When set, the calls the plug-in made are written there, one a line, as
  // they happen, followed by "count OP N" for every operation that was
  // called (see TraceFile). Without it only the counts are kept.
  std::optional<std::string> trace_path;
};

// Exit codes of run_headless and the command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;     // bad options, script, wallpaper or output path
inline constexpr int kExitModule = 2;    // the module cannot be loaded or has no such server
inline constexpr int kExitRun = 3;       // an action failed, an output could not be written
inline constexpr int kExitInternal = 4;  // out of memory, or an internal error

// Prints "hot R G B" for each hot callback and "result N R G B" at the end
// on out (floats as %.9g); problems go to err. Returns an exit code. The
// snapshot directory and the trace file are checked before the request
// runs. Memory stays flat however long the actions run.
int run_headless(const HeadlessConfig &config, std::ostream &out, std::ostream &err);

// "hot 0.5 0.25 1" / "result 1 0.5 0.25 1".
std::string format_hot(const HotColor &c);
std::string format_result(const ColorOutcome &o);

}  // namespace hvhost
