// Control interface of the simulated desktop: the host (or a test) sets up
// the screen, moves the pointer, sends low-level mouse events through the
// installed hooks, advances virtual time, and reads back what the Win32
// stand-in functions were asked to do.
//
// The desktop is one process-wide instance. Like the Win32 functions it
// stands in for, it is meant to be used from a single (user-interface)
// thread; hooks, timer procedures and the overlay provider are called
// synchronously on that thread and may call back into any function here.
//
// Colours on this side are 0x00RRGGBB; only GetPixel answers in the Win32
// order 0x00BBGGRR.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "win32/win32_standin.h"

#ifdef __cplusplus
extern "C" {
#endif

#define DESKTOP_DEFAULT_WIDTH 1920
#define DESKTOP_DEFAULT_HEIGHT 1080
#define DESKTOP_MAX_SIZE 16384

// ---- Set-up ----------------------------------------------------------------

// Back to a clean desktop of width x height (1..DESKTOP_MAX_SIZE each): test
// pattern wallpaper, no overlay, pointer at the centre, time 0, no hooks, no
// timers, no device contexts, empty log, no failure injection, logging on.
// Handles and timer identifiers are numbered afresh, so logs are repeatable.
// Safe to call from inside a hook or timer procedure. Returns 0 (and changes
// nothing) for an invalid size, else 1.
int desktop_reset(int width, int height);

// Changes the primary monitor's size only (like a resolution change):
// everything else stays. The pointer is clipped onto a monitor. Returns 0 for
// an invalid size or one that the other monitors do not leave room for,
// else 1.
int desktop_set_size(int width, int height);
int desktop_width(void);
int desktop_height(void);

// ---- Monitors and DPI ----------------------------------------------------------

// A monitor: its rectangle in physical pixels and its display scale in
// percent (100 = 96 dpi, 150 = 144 dpi).
typedef struct DesktopMonitor {
  int x, y, width, height;
  int scale;
} DesktopMonitor;

#define DESKTOP_MAX_MONITORS 16
#define DESKTOP_MIN_SCALE 100
#define DESKTOP_MAX_SCALE 500

// Replaces the monitors (a reset leaves one at (0, 0) of the reset's size,
// at 100 %). The first is the primary and must be at (0, 0); each is
// 1..DESKTOP_MAX_SIZE a side with a scale of DESKTOP_MIN_SCALE..MAX_SCALE;
// none overlaps another, and their bounding box is at most DESKTOP_MAX_SIZE
// a side. The pointer is clipped onto a monitor. The screen is the union of
// the monitors: the test pattern and a wallpaper image span the bounding
// box from its top-left corner, and GetPixel reads physical pixels on any
// monitor. The plug-in's windows are sent WM_DISPLAYCHANGE. Returns 0
// (nothing changed) for an invalid list, else 1.
int desktop_set_monitors(const DesktopMonitor *monitors, int count);
int desktop_monitor_count(void);
// Copies monitor i into *out; 0 when i is out of range or out is null.
int desktop_monitor(int i, DesktopMonitor *out);
// The bounding box's top-left corner; desktop_width/height are its size.
void desktop_origin(int *x, int *y);

// The calling thread's DPI awareness, as SetThreadDpiAwarenessContext sets
// it. In an unaware or system-aware context GetCursorPos, GetWindowRect,
// GetSystemMetrics and EnumDisplayMonitors answer in logical coordinates:
// a physical coordinate on a monitor of scale S is divided by S / 100
// (unaware) or S / (the primary's scale) (system aware), rounded to the
// nearest as MulDiv does. The
// hook's points and GetPixel are physical in every context.
typedef enum DesktopDpiMode {
  DESKTOP_DPI_UNAWARE = 1,
  DESKTOP_DPI_SYSTEM_AWARE = 2,  // after a reset: what SetProcessDPIAware gives
  DESKTOP_DPI_PER_MONITOR = 3,
  DESKTOP_DPI_PER_MONITOR_V2 = 4
} DesktopDpiMode;
// Sets the thread's mode (a DesktopDpiMode; others are ignored).
void desktop_set_thread_dpi(int mode);
int desktop_thread_dpi(void);

// How far SetThreadDpiAwarenessContext is available through GetProcAddress.
typedef enum DesktopDpiSupport {
  DESKTOP_DPI_SWITCH_ALL = 0,     // Windows 10 1703 and later (after a reset)
  DESKTOP_DPI_SWITCH_NO_V2 = 1,   // Wine 8: per-monitor v2 refused (NULL)
  DESKTOP_DPI_SWITCH_MISSING = 2  // before Windows 10 1607: no such function
} DesktopDpiSupport;
void desktop_set_dpi_support(int support);

// ---- Wallpaper ---------------------------------------------------------------

// The built-in wallpaper, a function of the position and the display size:
//   y < h*2/3          eight vertical bars of equal width (bar = x*8/w):
//                      white, yellow, cyan, green, magenta, red, blue, black
//                      (channels 0 or 255);
//   h*2/3 <= y < h*5/6 a grey ramp: r = g = b = x*255/(w-1);
//   y >= h*5/6         r = x*255/(w-1), g = (y - h*5/6)*255/(h - 1 - h*5/6),
//                      b = 128.
// Integer division throughout; a divisor of 0 counts as 1.
uint32_t desktop_test_pattern(int x, int y, int width, int height);

// Shows the test pattern (the state after reset).
void desktop_use_test_pattern(void);

// Copies width x height pixels (0x00RRGGBB, rows of `stride` pixels; the top
// byte is ignored) as the wallpaper, placed at the screen's top-left corner;
// screen pixels the image does not cover are black. The image need not match
// the display size. Returns 0 (wallpaper unchanged) for a null pointer, a
// size outside 1..DESKTOP_MAX_SIZE or a stride below the width, else 1.
int desktop_set_wallpaper(const uint32_t *pixels, int width, int height, int stride);

// A wallpaper image has at most this many pixels (8192 x 8192: 256 MiB as
// the desktop keeps it), and at most DESKTOP_MAX_SIZE a side.
#define DESKTOP_MAX_WALLPAPER_PIXELS (1 << 26)

// Decodes size bytes of PNG image at data straight into the wallpaper, as
// above (an alpha channel is dropped). A larger image than the limits allow
// is refused before it is decoded. Returns 1, or 0 with the wallpaper
// unchanged and, when error is not null, the reason in error (at most
// error_size bytes with its NUL): "is not a PNG image ...", "is 16384 x
// 16384 pixels; a wallpaper may have at most ...".
int desktop_load_wallpaper_png(const void *data, size_t size, char *error, size_t error_size);

// Size of the current wallpaper image (the display size for the pattern).
void desktop_wallpaper_size(int *width, int *height);

// ---- Overlay: open panels composed over the wallpaper ------------------------

// Called for every screen pixel read. Returns nonzero when a panel covers
// (x, y) and then stores that pixel (0x00RRGGBB) in *rgb; returns 0 to let
// the wallpaper show. A null function removes the overlay.
typedef int (*DesktopOverlayFunc)(void *ctx, int x, int y, uint32_t *rgb);
void desktop_set_overlay(DesktopOverlayFunc func, void *ctx);

// The composed screen pixel (0x00RRGGBB), as GetPixel would see it but
// without logging or failure injection; 0 outside the screen.
uint32_t desktop_screen_pixel(int x, int y);

// Composes the w x h screen rectangle at (x, y) into out (rows of w pixels,
// 0x00RRGGBB, black outside the screen). Returns 0 for a null buffer or a
// size outside 1..DESKTOP_MAX_SIZE, else 1.
int desktop_read_screen(int x, int y, int w, int h, uint32_t *out);

// ---- Pointer and mouse input ---------------------------------------------------

// Moves the pointer, clipped to the screen as SetCursorPos does. No hook runs.
void desktop_set_cursor(int x, int y);
void desktop_cursor(int *x, int *y);

// Sends one low-level mouse event (message, e.g. WM_MOUSEMOVE..WM_RBUTTONUP,
// at screen position (x, y)) through the hook chain from its head with code
// HC_ACTION and an MSLLHOOKSTRUCT {pt, 0, 0, current time, 0}. As on Windows,
// the hooks see the raw position and the pointer moves there (clipped to the
// screen) once the chain has run, unless a hook swallowed a WM_MOUSEMOVE.
// Returns 1 when a hook swallowed the event (nonzero chain result), else 0.
int desktop_mouse_event(UINT message, int x, int y);

// Turns the wheel `notches` notches at the pointer (forward when positive),
// as one low-level WM_MOUSEWHEEL event through the hook chain whose
// MSLLHOOKSTRUCT carries notches x WHEEL_DELTA in the high word of its
// mouseData (held to what a 16-bit delta can say). Returns 1 when a hook
// swallowed it, else 0.
int desktop_wheel_event(int notches);
// The same for one event of `delta` (held to a 16-bit word): a fine wheel
// sends a notch as several events with smaller deltas.
int desktop_wheel_delta(int delta);

// Runs the hook chain from its head with arbitrary arguments and returns the
// chain's result; the pointer does not move. For tests of hook procedures.
LRESULT desktop_dispatch_hooks(int code, WPARAM wparam, const MSLLHOOKSTRUCT *event);

// A key of the keyboard goes down (down != 0) or up, as GetAsyncKeyState
// then reports it (VK_ESCAPE, ...). No hook runs and no window is told: a
// key that the host does not act on.
void desktop_key_event(int key, int down);

// ---- Windows, pen and touch ------------------------------------------------------

// Other programs' windows, for input to land on. They draw nothing of their
// own (the screen shows the wallpaper and the host's panels where they are)
// and are stacked in the order they were added, the last on top, all below
// the plug-in's top-most windows. Where no window is, the desktop (which
// leaves pointer input to DefWindowProc) is under the pointer.
typedef enum DesktopWindowKind {
  DESKTOP_WINDOW_POINTER = 1,  // handles WM_POINTER* itself: browsers, WinUI, Office
  DESKTOP_WINDOW_DEFAULT = 2   // leaves pointer messages to DefWindowProc
} DesktopWindowKind;
#define DESKTOP_MAX_WINDOWS 64

// Adds a window of kind at (x, y), width x height physical pixels, on top of
// the other programs' windows. Returns its number (1, 2, ...), or 0 for an
// unknown kind, a size outside 1..DESKTOP_MAX_SIZE or too many windows.
int desktop_add_window(int x, int y, int width, int height, int kind);

// What reached one of those windows: pointer messages it received, button
// presses (from the mouse, or made from pen and touch) that got to it, and
// how often it was activated by one of them.
typedef struct DesktopWindowInput {
  int pointer_messages;
  int button_presses;
  int activations;
} DesktopWindowInput;
// Copies window n's counts into *out; 0 for an unknown n or a null out.
int desktop_window_input(int n, DesktopWindowInput *out);

// The windows the plug-in made with CreateWindowExA and has not destroyed,
// and the classes it registered and has not unregistered: leaks when a run
// is over.
int desktop_own_windows(void);
int desktop_own_classes(void);
// Activations of the plug-in's own windows (a press on a window without
// WS_EX_NOACTIVATE whose procedure lets it activate).
int desktop_own_activations(void);

// A pen and a finger. The pen hovers (a move out of contact) and moves in
// contact; a finger moves only in contact. Each goes as WM_POINTER*
// messages to the window under it, and once in contact to the window where
// contact began. A window that passes them to DefWindowProc (the desktop,
// DESKTOP_WINDOW_DEFAULT, or a window of the plug-in's own that does) gets
// mouse input made from them: through the hooks with LLMHF_INJECTED and a
// dwExtraInfo of 0xFF515700 (| 0x80 for touch), moving the cursor. A window
// that handles them itself gets no mouse input: no hook sees anything and
// GetCursorPos stays where it was. A finger's mouse input waits for the
// lift (press-and-hold) unless the window under it answers
// WM_TABLET_QUERYSYSTEMGESTURESTATUS with TABLET_DISABLE_PRESSANDHOLD; the
// lift then makes the move, the press and the release at once.
typedef enum DesktopPointerKind { DESKTOP_PEN = 1, DESKTOP_TOUCH = 2 } DesktopPointerKind;
typedef enum DesktopPointerAction {
  DESKTOP_POINTER_MOVE = 1,  // hover, or move in contact
  DESKTOP_POINTER_DOWN = 2,  // touch (moves there first)
  DESKTOP_POINTER_UP = 3     // lift (moves there first)
} DesktopPointerAction;
#define DESKTOP_PEN_EXTRA_INFO 0xFF515700u
#define DESKTOP_TOUCH_EXTRA_INFO 0xFF515780u
// Returns how many mouse events were made from it (0 when none was).
int desktop_pointer_event(int kind, int action, int x, int y);

// Another program moves the pointer with SetCursorPos: the cursor moves
// (clipped to the screen) and no hook sees anything. Logged as
// "desktop:cursor_moved_by_another_program".
void desktop_warp_pointer(int x, int y);

// What the system offers for keeping a window out of screen captures.
typedef enum DesktopAffinitySupport {
  DESKTOP_AFFINITY_EXCLUDE = 0,       // Windows 10 2004 and later (after a reset)
  DESKTOP_AFFINITY_MONITOR_ONLY = 1,  // Windows 7 to 10 1909: WDA_EXCLUDEFROMCAPTURE acts
                                      // as WDA_MONITOR and reads back as it
  DESKTOP_AFFINITY_STUB = 2,          // Wine 8: SetWindowDisplayAffinity fails
  DESKTOP_AFFINITY_MISSING = 3,       // before Windows 7: no such functions
  DESKTOP_AFFINITY_NOT_IN_GDI = 4     // the exclusion holds and reads back, but GDI's
                                      // screen reads still show the window (that they
                                      // honour it is not documented)
} DesktopAffinitySupport;
void desktop_set_affinity_support(int support);
// The compositor (DWM) runs (after a reset) or not (Windows 7 with it
// turned off): without it SetWindowDisplayAffinity fails.
void desktop_set_compositor(int on);

// In screen reads (GetPixel, BitBlt) a window of the plug-in's own shows
// over what lies under it: not at all when WDA_EXCLUDEFROMCAPTURE holds,
// black with WDA_MONITOR, and otherwise as its content (black; it paints
// nothing) blended at its layered alpha: at alpha 1 every channel c reads
// c * 254 / 255. A layered window is neither shown nor hit-tested until
// SetLayeredWindowAttributes has run, nor at alpha 0, nor with
// WS_EX_TRANSPARENT (hit-testing only).

// The plug-in's own windows show what their WM_PAINT drew with BeginPaint's
// DC (a BitBlt into it), black until then. WM_PAINT reaches a shown window
// with something to paint (shown, or InvalidateRect) when the thread's loop
// is free: after each input, each timer procedure, and at the start of
// desktop_advance_time; desktop_pump_messages runs it at once.
void desktop_pump_messages(void);
// The thread handles no messages (stalled != 0): no paints, and no timers
// fire, until it is let go again. A reset lets it go.
void desktop_set_thread_stalled(int stalled);
// What GetMessageExtraInfo answers: the extra information of the last input
// message (a mouse event's dwExtraInfo, 0 after a reset). Tests set it for
// a message the host handled, such as a pen's tap on a panel's button.
void desktop_set_message_extra_info(uintptr_t extra);
// Own windows that hold the property `name` (SetPropA, not yet removed).
int desktop_own_windows_with_prop(const char *name);

// ---- Virtual time --------------------------------------------------------------

// Two clocks, both in milliseconds since the last reset:
//  - the thread's (desktop_time_ms): where the host's thread has got to.
//    Timer procedures and hook events see its low 32 bits as their time.
//    Screen reads (desktop_set_screen_read_ms) move it on: the thread is
//    busy for that long.
//  - the user's (desktop_input_time_ms): when the user makes the next
//    input; only desktop_advance_time moves it. Input the user makes while
//    the thread is still busy waits for it (see the hook timeout).
// Without screen-read costs the two are the same.
uint64_t desktop_time_ms(void);
uint64_t desktop_input_time_ms(void);

// The user waits ms: the user's clock moves on by ms and each timer due by
// then fires, in due order (equal due times in the order the timers were
// set), when the thread is free: at its due time, or when the thread's work
// ends if that is later. As WM_TIMER does, a timer that fell due more than
// once while the thread was busy fires once, and next at the first due
// time after that. A timer killed while time advances (by a hook or timer
// procedure, or from another timer's procedure) is not called again.
// Returns how many times timers fired (a timer without a procedure fires
// too, into the log only). The thread's clock is then at least the user's.
int desktop_advance_time(uint32_t ms);

// The thread works ms on something of its own (the host's work, say): its
// clock moves on, the user's does not.
void desktop_thread_busy(uint32_t ms);

// ---- What the composited desktop costs ---------------------------------------

// Each screen read costs ms of the thread's time (default 0): a GetPixel on
// a window DC, and a BitBlt from one. Reads from a memory DC cost nothing.
// Public measurements on composited Windows (DWM, every Windows since 8)
// put a screen GetPixel near 20 ms, and a BitBlt of a small area near the
// same: both wait for the compositor's copy of the screen.
void desktop_set_screen_read_ms(uint32_t ms);
uint32_t desktop_screen_read_ms(void);

// LowLevelHooksTimeout (default 1000 ms, the most Windows 10 1709 and later
// allow). A hook is called when the thread is free; if an input event has
// waited longer than this for a hook, or the hook's call ends later than
// this after the event arrived, Windows 7 and later remove the hook without
// telling its thread and pass the event on to the rest of the chain (and
// the windows beneath). The removal shows in the log as "desktop:hook_timed_out"
// (args: the hook, the milliseconds the event waited) and reaches the
// listener.
void desktop_set_hook_timeout_ms(uint32_t ms);
uint32_t desktop_hook_timeout_ms(void);
typedef void (*DesktopHookRemovedFunc)(void *ctx, HHOOK hook, uint32_t waited_ms);
// A null function removes the listener; a reset keeps it.
void desktop_set_hook_removed_listener(DesktopHookRemovedFunc func, void *ctx);

// ---- Queries -------------------------------------------------------------------

int desktop_hook_count(void);       // installed hooks
int desktop_timer_count(void);      // live timers
int desktop_outstanding_dcs(void);  // device contexts acquired and not released
int desktop_gdi_objects(void);      // memory DCs and bitmaps made and not deleted
HWND desktop_window(void);          // what GetDesktopWindow returns
HMODULE desktop_module(void);       // what GetModuleHandleA(NULL) returns

// ---- Clipboard and keys ----------------------------------------------------------

// The clipboard holds at most one format, text (CF_TEXT), in global memory
// (GlobalAlloc and the rest), and follows the Win32 rules a program meets:
// OpenClipboard fails while it is open; EmptyClipboard, SetClipboardData,
// GetClipboardData and CloseClipboard fail unless it is; SetClipboardData
// fails, as documented, when EmptyClipboard ran while it was opened without
// an owner window, and takes the memory over when it succeeds; memory the
// clipboard owns must not be freed (that is counted as misuse).
// GetActiveWindow answers DESKTOP_ACTIVE_WINDOW, the host's panel, unless
// no window of the process is active. OpenClipboard takes a null owner,
// that panel, or a live message-only window (CreateWindowExA with parent
// HWND_MESSAGE and the system class "STATIC", the one kind of window made
// here); text set stays when its owner window is destroyed.
#define DESKTOP_ACTIVE_WINDOW ((HWND)(uintptr_t)0x10020)
void desktop_set_no_active_window(int none);
// Message-only windows made and not destroyed: a leak after a copy.
int desktop_message_windows(void);

// Puts size bytes as the clipboard's text, exactly as given (a NUL is not
// added: add it to the bytes when wanted); null empties the clipboard, so
// that it holds no text at all. Returns 0 when size is over 1 MiB, else 1.
int desktop_set_clipboard(const void *bytes, size_t size);
// The clipboard's text memory: 1 with *bytes and *size set, or 0 when it
// holds no text.
int desktop_clipboard(const char **bytes, size_t *size);
// The clipboard is open now.
int desktop_clipboard_open(void);
// Global memory blocks alive and not the clipboard's: a leak when a run is
// over.
int desktop_outstanding_globals(void);
// Frees of memory the clipboard owns, or of no memory at all.
int desktop_global_misuse(void);
// GetKeyState reads the keys desktop_key_event holds down (its high bit).

// ---- Call log --------------------------------------------------------------------

// Every call of the Win32 functions is logged in order, and so is each
// event the desktop itself delivers, named "desktop:...": for example
// "desktop:mouse_to_hooks" (a mouse event sent through the hook chain) and
// "desktop:timer_proc_call" (a timer procedure call).
typedef struct DesktopCall {
  const char *function;  // e.g. "GetPixel", "desktop:timer_proc_call"; a static string
  intptr_t args[4];      // the arguments as integers, handles as their values;
                         // GetCursorPos and GetWindowRect: the point or
                         // rectangle written; "desktop:mouse_to_hooks":
                         // message, x, y; "desktop:timer_proc_call": id,
                         // time; "desktop:hook_timed_out": hook, waited ms
  intptr_t result;       // the value returned (handles as their values)
  char text[112];        // readable form, e.g. "GetPixel(dc1, 10, 20) = 0x0000ff"
} DesktopCall;

size_t desktop_log_size(void);
// Copies entry i into *out. Returns 0 when i is out of range or out is null.
int desktop_log_entry(size_t i, DesktopCall *out);
// Empties the log and zeroes the per-function call counts.
void desktop_log_clear(void);
// Calls of `function` (a Win32 name or a "desktop:..." event) since the
// last clear. Counted even when logging is off or the log is full.
int desktop_call_count(const char *function);
// Turns the entry log off (0) or on; counting goes on regardless.
void desktop_set_logging(int on);
// The log keeps at most this many entries; later entries are dropped.
#define DESKTOP_LOG_CAPACITY 1000000

// ---- Failure injection -----------------------------------------------------------

typedef enum DesktopFailPoint {
  DESKTOP_FAIL_SET_HOOK = 1,         // SetWindowsHookExA returns NULL
  DESKTOP_FAIL_SET_TIMER = 2,        // SetTimer returns 0
  DESKTOP_FAIL_WINDOW_DC = 3,        // GetWindowDC returns NULL
  DESKTOP_FAIL_MONITORS = 4,         // EnumDisplayMonitors returns FALSE, lists none
  DESKTOP_FAIL_MEMORY_DC = 5,        // CreateCompatibleDC returns NULL
  DESKTOP_FAIL_DIB = 6,              // CreateDIBSection returns NULL
  DESKTOP_FAIL_SELECT = 7,           // SelectObject returns NULL, selects nothing
  DESKTOP_FAIL_BITBLT = 8,           // BitBlt returns FALSE, copies nothing
  DESKTOP_FAIL_OPEN_CLIPBOARD = 9,   // OpenClipboard returns FALSE
  DESKTOP_FAIL_GLOBAL_ALLOC = 10,    // GlobalAlloc returns NULL
  DESKTOP_FAIL_SET_CLIPBOARD = 11,   // SetClipboardData returns NULL, keeps nothing
  DESKTOP_FAIL_REGISTER_CLASS = 12,  // RegisterClassA returns 0
  DESKTOP_FAIL_CREATE_WINDOW = 13,   // CreateWindowExA returns NULL
  DESKTOP_FAIL_SET_PROP = 14,        // SetPropA returns FALSE, sets nothing
  DESKTOP_FAIL_BEGIN_PAINT = 15      // BeginPaint returns NULL, paints nothing
} DesktopFailPoint;

// nth > 0: the nth call from now fails, once; nth < 0: every call fails;
// nth == 0: no failure. Unknown points are ignored. `point` is a
// DesktopFailPoint.
void desktop_fail_call(int point, int nth);
// 1 while the armed nth call of `point` has not come yet, else 0: a failure
// sweep arms call n and, finding it still pending after a run, knows no
// failure fired.
int desktop_fail_pending(int point);

// GetPixel returns CLR_INVALID at (x, y) / everywhere (on != 0), and a
// BitBlt from the screen whose source holds such a pixel fails (FALSE) and
// copies nothing, as a transfer from a desktop the thread cannot read does.
void desktop_fail_pixel(int x, int y);
void desktop_fail_all_pixels(int on);
void desktop_clear_pixel_failures(void);

#ifdef __cplusplus
}
#endif
