// The pointer catcher: for the length of a sampling run, a window of the
// plug-in's own over each monitor, top-most, never activated and all but
// transparent (alpha 1 of 255), that lets pen and touch input go to
// DefWindowProc. So pen and touch reach the run as mouse input that the
// hook and GetCursorPos see, over windows that would otherwise consume them,
// and a tap reaches no other window.
//
// A window over the screen changes what the screen reads return (alpha 1
// darkens a channel by one level), so the catcher is kept only where the
// system leaves it out of screen reads: WDA_EXCLUDEFROMCAPTURE (Windows 10
// 2004 and later, with the compositor) set, read back, and a block read
// around the pointer with the catcher shown equal to one read before.
// Anywhere else (older Windows, no compositor, Wine) nothing of it is kept
// and the run goes on with the mouse hook alone.
#pragma once

#include "eyedropper/desktop_space.h"
#include "eyedropper/screen_block.h"
#include "win32/win32.h"

struct Catcher {
  HWND windows[kMaxMonitors];
  int count;         // windows made (and to destroy)
  bool registered;   // the window class is registered
  HINSTANCE module;  // the class's module
};

// Makes the catcher over the listed monitors, all coordinates physical (the
// caller's thread in a per-monitor-aware context), and checks it with two
// reads of `screen` around `pointer`. Returns true when it is in place;
// false, with nothing kept, when it is not: a call failed, the affinity does
// not hold, or the two reads differ or cannot tell (no cell with a channel
// of 128 or more: a faint tint rounds away below that).
bool catcher_create(Catcher *catcher, const ScreenBlock &screen, HDC desktop_dc,
                    const MonitorList &monitors, POINT pointer);
// Destroys its windows and unregisters its class; safe on one not made.
void catcher_destroy(Catcher *catcher);

// The catcher's window procedure: no activation, no press-and-hold, and
// everything else (pointer input included) to DefWindowProc.
LRESULT CALLBACK catcher_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
