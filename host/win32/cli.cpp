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
  app.add_flag("--headless", w.headless,
               "no windows: run the request as the headless host does (virtual time, the "
               "simulated desktop); Wine needs no display for it");
  // The windows' display is the screen's unless given.
  if (CLI::Option *display = app.get_option_no_throw("--display")) {
    std::string text = display->get_description();
    const std::string headless_default = "(default: 1920x1080)";
    if (const size_t at = text.find(headless_default); at != std::string::npos)
      text.replace(at, headless_default.size(),
                   "(default: the screen's size; with --headless, 1920x1080)");
    display->description(text);
  }
  app.add_flag("--chart", w.chart,
               "show a colour chart window of solid blocks, placed from the screen's size "
               "(eyedropper tests); prints 'chart buttons N' at the end");
  std::vector<int> chart_at;
  app.add_option("--chart-at", chart_at, "the colour chart's top-left corner X,Y instead")
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
  if (const std::optional<int> done = hvhost::parse_command_line(app, argc, argv)) return done;

  if (chart_at.size() == 2) w.chart_at = std::array<int, 2>{chart_at[0], chart_at[1]};
  w.display_given = app.count("--display") > 0;
  std::string problem = hvhost::apply_common_options(common, config);
  // Windowed, a report's read cost applies; the monitors, the hook timeout
  // and the capture exclusion are the real system's.
  if (problem.empty() && !w.headless && config->machine) {
    config->monitors.clear();
    config->capture_exclusion = 0;
    config->compositor = true;
  }
  if (problem.empty()) problem = check_combinations(*config, w, app.count("--hook-timeout-ms") > 0);
  if (!problem.empty()) {
    std::cerr << "error: " << problem << "\n";
    return hvhost::kExitUsage;
  }
  *windowed = w;
  return std::nullopt;
}

}  // namespace hvwin
