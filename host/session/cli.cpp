#include "session/cli.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

#include "CLI/CLI.hpp"
#include "common/file_read.h"
#include "common/machine_report.h"
#include "common/quote.h"
#include "input/script.h"
#include "input/script_grammar.h"
#include "model/host.h"
#include "session/exit_codes.h"
#include "session/module.h"
#include "session/process_memory.h"

namespace hvhost {

namespace {

// Colour channels beyond 0..1 are passed on (the plug-in must cope with
// them); the bound keeps channel x 255 far inside the int range.
constexpr double kMaxChannel = 1000.0;

bool parse_float(const std::string &s, float *out) {
  if (s.empty() || s.find_first_of(" \t") != std::string::npos) return false;
  char *end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size() || !std::isfinite(v) || std::fabs(v) > kMaxChannel) return false;
  *out = static_cast<float>(v);
  return true;
}

std::string parse_color(const std::string &text, AskedColor *request) {
  float v[3];
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t comma = text.find(',', start);
    const bool last = i == 2;
    if (last != (comma == std::string::npos))
      return "--color needs three numbers R,G,B, not " + quoted_text(text);
    const std::string part = text.substr(start, last ? std::string::npos : comma - start);
    if (!parse_float(part, &v[i]))
      return "--color channel " + quoted_text(part) + " is not a number within -1000..1000";
    start = comma + 1;
  }
  request->red = v[0];
  request->green = v[1];
  request->blue = v[2];
  return {};
}

std::string parse_display(const std::string &text, int *w, int *h) {
  const size_t x = text.find('x');
  const std::string bad = "--display needs WIDTHxHEIGHT, each 1.." +
                          std::to_string(kMaxDisplaySize) + ", not " + quoted_text(text);
  if (x == std::string::npos) return bad;
  const auto number = [](const std::string &s, int *out) {
    if (s.empty() || s.size() > 6 || s.find_first_not_of("0123456789") != std::string::npos)
      return false;
    *out = std::stoi(s);
    return *out >= 1 && *out <= kMaxDisplaySize;
  };
  if (!number(text.substr(0, x), w) || !number(text.substr(x + 1), h)) return bad;
  return {};
}

// "WxH+X+Y[@S]": a size, a signed position (each sign written) and an
// optional scale in percent.
bool parse_monitor(const std::string &text, MonitorConfig *m) {
  if (text.empty() || text.find_first_of(" \t\r\n") != std::string::npos) return false;
  int w = 0, h = 0, x = 0, y = 0, scale = 100, used = 0;
  char sx = 0, sy = 0;
  const int fields =
      std::sscanf(text.c_str(), "%6dx%6d%c%6d%c%6d%n", &w, &h, &sx, &x, &sy, &y, &used);
  if (fields != 6 || (sx != '+' && sx != '-') || (sy != '+' && sy != '-')) return false;
  if (!std::isdigit(static_cast<unsigned char>(text[0]))) return false;
  std::string rest = text.substr(static_cast<size_t>(used));
  if (!rest.empty()) {
    int more = 0;
    if (std::sscanf(rest.c_str(), "@%3d%n", &scale, &more) != 1 ||
        static_cast<size_t>(more) != rest.size())
      return false;
  }
  *m = MonitorConfig{sx == '-' ? -x : x, sy == '-' ? -y : y, w, h, scale};
  return w >= 1 && h >= 1 && w <= kMaxDisplaySize && h <= kMaxDisplaySize && x >= 0 && y >= 0 &&
         scale >= 100 && scale <= 500;
}

std::string parse_monitors(const std::string &text, std::vector<MonitorConfig> *out) {
  const std::string bad =
      "--monitors needs WxH+X+Y[@SCALE] monitors separated by commas, the "
      "primary first at +0+0, scales 100..500, not " +
      quoted_text(text);
  size_t start = 0;
  out->clear();
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    const std::string part = text.substr(start, comma == std::string::npos ? comma : comma - start);
    MonitorConfig m;
    if (part.empty() || !parse_monitor(part, &m) || out->size() >= 16) return bad;
    out->push_back(m);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (out->front().x != 0 || out->front().y != 0) return bad;
  return {};
}

// The largest report read; a real one is a few KiB.
constexpr size_t kMaxReportBytes = size_t{1} << 20;

// What a report says the system offers for keeping a window out of screen
// reads, as --capture-exclusion's modes (DesktopAffinitySupport's order):
// 0 yes, 1 monitor, 2 fails, 3 missing, 4 not-in-gdi. An answer the desktop
// has no model for (a tint, or not measured) leaves the documented one.
int capture_exclusion_of(const MachineReport &r) {
  const bool before_seven =
      r.windows_major > 0 && (r.windows_major < 6 || (r.windows_major == 6 && r.windows_minor < 1));
  if (before_seven) return 3;
  if (r.exclusion_set == Answer::No) return 2;
  if (r.exclusion_set != Answer::Yes) return 0;
  if (r.exclusion_readback == 1 || r.exclusion_getpixel == UnderExcluded::Black) return 1;
  if (r.exclusion_getpixel == UnderExcluded::Window) return 4;
  return 0;
}

// Sets the desktop up from a huevane-check report; a message when the
// report cannot be read or used, *config then unchanged.
std::string apply_machine_report(const std::string &path, SessionConfig *config) {
  std::string text, error;
  if (!read_regular_file(path, kMaxReportBytes, &text, &error))
    return "--desktop-from: " + path + ": cannot read the report: " + error;
  MachineReport report;
  error = parse_machine_report(text, &report);
  if (!error.empty()) return "--desktop-from: " + path + " is not a huevane-check report: " + error;
  config->monitors.clear();
  for (const ReportMonitor &m : report.monitors)
    config->monitors.push_back(MonitorConfig{m.x, m.y, m.width, m.height, m.scale});
  config->display_width = report.monitors.front().width;
  config->display_height = report.monitors.front().height;
  config->screen_read_ms = report_screen_read_ms(report);
  config->hook_timeout_ms = static_cast<uint32_t>(report.hook_timeout_ms);
  config->compositor = report.compositor != Answer::No;
  config->capture_exclusion = capture_exclusion_of(report);
  config->machine = std::move(report);
  return {};
}

int parse_dpi_awareness(const std::string &text) {
  static const char *const kNames[] = {"unaware", "system", "per-monitor", "per-monitor-v2"};
  for (int i = 0; i < 4; ++i) {
    if (text == kNames[i]) return i + 1;
  }
  return -1;
}

// Where the descriptions in --help start, and the width they wrap to.
constexpr size_t kHelpColumn = 22;
constexpr size_t kHelpWidth = 79;

// --help as laid out here: "--color R,G,B" (the value's name, no parser
// defaults or exclusions), each description wrapped under its column; the
// descriptions state defaults and ranges themselves.
class HelpFormatter : public CLI::Formatter {
 public:
  HelpFormatter() { column_width(kHelpColumn); }
  std::string make_option_opts(const CLI::Option *opt) const override {
    return opt->get_type_size() == 0 ? std::string() : " " + opt->get_type_name();
  }
  std::string make_option_desc(const CLI::Option *opt) const override {
    std::istringstream words(opt->get_description());
    std::string out, line;
    for (std::string word; words >> word;) {
      if (!line.empty() && line.size() + 1 + word.size() > kHelpWidth - kHelpColumn) {
        out += line + "\n";
        line.clear();
      }
      line += (line.empty() ? "" : " ") + word;
    }
    return out + line;
  }
};

}  // namespace

std::string parse_number_option(const std::string &option, const std::string &value_name,
                                const std::string &text, double min, double max, bool whole,
                                double *out) {
  const auto bound = [](double v) {
    std::ostringstream s;
    s << v;
    return s.str();
  };
  const std::string bad = option + " needs " + value_name + (whole ? ", a whole number" : "") +
                          " within " + bound(min) + ".." + bound(max) + ", not " +
                          quoted_text(text);
  if (text.empty() || text.size() > 32 || text.find_first_of(" \t") != std::string::npos)
    return bad;
  char *end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(v) || v < min || v > max ||
      (whole && v != std::floor(v)))
    return bad;
  *out = v;
  return {};
}

namespace {

// --help's layout, --version and the footer: the script grammar and the
// exit codes.
void add_help(CLI::App &app) {
  app.formatter(std::make_shared<HelpFormatter>());
  app.set_help_flag("-h,--help", "print this help and exit");
  app.set_version_flag("--version", std::string("huevane-host ") + HUEVANE_VERSION,
                       "print the version and exit");
  app.footer(std::string("\n") + script_grammar() + "\n" + exit_code_text() +
             "\nThe host's manual, docs/host.md in Huevane's sources, has the same, with\n"
             "examples and the --trace file's format.");
}

// The module and the request: what is loaded and what it is asked.
void add_request_options(CLI::App &app, CommonOptions *o) {
  o->module_path = (std::filesystem::path(executable_directory()) / module_file_name()).string();
  app.add_option("--module", o->module_path,
                 "the plug-in module (default: " + module_file_name() + " beside this program)")
      ->type_name("FILE");
  app.add_option("--server", o->server,
                 std::string("the module's ColorPicker server to run (default: ") +
                     kDefaultServerName + ")")
      ->type_name("NAME");
  app.add_option("--color", o->color,
                 "the request's colour, three floats within -1000..1000; 0..1 is the usual "
                 "range (default: 0,0,0)")
      ->type_name("R,G,B");
  auto *title_opt =
      app.add_option("--title", o->title,
                     std::string("the request's title (default: ") + kDefaultRequestTitle + ")")
          ->type_name("TEXT");
  app.add_flag("--no-title", o->no_title, "a null title instead (not with --title)")
      ->excludes(title_opt);
  app.add_option("--class-version", o->class_version,
                 "offer the ColorPicker class version N only, 1..1000 (default: 6, then 5, "
                 "then 4, stepping down while the answer is 1, as the host does)")
      ->type_name("N")
      ->check(CLI::Range(1, 1000));
}

// The run: the script, its outputs and how the plug-in is held to account.
void add_run_options(CLI::App &app, CommonOptions *o, const std::string &timeout_help) {
  app.add_option("--script", o->script_path,
                 "the user's actions (SCRIPT below); without one the panel is cancelled at once")
      ->type_name("FILE");
  app.add_option("--snapshot", o->snapshot_dir,
                 "where `snapshot NAME` writes NAME.png (created if need be)")
      ->type_name("DIR");
  app.add_option("--trace", o->trace_path,
                 "every call between host and plug-in, a line each as it happens, then the "
                 "counts and problems (format in docs/host.md)")
      ->type_name("FILE");
  app.add_option("--timeout", o->timeout, timeout_help)->type_name("SECONDS");
  app.add_option("--clipboard", o->clipboard,
                 "put TEXT on the clipboard before the request (Ctrl+V pastes it); after the "
                 "result a line `clipboard TEXT` shows the clipboard when it has changed")
      ->type_name("TEXT");
  app.add_flag("--strict", o->strict,
               "a misuse of the host's interface that the host notices fails the run (exit 7), "
               "named on stderr before the request's result line: a served request answered "
               "with other than 0 (AFUNC_OK), memory kept from request to request (with "
               "--repeat), and more; without it each is a note on stderr");
  app.add_option("--repeat", o->repeat,
                 "colour requests to run one after another, 1.." + std::to_string(kMaxRepeat) +
                     ", the script going on from one to the next; headless, the process's private "
                     "memory is measured after each, and growth beyond " +
                     std::to_string(kLeakLimitPerRequest >> 20) +
                     " MiB a request on average after the first is a problem (default: 1)")
      ->type_name("N");
}

// The simulated desktop and the system under it.
void add_desktop_options(CLI::App &app, CommonOptions *o) {
  const std::string max_side = std::to_string(kMaxDisplaySize);
  app.add_option(
         "--display", o->display,
         "the display size the plug-in is told, each side 1.." + max_side + " (default: 1920x1080)")
      ->type_name("WxH");
  app.add_option("--desktop", o->wallpaper_path,
                 "a PNG as the simulated desktop's wallpaper (default: a test pattern), at most " +
                     max_side + " pixels a side and 67108864 in all")
      ->type_name("FILE");
  app.add_option("--monitors", o->monitors,
                 "the simulated desktop's monitors WxH+X+Y[@SCALE],... (scale in percent, "
                 "100..500): the primary first at +0+0 (its size is the display's), positions "
                 "in physical pixels, e.g. 1920x1080+0+0,2560x1440-2560+0@150 (default: one of "
                 "--display; not with --display)")
      ->type_name("LIST")
      ->excludes("--display");
  app.add_option("--dpi-awareness", o->dpi_awareness,
                 "DPI awareness of the thread the plug-in runs on: unaware, system, "
                 "per-monitor or per-monitor-v2 (default: system, as the host sets itself)")
      ->type_name("MODE");
  app.add_option("--screen-read-ms", o->screen_read_ms,
                 "what a screen read (GetPixel on, or BitBlt from, a screen DC) costs the "
                 "plug-in's thread, 0..10000 ms; about 20 on a composited Windows desktop "
                 "(default: 0)")
      ->type_name("MS");
  app.add_option("--hook-timeout-ms", o->hook_timeout_ms,
                 "the simulated desktop's LowLevelHooksTimeout, 1..60000 ms: a low-level hook "
                 "that keeps input waiting longer is dropped without notice (default: 1000, "
                 "the most Windows 10 allows)")
      ->type_name("MS");
  app.add_option("--capture-exclusion", o->capture_exclusion,
                 "how the simulated system keeps a window out of screen reads: yes (Windows "
                 "10 2004 and later), monitor (older Windows: shown black), fails (Wine), "
                 "missing (before Windows 7) or not-in-gdi (excluded, but GDI reads still "
                 "show it) (default: yes)")
      ->type_name("MODE");
  app.add_flag("--no-compositor", o->no_compositor,
               "the simulated system runs without its compositor: no window can be kept out "
               "of screen reads");
  app.add_option("--window", o->windows,
                 "another program's window on the simulated desktop, KIND,X,Y,W,H in physical "
                 "pixels: KIND pointer (it handles pen and touch itself, as a browser does) or "
                 "default (it leaves them to DefWindowProc); may be given up to 64 times, each "
                 "above the last")
      ->type_name("KIND,X,Y,W,H");
  app.add_option("--desktop-from", o->desktop_from,
                 "set the simulated desktop up as the machine a huevane-check report "
                 "(huevane-check.txt, or its JSON) describes: its monitors and scales, screen "
                 "read cost and hook timeout, capture exclusion and compositor (not with "
                 "--display, --monitors, --screen-read-ms, --hook-timeout-ms, "
                 "--capture-exclusion, --no-compositor)")
      ->type_name("REPORT")
      ->excludes("--display")
      ->excludes("--monitors")
      ->excludes("--screen-read-ms")
      ->excludes("--hook-timeout-ms")
      ->excludes("--capture-exclusion")
      ->excludes("--no-compositor");
}

}  // namespace

void add_common_options(CLI::App &app, CommonOptions *o, const std::string &timeout_help) {
  add_help(app);
  add_request_options(app, o);
  add_run_options(app, o, timeout_help);
  add_desktop_options(app, o);
}

namespace {

// --capture-exclusion's words, in DesktopAffinitySupport's order.
const char *const kCaptureExclusionWords[] = {"yes", "monitor", "fails", "missing", "not-in-gdi"};

std::string parse_window(const std::string &text, WindowConfig *out) {
  const std::string problem =
      "--window is KIND,X,Y,W,H with KIND pointer or default and "
      "W and H 1.." +
      std::to_string(kMaxDisplaySize) + ", not " + quoted_text(text);
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return problem;
  const std::string kind = text.substr(0, comma);
  if (kind != "pointer" && kind != "default") return problem;
  int v[4] = {};
  size_t at = comma + 1;
  for (int i = 0; i < 4; ++i) {
    const size_t end = i < 3 ? text.find(',', at) : text.size();
    if (end == std::string::npos || end == at || end - at > 6) return problem;
    long n = 0;
    bool negative = false;
    size_t k = at;
    if (text[k] == '-' && i < 2) {
      negative = true;
      ++k;
    }
    if (k == end) return problem;
    for (; k < end; ++k) {
      if (text[k] < '0' || text[k] > '9') return problem;
      n = n * 10 + (text[k] - '0');
    }
    v[i] = static_cast<int>(negative ? -n : n);
    at = end + 1;
  }
  if (v[2] < 1 || v[3] < 1 || v[2] > kMaxDisplaySize || v[3] > kMaxDisplaySize) return problem;
  *out = WindowConfig{kind == "pointer", v[0], v[1], v[2], v[3]};
  return {};
}

std::string apply_system_options(const CommonOptions &o, SessionConfig *config) {
  if (!o.capture_exclusion.empty()) {
    int found = -1;
    for (int i = 0; i < static_cast<int>(std::size(kCaptureExclusionWords)); ++i)
      if (o.capture_exclusion == kCaptureExclusionWords[i]) found = i;
    if (found < 0)
      return "--capture-exclusion is yes, monitor, fails, missing or not-in-gdi, not " +
             quoted_text(o.capture_exclusion);
    config->capture_exclusion = found;
  }
  config->compositor = !o.no_compositor;
  if (o.windows.size() > 64) return "--window may be given at most 64 times";
  for (const std::string &text : o.windows) {
    WindowConfig w;
    const std::string problem = parse_window(text, &w);
    if (!problem.empty()) return problem;
    config->windows.push_back(w);
  }
  return {};
}

}  // namespace

std::string apply_common_options(const CommonOptions &o, SessionConfig *config) {
  config->module_path = o.module_path;
  config->server_name = o.server;
  config->request.version = o.class_version;
  std::string problem = parse_color(o.color, &config->request);
  if (problem.empty())
    problem = parse_display(o.display, &config->display_width, &config->display_height);
  if (problem.empty() && !o.monitors.empty()) {
    problem = parse_monitors(o.monitors, &config->monitors);
    if (problem.empty()) {
      config->display_width = config->monitors.front().width;
      config->display_height = config->monitors.front().height;
    }
  }
  if (problem.empty() && !o.dpi_awareness.empty()) {
    config->dpi_awareness = parse_dpi_awareness(o.dpi_awareness);
    if (config->dpi_awareness < 0)
      problem = "--dpi-awareness is unaware, system, per-monitor or per-monitor-v2, not " +
                quoted_text(o.dpi_awareness);
  }
  double ms = 0;
  if (problem.empty())
    problem = parse_number_option("--screen-read-ms", "MS", o.screen_read_ms, 0, 10000, true, &ms);
  if (problem.empty()) {
    config->screen_read_ms = static_cast<uint32_t>(ms);
    problem =
        parse_number_option("--hook-timeout-ms", "MS", o.hook_timeout_ms, 1, 60000, true, &ms);
    config->hook_timeout_ms = static_cast<uint32_t>(ms);
  }
  if (problem.empty()) problem = apply_system_options(o, config);
  if (problem.empty() && !o.desktop_from.empty())
    problem = apply_machine_report(o.desktop_from, config);
  if (!problem.empty()) return problem;
  if (o.no_title)
    config->request.title.reset();
  else
    config->request.title = o.title;
  if (!o.snapshot_dir.empty()) config->snapshot_dir = o.snapshot_dir;
  if (!o.trace_path.empty()) config->trace_path = o.trace_path;
  if (!o.wallpaper_path.empty()) config->wallpaper_path = o.wallpaper_path;
  if (!o.timeout.empty()) {
    double seconds = 0;
    problem = parse_number_option("--timeout", "SECONDS", o.timeout, 1, 3600, false, &seconds);
    if (!problem.empty()) return problem;
    config->timeout_s = seconds;
  }
  config->strict = o.strict;
  double repeat = 1;
  problem = parse_number_option("--repeat", "N", o.repeat, 1, kMaxRepeat, true, &repeat);
  if (!problem.empty()) return problem;
  config->repeat = static_cast<int>(repeat);
  config->clipboard = o.clipboard;
  if (!o.script_path.empty()) {
    try {
      config->actions = load_script(o.script_path);
      config->script_path = o.script_path;
    } catch (const ScriptError &e) {
      return e.what();
    }
  }
  return {};
}

std::optional<int> parse_command_line(CLI::App &app, int argc, char **argv) {
  // The usage line names the program by its file name, wherever it was run
  // from (a deep path would push it past the help's 79 columns).
  const std::string program =
      argc > 0 && argv[0] ? std::filesystem::path(argv[0]).filename().string() : std::string();
  app.name(program.empty() ? "huevane-host" : program);
  // CLI11 takes the arguments last first.
  std::vector<std::string> args;
  for (int i = argc - 1; i > 0; --i) args.emplace_back(argv[i]);
  try {
    app.parse(std::move(args));
  } catch (const CLI::ParseError &e) {
    // --help and --version come this way too, and print to stdout.
    if (e.get_exit_code() == 0) return app.exit(e) == 0 ? kExitOk : kExitUsage;
    std::cerr << "error: " << e.what() << " (--help lists the options)\n";
    return kExitUsage;
  }
  return std::nullopt;
}

}  // namespace hvhost
