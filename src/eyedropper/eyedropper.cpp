#include "eyedropper/eyedropper.h"

#include <stdio.h>
#include <string.h>

#include "binding/services.h"
#include "eyedropper/averaging.h"
#include "eyedropper/keys.h"

constexpr UINT kTickMilliseconds = 100;
constexpr LRESULT kSwallowEvent = 1;
// GetAsyncKeyState: down now, went down since the last call.
constexpr SHORT kKeyDown = static_cast<SHORT>(0x8000);
constexpr SHORT kKeyPressed = 1;

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

static void write_readout(char *title, size_t size, const ColorTriple *c) {
  magnifier_write_readout(title, size, c, g_eyedropper.sample_size);
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
static bool pick_area(SamplingRun *run, POINT at) {
  const bool held = run->cells.tick != 0 &&
                    run->cells.origin.x == static_cast<long long>(at.x) - kSampleBlockCentre &&
                    run->cells.origin.y == static_cast<long long>(at.y) - kSampleBlockCentre;
  if (!held) {
    const DpiSwitch dpi = dpi_switch_to_physical(run->set_dpi_context);
    MonitorList monitors;
    monitor_list_read(&monitors, run->desktop_window);
    screen_block_read(run->screen, run->desktop_dc, monitors, at, run->ticks, &run->cells);
    dpi_switch_restore(dpi);
  }
  ColorTriple c;
  const bool read = block_colour(run->cells, &c);
  if (read) run->picked = c;
  write_readout(run->title, sizeof run->title, read ? &c : nullptr);
  return read;
}

// The pick: the pixel under the release into the picked colour
// and its readout into the title. A pixel that cannot be read (GetPixel's
// failure value: off the desktop, a secure desktop, a display the context
// does not reach) is no colour: the picked colour stays and the readout
// says so.
static bool pick_pixel(SamplingRun *run, const MSLLHOOKSTRUCT *event) {
  if (g_eyedropper.sample_size > 1) return pick_area(run, event->pt);
  const COLORREF pixel = GetPixel(run->desktop_dc, event->pt.x, event->pt.y);
  if (pixel == CLR_INVALID) {
    write_readout(run->title, sizeof run->title, nullptr);
    return false;
  }
  run->picked = colorref_split(pixel);
  write_readout(run->title, sizeof run->title, &run->picked);
  return true;
}

// Ends the run not accepted: the magnifier's open returns and the run's
// exit releases everything.
static void end_cancelled(SamplingRun *run) {
  run->ended = 1;
  run->accepted = 0;
  run->panel_funcs->close(run->magnifier->panel);
}

LRESULT CALLBACK spoit_mouse_hook(int code, WPARAM message, LPARAM lparam) {
  const MSLLHOOKSTRUCT *event = reinterpret_cast<const MSLLHOOKSTRUCT *>(lparam);
  SamplingRun *run = g_eyedropper.run;
  SpoitPanel *spoit = run ? run->magnifier : nullptr;
  // Once the run has ended, the hook stays installed until the host's loop
  // notices the close; everything it sees meanwhile goes on down the chain
  // untouched.
  if (code != HC_ACTION || !spoit || run->ended)
    return CallNextHookEx(run ? run->hook : nullptr, code, message, lparam);
  ++run->hook_events;
  // Every event carries the pointer's position in physical pixels. A move
  // only records it: the next tick reads the screen and shows the readout.
  if (event) {
    run->pointer = event->pt;
    run->pointer_moved = 1;
  }
  switch (message) {
    // The pick's press and release are the eyedropper's alone: a nonzero
    // result keeps them from the window under the pointer, which would
    // otherwise take the click (press a button, select in a viewport).
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: run->pressed = 1; return kSwallowEvent;
    // The wheel sets the sample size; the next tick shows it. The window
    // under the pointer does not scroll.
    case WM_MOUSEWHEEL:
      if (event) {
        const int16_t delta = static_cast<int16_t>(event->mouseData >> 16);
        g_eyedropper.sample_size = sample_size_after_wheel(g_eyedropper.sample_size, delta);
      }
      return kSwallowEvent;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
      if (!run->pressed) break;
      run->ended = 1;
      // Only a left release over a pixel that could be read takes a colour:
      // one screen read, of the pixel under the release as it is now.
      const bool read = message == WM_LBUTTONUP && event && pick_pixel(run, event);
      if (read) run->accepted = 1;
      run->panel_funcs->close(spoit->panel);
      return kSwallowEvent;
    }
    default: break;
  }
  return CallNextHookEx(run->hook, code, message, lparam);
}

// The watch on the hook, once a tick. When it suspects the hook was
// dropped, the hook is installed afresh, once; a second loss ends the run.
// `cursor` is the pointer as this tick read it (null when it could not).
// Returns false when the run must end.
static bool watch_hook(SamplingRun *run, const POINT *cursor) {
  if (!hook_watch_suspects_loss(&run->watch, run->hook_events, cursor)) return true;
  if (run->hook_reinstalled) return false;
  // Dropped: the old handle is given back first (Windows has already let
  // it go; the call only fails), then the hook goes in again.
  UnhookWindowsHookEx(run->hook);
  run->hook = SetWindowsHookExA(WH_MOUSE_LL, spoit_mouse_hook, GetModuleHandleA(nullptr), 0);
  run->hook_reinstalled = 1;
  return run->hook != nullptr;
}

// The readout of the centre cell as the title, once the pointer has moved;
// the host is called only when the text changes.
static void show_readout(SamplingRun *run) {
  ColorTriple c = {0, 0, 0};
  const bool read = block_colour(run->cells, &c);
  spoit_panel_show_area(run->magnifier, g_eyedropper.sample_size, c);
  if (!run->pointer_moved) return;
  if (read) run->picked = c;
  char text[sizeof run->title];
  write_readout(text, sizeof text, read ? &c : nullptr);
  if (strcmp(text, run->title) == 0) return;
  memcpy(run->title, text, sizeof text);
  panel_set_ptr(run->panel_funcs, run->magnifier->panel, PAN_TITLE, run->title);
}

void CALLBACK spoit_timer_tick(HWND, UINT, UINT_PTR, DWORD) {
  SamplingRun *run = g_eyedropper.run;
  if (!run || !run->magnifier || run->ended) return;
  ++run->ticks;
  // The host's thread is put back in its own context before the host is
  // called: it makes its windows on this thread.
  const DpiSwitch dpi = dpi_switch_to_physical(run->set_dpi_context);
  POINT cursor = {0, 0};
  const bool cursor_read = GetCursorPos(&cursor) != 0;
  // Esc ends the run whatever the host does with the key on a panel
  // without buttons.
  const bool escape = (GetAsyncKeyState(VK_ESCAPE) & (kKeyDown | kKeyPressed)) != 0;
  if (escape || !watch_hook(run, cursor_read ? &cursor : nullptr)) {
    dpi_switch_restore(dpi);
    end_cancelled(run);
    return;
  }
  // Before the first hook event the system's pointer; a failed read keeps
  // the last centre (the origin at first).
  if (!run->pointer_moved && cursor_read) run->pointer = cursor;
  MonitorList monitors;
  monitor_list_read(&monitors, run->desktop_window);
  screen_block_read(run->screen, run->desktop_dc, monitors, run->pointer, run->ticks, &run->cells);
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

// The run's start: the host's services looked up afresh, the magnifier
// made, the desktop's device context and the block taken. Returns false,
// having made nothing, when there is no lookup or a service is missing.
static bool run_start(SamplingRun *run, int x, int y) {
  GlobalFunc *lookup = g_global_lookup;
  if (!lookup) return false;
  run->panel_funcs = static_cast<LWPanelFuncs *>(lookup(LWPANELFUNCS_GLOBAL, 0));
  run->raster_funcs = static_cast<LWRasterFuncs *>(lookup(LWRASTERFUNCS_GLOBAL, 0));
  if (!run->panel_funcs || !run->raster_funcs) return false;
  g_eyedropper.run = run;
  run->magnifier = spoit_panel_create(run->panel_funcs, run->raster_funcs, x, y);
  if (run->magnifier && run->magnifier->panel)
    panel_set_ptr(run->panel_funcs, run->magnifier->panel, PAN_USERKEYS,
                  callback_ptr(spoit_key_down));
  run->desktop_window = GetDesktopWindow();
  run->desktop_dc = GetWindowDC(run->desktop_window);
  // Without its block the tick shows every cell as a failed read; the pick
  // reads its own pixel and still works.
  screen_block_create(&run->screen, run->desktop_dc);
  run->set_dpi_context = dpi_context_function();
  // Esc from before the run is not the run's: its went-down-since flag is
  // read away (the watch does the same for the buttons).
  GetAsyncKeyState(VK_ESCAPE);
  hook_watch_start(&run->watch);
  return true;
}

// The pointer catcher over every monitor, checked around the pointer, in
// physical pixels; the run goes on without it where it cannot be kept.
static void make_catcher(SamplingRun *run) {
  const DpiSwitch dpi = dpi_switch_to_physical(run->set_dpi_context);
  MonitorList monitors;
  monitor_list_read(&monitors, run->desktop_window);
  POINT at = {0, 0};
  GetCursorPos(&at);
  catcher_create(&run->catcher, run->screen, run->desktop_dc, monitors, at);
  dpi_switch_restore(dpi);
}

// The modal part: the hook and the tick installed, then the magnifier's
// blocking open, which a release in the hook or the tick closes. Without a
// magnifier panel nothing could end the run, and without the hook no click
// could: either way the run ends at once, not accepted.
static void run_modal(SamplingRun *run) {
  if (run->magnifier && run->magnifier->panel)
    run->hook = SetWindowsHookExA(WH_MOUSE_LL, spoit_mouse_hook, GetModuleHandleA(nullptr), 0);
  if (!run->hook) return;
  // The tick is set first, so that the catcher's check costs the first
  // tick nothing of its time.
  run->timer = SetTimer(nullptr, 0, kTickMilliseconds, spoit_timer_tick);
  make_catcher(run);
  run->panel_funcs->open(run->magnifier->panel, PANF_BLOCKING | PANF_NOBUTT);
}

// The one exit: the tick, the catcher and the hook removed, the block and the device
// context released and the magnifier destroyed, in that order; then no run
// is current.
static void run_exit(SamplingRun *run) {
  if (run->timer) KillTimer(nullptr, run->timer);
  catcher_destroy(&run->catcher);
  if (run->hook) UnhookWindowsHookEx(run->hook);
  run->timer = 0;
  run->hook = nullptr;
  screen_block_release(&run->screen);
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
