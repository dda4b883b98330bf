// The host's window around a panel: a title strip above the panel's client
// area (shown at exactly the panel's size) and, when the panel was opened
// with OK / Cancel, a row with those two buttons below it. Snapshots, the
// simulated desktop and a windowed front end all use this one layout.
#pragma once

#include <optional>

#include "model/framebuffer.h"
#include "model/objects.h"

namespace hvhost {

inline constexpr int kWindowEdge = 1;
inline constexpr int kTitleStripHeight = 20;
inline constexpr int kButtonRowHeight = 34;
inline constexpr int kRowButtonWidth = 72;
inline constexpr int kRowButtonHeight = 22;

struct WindowLayout {
  int width = 0;
  int height = 0;
  Rect title;              // the title strip
  Rect client;             // where the panel's framebuffer goes
  std::optional<Rect> ok;  // the OK button, when there is a button row
  std::optional<Rect> cancel;
};

// Layout in window coordinates (the window's top-left corner is 0, 0). The
// window sits on the screen at the panel's position (attributes 0 and 1).
WindowLayout window_layout(const Panel &panel);

// The panel as its window looks.
Framebuffer compose_window(const Panel &panel);
// The same into fb, keeping its storage when the size is unchanged (the
// simulated desktop composes a window again after every change).
void compose_window_into(const Panel &panel, Framebuffer &fb);

}  // namespace hvhost
