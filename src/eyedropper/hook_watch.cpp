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

// Whether a button went down since the last tick, by the system's key state.
static bool button_went_down(HookWatch *watch) {
  bool down_now = false;
  int32_t state = 0;
  for (int i = 0; i < 3; ++i) {
    const SHORT key = GetAsyncKeyState(kButtonKeys[i]);
    if (key & kKeyDown) state |= 1 << i;
    if ((key & kKeyPressed) || ((key & kKeyDown) && !(watch->buttons_down & (1 << i))))
      down_now = true;
  }
  watch->buttons_down = state;
  return down_now;
}

bool hook_watch_suspects_loss(HookWatch *watch, uint32_t hook_events, const POINT *cursor) {
  bool input = button_went_down(watch);
  if (cursor) {
    if (watch->cursor_known &&
        (cursor->x != watch->cursor_seen.x || cursor->y != watch->cursor_seen.y))
      input = true;
    watch->cursor_seen = *cursor;
    watch->cursor_known = 1;
  }
  if (hook_events != watch->events_seen) {
    watch->events_seen = hook_events;
    watch->quiet_ticks = 0;
    watch->missed_input = 0;
    return false;
  }
  if (watch->quiet_ticks < kQuietTicksForALostHook) ++watch->quiet_ticks;  // held
  if (input) watch->missed_input = 1;
  if (watch->quiet_ticks < kQuietTicksForALostHook || !watch->missed_input) return false;
  watch->quiet_ticks = 0;
  watch->missed_input = 0;
  return true;
}

void hook_watch_pointer_moved_by_run(HookWatch *watch, POINT to) {
  watch->cursor_seen = to;
  watch->cursor_known = 1;
}
