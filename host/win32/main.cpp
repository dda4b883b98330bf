// huevane-host.exe: the reference host on Windows. Runs the same session as
// the headless host (module, trace, snapshots, the printed lines, exit
// codes) with the plug-in's panels in real windows: a person uses them with
// the mouse and keyboard, or --script plays a script as real input
// (SendInput), and snapshots are taken from the screen. --headless runs the
// headless host itself.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "CLI/CLI.hpp"
#include "session/cli.h"
#include "session/guard.h"
#include "session/headless.h"
#include "session/session.h"
#include "win32/bench.h"
#include "win32/chart.h"
#include "win32/front_end.h"
#include "win32/resources.h"
#include "win32/script_player.h"
#include "win32/win32_audit.h"

namespace {

// --report-resources also reports after this many requests, where a long run
// is compared from.
constexpr int kResourcesSettled = 100;

// The chart at --chart-at's X,Y when given, else placed from the screen.
bool show_chart_where_asked(double timeout_s, const std::vector<int> &at,
                            std::string *error) {
  if (at.size() != 2) return hvwin::show_chart(timeout_s, nullptr, error);
  const std::array<int, 2> place = {at[0], at[1]};
  return hvwin::show_chart(timeout_s, &place, error);
}

int run(int argc, char **argv) {
  CLI::App app{"huevane-host: reference host for the Huevane colour picker, in windows"};
  hvhost::CommonOptions common;
  hvhost::add_common_options(
      app, &common,
      "1..3600: how long a scripted event, a window or a snapshot may take before the script "
      "stops (exit 3), and how long the plug-in may keep the message loop from running before "
      "the run ends with a report (exit 6); default: 30. With --headless: as the headless "
      "host's (default: no limit)");
  bool headless = false, chart = false, report_windows = false, audit = false, bench = false;
  bool report_resources = false;
  app.add_flag("--headless", headless,
               "no windows: run the request as the headless host does (virtual time, the "
               "simulated desktop); Wine needs no display for it");
  app.add_flag("--chart", chart,
               "show a colour chart window of solid blocks, placed from the screen's size "
               "(eyedropper tests); prints 'chart buttons N' at the end");
  std::vector<int> chart_at;
  app.add_option("--chart-at", chart_at, "the colour chart's top-left corner X,Y instead")
      ->type_name("X,Y")
      ->delimiter(',')
      ->expected(2)
      ->check(CLI::Range(-32768, 32767));
  app.add_flag("--report-windows", report_windows,
               "print 'window open X Y TITLE', 'window title TITLE', 'window close TITLE'");
  app.add_flag("--audit", audit,
               "count the plug-in's hooks, timers, device contexts and screen reads; print them "
               "at the end as 'win32 hooks N timers N dcs N ...'. With --screen-read-ms the "
               "plug-in's reads sleep that long, and 'busy hook ... tick ...' gives the time its "
               "hook and tick kept the thread");
  app.add_flag("--report-resources", report_resources,
               "print the process's GDI and USER objects and private bytes before the first "
               "request, after the 100th and after the last: 'resources start|after_100|end gdi N "
               "user N private_kib N working_set_kib N'");
  app.add_flag("--bench", bench, "measure the magnifier tick and the move-to-hot-callback time");
  if (const std::optional<int> done = hvhost::parse_command_line(app, argc, argv)) return *done;

  hvhost::SessionConfig config;
  std::string problem = hvhost::apply_common_options(common, &config);
  const int repeat = config.repeat;
  if (problem.empty() && headless &&
      (chart || report_windows || audit || bench || report_resources))
    problem =
        "--headless runs without windows: --chart, --report-windows, --audit, --bench and "
        "--report-resources need the windowed host";
  if (problem.empty() && !headless && config.wallpaper_path)
    problem =
        "--desktop sets the simulated desktop's wallpaper; the windowed host shows the "
        "real desktop";
  if (problem.empty() && !headless && !config.monitors.empty())
    problem = "--monitors sets up the simulated desktop; the windowed host uses the real monitors";
  if (problem.empty() && !headless && app.count("--hook-timeout-ms") > 0)
    problem =
        "--hook-timeout-ms sets the simulated desktop's; the windowed host has the system's "
        "(LowLevelHooksTimeout)";
  if (problem.empty() && bench && !config.actions.empty())
    problem = "--bench plays its own input: no --script with it";
  if (!problem.empty()) {
    std::cerr << "error: " << problem << "\n";
    return hvhost::kExitUsage;
  }
  if (headless) return hvhost::run_headless(config, std::cout, std::cerr);
  // The windowed host always watches the message loop.
  const double timeout_s = config.timeout_s.value_or(30.0);
  config.timeout_s = timeout_s;

  SetProcessDPIAware();
  // --dpi-awareness: the plug-in's hook and tick run in the message loop,
  // which then runs in that context, as in a host that is not DPI aware.
  if (config.dpi_awareness != hvhost::kDpiHostDefault) {
    const DPI_AWARENESS_CONTEXT process_dpi = hvwin::set_thread_dpi_awareness(config.dpi_awareness);
    if (!process_dpi) {
      std::cerr << "error: --dpi-awareness: this system cannot set a thread's DPI awareness\n";
      return hvhost::kExitUsage;
    }
    hvwin::restore_thread_dpi_awareness(process_dpi);
  }
  hvhost::Session session(config, std::cout, std::cerr);
  if (const int code = session.load_module()) return code;
  // --screen-read-ms: the plug-in's screen reads sleep, through the same
  // patched imports that count them.
  const bool patch_imports = audit || bench || config.screen_read_ms > 0;
  hvwin::set_screen_read_cost(config.screen_read_ms);
  if (patch_imports) {
    HMODULE handle = nullptr;
    std::string why;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&session.module().descriptor()), &handle) ||
        !hvwin::audit_module_imports(handle, &why)) {
      std::cerr << "error: cannot count the plug-in's Win32 calls: " << why << "\n";
      return hvhost::kExitModule;
    }
  }
  // The real screen's size unless told otherwise.
  const bool display_given = app.count("--display") > 0;
  if (const int code = session.start_host(hvhost::HostOptions{
          display_given ? config.display_width : GetSystemMetrics(SM_CXSCREEN),
          display_given ? config.display_height : GetSystemMetrics(SM_CYSCREEN)}))
    return code;
  hvhost::Host &host = session.host();

  std::string error;
  hvwin::FrontEndOptions fo;
  fo.report_windows = report_windows;
  fo.tagged_input_only = !config.actions.empty() || bench;
  fo.snapshot_timeout_s = timeout_s;
  fo.loop_dpi_awareness = config.dpi_awareness;
  hvwin::FrontEnd fe(host, std::cout, fo);
  if (!fe.init(&error) ||
      (chart && !show_chart_where_asked(timeout_s, chart_at, &error))) {
    std::cerr << "error: " << error << "\n";
    return hvhost::kExitRun;
  }
  // Snapshots are of the window as the screen shows it.
  session.set_capture([&](const hvhost::Panel &panel, hvhost::Framebuffer *image,
                          std::string *why) { return fe.capture(panel, image, why); });

  if (bench)
    return hvwin::run_bench(host, fe, session.server(), config.request, timeout_s, std::cout,
                            std::cerr);

  std::optional<hvwin::ScriptPlayer> player;
  if (!config.actions.empty()) {
    player.emplace(config.actions, hvwin::PlayerOptions{timeout_s}, config.script_path);
    fe.set_player(&*player);
  }
  if (report_resources) std::cout << hvwin::resource_line("start") << std::endl;
  for (int i = 0; i < repeat; ++i) {
    const hvhost::ColorOutcome outcome = session.request(fe);
    fe.sync();  // the closed panels' windows go
    session.report(outcome, fe.error());
    if (report_resources && i + 1 == kResourcesSettled && repeat > kResourcesSettled)
      std::cout << hvwin::resource_line("after_100") << std::endl;
    if (!fe.error().empty() || host.aborted()) break;
  }
  if (report_resources) std::cout << hvwin::resource_line("end") << std::endl;
  if (chart) std::cout << "chart buttons " << hvwin::chart_button_messages() << std::endl;
  if (config.screen_read_ms > 0) std::cout << hvwin::format_busy() << std::endl;
  if (audit) std::cout << hvwin::format_counts(hvwin::win32_counts()) << std::endl;
  return session.finish(fe.error(), player ? player->remaining() : 0);
}

}  // namespace

int main(int argc, char **argv) {
  // Lines end in LF alone on both streams, as the trace's do: the C
  // runtime's text mode would write CRLF, and CI scripts match whole lines.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  return hvhost::run_guarded([&] { return run(argc, argv); }, std::cerr);
}
