// The desktop behind the host's panels on systems without Windows: the
// simulated desktop library's wallpaper with the open panels composed on
// top, its pointer and hook chain fed by `desktop ...` actions, and its
// timers fired by `wait`.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "model/host.h"
#include "session/session.h"

namespace hvhost {

class Host;

// The largest wallpaper file read, in bytes.
inline constexpr size_t kMaxWallpaperFileBytes = size_t{64} << 20;

class SimulatedDesktop : public DesktopInput {
 public:
  // Resets the desktop to the host's display size with the built-in test
  // pattern, and composes the host's open panels on top of it.
  explicit SimulatedDesktop(Host &host);
  ~SimulatedDesktop() override;
  SimulatedDesktop(const SimulatedDesktop &) = delete;
  SimulatedDesktop &operator=(const SimulatedDesktop &) = delete;

  // A PNG file (at most kMaxWallpaperFileBytes) as wallpaper. False, with
  // *error set to the reason ("is a directory", "is 16384 x 16384 pixels;
  // a wallpaper may have at most ..."), when it cannot be read or used; the
  // wallpaper is then unchanged.
  bool load_wallpaper(const std::string &path, std::string *error);
  // Whether the desktop keeps its log of Win32 calls (on after a reset);
  // the calls are counted either way.
  void keep_call_log(bool on);
  // The monitors, the primary first. False, with *error set, when the
  // desktop cannot have them (overlapping, too far apart); they are then
  // unchanged.
  bool set_monitors(const std::vector<MonitorConfig> &monitors, std::string *error);
  // The DPI awareness of the thread the plug-in runs on (kDpiHostDefault
  // leaves it).
  void set_dpi_awareness(int mode);
  // Milliseconds a screen read costs the thread, and the hook timeout.
  void set_costs(uint32_t screen_read_ms, uint32_t hook_timeout_ms);
  // What the system offers for keeping windows out of screen reads (a
  // DesktopAffinitySupport), the compositor, and other programs' windows.
  void set_features(int capture_exclusion, bool compositor,
                    const std::vector<WindowConfig> &windows);

  void pointer_move(int x, int y) override;
  void pointer_press(MouseButton button) override;
  void pointer_release(MouseButton button) override;
  void time_passed(uint32_t ms, uint64_t now_ms) override;
  void keys_held(int qualifiers) override;
  void key_changed(uint32_t code, bool down) override;
  void wheel_turn(int notches) override;
  void pointer_warp(int x, int y) override;
  void pen_or_touch(bool pen, Contact contact, int x, int y) override;

 private:
  Host &host_;
};

}  // namespace hvhost
