// The watch on the run's low-level mouse hook. Windows 7 and later drop a
// hook that keeps input waiting past LowLevelHooksTimeout without telling
// its thread. The hook counts what it sees; once a tick the watch compares
// that with what the system says happened: the pointer's place and the
// buttons' state. Input the hook did not see for two ticks means the hook
// may be gone, or that the input never passed a hook (pen or touch over a
// window that handles it, another program's SetCursorPos): no one can tell
// which, so the run only ever replaces the hook on it. The key state also
// tells of button releases the hook never saw, so that a run without a
// working hook can still be ended.
#pragma once

#include <stdint.h>

#include "win32/win32.h"

struct HookWatch {
  uint32_t events_seen;    // the hook's event count as the last tick found it
  POINT cursor_seen;       // where the last tick found the pointer (GetCursorPos in
                           // the tick's context); a run that moves the pointer
                           // itself stores the new place here, so that its own
                           // move is not taken for input the hook missed
  int32_t cursor_known;    // cursor_seen holds a reading
  int32_t buttons_down;    // mouse buttons down at the last tick, a bit each
  int32_t pressed_in_run;  // ... seen going down during the run, and not up since
  int32_t quiet_ticks;     // ticks in a row in which the hook saw nothing
  int32_t missed_input;    // ... and input came meanwhile
};

// Starts the watch: presses from before the run are not the run's (the
// buttons' went-down-since flags are read away), and a button held as the
// run starts is not input the hook missed.
void hook_watch_start(HookWatch *watch);

// What a tick found.
struct HookWatchTick {
  bool suspect_loss;  // input came while the hook saw nothing for two ticks
  bool cursor_moved;  // the pointer is elsewhere than the last tick found it
  int32_t released;   // buttons pressed during the run and up now, by the key
                      // state (a bit each: 1 left, 2 right, 4 middle); a
                      // button the hook took never shows there
};
constexpr int32_t kLeftButtonBit = 1;
constexpr int32_t kRightButtonBit = 2;

// Once a tick: `hook_events` is the hook's count so far, `cursor` the
// pointer as this tick read it (null when it could not). After a suspected
// loss the watch starts counting afresh.
HookWatchTick hook_watch_tick(HookWatch *watch, uint32_t hook_events, const POINT *cursor);

// The run moved the pointer itself to `to`: not input the hook missed.
void hook_watch_pointer_moved_by_run(HookWatch *watch, POINT to);
