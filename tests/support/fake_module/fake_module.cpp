// Small modules for the reference host's own tests. Built four ways:
//   FAKE_PICKER         a ColorPicker server "Fake" with a tiny panel
//   FAKE_NO_DESCRIPTOR  a library without _mod_descrip
//   FAKE_BAD_SYNC       a descriptor with the wrong sync word
//   FAKE_NO_PICKER      a valid descriptor serving only an "ImageFilter"
//
// The picker panel is 120 x 80 with a MiniRGBControl and a ButtonControl.
// A left press at (x, y) sets the colour to (x, y, 0); an RGB edit sets it to
// the edited value; both call the hot callback. The button and the S key
// open a nested "Fake nested" panel (flags 0x41). Everything the host calls
// is logged; fake_module_log() returns the log, one event a line.
#include <cstdio>
#include <string>

#include "abi/host_api.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::string g_log;
GlobalFunc g_global = nullptr;
PanelFuncs *g_panels = nullptr;
int g_rgb[3] = {0, 0, 0};
ColorRequest *g_request = nullptr;
HostControl *g_rgb_editor = nullptr;
PanelID g_panel = nullptr;

void log(const char *fmt, int a = 0, int b = 0, int c = 0) {
  char buf[128];
  std::snprintf(buf, sizeof buf, fmt, a, b, c);
  g_log += buf;
  g_log += '\n';
}

void report() {
  if (g_request && g_request->hot_func)
    g_request->hot_func(g_request->hot_data, g_rgb[0] / 255.0f, g_rgb[1] / 255.0f,
                        g_rgb[2] / 255.0f);
}

void set_editor() {
  IntVectorValue v = {VALUE_TYPE_IVEC, {g_rgb[0], g_rgb[1], g_rgb[2]}};
  if (g_rgb_editor) g_rgb_editor->set(g_rgb_editor, CTL_VALUE, &v);
}

void on_draw(PanelID panel, void *, int mode) {
  log("draw %d", mode);
  g_panels->draw_rgb_box(panel, g_rgb[0], g_rgb[1], g_rgb[2], 4, 4, 40, 30);
}

void on_opened(PanelID, void *) { log("opened"); }

void on_button(PanelID, void *, int flags, int x, int y) {
  log("button %d %d %d", flags, x, y);
  if (flags == (MOUSE_DOWN | MOUSE_LEFT)) {
    g_rgb[0] = x;
    g_rgb[1] = y;
    g_rgb[2] = 0;
    set_editor();
    report();
  }
}

void on_move(PanelID, void *, int flags, int x, int y) { log("move %d %d %d", flags, x, y); }

void open_nested() {
  PanelID nested = g_panels->create("Fake nested", g_panels);
  int size = 50;
  g_panels->set(nested, PAN_W, &size);
  g_panels->set(nested, PAN_H, &size);
  g_panels->set(nested, PAN_OPENED_FUNC, reinterpret_cast<void *>(&on_opened));
  log("nested open");
  const int result = g_panels->open(nested, SPOIT_OPEN_FLAGS);
  log("nested result %d", result);
  g_panels->destroy(nested);
  int zero = 0;
  g_panels->set(g_panel, PAN_AFTER_EYEDROPPER, &zero);
}

void on_key(PanelID, void *, uint32_t key) {
  log("key %d", static_cast<int>(key));
  if (key == 'S' || key == 's') open_nested();
}

void on_rgb_event(HostControl *control, void *data) {
  IntVectorValue v = {VALUE_TYPE_IVEC, {0, 0, 0}};
  control->get(control, CTL_VALUE, &v);
  log("rgb event %d %d %d", v.val[0], v.val[1], v.val[2]);
  log(data == &g_rgb ? "rgb user data ok" : "rgb user data wrong");
  for (int i = 0; i < 3; ++i) g_rgb[i] = v.val[i];
  report();
}

void on_button_event(HostControl *, void *) {
  log("button event");
  open_nested();
}

void place(HostControl *control, int x, int y, ControlEventFunc func, void *data) {
  IntValue v = {VALUE_TYPE_INT, 0, nullptr};
  control->get(control, CTL_W, &v);
  const int w = v.intv;
  control->get(control, CTL_HOTX, &v);
  v.intv = v.intv - w + x;
  control->set(control, CTL_X, &v);
  v.intv = y;
  control->set(control, CTL_Y, &v);
  v.ptr = data;
  control->set(control, CTL_USER_DATA, &v);
  v.ptr = reinterpret_cast<void *>(func);
  control->set(control, CTL_EVENT_FUNC, &v);
}

int activate(int version, GlobalFunc global, void *local, void *) {
  if (version != HOST_COLORPICK_VERSION) return 1;
  ColorRequest *request = static_cast<ColorRequest *>(local);
  g_global = global;
  g_panels = static_cast<PanelFuncs *>(global(PANEL_SERVICES_NAME, 0));
  if (!g_panels) {
    log("no panel services");
    return 0;
  }
  g_request = request;
  g_panel = g_panels->create(request->title ? request->title : "(null)", g_panels);
  if (!g_panel) {
    log("no panel");
    request->result = 0;
    return 0;
  }
  int w = 120, h = 80;
  g_panels->set(g_panel, PAN_W, &w);
  g_panels->set(g_panel, PAN_H, &h);
  g_panels->set(g_panel, PAN_DRAW_FUNC, reinterpret_cast<void *>(&on_draw));
  g_panels->set(g_panel, PAN_OPENED_FUNC, reinterpret_cast<void *>(&on_opened));
  g_panels->set(g_panel, PAN_MOUSE_BUTTON_FUNC, reinterpret_cast<void *>(&on_button));
  g_panels->set(g_panel, PAN_MOUSE_MOVE_FUNC, reinterpret_cast<void *>(&on_move));
  g_panels->set(g_panel, PAN_KEY_FUNC, reinterpret_cast<void *>(&on_key));
  ControlDesc desc = {CTL_TYPE_EDITOR, 0, 0};
  g_rgb_editor = g_panels->add_control(g_panel, "MiniRGBControl", &desc, "");
  if (g_rgb_editor) place(g_rgb_editor, -28, 50, &on_rgb_event, &g_rgb);
  desc = {CTL_TYPE_DRAWN, 22, 0};
  HostControl *button = g_panels->add_control(g_panel, "ButtonControl", &desc, "\x03(i:MIMG_ZOOM)");
  if (button) place(button, 90, 4, &on_button_event, nullptr);

  g_rgb[0] = static_cast<int>(request->red * 255.0);
  g_rgb[1] = static_cast<int>(request->green * 255.0);
  g_rgb[2] = static_cast<int>(request->blue * 255.0);
  set_editor();
  report();
  request->result = g_panels->open(g_panel, PICKER_OPEN_FLAGS);
  log("result %d", request->result);
  if (request->result) {
    request->red = g_rgb[0] / 255.0f;
    request->green = g_rgb[1] / 255.0f;
    request->blue = g_rgb[2] / 255.0f;
  }
  g_panels->destroy(g_panel);
  g_panel = nullptr;
  g_rgb_editor = nullptr;
  g_request = nullptr;
  return 0;
}

[[maybe_unused]] void *startup() { return reinterpret_cast<void *>(1); }
[[maybe_unused]] void shutdown(void *) {}

#if defined(FAKE_NO_PICKER)
[[maybe_unused]] const ServerRecord kServers[] = {{"ImageFilter", "Fake", activate, nullptr},
                                 {nullptr, nullptr, nullptr, nullptr}};
#else
[[maybe_unused]] const ServerRecord kServers[] = {{HOST_COLORPICK_CLASS, "Fake", activate, nullptr},
                                 {nullptr, nullptr, nullptr, nullptr}};
#endif

}  // namespace

#if !defined(FAKE_NO_DESCRIPTOR)
extern "C" {
__attribute__((visibility("default"))) ModuleDescriptor _mod_descrip = {
#if defined(FAKE_BAD_SYNC)
    0x12345678u,
#else
    HOST_MODULE_SYNC,
#endif
    HOST_SYSTEM_VERSION, HOST_MACHINE_CODE, startup, shutdown, kServers};
}
#endif

FAKE_EXPORT const char *fake_module_log() { return g_log.c_str(); }
FAKE_EXPORT void fake_module_clear_log() { g_log.clear(); }
