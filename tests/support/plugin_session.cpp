#include "support/plugin_session.h"

#include <cstdlib>

#include "input/script.h"
#include "model/chrome.h"
#include "output/snapshot.h"

namespace hvtest {

namespace {

const hvhost::Framebuffer kNoImage;

}  // namespace

std::string plugin_module_path() {
#ifdef HUEVANE_MODULE_PATH
  return HUEVANE_MODULE_PATH;
#else
  return {};
#endif
}

std::string test_module_path(const std::string &name) {
#ifdef HUEVANE_TEST_MODULE_DIR
  return std::string(HUEVANE_TEST_MODULE_DIR) + "/" + name + ".so";
#else
  return name;
#endif
}

std::string host_program_path() {
#ifdef HUEVANE_HOST_PATH
  return HUEVANE_HOST_PATH;
#else
  return {};
#endif
}

std::string source_dir() {
#ifdef HUEVANE_SOURCE_DIR
  return HUEVANE_SOURCE_DIR;
#else
  return {};
#endif
}

hvhost::AskedColor color(float r, float g, float b) {
  hvhost::AskedColor asked;
  asked.red = r;
  asked.green = g;
  asked.blue = b;
  return asked;
}

PluginSession::PluginSession(const std::string &module_path, const std::string &server,
                             hvhost::HostOptions options) {
  hvhost::ModuleLoadOptions load;
  load.private_copy = true;
  load.keep_mapped = true;
  module_ = hvhost::Module::load(module_path, load);
  server_ = &module_->require_server(LWCOLORPICK_HCLASS, server);
  host_ = std::make_unique<hvhost::Host>(options);
  desktop_ = std::make_unique<hvhost::SimulatedDesktop>(*host_);
  host_->set_desktop(desktop_.get());
  host_->set_snapshot_handler(
      [this](const hvhost::Panel &panel, const std::string &name, std::string *error) {
        hvhost::Framebuffer image = hvhost::compose_window(panel);
        if (const char *dir = std::getenv("HUEVANE_TEST_SNAPSHOT_DIR"))
          if (!hvhost::write_png(std::string(dir) + "/" + name + ".png", image, error))
            return false;
        snapshots_[name] = std::move(image);
        return true;
      });
}

PluginSession::~PluginSession() {
  host_->set_desktop(nullptr);
  desktop_.reset();
}

hvhost::ColorOutcome PluginSession::request(std::vector<hvhost::Action> actions,
                                            const hvhost::AskedColor &asked) {
  hvhost::ActionQueue queue(std::move(actions));
  return request(queue, asked);
}

hvhost::ColorOutcome PluginSession::request_script(std::string_view script,
                                                   const hvhost::AskedColor &asked) {
  return request(hvhost::parse_script(script), asked);
}

hvhost::ColorOutcome PluginSession::request(hvhost::InputDriver &driver,
                                            const hvhost::AskedColor &asked) {
  host_->set_input(&driver);
  hvhost::ColorOutcome outcome = hvhost::run_color_request(*server_, asked);
  host_->set_input(nullptr);
  return outcome;
}

hvhost::Panel *PluginSession::picker_panel() const {
  const std::vector<hvhost::Panel *> panels = host_->panels();
  return panels.empty() ? nullptr : panels.front();
}

hvhost::Control *PluginSession::control(std::string_view type_name) const {
  hvhost::Panel *p = picker_panel();
  return p ? p->find_control(type_name) : nullptr;
}

const hvhost::Framebuffer &PluginSession::picker_framebuffer() const {
  hvhost::Panel *p = picker_panel();
  return p ? p->framebuffer() : kNoImage;
}

bool PluginSession::fail_allocation(int nth) {
  using FailFunc = void (*)(int);
  void *sym = module_->symbol("huevane_test_fail_allocation");
  if (!sym) return false;
  reinterpret_cast<FailFunc>(sym)(nth);
  return true;
}

bool PluginSession::allocation_failure_pending() {
  using PendingFunc = int (*)();
  void *sym = module_->symbol("huevane_test_allocation_failure_pending");
  return sym && reinterpret_cast<PendingFunc>(sym)() != 0;
}

}  // namespace hvtest
