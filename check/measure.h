// The measurements huevane-check makes, each filling its part of the
// report. They run in the thread's per-monitor-aware context (physical
// pixels), change no setting, and show windows of their own only while they
// read them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "common/machine_report.h"
#include "eyedropper/memory_image.h"

namespace hvcheck {

// Seconds since an arbitrary start, from the performance counter.
double now_s();
// Handles the thread's waiting messages.
void pump();
// Waits until what was drawn has reached the screen: the compositor's next
// frame where there is one, and a little time in any case.
void settle();
// Median and 95th percentile of samples in milliseconds (count: how many).
hvhost::ReadCost summarize_ms(std::vector<double> samples_ms);

// Windows version (RtlGetVersion), the compositor, the process's DPI
// awareness and whether the thread's switches are accepted.
void measure_system(hvhost::MachineReport *report);
// Every monitor in physical pixels, the primary first, with its scale.
void measure_monitors(hvhost::MachineReport *report);
// LowLevelHooksTimeout and the timeout in force.
void measure_hook_timeout(hvhost::MachineReport *report);
// Per monitor: GetPixel's and a 15 x 15 block's cost, and over a window of
// known colours whether the block equals GetPixel and both the colours drawn.
void measure_reads(hvhost::MachineReport *report);
// A window kept out of captures over a window of known colours.
void measure_capture_exclusion(hvhost::MachineReport *report);
// A low-level mouse hook that sees zero-distance moves injected with a tag.
void measure_hook_probe(hvhost::MachineReport *report);
// The clipboard's owner rule with a private format; the user's clipboard
// is put back as it was, or left alone when it holds more than text.
void measure_clipboard(hvhost::MachineReport *report, HWND owner);
// Pen and touch devices, and whether mouse-in-pointer is on.
void measure_pointer_devices(hvhost::MachineReport *report);

// What the frozen run relies on, per monitor: the cost of capturing the
// whole monitor, and the capture shown 1:1 in a top-most, non-activating
// window of its own there, captured again and compared pixel for pixel.
void measure_frozen_picture(hvhost::MachineReport *report);

// A 32-bit top-down DIB section selected into a memory DC: a monitor's
// picture.
// A picture of a screen area in the plug-in's own memory image.
struct Picture : MemoryImage {
  int width = 0, height = 0;
};
bool picture_create(Picture *p, int width, int height);
void picture_release(Picture *p);
// Copies the screen's rectangle at (x, y) of the picture's size into it.
bool picture_capture(const Picture &p, HDC screen, int x, int y);

// With no pen and no touch device: notes it and returns at once.
// Otherwise asks the user to hover and tap two windows and a picture's
// window with a pen or a finger for `seconds`, and fills the pen answers.
void ask_pen(hvhost::MachineReport *report, int seconds);

}  // namespace hvcheck
