#include "session/headless.h"

#include <cstdio>

#include "model/host.h"
#include "session/module.h"
#include "output/snapshot.h"
#include "output/trace_file.h"
#ifndef _WIN32
#include "session/simulated_desktop.h"
#endif

namespace hvhost {

namespace {

std::string floats(float r, float g, float b) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.9g %.9g %.9g", static_cast<double>(r), static_cast<double>(g),
                static_cast<double>(b));
  return buf;
}

// The configured actions in order, read in place.
class ListInput : public InputDriver {
 public:
  explicit ListInput(const std::vector<Action> &actions) : actions_(actions) {}
  std::optional<Action> next(Host &) override {
    if (next_ == actions_.size()) return std::nullopt;
    return actions_[next_++];
  }
  size_t remaining() const { return actions_.size() - next_; }

 private:
  const std::vector<Action> &actions_;
  size_t next_ = 0;
};

}  // namespace

std::string format_hot(const HotColor &c) { return "hot " + floats(c.red, c.green, c.blue); }

std::string format_result(const ColorOutcome &o) {
  return "result " + std::to_string(o.result) + " " + floats(o.red, o.green, o.blue);
}

int run_headless(const HeadlessConfig &config, std::ostream &out, std::ostream &err) {
  std::unique_ptr<Module> module;
  const ServerRecord *server = nullptr;
  try {
    // The command ends right after the request, and the plug-in keeps its
    // panel for the life of the process: the module stays mapped so that
    // those allocations keep their roots until exit.
    module = Module::load(config.module_path, ModuleLoadOptions{false, true});
    server = &module->require_server(LWCOLORPICK_HCLASS, config.server_name);
  } catch (const ModuleError &e) {
    err << "error: " << e.what() << "\n";
    return kExitModule;
  }

  Host host(HostOptions{config.display_width, config.display_height});
  // Counts only: the calls themselves go to the trace file, if any, as they
  // happen.
  host.trace().set_window(0);
  TraceFile trace_file;
  std::string problem;
  if (config.trace_path) {
    if (!trace_file.open(*config.trace_path, &problem)) {
      err << "error: --trace: " << problem << "\n";
      return kExitUsage;
    }
    host.trace().set_sink(&trace_file);
  }
  if (config.snapshot_dir && !prepare_snapshot_dir(*config.snapshot_dir, &problem)) {
    err << "error: --snapshot: " << problem << "\n";
    return kExitUsage;
  }
  ListInput input(config.actions);
  host.set_input(&input);
#ifndef _WIN32
  SimulatedDesktop desktop(host);
  if (config.wallpaper_path && !desktop.load_wallpaper(*config.wallpaper_path, &problem)) {
    err << "error: cannot use the wallpaper " << *config.wallpaper_path << ": " << problem << "\n";
    return kExitUsage;
  }
  // Nobody reads the desktop's call log here; it would only grow.
  desktop.keep_call_log(false);
  host.set_desktop(&desktop);
#endif
  host.set_snapshot_handler([&](const Panel &panel, const std::string &name, std::string *error) {
    if (!config.snapshot_dir) {
      err << "note: snapshot " << name << " skipped (no snapshot directory)\n";
      return true;
    }
    return write_panel_snapshot(panel, *config.snapshot_dir, name, error);
  });

  // Flushed line by line, so a reader sees each line as it happens; the
  // hot callbacks are printed, not kept.
  AskedColor request = config.request;
  request.keep_hot = false;
  const ColorOutcome outcome = run_color_request(
      *server, request, [&](const HotColor &c) { out << format_hot(c) << std::endl; });
  out << format_result(outcome) << std::endl;

  int code = kExitOk;
  if (config.trace_path && !trace_file.finish(host.trace(), &problem)) {
    err << "error: --trace: " << problem << "\n";
    code = kExitRun;
  }
  if (host.aborted()) {
    err << "error: " << host.error() << "\n";
    return kExitRun;
  }
  if (outcome.status != 0)
    err << "note: the plug-in's activation returned " << outcome.status << "\n";
  if (host.input_ended() && !config.actions.empty())
    err << "note: the script ended with a panel still open: the host cancelled it\n";
  if (input.remaining() > 0)
    err << "note: " << input.remaining()
        << " script action(s) left over: no panel was open for them\n";
  return code;
}

}  // namespace hvhost
