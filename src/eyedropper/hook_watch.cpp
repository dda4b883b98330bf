#include "eyedropper/hook_watch.h"

// Ticks in a row in which the hook saw nothing while input came.
constexpr int32_t kQuietTicksForALostHook = 2;
// GetAsyncKeyState: down now, went down since the last call.
constexpr SHORT kKeyDown = static_cast<SHORT>(0x8000);
constexpr SHORT kKeyPressed = 1;
static const int kButtonKeys[] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};

void hook_watch_start(HookWatch *watch) {
  *watch = {};
  for (int i = 0; i < 3; ++i)
    if (GetAsyncKeyState(kButtonKeys[i]) & kKeyDown) watch->buttons_down |= 1 << i;
}

// The buttons by the system's key state: which went down since the last
// tick, and which were pressed during the run and are up now.
static int32_t read_buttons(HookWatch *watch, int32_t *released) {
  int32_t went_down = 0, state = 0;
  for (int i = 0; i < 3; ++i) {
    const int32_t bit = 1 << i;
    const SHORT key = GetAsyncKeyState(kButtonKeys[i]);
    if (key & kKeyDown) state |= bit;
    if ((key & kKeyPressed) || ((key & kKeyDown) && !(watch->buttons_down & bit))) went_down |= bit;
  }
  watch->pressed_in_run |= went_down;
  *released = watch->pressed_in_run & ~state;
  watch->pressed_in_run &= state;
  watch->buttons_down = state;
  return went_down;
}

HookWatchTick hook_watch_tick(HookWatch *watch, uint32_t hook_events, const POINT *cursor) {
  HookWatchTick out = {false, false, 0};
  bool input = read_buttons(watch, &out.released) != 0;
  if (cursor) {
    if (watch->cursor_known &&
        (cursor->x != watch->cursor_seen.x || cursor->y != watch->cursor_seen.y))
      input = out.cursor_moved = true;
    watch->cursor_seen = *cursor;
    watch->cursor_known = 1;
  }
  if (hook_events != watch->events_seen) {
    watch->events_seen = hook_events;
    watch->quiet_ticks = 0;
    watch->missed_input = 0;
    return out;
  }
  if (watch->quiet_ticks < kQuietTicksForALostHook) ++watch->quiet_ticks;  // held
  if (input) watch->missed_input = 1;
  if (watch->quiet_ticks < kQuietTicksForALostHook || !watch->missed_input) return out;
  watch->quiet_ticks = 0;
  watch->missed_input = 0;
  out.suspect_loss = true;
  return out;
}

void hook_watch_pointer_moved_by_run(HookWatch *watch, POINT to) {
  watch->cursor_seen = to;
  watch->cursor_known = 1;
}
