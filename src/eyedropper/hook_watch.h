// The watch on the run's low-level mouse hook. Windows 7 and later drop a
// hook that keeps input waiting past LowLevelHooksTimeout without telling
// its thread. The hook counts what it sees; once a tick the watch compares
// that with what the system says happened: the pointer's place and the
// buttons' state. Input the hook did not see for two ticks means the hook
// may be gone.
#pragma once

#include <stdint.h>

#include "win32/win32.h"

struct HookWatch {
  uint32_t events_seen;  // the hook's event count as the last tick found it
  POINT cursor_seen;     // where the last tick found the pointer (GetCursorPos in
                         // the tick's context); a run that moves the pointer
                         // itself stores the new place here, so that its own
                         // move is not taken for input the hook missed
  int32_t cursor_known;  // cursor_seen holds a reading
  int32_t buttons_down;  // mouse buttons down at the last tick, a bit each
  int32_t quiet_ticks;   // ticks in a row in which the hook saw nothing
  int32_t missed_input;  // ... and input came meanwhile
};

// Starts the watch: presses from before the run are not the run's (the
// buttons' went-down-since flags are read away), and a button held as the
// run starts is not input the hook missed.
void hook_watch_start(HookWatch *watch);

// Once a tick: `hook_events` is the hook's count so far, `cursor` the
// pointer as this tick read it (null when it could not). True when the hook
// looks lost: input came while it saw nothing for two ticks. The watch then
// starts counting afresh.
bool hook_watch_suspects_loss(HookWatch *watch, uint32_t hook_events, const POINT *cursor);

// The run moved the pointer itself to `to`: not input the hook missed.
void hook_watch_pointer_moved_by_run(HookWatch *watch, POINT to);
