// The command-line options that every huevane-host front end shares (module,
// server, colour, title, display, script, snapshot directory, trace,
// wallpaper), so that the headless and the windowed host read them alike.
#pragma once

#include <optional>
#include <string>

#include "session/session.h"

namespace CLI {
class App;
}

namespace hvhost {

struct CommonOptions {
  std::string module_path;
  std::string server = kDefaultServerName;
  std::string color = "0,0,0";
  std::string title = kDefaultRequestTitle;
  std::string display = "1920x1080";
  std::string script_path;
  std::string snapshot_dir;
  std::string trace_path;
  std::string wallpaper_path;
  std::string monitors;
  std::string dpi_awareness;
  std::string timeout;  // empty: not given
  std::string repeat = "1";
  std::string screen_read_ms = "0";
  std::string hook_timeout_ms = "1000";
  std::string desktop_from;  // a huevane-check report; empty: none
  std::string capture_exclusion;
  bool no_compositor = false;
  std::vector<std::string> windows;
  std::optional<std::string> clipboard;
  bool no_title = false;
  bool strict = false;
  int class_version = 0;  // 0: offer 6, 5, 4 in turn
};

// Registers the shared options on app, writing into *options (which must
// outlive the parse), and lays out --help: each option with its value's
// name ("--color R,G,B") and a description that states its default and
// range, wrapped to 79 columns. timeout_help describes --timeout, which
// the front ends apply differently. The module defaults to the platform's
// module file beside the running program.
void add_common_options(CLI::App &app, CommonOptions *options, const std::string &timeout_help);

// A number option's value: a decimal within min..max (whole when asked).
// Returns a message ("--timeout needs SECONDS within 1..3600, not '0'")
// or nothing.
std::string parse_number_option(const std::string &option, const std::string &value_name,
                                const std::string &text, double min, double max, bool whole,
                                double *out);

// Parses the command line into app's options. Returns nothing when the run
// is to go on, or the exit code when it ends here: 0 after --help or
// --version (printed), kExitUsage after a parse error (reported as
// "error: ..." on stderr).
std::optional<int> parse_command_line(CLI::App &app, int argc, char **argv);

// Fills the request, module, display, snapshot, trace, wallpaper, timeout,
// repeat count and strictness parts of *config from parsed options and loads the script. Returns a
// message for the user ("--color needs three numbers ...", a script error) or nothing.
std::string apply_common_options(const CommonOptions &options, SessionConfig *config);

}  // namespace hvhost
