// The frozen picture's windows: one a monitor, each showing its monitor's
// part of the picture 1:1, top-most, never activated, without a taskbar
// button (tool windows), with the "NonRudeHWND" property so that the shell
// does not hide the taskbar for a window that fills a monitor, and a
// crosshair cursor. Pen and touch input is left to DefWindowProc, which
// makes mouse input of it that the run's hook and the windows themselves
// see; press-and-hold is off, so a finger acts on contact. The loupe (the
// magnifier drawn on the picture) is painted over the picture beside the
// pointer.
#pragma once

#include <stdint.h>

#include "eyedropper/frozen.h"
#include "eyedropper/memory_image.h"
#include "win32/win32.h"

// What the windows pass to the run: a button's press or release at a point
// in physical screen coordinates, or WM_DISPLAYCHANGE.
typedef void (*FrozenEventFunc)(UINT message, POINT at);

struct FrozenWindows {
  HWND windows[kMaxMonitors];
  int count;         // windows made (and to destroy)
  bool registered;   // the window class is registered
  HINSTANCE module;  // the class's module
  const FrozenPicture *picture;
  FrozenEventFunc on_event;
  // The loupe: its pixels in a section of its own, where it is, and
  // whether it is shown.
  MemoryImage loupe;
  POINT loupe_at;
  bool loupe_shown;
  // What it shows: a tick that would show the same draws nothing.
  POINT loupe_pointer;
  uint32_t loupe_cells[kSampleBlockCells];
  char loupe_text[32];
};

// Makes and shows the windows over the picture's monitors (the caller's
// thread in a per-monitor-aware context, so that they are physical). Returns
// false, with nothing kept, when any of it cannot be had.
bool frozen_windows_show(FrozenWindows *fw, const FrozenPicture *picture, HDC desktop_dc,
                         FrozenEventFunc on_event);
// Destroys the windows and the loupe and unregisters the class; safe on
// windows not made, and twice.
void frozen_windows_destroy(FrozenWindows *fw);
// Draws the loupe for `block` beside `pointer` with its two lines, and has
// the windows repaint where it was and where it is.
void frozen_windows_show_loupe(FrozenWindows *fw, POINT pointer, const SampleBlock &block,
                               const char *line1, const char *line2);

LRESULT CALLBACK frozen_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
