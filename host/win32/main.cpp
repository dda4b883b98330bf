// huevane-host.exe: the reference host on Windows. Loads huevane.p and runs
// a colour request with the plug-in's panels in real windows: a person uses
// them with the mouse and keyboard, or --script plays a script as real input
// (SendInput). --headless runs the same request as the headless host does.
// Prints every hot callback and the result, as the headless host does.
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "CLI/CLI.hpp"
#include "session/cli.h"
#include "session/guard.h"
#include "session/headless.h"
#include "model/host.h"
#include "session/module.h"
#include "session/request.h"
#include "output/snapshot.h"
#include "output/trace_file.h"
#include "win32/bench.h"
#include "win32/chart.h"
#include "win32/front_end.h"
#include "win32/script_player.h"
#include "win32/win32_audit.h"

namespace {

constexpr int kMaxRepeat = 100;

int run(int argc, char **argv) {
  CLI::App app{"huevane-host: reference host for the Huevane colour picker, in windows"};
  hvhost::CommonOptions common;
  hvhost::add_common_options(app, &common);
  bool headless = false, chart = false, report_windows = false, audit = false, bench = false;
  double timeout_s = 30.0;
  int repeat = 1;
  app.add_flag("--headless", headless,
               "no windows: run the request as the headless host does (virtual time)");
  app.add_flag("--chart", chart,
               "show a colour chart window of solid blocks at a fixed place (eyedropper tests)");
  app.add_flag("--report-windows", report_windows,
               "print 'window open X Y TITLE', 'window title TITLE', 'window close TITLE'");
  app.add_flag("--audit", audit,
               "count the plug-in's hooks, timers, device contexts and pixel reads; print them "
               "at the end as 'win32 hooks N timers N dcs N ...'");
  app.add_flag("--bench", bench, "measure the magnifier tick and the move-to-hot-callback time");
  app.add_option("--timeout", timeout_s,
                 "seconds a scripted event, window or snapshot may take before the script stops")
      ->check(CLI::Range(1.0, 3600.0))
      ->capture_default_str();
  app.add_option("--repeat", repeat, "colour requests to run one after another (one script)")
      ->check(CLI::Range(1, kMaxRepeat))
      ->capture_default_str();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    const int code = app.exit(e);
    return code == 0 ? hvhost::kExitOk : hvhost::kExitUsage;
  }

  hvhost::HeadlessConfig config;
  std::string problem = hvhost::apply_common_options(common, &config);
  if (problem.empty() && headless && (chart || report_windows || audit || bench || repeat != 1))
    problem =
        "--headless runs without windows: --chart, --report-windows, --audit, --bench and "
        "--repeat need the windowed host";
  if (problem.empty() && !headless && config.wallpaper_path)
    problem =
        "--desktop sets the simulated desktop's wallpaper; the windowed host shows the "
        "real desktop";
  if (problem.empty() && bench && !config.actions.empty())
    problem = "--bench plays its own input: no --script with it";
  if (!problem.empty()) {
    std::cerr << "error: " << problem << "\n";
    return hvhost::kExitUsage;
  }
  if (headless) return hvhost::run_headless(config, std::cout, std::cerr);

  SetProcessDPIAware();
  std::unique_ptr<hvhost::Module> module;
  const ServerRecord *server = nullptr;
  try {
    // The plug-in keeps its panel for the life of the process.
    module = hvhost::Module::load(config.module_path, hvhost::ModuleLoadOptions{false, true});
    server = &module->require_server(LWCOLORPICK_HCLASS, config.server_name);
  } catch (const hvhost::ModuleError &e) {
    std::cerr << "error: " << e.what() << "\n";
    return hvhost::kExitModule;
  }
  if (audit || bench) {
    HMODULE handle = nullptr;
    std::string why;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&module->descriptor()), &handle) ||
        !hvwin::audit_module_imports(handle, &why)) {
      std::cerr << "error: cannot count the plug-in's Win32 calls: " << why << "\n";
      return hvhost::kExitModule;
    }
  }

  std::string error;
  const bool display_given = app.count("--display") > 0;
  hvhost::Host host(
      hvhost::HostOptions{display_given ? config.display_width : GetSystemMetrics(SM_CXSCREEN),
                          display_given ? config.display_height : GetSystemMetrics(SM_CYSCREEN)});
  // Counts only: the calls go to the trace file, if any, as they happen.
  host.trace().set_window(0);
  hvhost::TraceFile trace_file;
  if (config.trace_path) {
    if (!trace_file.open(*config.trace_path, &error)) {
      std::cerr << "error: --trace: " << error << "\n";
      return hvhost::kExitUsage;
    }
    host.trace().set_sink(&trace_file);
  }
  if (config.snapshot_dir && !hvhost::prepare_snapshot_dir(*config.snapshot_dir, &error)) {
    std::cerr << "error: --snapshot: " << error << "\n";
    return hvhost::kExitUsage;
  }
  hvwin::FrontEndOptions fo;
  fo.report_windows = report_windows;
  fo.tagged_input_only = !config.actions.empty() || bench;
  fo.snapshot_timeout_s = timeout_s;
  hvwin::FrontEnd fe(host, std::cout, fo);
  if (!fe.init(&error) || (chart && !hvwin::show_chart(timeout_s, &error))) {
    std::cerr << "error: " << error << "\n";
    return hvhost::kExitRun;
  }
  host.set_snapshot_handler(
      [&](const hvhost::Panel &panel, const std::string &name, std::string *why) {
        if (!config.snapshot_dir) {
          std::cerr << "note: snapshot " << name << " skipped (no snapshot directory)\n";
          return true;
        }
        hvhost::Framebuffer shot;
        if (!fe.capture(panel, &shot, why)) return false;
        std::error_code ec;
        std::filesystem::create_directories(*config.snapshot_dir, ec);
        const std::string path =
            (std::filesystem::path(*config.snapshot_dir) / (name + ".png")).string();
        return hvhost::write_png(path, shot, why);
      });

  if (bench)
    return hvwin::run_bench(host, fe, *server, config.request, timeout_s, std::cout, std::cerr);

  std::optional<hvwin::ScriptPlayer> player;
  if (!config.actions.empty()) {
    player.emplace(config.actions, hvwin::PlayerOptions{timeout_s});
    fe.set_player(&*player);
  }
  // The hot callbacks are printed, not kept.
  hvhost::AskedColor request = config.request;
  request.keep_hot = false;
  for (int i = 0; i < repeat; ++i) {
    host.set_input(&fe);
    const hvhost::ColorOutcome outcome = hvhost::run_color_request(
        *server, request,
        [](const hvhost::HotColor &c) { std::cout << hvhost::format_hot(c) << std::endl; });
    fe.sync();  // the closed panels' windows go
    std::cout << hvhost::format_result(outcome) << std::endl;
    if (outcome.status != 0)
      std::cerr << "note: the plug-in's activation returned " << outcome.status << "\n";
    if (!fe.error().empty() || host.aborted()) break;
  }
  if (chart) std::cout << "chart buttons " << hvwin::chart_button_messages() << std::endl;
  if (audit) std::cout << hvwin::format_counts(hvwin::win32_counts()) << std::endl;

  int code = hvhost::kExitOk;
  if (config.trace_path && !trace_file.finish(host.trace(), &error)) {
    std::cerr << "error: --trace: " << error << "\n";
    code = hvhost::kExitRun;
  }
  if (!fe.error().empty()) {
    std::cerr << "error: " << fe.error() << "\n";
    code = hvhost::kExitRun;
  } else if (host.aborted()) {
    std::cerr << "error: " << host.error() << "\n";
    code = hvhost::kExitRun;
  } else if (player && player->remaining() > 0) {
    std::cerr << "note: " << player->remaining()
              << " script action(s) left over: no panel was open for them\n";
  }
  return code;
}

}  // namespace

int main(int argc, char **argv) {
  return hvhost::run_guarded([&] { return run(argc, argv); }, std::cerr);
}
