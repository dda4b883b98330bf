// What huevane-check measured on one Windows machine, as a record: the
// text report it prints and saves (huevane-check.txt), the same as JSON, and
// the text read back, so that the simulated desktop can be set up as that
// machine (--desktop-from). Each text line names what was measured, the
// figures with their units, and after " -- " whether the eyedropper's design
// holds there; the reader takes the figures and skips the verdicts.
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
};

// The report as text, a line each, "\n" ending every line.
std::string format_machine_report(const MachineReport &report);
// The same as one JSON object.
std::string format_machine_report_json(const MachineReport &report);

// Reads a text report back. Returns an empty string and fills *out, or
// says what is wrong ("line 4: monitor 1 needs WxH+X+Y at N %", "no
// 'hook timeout' line") and leaves *out as it was. Lines it does not know
// are skipped, as are the verdicts after " -- ".
std::string parse_machine_report(const std::string &text, MachineReport *out);

// What a replay of the machine charges a screen read, in whole
// milliseconds: the dearest median of any read on any monitor, rounded.
uint32_t report_screen_read_ms(const MachineReport &report);

}  // namespace hvhost
