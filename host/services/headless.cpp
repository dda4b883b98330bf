#include "services/headless.h"

#include <cstdio>
#include <fstream>

#include "services/host.h"
#include "services/module.h"
#include "services/snapshot.h"
#ifndef _WIN32
#include "services/simulated_desktop.h"
#endif

namespace hvhost {

namespace {

std::string floats(float r, float g, float b) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.9g %.9g %.9g", static_cast<double>(r), static_cast<double>(g),
                static_cast<double>(b));
  return buf;
}

}  // namespace

bool write_trace_file(const CallTrace &trace, const std::string &path) {
  std::ofstream file(path);
  for (const std::string &line : trace.lines()) file << line << "\n";
  for (int i = 0; i < kOpCount; ++i) {
    const Op op = static_cast<Op>(i);
    if (trace.count(op) > 0) file << "count " << op_name(op) << " " << trace.count(op) << "\n";
  }
  for (const std::string &p : trace.problems()) file << "problem " << p << "\n";
  return static_cast<bool>(file.flush());
}

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
  ActionQueue input(config.actions);
  host.set_input(&input);
#ifndef _WIN32
  SimulatedDesktop desktop(host);
  if (config.wallpaper_path && !desktop.load_wallpaper(*config.wallpaper_path)) {
    err << "error: cannot read the wallpaper " << *config.wallpaper_path << "\n";
    return kExitUsage;
  }
  host.set_desktop(&desktop);
#endif
  host.set_snapshot_handler([&](const Panel &panel, const std::string &name, std::string *error) {
    if (!config.snapshot_dir) {
      err << "note: snapshot " << name << " skipped (no snapshot directory)\n";
      return true;
    }
    return write_panel_snapshot(panel, *config.snapshot_dir, name, error);
  });

  // Flushed line by line, so a reader sees each line as it happens.
  const ColorOutcome outcome = run_color_request(
      *server, config.request, [&](const HotColor &c) { out << format_hot(c) << std::endl; });
  out << format_result(outcome) << std::endl;

  if (config.trace_path && !write_trace_file(host.trace(), *config.trace_path)) {
    err << "error: cannot write the trace to " << *config.trace_path << "\n";
    return kExitRun;
  }

  if (host.aborted()) {
    err << "error: " << host.error() << "\n";
    return kExitRun;
  }
  if (outcome.status != 0)
    err << "note: the plug-in's activation returned " << outcome.status << "\n";
  if (input.remaining() > 0)
    err << "note: " << input.remaining()
        << " script action(s) left over: no panel was open for them\n";
  return kExitOk;
}

}  // namespace hvhost
