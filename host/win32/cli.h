// The windowed command's options: the shared ones (session/cli.h) and those
// of the windows (--headless, --chart, --audit, ...), declared and checked
// against each other here, so that main.cpp only runs what they ask, as the
// headless command leaves its options to session/cli.cpp.
#pragma once

#include <array>
#include <optional>

#include "session/session.h"

namespace hvwin {

// What the windowed command runs, beside the session's configuration.
struct WindowedConfig {
  bool headless = false;  // run as the headless host does
  bool chart = false;
  std::optional<std::array<int, 2>> chart_at;  // else placed from the screen
  bool report_windows = false;
  bool audit = false;
  bool blind_hook = false;
  bool bench = false;
  bool report_resources = false;
  bool display_given = false;  // --display given: else the real screen's size
};

// The default --timeout of the windowed host, in seconds.
inline constexpr double kDefaultTimeoutS = 30.0;
// --report-resources also reports after this many requests, where a long
// run is compared from.
inline constexpr int kResourcesSettled = 100;

// Parses and checks the command line into *config and *windowed. Returns
// nothing when the run is to go on, or the exit code when it ends here: 0
// after --help or --version (printed), kExitUsage after a bad option or
// script or options that do not go together (reported as "error: ..." on
// stderr).
std::optional<int> parse_windowed_command_line(int argc, char **argv, hvhost::SessionConfig *config,
                                               WindowedConfig *windowed);

}  // namespace hvwin
