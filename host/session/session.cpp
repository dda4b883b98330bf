#include "session/session.h"

#include <cstdio>
#include <new>
#include <stdexcept>

#include "common/quote.h"
#include "model/chrome.h"
#include "output/snapshot.h"
#include "session/clipboard_text.h"
#include "session/crash_report.h"
#ifndef _WIN32
#include "session/simulated_desktop.h"
#endif

namespace hvhost {

namespace {

// The clipboard line shows at most this much of the text.
constexpr size_t kClipboardShownBytes = 300;

std::string floats(float r, float g, float b) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.9g %.9g %.9g", static_cast<double>(r), static_cast<double>(g),
                static_cast<double>(b));
  return buf;
}

}  // namespace

std::string format_hot(const HotColor &c) { return "hot " + floats(c.red, c.green, c.blue); }

std::string format_result(const ColorOutcome &o) {
  return "result " + std::to_string(o.result) + " " + floats(o.red, o.green, o.blue);
}

Session::Session(const SessionConfig &config, std::ostream &out, std::ostream &err)
    : config_(config), out_(out), err_(err) {}

Session::~Session() {
  // The report must not read a trace or file that are gone.
  watch_plugin(nullptr, -1);
}

int Session::load_module() {
  // The module's startup is the plug-in's first code.
  watch_plugin(nullptr, -1);
  try {
    // The command ends right after its requests, and the plug-in keeps its
    // panel for the life of the process: the module stays mapped so that
    // those allocations keep their roots until exit.
    module_ = Module::load(config_.module_path, ModuleLoadOptions{false, true});
    watch_module(module_->path(), module_->symbol("_mod_descrip"));
    server_ = &module_->require_server(LWCOLORPICK_HCLASS, config_.server_name);
  } catch (const ModuleError &e) {
    err_ << "error: " << e.what() << "\n";
    return kExitModule;
  }
  return kExitOk;
}

int Session::start_host(std::optional<HostOptions> options) {
  host_ = std::make_unique<Host>(
      options.value_or(HostOptions{config_.display_width, config_.display_height}));
  // Counts and the newest call only (a crash report names it): the calls
  // themselves go to the trace file, if any, as they happen.
  host_->trace().set_window(1);
  std::string problem;
  if (config_.trace_path) {
    if (!trace_file_.open(*config_.trace_path, &problem)) {
      err_ << "error: --trace: " << problem << "\n";
      return kExitUsage;
    }
    host_->trace().set_sink(&trace_file_);
  }
  watch_plugin(&host_->trace(), trace_file_.descriptor());
  if (config_.snapshot_dir && !prepare_snapshot_dir(*config_.snapshot_dir, &problem)) {
    err_ << "error: --snapshot: " << problem << "\n";
    return kExitUsage;
  }
#ifndef _WIN32
  auto desktop = std::make_unique<SimulatedDesktop>(*host_);
  if (config_.wallpaper_path && !desktop->load_wallpaper(*config_.wallpaper_path, &problem)) {
    err_ << "error: cannot use the wallpaper " << *config_.wallpaper_path << ": " << problem
         << "\n";
    return kExitUsage;
  }
  if (!config_.monitors.empty() && !desktop->set_monitors(config_.monitors, &problem)) {
    err_ << "error: " << (config_.machine ? "--desktop-from" : "--monitors") << ": " << problem
         << "\n";
    return kExitUsage;
  }
  desktop->set_dpi_awareness(config_.dpi_awareness);
  desktop->set_costs(config_.screen_read_ms, config_.hook_timeout_ms);
  desktop->set_features(config_.capture_exclusion, config_.compositor, config_.windows);
  // Nobody reads the desktop's call log here; it would only grow.
  desktop->keep_call_log(false);
  host_->set_desktop(desktop.get());
  desktop_ = std::move(desktop);
#endif
  if (config_.clipboard && !set_clipboard_text(*config_.clipboard)) {
    err_ << "error: --clipboard: the clipboard cannot be set\n";
    return kExitRun;
  }
  clipboard_before_ = clipboard_text();
  host_->set_snapshot_handler([this](const Panel &panel, const std::string &name,
                                     std::string *error) { return snapshot(panel, name, error); });
  return kExitOk;
}

bool Session::snapshot(const Panel &panel, const std::string &name, std::string *error) {
  if (!config_.snapshot_dir) {
    err_ << "note: snapshot " << name << " skipped (no snapshot directory)\n";
    return true;
  }
  if (!capture_) return write_panel_snapshot(panel, *config_.snapshot_dir, name, error);
  Framebuffer image;
  return capture_(panel, &image, error) &&
         write_snapshot(image, *config_.snapshot_dir, name, error);
}

ColorOutcome Session::request(InputDriver &input) {
  host_->set_input(&input);
  // Flushed line by line, so a reader sees each line as it happens; the
  // hot callbacks are printed, not kept.
  AskedColor request = config_.request;
  request.keep_hot = false;
  if (config_.timeout_s) limit_plugin_time(*config_.timeout_s);
  ColorOutcome outcome;
  try {
    outcome = run_color_request(*server_, request,
                                [&](const HotColor &c) { out_ << format_hot(c) << std::endl; });
  } catch (const PluginException &e) {
    end_with_crash(e.what());
  }
  if (config_.timeout_s) limit_plugin_time(0);
  return outcome;
}

void Session::report(const ColorOutcome &outcome, const std::string &input_error) {
  if (!input_error.empty() || host_->aborted()) return;
  // Under --strict what the request did wrong is named before its result,
  // so that a reader of the result line has seen why the run fails.
  if (config_.strict) list_problems("error: problem: ");
  out_ << format_result(outcome) << std::endl;
  if (const std::optional<std::string> now = clipboard_text(); now && now != clipboard_before_)
    out_ << "clipboard " << escaped_text(*now, kClipboardShownBytes) << std::endl;
  // A request served with another answer is a problem (run_color_request).
  if (outcome.status != 0 && !outcome.served)
    err_ << "note: the plug-in's activation returned " << outcome.status << "\n";
}

void Session::unload_module() {
  if (!module_) return;
  host_->trace().record(Op::kCallShutdown, nullptr, "", {});
  if (config_.timeout_s) limit_plugin_time(*config_.timeout_s);
  try {
    module_->shutdown();
  } catch (const std::bad_alloc &) {
    throw;
  } catch (const std::exception &e) {
    end_with_crash(
        ("an exception it did not catch in its shutdown (" + std::string(e.what()) + ")").c_str());
  } catch (...) {
    end_with_crash("an exception it did not catch in its shutdown");
  }
  if (config_.timeout_s) limit_plugin_time(0);
}

int Session::finish(const std::string &input_error, size_t actions_left) {
  int code = kExitOk;
  std::string problem;
  unload_module();
  check_ended_requests();
  // An action the host could not deliver is the plug-in's doing when its
  // panel closed early or never opened (no size, a request not served).
  if (input_error.empty() && !host_->aborted() && actions_left > 0)
    host_->trace().note_problem(std::to_string(actions_left) +
                                " script action(s) left over: no panel was open for them");
  watch_plugin(&host_->trace(), -1);
  if (config_.trace_path && !trace_file_.finish(host_->trace(), &problem)) {
    err_ << "error: --trace: " << problem << "\n";
    code = kExitRun;
  }
  if (!input_error.empty()) {
    err_ << "error: " << input_error << "\n";
    code = kExitRun;
  } else if (host_->aborted()) {
    err_ << "error: " << host_->error() << "\n";
    code = kExitRun;
  } else {
    if (host_->input_ended() && !config_.actions.empty())
      err_ << "note: the script ended with a panel still open: the host cancelled it\n";
  }
  const uint64_t problems = host_->trace().problem_count();
  if (problems > 0) {
    list_problems(config_.strict ? "error: problem: " : "note: problem: ");
    const CallTrace &trace = host_->trace();
    if (trace.problem_count() > trace.problems().size())
      err_ << (config_.strict ? "error: problem: " : "note: problem: ") << "... and "
           << trace.problem_count() - trace.problems().size() << " more\n";
    if (config_.strict && code == kExitOk) code = kExitProblems;
  }
  return code;
}

void Session::list_problems(const char *prefix) {
  const std::vector<std::string> &problems = host_->trace().problems();
  for (; listed_problems_ < problems.size(); ++listed_problems_)
    err_ << prefix << problems[listed_problems_] << "\n";
}

}  // namespace hvhost
