// Test fixture for integration tests: one plug-in module loaded fresh into a
// reference host, with helpers to run colour requests and look at what the
// plug-in did.
//
//   hvtest::PluginSession s;                       // fresh copy of huevane.so
//   auto out = s.request({Action::rgb(0, 255, 0), Action::ok()},
//                        hvtest::color(0.5f, 0.5f, 0.5f));
//   EXPECT_EQ(out.result, 1);
//   EXPECT_EQ(s.control("MiniHSVControl")->value()[0], 85);
//   EXPECT_EQ(s.picker_framebuffer().pixel(4, 8), (hvhost::Rgb{255, 0, 0}));
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/framebuffer.h"
#include "model/host.h"
#include "session/action_feed.h"
#include "session/module.h"
#include "session/request.h"
#include "session/simulated_desktop.h"

namespace hvtest {

// The built plug-in (empty where the test target does not define
// HUEVANE_MODULE_PATH).
std::string plugin_module_path();
// A module from <build>/test-modules, e.g. test_module_path("fake_picker").
std::string test_module_path(const std::string &name);
// The built huevane-host and the source tree (empty where not defined).
std::string host_program_path();
std::string source_dir();

// A request for the colour (r, g, b) with the default title.
hvhost::AskedColor color(float r, float g, float b);

class PluginSession {
 public:
  // Copies the module to a private temporary file and loads that, so the
  // module's process-wide state (the picker panel, the acquired services)
  // starts clean in every session. Throws hvhost::ModuleError.
  //
  // The plug-in keeps its picker panel and services for the life of the
  // process by design. The copy therefore stays mapped until the process
  // exits: unmapping it would take away the globals that hold those
  // allocations, and LeakSanitizer would report them as leaks.
  explicit PluginSession(const std::string &module_path = plugin_module_path(),
                         const std::string &server = "Huevane", hvhost::HostOptions options = {});
  ~PluginSession();
  PluginSession(const PluginSession &) = delete;
  PluginSession &operator=(const PluginSession &) = delete;

  hvhost::Host &host() { return *host_; }
  hvhost::Module &module() { return *module_; }
  const ServerRecord &server() const { return *server_; }
  hvhost::CallTrace &trace() { return host_->trace(); }

  // Runs one colour request; the actions are its input, and the end of
  // them cancels whatever is still open.
  hvhost::ColorOutcome request(std::vector<hvhost::Action> actions,
                               const hvhost::AskedColor &asked = {});
  // The same with actions from script text (throws hvhost::ScriptError).
  hvhost::ColorOutcome request_script(std::string_view script,
                                      const hvhost::AskedColor &asked = {});
  // The same with any input driver, e.g. a CallbackDriver that looks at the
  // host between actions.
  hvhost::ColorOutcome request(hvhost::InputDriver &driver, const hvhost::AskedColor &asked = {});

  // The first panel the plug-in created (its picker panel), or null.
  hvhost::Panel *picker_panel() const;
  // The first control of that type on the picker panel, or null.
  hvhost::Control *control(std::string_view type_name) const;
  // The picker panel's client area; an empty image when there is none.
  const hvhost::Framebuffer &picker_framebuffer() const;

  // Images taken by `snapshot NAME` actions (the window with its chrome).
  // With HUEVANE_TEST_SNAPSHOT_DIR set in the environment they are also
  // written there as PNGs.
  const std::map<std::string, hvhost::Framebuffer> &snapshots() const { return snapshots_; }

  // The desktop behind the panels: a simulated one, reset for each session,
  // with the host's panels composed on its wallpaper.
  hvhost::SimulatedDesktop &desktop() { return *desktop_; }
  // Another desktop (not owned); null goes back to the simulated one.
  void set_desktop(hvhost::DesktopInput *desktop) {
    host_->set_desktop(desktop ? desktop : desktop_.get());
  }

  // Makes the plug-in's nth allocation from now fail (0 disarms), through
  // the module's huevane_test_fail_allocation. Returns false if the module
  // does not export it.
  bool fail_allocation(int nth);
  // Whether the allocation failure armed by fail_allocation has not come
  // yet (false also when the module does not export the query).
  bool allocation_failure_pending();

 private:
  std::unique_ptr<hvhost::Module> module_;
  const ServerRecord *server_ = nullptr;
  std::unique_ptr<hvhost::Host> host_;
  std::unique_ptr<hvhost::SimulatedDesktop> desktop_;
  std::map<std::string, hvhost::Framebuffer> snapshots_;
};

}  // namespace hvtest
