// The desktop behind the host's panels on systems without Windows: the
// simulated desktop library's wallpaper with the open panels composed on
// top, its pointer and hook chain fed by `desktop ...` actions, and its
// timers fired by `wait`.
#pragma once

#include <string>

#include "services/input.h"

namespace hvhost {

class Host;

class SimulatedDesktop : public DesktopInput {
 public:
  // Resets the desktop to the host's display size with the built-in test
  // pattern, and composes the host's open panels on top of it.
  explicit SimulatedDesktop(Host &host);
  ~SimulatedDesktop() override;
  SimulatedDesktop(const SimulatedDesktop &) = delete;
  SimulatedDesktop &operator=(const SimulatedDesktop &) = delete;

  // A PNG as wallpaper; false (and the pattern kept) when it cannot be read.
  bool load_wallpaper(const std::string &path);

  void pointer_move(int x, int y) override;
  void pointer_press(MouseButton button) override;
  void pointer_release(MouseButton button) override;
  void time_passed(uint32_t ms, uint64_t now_ms) override;

 private:
  Host &host_;
};

}  // namespace hvhost
