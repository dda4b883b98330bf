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
#include <utility>

#include "session/guard.h"
#include "session/headless.h"
#include "session/session.h"
#include "win32/bench.h"
#include "win32/chart.h"
#include "win32/cli.h"
#include "win32/front_end.h"
#include "win32/resources.h"
#include "win32/script_player.h"
#include "win32/win32_audit.h"

namespace {

// The process is DPI aware; --dpi-awareness: the plug-in's hook and tick
// run in the message loop, which then runs in that context, as in a host
// that is not DPI aware. Checks here that the system can set it.
int check_dpi_awareness(int dpi_awareness) {
  SetProcessDPIAware();
  if (dpi_awareness == hvhost::kDpiHostDefault) return hvhost::kExitOk;
  const DPI_AWARENESS_CONTEXT process_dpi = hvwin::set_thread_dpi_awareness(dpi_awareness);
  if (!process_dpi) {
    std::cerr << "error: --dpi-awareness: this system cannot set a thread's DPI awareness\n";
    return hvhost::kExitUsage;
  }
  hvwin::restore_thread_dpi_awareness(process_dpi);
  return hvhost::kExitOk;
}

// The plug-in's Win32 imports patched, when anything counts or slows its
// calls (--audit, --bench, --blind-hook, --screen-read-ms: its screen reads
// sleep through the same patched imports that count them).
int patch_plugin_imports(hvhost::Session &session, const hvwin::WindowedConfig &w,
                         uint32_t screen_read_ms) {
  hvwin::set_screen_read_cost(screen_read_ms);
  hvwin::set_hook_blind(w.blind_hook);
  if (!w.audit && !w.bench && !w.blind_hook && screen_read_ms == 0) return hvhost::kExitOk;
  HMODULE handle = nullptr;
  std::string why;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&session.module().descriptor()), &handle) ||
      !hvwin::audit_module_imports(handle, &why)) {
    std::cerr << "error: cannot count the plug-in's Win32 calls: " << why << "\n";
    return hvhost::kExitModule;
  }
  return hvhost::kExitOk;
}

// The request, --repeat times, with the script played as real input when
// there is one, and the lines the options ask for after them.
int run_requests(hvhost::Session &session, hvwin::FrontEnd &fe, const hvhost::SessionConfig &config,
                 const hvwin::WindowedConfig &w) {
  std::optional<hvwin::ScriptPlayer> player;
  if (!config.actions.empty()) {
    player.emplace(config.actions, hvwin::PlayerOptions{*config.timeout_s}, config.script_path);
    fe.set_player(&*player);
  }
  if (w.report_resources) std::cout << hvwin::resource_line("start") << std::endl;
  for (int i = 0; i < config.repeat; ++i) {
    const hvhost::ColorOutcome outcome = session.request(fe);
    fe.sync();  // the closed panels' windows go
    session.report(outcome, fe.error());
    if (w.report_resources && i + 1 == hvwin::kResourcesSettled &&
        config.repeat > hvwin::kResourcesSettled)
      std::cout << hvwin::resource_line("after_100") << std::endl;
    if (!fe.error().empty() || session.host().aborted() || fe.ended_at_unsized_panel()) break;
  }
  if (w.report_resources) std::cout << hvwin::resource_line("end") << std::endl;
  if (w.chart) std::cout << "chart buttons " << hvwin::chart_button_messages() << std::endl;
  if (config.screen_read_ms > 0) std::cout << hvwin::format_busy() << std::endl;
  if (w.audit) std::cout << hvwin::format_counts(hvwin::win32_counts()) << std::endl;
  // Actions a strict run did not play are no plug-in's doing.
  const size_t left = player && !fe.ended_at_unsized_panel() ? player->remaining() : 0;
  return session.finish(fe.error(), left);
}

// Runs the request(s) in real windows, as the options ask.
int run_windowed(hvhost::SessionConfig config, const hvwin::WindowedConfig &w) {
  // The windowed host always watches the message loop.
  const double timeout_s = config.timeout_s.value_or(hvwin::kDefaultTimeoutS);
  config.timeout_s = timeout_s;
  if (const int code = check_dpi_awareness(config.dpi_awareness)) return code;
  hvhost::Session session(config, std::cout, std::cerr);
  if (const int code = session.load_module()) return code;
  if (const int code = patch_plugin_imports(session, w, config.screen_read_ms)) return code;
  // The real screen's size unless told otherwise.
  if (const int code = session.start_host(hvhost::HostOptions{
          w.display_given ? config.display_width : GetSystemMetrics(SM_CXSCREEN),
          w.display_given ? config.display_height : GetSystemMetrics(SM_CYSCREEN)}))
    return code;
  hvhost::Host &host = session.host();

  std::string error;
  hvwin::FrontEndOptions fo;
  fo.report_windows = w.report_windows;
  fo.tagged_input_only = !config.actions.empty() || w.bench;
  fo.snapshot_timeout_s = timeout_s;
  fo.loop_dpi_awareness = config.dpi_awareness;
  fo.notes = &std::cerr;
  fo.end_at_unsized_panel = config.strict;
  hvwin::FrontEnd fe(host, std::cout, fo);
  if (!fe.init(&error) ||
      (w.chart && !hvwin::show_chart(timeout_s, w.chart_at ? &*w.chart_at : nullptr, &error))) {
    std::cerr << "error: " << error << "\n";
    return hvhost::kExitRun;
  }
  // Snapshots are of the window as the screen shows it.
  session.set_capture([&](const hvhost::Panel &panel, hvhost::Framebuffer *image,
                          std::string *why) { return fe.capture(panel, image, why); });
  if (w.bench)
    return hvwin::run_bench(host, fe, session.server(), config.request, timeout_s, std::cout,
                            std::cerr);
  return run_requests(session, fe, config, w);
}

int run(int argc, char **argv) {
  hvhost::SessionConfig config;
  hvwin::WindowedConfig windowed;
  if (const std::optional<int> done =
          hvwin::parse_windowed_command_line(argc, argv, &config, &windowed))
    return *done;
  if (windowed.headless) return hvhost::run_headless(config, std::cout, std::cerr);
  return run_windowed(std::move(config), windowed);
}

}  // namespace

int main(int argc, char **argv) {
  // Lines end in LF alone on both streams, as the trace's do: the C
  // runtime's text mode would write CRLF, and CI scripts match whole lines.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  return hvhost::run_guarded([&] { return run(argc, argv); }, std::cerr);
}
