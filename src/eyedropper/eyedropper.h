// Screen eyedropper: a modal sampling run with a desktop-wide mouse hook and
// the magnifier.
#pragma once

#include "abi/host_api.h"
#include "color/color.h"
#include "eyedropper/desktop_space.h"
#include "eyedropper/frozen.h"
#include "eyedropper/frozen_windows.h"
#include "eyedropper/hook_watch.h"
#include "eyedropper/magnifier.h"
#include "eyedropper/screen_block.h"
#include "win32/win32.h"

// One sampling run's state, made at the run's start and released by its one
// exit. The hook and the timer reach it through the current run.
//
// The hook only records: on a composited desktop a screen read costs some
// milliseconds, and the hook holds up the whole desktop's pointer (Windows
// drops a hook that keeps an event waiting past LowLevelHooksTimeout and
// tells nobody). The tick reads the screen, as one block, shows the
// magnifier and the readout, and watches that the hook still sees input.
//
// A run is live (it reads the screen) or frozen: every monitor is captured
// once as the run starts, before the magnifier shows, and a frozen run shows
// that picture 1:1 in top-most windows of its own over every monitor and
// reads only the picture. A pen or a finger that starts the run, or that
// the hook first sees, makes it frozen; F switches between the two.
struct SamplingRun {
  LWPanelFuncs *panel_funcs;  // looked up afresh for the run
  LWRasterFuncs *raster_funcs;
  SpoitPanel *magnifier;
  HWND desktop_window;
  HDC desktop_dc;
  ScreenBlock screen;                     // the block the tick reads into, made once a run
  SetThreadDpiContextFn set_dpi_context;  // null before Windows 10 1607
  POINT pointer;                          // the hook's last point, in physical pixels
  int32_t pointer_moved;                  // the hook has seen the pointer since the start
  HHOOK hook;  // null when it could not be installed: the run ends at once
  UINT_PTR timer;
  uint32_t ticks;           // ticks so far
  SampleBlock cells;        // the latest block the tick read (cells.tick: which tick)
  int32_t wheel_delta;      // the wheel's turn short of a notch
  uint32_t hook_events;     // events the hook has seen
  HookWatch watch;          // the tick's watch on the hook
  int32_t hook_replaced;    // the hook has been replaced (or tried) ...
  DWORD hook_replaced_at;   // ... at this tick's time
  int32_t in_hook;          // the hook is passing an event on down the chain
  FrozenPicture picture;    // every monitor, taken as the run freezes; dc null: none
  CaptureFailure capture;   // why the last freeze had no picture
  FrozenWindows shown;      // the picture's windows while frozen
  int32_t frozen;           // the run reads the picture, not the screen
  int32_t wants_frozen;     // asked to freeze (pen, finger, F) and no picture could be had
  int32_t pen_seen;         // a pen or finger started the run, or the hook saw one
  int32_t f_down;           // F was down at the last tick
  int32_t display_changed;  // WM_DISPLAYCHANGE reached the picture's windows
  // The magnifier's window in physical pixels (with room for its frame and
  // title), when known, and what the screen showed there as the run
  // started, before the magnifier opened (under.dc null: not read).
  RECT magnifier_area;
  int32_t magnifier_known;
  FrozenPicture under;
  ColorTriple picked;
  int32_t pressed;
  int32_t accepted;
  int32_t ended;   // the run has been ended (release, Esc, Space); the hook
                   // passes everything on
  char title[64];  // the magnifier's title: the readout under the pointer
};

// Runs one sampling run, the magnifier's corner at (x, y), with the services
// the stored lookup gives. Returns 1 when a colour was taken, else 0; *out
// is the last colour read ({0, 0, 0} when none was). Runs never nest: a call
// during a run returns 0 at once.
int eyedropper_run(int x, int y, ColorTriple *out);

// The run under way; null outside a run.
const SamplingRun *sampling_run_current(void);

// Input made from a pen or a finger: the signature Windows puts in a
// message's extra information and the low-level hook's dwExtraInfo (0x80
// more for touch).
constexpr uintptr_t kPenSignatureMask = 0xFFFFFF00u;
constexpr uintptr_t kPenSignature = 0xFF515700u;
bool made_by_pen_or_touch(uintptr_t extra_info);

// The cells a pick averages, a side: 1, 3, 5 or 7, set by the wheel during
// a run and kept for the module's life (1 at its load).
int eyedropper_sample_size(void);

// The run's Win32 callbacks: the low-level mouse hook and the magnifier's
// 100 ms tick. Outside a run they do nothing (the hook passes events on).
// The hook records the point and the buttons; only the pick's release reads
// the screen. The tick centres on where the pointer was last seen to go
// (the hook's point, a nudge, or GetCursorPos when that moved with no hook
// event) and makes its calls in a per-monitor-aware thread context, so that
// everything it reads is in physical pixels as the hook's points are. It
// ends the run cancelled on Esc or a right release the hook did not see,
// and picks on Space or a left release the hook did not see; a hook that
// seems lost is replaced, and never ends the run.
// During a run the wheel steps the sample size a notch (WHEEL_DELTA) at a
// time (the event is swallowed).
LRESULT CALLBACK spoit_mouse_hook(int code, WPARAM message, LPARAM event);
// The magnifier's key-down callback: the arrows move the pointer one
// physical pixel, ten with Shift (the panel's qualifiers or the key state).
int spoit_key_down(LWPanelID panel, void *user_data, LWDualKey key);
void CALLBACK spoit_timer_tick(HWND hwnd, UINT message, UINT_PTR id, DWORD time);
