#include "win32/cli.h"

#include <iostream>
#include <string>
#include <vector>

#include "CLI/CLI.hpp"
#include "session/cli.h"

namespace hvwin {

namespace {

// Options that do not go together: a message, or nothing.
std::string check_combinations(const hvhost::SessionConfig &config, const WindowedConfig &w,
                               bool hook_timeout_given) {
  if (w.headless && (w.chart || w.report_windows || w.audit || w.bench || w.report_resources))
    return "--headless runs without windows: --chart, --report-windows, --audit, --bench and "
           "--report-resources need the windowed host";
  if (!w.headless && config.wallpaper_path)
    return "--desktop sets the simulated desktop's wallpaper; the windowed host shows the "
           "real desktop";
  if (!w.headless && !config.monitors.empty())
    return "--monitors sets up the simulated desktop; the windowed host uses the real monitors";
  if (!w.headless &&
      (config.capture_exclusion != 0 || !config.compositor || !config.windows.empty()))
    return "--capture-exclusion, --no-compositor and --window set up the simulated system; "
           "the windowed host runs on the real one";
  if (!w.headless && hook_timeout_given)
    return "--hook-timeout-ms sets the simulated desktop's; the windowed host has the system's "
           "(LowLevelHooksTimeout)";
  if (w.bench && !config.actions.empty()) return "--bench plays its own input: no --script with it";
  if (w.chart_at && !w.chart)
    return "--chart-at places the chart that --chart shows: give --chart too";
  return {};
}

// What only the simulated desktop has. huevane-host.exe --headless runs
// the plug-in against the real Windows desktop (under Wine, often none):
// these would be ignored there, so they are refused instead.
std::string check_headless_desktop(const hvhost::SessionConfig &config, bool hook_timeout_given) {
  // A report (--desktop-from) is read and checked, and then said to be unused.
  if (config.machine) return {};
  if (config.wallpaper_path || !config.monitors.empty() || !config.windows.empty() ||
      config.capture_exclusion != 0 || !config.compositor || hook_timeout_given ||
      config.screen_read_ms > 0 || config.dpi_awareness != hvhost::kDpiHostDefault)
    return "huevane-host.exe --headless has no simulated desktop: --desktop, --monitors, "
           "--window, --capture-exclusion, --no-compositor, --hook-timeout-ms, "
           "--screen-read-ms and --dpi-awareness need the Linux huevane-host";
  return {};
}

// The first script line that makes input on the simulated desktop
// ("desktop ...", "pen ...", "touch ..."), or null.
const hvhost::Action *first_desktop_line(const std::vector<hvhost::Action> &actions) {
  for (const hvhost::Action &a : actions) {
    const std::string_view word = a.word();
    if (word.starts_with("desktop ") || word.starts_with("pen ") || word.starts_with("touch "))
      return &a;
  }
  return nullptr;
}

// The options only the windowed host has, beyond --headless.
void add_windowed_options(CLI::App &app, WindowedConfig &w, std::vector<int> *chart_at) {
  app.add_flag("--chart", w.chart,
               "show a colour chart window of solid blocks, placed from the screen's size "
               "(eyedropper tests); prints 'chart buttons N' at the end");
  app.add_option("--chart-at", *chart_at, "the colour chart's top-left corner X,Y instead")
      ->type_name("X,Y")
      ->delimiter(',')
      ->expected(2)
      ->check(CLI::Range(-32768, 32767));
  app.add_flag("--report-windows", w.report_windows,
               "print 'window open X Y TITLE', 'window title TITLE', 'window close TITLE'");
  app.add_flag("--audit", w.audit,
               "count the plug-in's hooks, timers, device contexts and screen reads; print them "
               "at the end as 'win32 hooks N timers N dcs N ...'. With --screen-read-ms the "
               "plug-in's reads sleep that long, and 'busy hook ... tick ...' gives the time its "
               "hook and tick kept the thread");
  app.add_flag("--blind-hook", w.blind_hook,
               "the plug-in's low-level mouse hook is installed blind: it passes every event "
               "on and the plug-in sees none (as with pen input it never gets, or a hook "
               "Windows dropped); implies the import patches of --audit");
  app.add_flag("--report-resources", w.report_resources,
               "print the process's GDI and USER objects and private bytes before the first "
               "request, after the 100th and after the last: 'resources start|after_100|end gdi N "
               "user N private_kib N working_set_kib N'");
  app.add_flag("--bench", w.bench, "measure the magnifier tick and the move-to-hot-callback time");
}

// Applies the shared options and refuses what this host cannot do; the
// exit code when the run must not start.
std::optional<int> apply_and_check(const CLI::App &app, const hvhost::CommonOptions &common,
                                   const WindowedConfig &w, hvhost::SessionConfig *config) {
  std::string problem = hvhost::apply_common_options(common, config);
  // Windowed, a report's read cost applies; the monitors, the hook timeout
  // and the capture exclusion are the real system's.
  if (problem.empty() && !w.headless && config->machine) {
    config->monitors.clear();
    config->capture_exclusion = 0;
    config->compositor = true;
  }
  const bool hook_timeout_given = app.count("--hook-timeout-ms") > 0;
  if (problem.empty()) problem = check_combinations(*config, w, hook_timeout_given);
  if (problem.empty() && w.headless) problem = check_headless_desktop(*config, hook_timeout_given);
  if (!problem.empty()) {
    std::cerr << "error: " << problem << "\n";
    return hvhost::kExitUsage;
  }
  if (w.headless && config->machine)
    std::cerr << "note: --desktop-from: the report was read; huevane-host.exe --headless has no "
                 "simulated desktop to set up with it (the Linux huevane-host has)\n";
  // A script line that cannot be played here fails as a step that cannot
  // be played does, before anything runs.
  if (const hvhost::Action *line = w.headless ? first_desktop_line(config->actions) : nullptr) {
    std::cerr << "error: " << config->script_path << ", line " << line->line << ": '"
              << line->word()
              << "' needs the simulated desktop, which huevane-host.exe --headless does not "
                 "have: run without --headless (the real desktop), or use the Linux "
                 "huevane-host\n";
    return hvhost::kExitRun;
  }
  return std::nullopt;
}

}  // namespace

std::optional<int> parse_windowed_command_line(int argc, char **argv, hvhost::SessionConfig *config,
                                               WindowedConfig *windowed) {
  CLI::App app{"huevane-host: reference host for the Huevane colour picker, in windows"};
  hvhost::CommonOptions common;
  hvhost::add_common_options(
      app, &common,
      "1..3600: how long a scripted event, a window or a snapshot may take before the script "
      "stops (exit 3), and how long the plug-in may keep the message loop from running before "
      "the run ends with a report (exit 6); default: 30. With --headless: as the headless "
      "host's (default: no limit)");
  WindowedConfig w;
  std::vector<int> chart_at;
  app.add_flag("--headless", w.headless,
               "no windows: the panels are drawn in memory, input comes from the script, time "
               "is virtual; Wine needs no display for it. No simulated desktop: the "
               "eyedropper reads the real screen (under Wine without a display, black), and "
               "'desktop', 'pen' and 'touch' lines and the desktop's options are errors (a "
               "--desktop-from report is read, not used); for those, the Linux huevane-host");
  // The windows' display is the screen's unless given.
  if (CLI::Option *display = app.get_option_no_throw("--display")) {
    std::string text = display->get_description();
    const std::string headless_default = "(default: 1920x1080)";
    if (const size_t at = text.find(headless_default); at != std::string::npos)
      text.replace(at, headless_default.size(),
                   "(default: the screen's size; with --headless, 1920x1080)");
    display->description(text);
  }
  add_windowed_options(app, w, &chart_at);
  if (const std::optional<int> done = hvhost::parse_command_line(app, argc, argv)) return done;

  if (chart_at.size() == 2) w.chart_at = std::array<int, 2>{chart_at[0], chart_at[1]};
  w.display_given = app.count("--display") > 0;
  if (const std::optional<int> code = apply_and_check(app, common, w, config)) return code;
  *windowed = w;
  return std::nullopt;
}

}  // namespace hvwin
