#include "eyedropper/eyedropper.h"

#include <stdio.h>
#include <string.h>

#include "binding/services.h"
#include "eyedropper/averaging.h"
#include "eyedropper/keys.h"
#include "win32/clipboard.h"

constexpr UINT kTickMilliseconds = 100;
constexpr LRESULT kSwallowEvent = 1;
// GetAsyncKeyState: down now, went down since the last call.
constexpr SHORT kKeyDown = static_cast<SHORT>(0x8000);
constexpr SHORT kKeyPressed = 1;
// F switches a run between live and frozen.
constexpr int kFreezeKey = 'F';
// Room around the magnifier's panel for the frame and title the host puts
// round it (the host does not say how much), in its coordinates.
constexpr int kMagnifierChrome = 32;

// The module's eyedropper: the run under way, for the hook and the timer
// (null outside a run), and the cells a pick averages, a side, which the
// next run keeps.
struct EyedropperModule {
  SamplingRun *run;
  int sample_size;
};
static EyedropperModule g_eyedropper = {nullptr, kSampleSizes[0]};

const SamplingRun *sampling_run_current(void) { return g_eyedropper.run; }

int eyedropper_sample_size(void) { return g_eyedropper.sample_size; }

bool made_by_pen_or_touch(uintptr_t extra_info) {
  return (extra_info & kPenSignatureMask) == kPenSignature;
}

// The readout, and after it the run's mode where it is not the plain live
// run: " frozen", or " live, no picture" when a freeze was asked for and
// there is no picture to freeze on.
static void write_readout(const SamplingRun &run, char *title, size_t size, const ColorTriple *c) {
  magnifier_write_readout(title, size, c, g_eyedropper.sample_size);
  const char *mode = run.frozen ? " frozen" : run.wants_frozen ? " live, no picture" : "";
  const size_t n = strlen(title);
  if (n < size) snprintf(title + n, size - n, "%s", mode);
}

// The physical point is on the magnifier's window: a screen read there
// returns the magnifier itself.
static bool over_magnifier(const SamplingRun &run, POINT at) {
  const RECT &r = run.magnifier_area;
  return run.magnifier_known && at.x >= r.left && at.x < r.right && at.y >= r.top &&
         at.y < r.bottom;
}

// What the run reads at `at` instead of the screen: frozen, the picture;
// live over the magnifier, what lay under it as the run started (null
// there when that was not read); else null, the screen.
static const FrozenPicture *picture_at(const SamplingRun &run, POINT at) {
  if (run.frozen) return &run.picture;
  return over_magnifier(run, at) && run.under.dc ? &run.under : nullptr;
}

// The colour a pick would take from the block: the average in linear light
// of the sample's readable cells around the block's centre.
static bool block_colour(const SampleBlock &block, ColorTriple *out) {
  return sample_block_average(block, kSampleBlockCentre, kSampleBlockCentre,
                              g_eyedropper.sample_size, out);
}

// The pick of an area: the cells around the release from the block the
// tick holds when it was read around this very point, else from one more
// read of a block there (the tick's block is not needed again: the run is
// ending). Cells off every monitor or unreadable are left out; when none is
// left nothing is taken.
static bool pick_area(SamplingRun *run, POINT at, const FrozenPicture *from_picture) {
  const bool held = run->cells.tick != 0 &&
                    run->cells.origin.x == static_cast<long long>(at.x) - kSampleBlockCentre &&
                    run->cells.origin.y == static_cast<long long>(at.y) - kSampleBlockCentre;
  if (!held && from_picture) {
    frozen_read_block(*from_picture, at, run->ticks, &run->cells);
  } else if (!held) {
    const DpiSwitch dpi = dpi_switch_to_physical(run->set_dpi_context);
    MonitorList monitors;
    monitor_list_read(&monitors, run->desktop_window);
    screen_block_read(run->screen, run->desktop_dc, monitors, at, run->ticks, &run->cells);
    dpi_switch_restore(dpi);
  }
  ColorTriple c;
  const bool read = block_colour(run->cells, &c);
  if (read) run->picked = c;
  write_readout(*run, run->title, sizeof run->title, read ? &c : nullptr);
  return read;
}

// What a pick came to.
enum class Pick { kTaken, kNone, kRefused };

// The pick: the pixel under the release into the picked colour and its
// readout into the title. Frozen, it is the picture's pixel; live, one
// GetPixel, except over the magnifier, whose own pixels are never taken:
// there the picture's pixel (what the screen showed before the run), or,
// without a picture, a refusal. A pixel that cannot be read (GetPixel's
// failure value: off the desktop, a secure desktop, a display the context
// does not reach; off every captured monitor) is no colour: the picked
// colour stays and the readout says so.
static Pick pick_pixel(SamplingRun *run, POINT at) {
  const FrozenPicture *from_picture = picture_at(*run, at);
  if (!from_picture && over_magnifier(*run, at)) {
    snprintf(run->title, sizeof run->title, "%s", "on the magnifier");
    return Pick::kRefused;
  }
  if (g_eyedropper.sample_size > 1)
    return pick_area(run, at, from_picture) ? Pick::kTaken : Pick::kNone;
  uint32_t rgb = 0;
  COLORREF pixel = CLR_INVALID;
  if (from_picture && frozen_pixel(*from_picture, at.x, at.y, &rgb))
    pixel = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
  else if (!from_picture)
    pixel = GetPixel(run->desktop_dc, at.x, at.y);
  if (pixel == CLR_INVALID) {
    write_readout(*run, run->title, sizeof run->title, nullptr);
    return Pick::kNone;
  }
  run->picked = colorref_split(pixel);
  write_readout(*run, run->title, sizeof run->title, &run->picked);
  return Pick::kTaken;
}

// Ends the run not accepted: the magnifier's open returns and the run's
// exit releases everything.
static void end_cancelled(SamplingRun *run) {
  run->ended = 1;
  run->accepted = 0;
  run->panel_funcs->close(run->magnifier->panel);
}

// A button's press or release at `at` (null: no point known), from the
// hook or from the picture's windows. Returns true when it was the run's:
// the hook then swallows it. The press is noted; the release after it ends
// the run (a left one with the colour under it) or, refused over the
// magnifier, beeps and lets the run go on.
static bool run_button(SamplingRun *run, UINT message, const POINT *at) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: run->pressed = 1; return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
      if (!run->pressed) return false;
      // Only a left release over a pixel that could be read takes a colour.
      const Pick pick = message == WM_LBUTTONUP && at ? pick_pixel(run, *at) : Pick::kNone;
      if (pick == Pick::kRefused) {
        run->pressed = 0;
        refusal_beep();
        panel_set_ptr(run->panel_funcs, run->magnifier->panel, PAN_TITLE, run->title);
        return true;
      }
      run->ended = 1;
      if (pick == Pick::kTaken) run->accepted = 1;
      run->panel_funcs->close(run->magnifier->panel);
      return true;
    }
    default: return false;
  }
}

LRESULT CALLBACK spoit_mouse_hook(int code, WPARAM message, LPARAM lparam) {
  const MSLLHOOKSTRUCT *event = reinterpret_cast<const MSLLHOOKSTRUCT *>(lparam);
  SamplingRun *run = g_eyedropper.run;
  SpoitPanel *spoit = run ? run->magnifier : nullptr;
  // Once the run has ended, the hook stays installed until the host's loop
  // notices the close; everything it sees meanwhile goes on down the chain
  // untouched.
  if (code != HC_ACTION || !spoit || run->ended || run->in_hook)
    return CallNextHookEx(run ? run->hook : nullptr, code, message, lparam);
  ++run->hook_events;
  // Every event carries the pointer's position in physical pixels. A move
  // only records it: the next tick reads the screen and shows the readout.
  // Input made from a pen or a finger makes the next tick freeze the run.
  if (event) {
    run->pointer = event->pt;
    run->pointer_moved = 1;
    if (made_by_pen_or_touch(event->dwExtraInfo)) run->pen_seen = 1;
  }
  // The wheel sets the sample size; the next tick shows it. The window
  // under the pointer does not scroll.
  if (message == WM_MOUSEWHEEL) {
    if (event) {
      // A step a notch (WHEEL_DELTA): fine wheels send a notch in several
      // smaller deltas.
      const int16_t delta = static_cast<int16_t>(event->mouseData >> 16);
      const int notches = wheel_notches(&run->wheel_delta, delta);
      for (int i = 0; i < (notches < 0 ? -notches : notches) % kSampleSizeCount; ++i)
        g_eyedropper.sample_size = sample_size_after_wheel(g_eyedropper.sample_size, notches);
    }
    return kSwallowEvent;
  }
  // The pick's press and release are the eyedropper's alone: a nonzero
  // result keeps them from the window under the pointer, which would
  // otherwise take the click (press a button, select in a viewport).
  if (message <= 0xFFFFFFFFu &&
      run_button(run, static_cast<UINT>(message), event ? &event->pt : nullptr))
    return kSwallowEvent;
  run->in_hook = 1;
  const LRESULT passed = CallNextHookEx(run->hook, code, message, lparam);
  run->in_hook = 0;
  return passed;
}

// Input that reached the picture's windows (the hook did not take it: it
// may have been lost), and display changes.
static void on_frozen_event(UINT message, POINT at) {
  SamplingRun *run = g_eyedropper.run;
  if (!run || !run->magnifier || run->ended) return;
  if (message == WM_DISPLAYCHANGE) {
    run->display_changed = 1;
    return;
  }
  run_button(run, message, &at);
}

// Milliseconds at least between two replacements of the hook.
constexpr DWORD kHookReplacementInterval = 1000;

// On a suspected loss the hook is replaced, never given up: the new hook
// goes in before the old comes out, so that there is no moment without
// one, and nothing is pumped between the two calls, so no event reaches
// both (the hook also passes on, unhandled, an event that reaches it
// through itself). At most one replacement a second; when the new hook
// cannot be had, the old one stays.
// `now` is the tick's time (the system's milliseconds, which wrap).
static void replace_hook(SamplingRun *run, DWORD now) {
  if (run->hook_replaced && now - run->hook_replaced_at < kHookReplacementInterval) return;
  run->hook_replaced = 1;
  run->hook_replaced_at = now;
  HHOOK fresh = SetWindowsHookExA(WH_MOUSE_LL, spoit_mouse_hook, GetModuleHandleA(nullptr), 0);
  if (!fresh) return;
  // Windows may already have let the old one go; then this only fails.
  UnhookWindowsHookEx(run->hook);
  run->hook = fresh;
}

// Ends the run with the colour under `at` when one can be read there, as a
// left release would; else ends it not accepted. Over the magnifier without
// a picture the pick is refused and the run goes on.
static void end_with_pick(SamplingRun *run, POINT at) {
  run->pressed = 1;
  run_button(run, WM_LBUTTONUP, &at);
}

// The readout of the centre cell as the title, once the pointer has moved;
// the host is called only when the text changes.
static void show_readout(SamplingRun *run) {
  ColorTriple c = {0, 0, 0};
  const bool read = block_colour(run->cells, &c);
  spoit_panel_show_area(run->magnifier, g_eyedropper.sample_size, c);
  // "Spoit" stays until the pointer moves, unless a mode is to be shown
  // (or was: a title once set is kept up to date).
  if (!run->pointer_moved && !run->frozen && !run->wants_frozen && run->title[0] == '\0') return;
  if (read) run->picked = c;
  char text[sizeof run->title];
  write_readout(*run, text, sizeof text, read ? &c : nullptr);
  if (strcmp(text, run->title) == 0) return;
  memcpy(run->title, text, sizeof text);
  panel_set_ptr(run->panel_funcs, run->magnifier->panel, PAN_TITLE, run->title);
}

// Freezes the run: every monitor captured (the magnifier's place as it was
// before the run) and shown in the run's windows, the caller's thread in
// the per-monitor-aware context. When the picture or the windows cannot be
// had the run stays live, keeps nothing of them, and says so.
static void freeze(SamplingRun *run) {
  if (run->frozen) return;
  run->wants_frozen = 1;
  MonitorList monitors;
  monitor_list_read(&monitors, run->desktop_window);
  run->capture = frozen_capture(&run->picture, run->desktop_dc, monitors);
  if (run->capture != CaptureFailure::kNone) return;
  if (run->under.dc) frozen_patch(&run->picture, run->under);
  if (!frozen_windows_show(&run->shown, &run->picture, run->desktop_dc, on_frozen_event)) {
    frozen_release(&run->picture);
    run->capture = CaptureFailure::kRefused;
    return;
  }
  run->frozen = 1;
  run->wants_frozen = 0;
}

static void go_live(SamplingRun *run) {
  frozen_windows_destroy(&run->shown);
  frozen_release(&run->picture);
  run->frozen = 0;
  run->wants_frozen = 0;
}

static bool same_monitors(const MonitorList &a, const MonitorList &b) {
  return a.count == b.count && memcmp(a.rects, b.rects, sizeof a.rects[0] * a.count) == 0;
}

// F went down since the last tick, and was not down then: a held F (and
// its repeats) switches once.
static bool freeze_key_pressed(SamplingRun *run) {
  const SHORT f = GetAsyncKeyState(kFreezeKey);
  const bool pressed = !run->f_down && (f & (kKeyDown | kKeyPressed)) != 0;
  run->f_down = (f & kKeyDown) != 0;
  return pressed;
}

// The tick's choice of mode, in the switched context. When the monitors
// changed since the picture was taken, a frozen run is to end cancelled
// (its windows would cover what is no longer there, or leave a monitor
// bare): then this returns false.
static bool tick_mode(SamplingRun *run, const MonitorList &monitors, bool f_pressed) {
  if (run->frozen && (run->display_changed || !same_monitors(monitors, run->picture.monitors)))
    return false;
  run->display_changed = 0;
  if (f_pressed) {
    if (run->frozen || run->wants_frozen)
      go_live(run);
    else
      freeze(run);
  } else if (run->pen_seen && !run->frozen && !run->wants_frozen) {
    freeze(run);
  }
  run->pen_seen = 0;
  return true;
}

// The cells around the pointer: from the picture when frozen, or live over
// the magnifier from what lay under it; else one block read of the screen. Frozen, the
// loupe shows them on the picture.
static void tick_read(SamplingRun *run, const MonitorList &monitors) {
  if (const FrozenPicture *from = picture_at(*run, run->pointer))
    frozen_read_block(*from, run->pointer, run->ticks, &run->cells);
  else
    screen_block_read(run->screen, run->desktop_dc, monitors, run->pointer, run->ticks,
                      &run->cells);
  if (!run->frozen) return;
  ColorTriple c;
  const bool read = block_colour(run->cells, &c);
  char numbers[sizeof run->title];
  magnifier_write_readout(numbers, sizeof numbers, read ? &c : nullptr, g_eyedropper.sample_size);
  frozen_windows_show_loupe(&run->shown, run->pointer, run->cells, numbers, "FROZEN");
}

void CALLBACK spoit_timer_tick(HWND, UINT, UINT_PTR, DWORD time) {
  SamplingRun *run = g_eyedropper.run;
  if (!run || !run->magnifier || run->ended) return;
  ++run->ticks;
  // The host's thread is put back in its own context before the host is
  // called: it makes its windows on this thread.
  const DpiSwitch dpi = dpi_switch_to_physical(run->set_dpi_context);
  POINT cursor = {0, 0};
  const bool cursor_read = GetCursorPos(&cursor) != 0;
  // Esc and Space end the run by their state, whatever the host does with
  // them on a panel without buttons, and so do the buttons' releases the
  // hook never saw: a run can always be ended, with or without a hook.
  const bool escape = (GetAsyncKeyState(VK_ESCAPE) & (kKeyDown | kKeyPressed)) != 0;
  const bool space = (GetAsyncKeyState(VK_SPACE) & (kKeyDown | kKeyPressed)) != 0;
  const bool f_pressed = freeze_key_pressed(run);
  const HookWatchTick watch =
      hook_watch_tick(&run->watch, run->hook_events, cursor_read ? &cursor : nullptr);
  if (watch.suspect_loss) replace_hook(run, time);
  // The pointer is where it was last seen to go: by the hook, by a nudge,
  // or by the system's pointer when that moved with no hook event (a pen,
  // another program, a hook that sees nothing); before the first, the
  // system's pointer. A failed read keeps the last centre.
  if (cursor_read && (!run->pointer_moved || watch.cursor_moved)) {
    if (watch.cursor_moved) run->pointer_moved = 1;
    run->pointer = cursor;
  }
  if (escape || (watch.released & kRightButtonBit)) {
    dpi_switch_restore(dpi);
    end_cancelled(run);
    return;
  }
  if (space || (watch.released & kLeftButtonBit)) {
    dpi_switch_restore(dpi);
    end_with_pick(run, run->pointer);
    return;
  }
  MonitorList monitors;
  monitor_list_read(&monitors, run->desktop_window);
  if (!tick_mode(run, monitors, f_pressed)) {
    dpi_switch_restore(dpi);
    end_cancelled(run);
    return;
  }
  tick_read(run, monitors);
  dpi_switch_restore(dpi);
  spoit_panel_show(run->magnifier, run->cells);
  show_readout(run);
  run->panel_funcs->draw(run->magnifier->panel, DR_REFRESH);
}

// Moves the pointer by (dx, dy) physical pixels, in the tick's
// per-monitor-aware context, and records the new place
// as the pointer's and as the one the watch on the hook last saw: the move
// is the run's own, not input the hook missed (SetCursorPos passes no
// hook). The next tick reads the block there.
static void nudge_pointer(SamplingRun *run, int dx, int dy) {
  const DpiSwitch dpi = dpi_switch_to_physical(run->set_dpi_context);
  // From the hook's last point; before the first, from the system's pointer.
  POINT from = run->pointer;
  if (!run->pointer_moved) GetCursorPos(&from);
  const POINT to = {wrap_add(from.x, dx), wrap_add(from.y, dy)};
  SetCursorPos(to.x, to.y);
  POINT now = to;
  GetCursorPos(&now);
  dpi_switch_restore(dpi);
  run->pointer = now;
  run->pointer_moved = 1;
  hook_watch_pointer_moved_by_run(&run->watch, now);
}

int spoit_key_down(LWPanelID, void *, LWDualKey key) {
  SamplingRun *run = g_eyedropper.run;
  if (!run || !run->magnifier || !run->magnifier->panel || run->ended) return 0;
  int qualifiers = panel_get_int(run->panel_funcs, run->magnifier->panel, PAN_QUALIFIERS);
  if (GetKeyState(VK_SHIFT) & 0x8000) qualifiers |= IQ_SHIFT;
  int dx = 0, dy = 0;
  if (nudge_for_key(key, qualifiers, &dx, &dy)) nudge_pointer(run, dx, dy);
  return 0;
}

// Where the magnifier opens: at (x, y) unless that would put it under the
// pointer, whose pixel it would then read; then beside the pointer, on the
// monitor the magnifier's place is on. The pointer and the monitors are
// read in the host's own context, the one its panels are placed in.
static POINT magnifier_corner(HWND desktop_window, int x, int y) {
  POINT pointer;
  if (!GetCursorPos(&pointer)) return {x, y};
  MonitorList monitors;
  monitor_list_read(&monitors, desktop_window);
  const RECT *on = nullptr;
  for (int i = 0; i < monitors.count && !on; ++i) {
    const RECT &m = monitors.rects[i];
    if (x >= m.left && x < m.right && y >= m.top && y < m.bottom) on = &m;
  }
  return magnifier_place(x, y, pointer, on);
}

// Where the magnifier will be, in physical pixels, and what the screen
// shows there before it opens: a live pick there takes that rather than
// the magnifier's own pixels, and a frozen picture is patched with it.
// The area comes in the host's coordinates.
static void read_under_magnifier(SamplingRun *run) {
  const RECT area = run->magnifier_area;
  MonitorList host, physical;
  monitor_list_read(&host, run->desktop_window);
  const DpiSwitch dpi = dpi_switch_to_physical(run->set_dpi_context);
  monitor_list_read(&physical, run->desktop_window);
  run->magnifier_known = rect_to_physical(area, host, physical, &run->magnifier_area) ? 1 : 0;
  if (run->magnifier_known) {
    MonitorList one = {};
    one.rects[0] = run->magnifier_area;
    one.count = 1;
    frozen_capture(&run->under, run->desktop_dc, one);
  }
  dpi_switch_restore(dpi);
}

// The run's start: the host's services looked up afresh, the magnifier
// made, the desktop's device context, the block and the picture taken. Returns false,
// having made nothing, when there is no lookup or a service is missing.
static bool run_start(SamplingRun *run, int x, int y) {
  GlobalFunc *lookup = g_global_lookup;
  if (!lookup) return false;
  run->panel_funcs = static_cast<LWPanelFuncs *>(lookup(LWPANELFUNCS_GLOBAL, 0));
  run->raster_funcs = static_cast<LWRasterFuncs *>(lookup(LWRASTERFUNCS_GLOBAL, 0));
  if (!run->panel_funcs || !run->raster_funcs) return false;
  // The message that started the run says whether a pen or finger did.
  run->pen_seen = made_by_pen_or_touch(static_cast<uintptr_t>(GetMessageExtraInfo())) ? 1 : 0;
  g_eyedropper.run = run;
  run->desktop_window = GetDesktopWindow();
  const POINT corner = magnifier_corner(run->desktop_window, x, y);
  run->magnifier = spoit_panel_create(run->panel_funcs, run->raster_funcs, corner.x, corner.y);
  if (run->magnifier && run->magnifier->panel)
    panel_set_ptr(run->panel_funcs, run->magnifier->panel, PAN_USERKEYS,
                  callback_ptr(spoit_key_down));
  run->desktop_dc = GetWindowDC(run->desktop_window);
  // Without its block the tick shows every cell as a failed read; the pick
  // reads its own pixel and still works.
  screen_block_create(&run->screen, run->desktop_dc);
  run->set_dpi_context = dpi_context_function();
  // Esc and Space from before the run are not the run's: their
  // went-down-since flags are read away (the watch does the same for the
  // buttons).
  GetAsyncKeyState(VK_ESCAPE);
  GetAsyncKeyState(VK_SPACE);
  run->f_down = (GetAsyncKeyState(kFreezeKey) & kKeyDown) != 0;
  hook_watch_start(&run->watch);
  // In the host's coordinates until the run's modal part reads it.
  run->magnifier_area = {wrap_add(corner.x, -kMagnifierChrome),
                         wrap_add(corner.y, -kMagnifierChrome),
                         wrap_add(corner.x, kSpoitPanelSize + kMagnifierChrome),
                         wrap_add(corner.y, kSpoitPanelSize + kMagnifierChrome)};
  // Where the pointer is as the run starts, as the tick reads it: a move
  // after that with no hook event is a move all the same.
  const DpiSwitch dpi = dpi_switch_to_physical(run->set_dpi_context);
  POINT cursor;
  if (GetCursorPos(&cursor)) hook_watch_pointer_moved_by_run(&run->watch, cursor);
  dpi_switch_restore(dpi);
  return true;
}

// The modal part: the hook and the tick installed, then the magnifier's
// blocking open, which a release in the hook or the tick closes. Without a
// magnifier panel nothing could end the run, and without the hook no click
// could: either way the run ends at once, not accepted.
static void run_modal(SamplingRun *run) {
  if (run->magnifier && run->magnifier->panel)
    run->hook = SetWindowsHookExA(WH_MOUSE_LL, spoit_mouse_hook, GetModuleHandleA(nullptr), 0);
  if (!run->hook) return;
  run->timer = SetTimer(nullptr, 0, kTickMilliseconds, spoit_timer_tick);
  // After the tick is set, so that its read costs the first tick nothing.
  read_under_magnifier(run);
  // Started by a pen or a finger: frozen before the magnifier shows.
  if (run->pen_seen) {
    const DpiSwitch dpi = dpi_switch_to_physical(run->set_dpi_context);
    freeze(run);
    dpi_switch_restore(dpi);
    run->pen_seen = 0;
  }
  run->panel_funcs->open(run->magnifier->panel, PANF_BLOCKING | PANF_NOBUTT);
}

// The one exit: the tick, the picture's windows and the hook removed, the
// block, the picture and the device context released and the magnifier
// destroyed, in that order; then no run is current.
static void run_exit(SamplingRun *run) {
  if (run->timer) KillTimer(nullptr, run->timer);
  frozen_windows_destroy(&run->shown);
  if (run->hook) UnhookWindowsHookEx(run->hook);
  run->timer = 0;
  run->hook = nullptr;
  screen_block_release(&run->screen);
  frozen_release(&run->picture);
  frozen_release(&run->under);
  ReleaseDC(run->desktop_window, run->desktop_dc);
  spoit_panel_destroy(run->magnifier);
  run->magnifier = nullptr;
  g_eyedropper.run = nullptr;
}

int eyedropper_run(int x, int y, ColorTriple *out) {
  *out = {0, 0, 0};
  if (g_eyedropper.run) return 0;
  SamplingRun run = {};
  if (!run_start(&run, x, y)) return 0;
  run_modal(&run);
  run_exit(&run);
  *out = run.picked;
  return run.accepted;
}
