#include "services/headless.h"

#include <cstdio>

#include "services/host.h"
#include "services/module.h"
#include "services/snapshot.h"

namespace hvhost {

namespace {

std::string floats(float r, float g, float b) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.9g %.9g %.9g", static_cast<double>(r),
                static_cast<double>(g), static_cast<double>(b));
  return buf;
}

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
    server = &module->require_server(HOST_COLORPICK_CLASS, config.server_name);
  } catch (const ModuleError &e) {
    err << "error: " << e.what() << "\n";
    return kExitModule;
  }

  Host host(HostOptions{config.display_width, config.display_height});
  ActionQueue input(config.actions);
  host.set_input(&input);
  host.set_desktop(config.desktop);
  host.set_snapshot_handler([&](const Panel &panel, const std::string &name, std::string *error) {
    if (!config.snapshot_dir) {
      err << "note: snapshot " << name << " skipped (no snapshot directory)\n";
      return true;
    }
    return write_panel_snapshot(panel, *config.snapshot_dir, name, error);
  });

  const ColorOutcome outcome = run_color_request(
      *server, config.request, [&](const HotColor &c) { out << format_hot(c) << "\n"; });
  out << format_result(outcome) << "\n";
  out.flush();

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
