#include "session/simulated_desktop.h"

#include "common/file_read.h"
#include "desktop.h"
#include "model/host.h"
#include "session/windows_keys.h"

namespace hvhost {

static_assert(kMaxDisplaySize == DESKTOP_MAX_SIZE,
              "the host tells the plug-in no larger display than the desktop can be");

namespace {

int compose_panels(void *ctx, int x, int y, uint32_t *rgb) {
  const std::optional<Rgb> pixel = static_cast<Host *>(ctx)->screen_pixel(x, y);
  if (!pixel) return 0;
  *rgb = pixel->packed();
  return 1;
}

// A hook the desktop dropped shows in the trace, as Windows tells its
// thread nothing.
void trace_hook_removed(void *ctx, HHOOK hook, uint32_t waited_ms) {
  static_cast<Host *>(ctx)->trace().record(Op::kDesktopHookRemoved, hook, "",
                                           {static_cast<int64_t>(waited_ms)});
}

void send_at_cursor(UINT message) {
  int x = 0, y = 0;
  desktop_cursor(&x, &y);
  desktop_mouse_event(message, x, y);
}

}  // namespace

SimulatedDesktop::SimulatedDesktop(Host &host) : host_(host) {
  desktop_reset(host.display_width(), host.display_height());
  desktop_set_overlay(compose_panels, &host_);
  desktop_set_hook_removed_listener(trace_hook_removed, &host_);
}

SimulatedDesktop::~SimulatedDesktop() {
  desktop_set_overlay(nullptr, nullptr);
  desktop_set_hook_removed_listener(nullptr, nullptr);
}

bool SimulatedDesktop::load_wallpaper(const std::string &path, std::string *error) {
  std::string bytes;
  if (!read_regular_file(path, kMaxWallpaperFileBytes, &bytes, error)) return false;
  char why[256] = {};
  if (desktop_load_wallpaper_png(bytes.data(), bytes.size(), why, sizeof why)) return true;
  *error = why;
  return false;
}

void SimulatedDesktop::keep_call_log(bool on) { desktop_set_logging(on ? 1 : 0); }

bool SimulatedDesktop::set_monitors(const std::vector<MonitorConfig> &monitors,
                                    std::string *error) {
  std::vector<DesktopMonitor> list;
  for (const MonitorConfig &m : monitors) list.push_back({m.x, m.y, m.width, m.height, m.scale});
  if (desktop_set_monitors(list.data(), static_cast<int>(list.size()))) return true;
  *error = "the monitors overlap, or lie more than " + std::to_string(DESKTOP_MAX_SIZE) +
           " pixels apart";
  return false;
}

void SimulatedDesktop::set_dpi_awareness(int mode) {
  if (mode != kDpiHostDefault) desktop_set_thread_dpi(mode);
}

void SimulatedDesktop::set_costs(uint32_t screen_read_ms, uint32_t hook_timeout_ms) {
  desktop_set_screen_read_ms(screen_read_ms);
  desktop_set_hook_timeout_ms(hook_timeout_ms);
}

void SimulatedDesktop::set_features(int capture_exclusion, bool compositor,
                                    const std::vector<WindowConfig> &windows) {
  desktop_set_affinity_support(capture_exclusion);
  desktop_set_compositor(compositor ? 1 : 0);
  for (const WindowConfig &w : windows) {
    desktop_add_window(w.x, w.y, w.width, w.height,
                       w.handles_pointer ? DESKTOP_WINDOW_POINTER : DESKTOP_WINDOW_DEFAULT);
  }
}

void SimulatedDesktop::pointer_move(int x, int y) { desktop_mouse_event(WM_MOUSEMOVE, x, y); }

void SimulatedDesktop::pointer_press(MouseButton button) {
  switch (button) {
    case MouseButton::kLeft: send_at_cursor(WM_LBUTTONDOWN); break;
    case MouseButton::kMiddle: send_at_cursor(WM_MBUTTONDOWN); break;
    case MouseButton::kRight: send_at_cursor(WM_RBUTTONDOWN); break;
  }
}

void SimulatedDesktop::pointer_release(MouseButton button) {
  switch (button) {
    case MouseButton::kLeft: send_at_cursor(WM_LBUTTONUP); break;
    case MouseButton::kMiddle: send_at_cursor(WM_MBUTTONUP); break;
    case MouseButton::kRight: send_at_cursor(WM_RBUTTONUP); break;
  }
}

void SimulatedDesktop::time_passed(uint32_t ms, uint64_t) { desktop_advance_time(ms); }

void SimulatedDesktop::wheel_turn(int notches) { desktop_wheel_event(notches); }

void SimulatedDesktop::pointer_warp(int x, int y) { desktop_warp_pointer(x, y); }

void SimulatedDesktop::pen_or_touch(bool pen, Contact contact, int x, int y) {
  const int action = contact == Contact::kDown ? DESKTOP_POINTER_DOWN
                     : contact == Contact::kUp ? DESKTOP_POINTER_UP
                                               : DESKTOP_POINTER_MOVE;
  desktop_pointer_event(pen ? DESKTOP_PEN : DESKTOP_TOUCH, action, x, y);
}

void SimulatedDesktop::keys_held(int qualifiers) {
  for (const HostKey &k : kQualifierKeys) desktop_key_event(k.vk, qualifiers & k.host);
}

}  // namespace hvhost

namespace hvhost {

// The virtual key of a panel's key code: a letter's capital, a digit, Space,
// Esc and Enter as themselves (their codes are the virtual keys'); other
// codes (the host's arrows, function keys) have no key state here.
static int virtual_key_of(uint32_t code) {
  if (code >= 'a' && code <= 'z') return static_cast<int>(code - 'a' + 'A');
  if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) return static_cast<int>(code);
  if (code == VK_SPACE || code == VK_ESCAPE || code == '\r') return static_cast<int>(code);
  return 0;
}

void SimulatedDesktop::key_changed(uint32_t code, bool down) {
  if (const int key = virtual_key_of(code)) desktop_key_event(key, down ? 1 : 0);
}

}  // namespace hvhost
