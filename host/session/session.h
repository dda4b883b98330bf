// One run of the huevane-host command, shared by its front ends: the module
// loaded, the host set up (display size, the --trace file, the snapshot
// directory and, elsewhere than Windows, the simulated desktop), colour
// requests run with every hot callback and result printed, and the closing
// messages and exit code. A front end brings the input (an InputDriver)
// and, when it shows the panels itself, how a snapshot is taken.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/machine_report.h"
#include "input/action.h"
#include "model/framebuffer.h"
#include "model/host.h"
#include "output/trace_file.h"
#include "session/exit_codes.h"
#include "session/module.h"
#include "session/request.h"

namespace hvhost {

inline constexpr char kDefaultServerName[] = "Huevane";

// One monitor of the simulated desktop: its rectangle in physical pixels
// and its display scale in percent.
struct MonitorConfig {
  int x = 0, y = 0, width = 0, height = 0;
  int scale = 100;
};

// The DPI awareness the host's thread runs the plug-in in (the values of
// the simulated desktop's DesktopDpiMode; kDpiHostDefault leaves it as the
// host has it: system aware).
inline constexpr int kDpiHostDefault = 0;

// Another program's window on the simulated desktop: one that handles pen
// and touch itself (a browser, say) or leaves them to DefWindowProc.
struct WindowConfig {
  bool handles_pointer = true;
  int x = 0, y = 0, width = 0, height = 0;
};

struct SessionConfig {
  std::string module_path;
  std::string server_name = kDefaultServerName;
  AskedColor request;
  int display_width = 1920;
  int display_height = 1080;
  // The simulated desktop's monitors, the primary first; empty: one of the
  // display size at 100 %.
  std::vector<MonitorConfig> monitors;
  int dpi_awareness = kDpiHostDefault;
  // What a composited desktop costs: milliseconds of the plug-in's thread
  // per screen read (GetPixel on, or BitBlt from, a screen DC), and the
  // low-level hook timeout after which the system drops a hook.
  uint32_t screen_read_ms = 0;
  uint32_t hook_timeout_ms = 1000;
  // What the system offers for keeping a window out of screen reads (a
  // DesktopAffinitySupport), whether the compositor runs, and other
  // programs' windows for the pointer to be over.
  int capture_exclusion = 0;
  bool compositor = true;
  std::vector<WindowConfig> windows;
  // The machine a huevane-check report describes (--desktop-from): its
  // monitors, read cost and hook timeout are set above; the rest of what it
  // measured (capture exclusion, pen routing) is kept here.
  std::optional<MachineReport> machine;
  std::vector<Action> actions;
  // The script the actions come from, which errors name (empty: none).
  std::string script_path;
  // Where `snapshot NAME` writes NAME.png; without it snapshots are skipped
  // with a note on the error stream.
  std::optional<std::string> snapshot_dir;
  // A PNG to show on the simulated desktop instead of its test pattern.
  std::optional<std::string> wallpaper_path;
  // When set, the calls the plug-in made are written there, one a line, as
  // they happen, followed by "count OP N" for every operation that was
  // called (see TraceFile). Without it only the counts are kept.
  std::optional<std::string> trace_path;
  // Seconds of real time a colour request may run (headless), or the
  // plug-in may keep the host's message loop from running (windowed),
  // before the run ends with a timeout report; none when unset.
  std::optional<double> timeout_s;
  // Every problem the host noticed in the plug-in's use of its interface
  // fails the run (kExitProblems) instead of being a note.
  bool strict = false;
  // Colour requests run one after another, the script going on from one
  // to the next (1..kMaxRepeat).
  int repeat = 1;
  // Text put on the clipboard before the request.
  std::optional<std::string> clipboard;
};

inline constexpr int kMaxRepeat = 100000;

class Session {
 public:
  // Takes the picture of the panel's window for a snapshot; false with
  // *error set when it cannot.
  using Capture = std::function<bool(const Panel &panel, Framebuffer *image, std::string *error)>;

  // Lines go to out ("hot R G B", "result N R G B"), notes and errors to
  // err. config must outlive the session.
  Session(const SessionConfig &config, std::ostream &out, std::ostream &err);
  ~Session();
  Session(const Session &) = delete;
  Session &operator=(const Session &) = delete;

  // Loads the module and finds the server. kExitOk, or kExitModule after
  // saying why on err.
  int load_module();
  // Makes the host, of the config's display size unless given another;
  // opens the trace file and checks the snapshot directory before anything
  // runs; sets up the simulated desktop with its wallpaper (not on
  // Windows). kExitOk, or kExitUsage after saying why on err. Memory stays
  // flat however long the run: the host keeps counts, not calls.
  int start_host(std::optional<HostOptions> options = std::nullopt);

  const Module &module() const { return *module_; }
  const ServerRecord &server() const { return *server_; }
  Host &host() { return *host_; }

  // How `snapshot` takes its picture; by default the host composes the
  // panel's window itself.
  void set_capture(Capture capture) { capture_ = std::move(capture); }

  // Runs one colour request with input from `input`, printing each hot
  // callback as it happens (flushed line by line), keeping none. The
  // request runs watched (session/crash_report.h): a crash, an exception
  // the plug-in did not catch or a timeout ends the process with its
  // report.
  ColorOutcome request(InputDriver &input);
  // Prints the result line, then "clipboard TEXT" (escaped) when the
  // clipboard holds other text than before the request, and a note when
  // the activation returned nonzero for a request it did not serve; with
  // --strict the problems noticed so far come first (on err); a failed run (input_error set, or an
  // action that failed) prints no result.
  void report(const ColorOutcome &outcome, const std::string &input_error = {});
  // Ends the run: calls the module's shutdown as a host does when it
  // unloads the module (traced as call.shutdown, watched like a request);
  // notes script actions left over, which reached no panel, as a problem;
  // closes the trace file, then reports the front end's input error (a
  // script step that could not be played) if any, else an action that
  // failed, else a script that ended with a panel open; then the problems
  // the host noticed (errors with --strict, else notes). Returns the exit
  // code.
  int finish(const std::string &input_error, size_t actions_left);

 private:
  void unload_module();

  bool snapshot(const Panel &panel, const std::string &name, std::string *error);

  // Lists the host's problems not listed yet on err, each prefixed by
  // `prefix`.
  void list_problems(const char *prefix);

  const SessionConfig &config_;
  std::ostream &out_;
  std::ostream &err_;
  Capture capture_;
  std::unique_ptr<Module> module_;
  const ServerRecord *server_ = nullptr;
  std::unique_ptr<Host> host_;
  std::optional<std::string> clipboard_before_;
  size_t listed_problems_ = 0;  // of the trace's problems, those on err already
  TraceFile trace_file_;
  std::unique_ptr<DesktopInput> desktop_;  // the simulated desktop, elsewhere than Windows
};

// "hot 0.5 0.25 1" / "result 1 0.5 0.25 1" (floats as %.9g).
std::string format_hot(const HotColor &c);
std::string format_result(const ColorOutcome &o);

}  // namespace hvhost
