// What huevane-check measured on one Windows machine, as a record: the
// text report it prints and saves (huevane-check.txt), the same as JSON, and
// either read back, so that the simulated desktop can be set up as that
// machine (--desktop-from). The text opens with a few plain lines for the
// artist (what matters to them), then a line per measurement: what was
// measured, the figures with their units, and after " -- " whether the
// eyedropper's design holds there; the reader takes the figures and skips
// the plain lines and the verdicts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hvhost {

// An answer a machine gives or does not.
enum class Answer { Unknown, Yes, No };

// A screen read's cost: the median and 95th percentile over `count` reads.
struct ReadCost {
  double median_ms = 0;
  double p95_ms = 0;
  int count = 0;  // 0: not measured
};

struct ReportMonitor {
  int x = 0, y = 0, width = 0, height = 0;  // physical pixels
  int scale = 100;                          // percent
  ReadCost getpixel;                        // one GetPixel on the screen's DC
  ReadCost block;                           // one 15 x 15 BitBlt into a DIB section
  // Over a window of known colours: cells checked, cells where the block
  // equals GetPixel, cells where both equal the colour drawn (-1: not
  // checked, the window could not be shown there).
  int cells = -1, block_equal = 0, drawn_equal = 0;
  ReadCost capture;  // one BitBlt of the whole monitor into a 32-bit DIB section
  // The capture shown 1:1 in a top-most window of its own over the monitor
  // and captured again: pixels compared, and equal (-1: not checked).
  int picture_pixels = -1, picture_equal = 0;
};

// Whether --pen asked the user, and how it ended.
enum class PenTest {
  NotRun,    // no --pen
  NoDevice,  // --pen, but no pen or touch device: it ended at once
  Ran,       // the windows were shown for the time asked, or until closed
};

// What one of --pen's windows received while the user hovered and tapped.
struct PenWindowCounts {
  int pointer = 0;  // WM_POINTER* messages
  int mouse = 0;    // mouse moves, presses and releases
  int hook = 0;     // low-level hook events at the pointer's place
  int cursor = 0;   // pointer messages where GetCursorPos was at the pointer
};

// What a screen read returns under a window kept out of captures.
enum class UnderExcluded {
  Unknown,  // not measured
  Beneath,  // the colours of the window beneath: the window is left out
  Black,    // black where the window is
  Window,   // the excluded window itself: nothing is kept out
  Other,    // anything else (a tint)
};

struct MachineReport {
  std::string check_version;  // huevane-check's version
  int windows_major = 0, windows_minor = 0, windows_build = 0;
  Answer compositor = Answer::Unknown;
  std::vector<ReportMonitor> monitors;  // the primary first
  // The DPI awareness of a process started without a manifest, and whether
  // the tick's switches of its thread are accepted.
  std::string process_dpi = "unknown";  // unaware, system, per-monitor, per-monitor-v2
  Answer dpi_v2 = Answer::Unknown, dpi_v1 = Answer::Unknown;
  // LowLevelHooksTimeout as set (-1: not set), and the timeout in force.
  int64_t hook_timeout_set_ms = -1;
  int hook_timeout_ms = 0;
  // A hook that records the point and returns, as the plug-in's does: its
  // time per event, in microseconds.
  ReadCost hook_cost_us;
  // Capture exclusion: whether SetWindowDisplayAffinity was accepted, what
  // GetWindowDisplayAffinity reads back, and what GetPixel and a block read
  // under the window.
  Answer exclusion_set = Answer::Unknown;
  uint32_t exclusion_readback = 0;
  UnderExcluded exclusion_getpixel = UnderExcluded::Unknown;
  UnderExcluded exclusion_block = UnderExcluded::Unknown;
  // The hook probe: zero-distance moves injected with a private tag, how
  // many the hook saw, and the time from SendInput to the hook.
  int probes = 0, probes_seen = 0;
  ReadCost probe_latency;
  // The clipboard's owner rule: data set after emptying a clipboard opened
  // for a window is taken; after emptying one opened without an owner it is
  // refused. Unknown when not measured (the user's clipboard held data that
  // could not be put back).
  Answer clipboard_own_window = Answer::Unknown;
  Answer clipboard_no_owner_refused = Answer::Unknown;
  // Pointer devices.
  int pens = 0, touches = 0;
  Answer mouse_in_pointer = Answer::Unknown;
  // Asked with --pen: over a window that handles pointer input itself,
  // whether a low-level hook saw the pen and whether GetCursorPos followed
  // it; over one that leaves it to DefWindowProc, the same.
  Answer pen_hook_over_pointer_window = Answer::Unknown;
  Answer pen_cursor_over_pointer_window = Answer::Unknown;
  Answer pen_hook_over_default_window = Answer::Unknown;
  Answer pen_cursor_over_default_window = Answer::Unknown;
  PenTest pen_test = PenTest::NotRun;
  int pen_seconds = 0;  // how long it asked
  PenWindowCounts pen_pointer_window, pen_default_window;
  // A window as the frozen run shows its picture (top-most, never
  // activated), tapped by the user: pen and finger contacts it got as
  // pointer messages, mouse presses, the presses that carried the pen or
  // touch signature, and whether it became the foreground window.
  int picture_pen_taps = 0, picture_touch_taps = 0;
  int picture_mouse_presses = 0, picture_signed_presses = 0;
  Answer picture_activated = Answer::Unknown;
  // Every event a low-level mouse hook saw during --pen, by the signature
  // in dwExtraInfo (0xFF5157xx; bit 0x80: touch), and of the signed ones
  // how many carried LLMHF_INJECTED.
  int hook_pen_events = 0, hook_touch_events = 0, hook_mouse_events = 0;
  int hook_signed_injected = 0;
};

// The report as text, a line each, "\n" ending every line: the header,
// the plain lines for the artist, a blank line, the measurements.
std::string format_machine_report(const MachineReport &report);
// The same as one JSON object.
std::string format_machine_report_json(const MachineReport &report);

// Reads a report back, text or JSON (text that starts with '{'). Returns an
// empty string and fills *out, or says what is wrong ("line 4: monitor 1
// needs WxH+X+Y at N %", "no 'hook timeout' line", "JSON: monitors[0].width
// is 1..16384") and leaves *out as it was. Text lines it does not know are
// skipped, as are the verdicts after " -- "; so are JSON members.
std::string parse_machine_report(const std::string &text, MachineReport *out);
std::string parse_machine_report_json(const std::string &text, MachineReport *out);

// The plain lines for the artist that open the text report ("screen reads:
// fast (0.05 ms each)"), each ending in "\n".
std::string artist_summary(const MachineReport &report);

// Whether huevane-check ends with a message box rather than only its
// console output: when it is alone on its console (`console_processes` as
// GetConsoleProcessList counts them: 1, or 0 with none), which is a console
// Windows made for it and closes with it, as on a double-click; never when
// its output goes to a file or a pipe.
bool check_ends_with_message_box(unsigned long console_processes, bool output_redirected);

// The message box's text: where the report was written (or that it could
// not be, with the system's error number) and what to do with it.
std::string check_finish_note(const std::string &path, bool written, unsigned long error);

// What a replay of the machine charges a screen read, in whole
// milliseconds: the dearest median of any read on any monitor, rounded.
uint32_t report_screen_read_ms(const MachineReport &report);

}  // namespace hvhost
