// What huevane-check tells the artist in plain words: the report's opening
// lines, and the note it ends with when it was double-clicked.
#include <algorithm>

#include "common/machine_report.h"
#include "common/report_words.h"

namespace hvhost {

namespace {

using report::printed;

// A screen read dearer than this makes the magnifier step behind the pointer.
constexpr double kSlowReadMs = 2.0;

std::string screen_reads(const MachineReport &r) {
  double worst = -1;
  for (const ReportMonitor &m : r.monitors) {
    if (m.getpixel.count > 0) worst = std::max(worst, m.getpixel.median_ms);
    if (m.block.count > 0) worst = std::max(worst, m.block.median_ms);
  }
  if (worst < 0) return "screen reads: not measured\n";
  if (worst < kSlowReadMs) return printed("screen reads: fast (%.2f ms each)\n", worst);
  return printed("screen reads: slow (%.0f ms each): the magnifier follows the pointer in steps\n",
                 worst);
}

std::string pen_and_touch(const MachineReport &r) {
  if (r.pens + r.touches == 0) return "pen and touch: none found\n";
  const std::string found = printed("pen and touch: %d pen%s and %d touch screen%s found; ", r.pens,
                                    r.pens == 1 ? "" : "s", r.touches, r.touches == 1 ? "" : "s");
  if (r.pen_test != PenTest::Ran)
    return found + "not tested: run huevane-check --pen and tap the windows it shows\n";
  if (r.picture_pen_taps + r.picture_touch_taps > 0)
    return found + "tested: taps reached the eyedropper's frozen picture\n";
  return found + "tested, but the picture's window was not tapped\n";
}

std::string frozen_picture(const MachineReport &r) {
  double capture = -1;
  int checked = 0;
  for (size_t i = 0; i < r.monitors.size(); ++i) {
    const ReportMonitor &m = r.monitors[i];
    if (m.capture.count > 0) capture = std::max(capture, m.capture.median_ms);
    if (m.picture_pixels < 0) continue;
    if (m.picture_equal != m.picture_pixels)
      return printed("frozen picture: differs from the screen on monitor %d\n",
                     static_cast<int>(i + 1));
    ++checked;
  }
  if (checked == 0) return "frozen picture: not checked\n";
  return printed(
      "frozen picture: shown exactly on every monitor checked; capturing takes %.0f ms "
      "a monitor\n",
      std::max(capture, 0.0));
}

std::string mouse_hook(const MachineReport &r) {
  if (r.probes == 0) return "mouse hook: not tested\n";
  if (r.probes_seen == r.probes) return "mouse hook: sees input\n";
  if (r.probes_seen > 0) return "mouse hook: missed some of its test input\n";
  return "mouse hook: saw none of its test input: the eyedropper may not follow the mouse here\n";
}

}  // namespace

std::string artist_summary(const MachineReport &r) {
  return screen_reads(r) + pen_and_touch(r) + frozen_picture(r) + mouse_hook(r) +
         "what to do: attach this file to your bug report about the eyedropper\n";
}

bool check_ends_with_message_box(unsigned long console_processes, bool output_redirected) {
  return !output_redirected && console_processes <= 1;
}

std::string check_finish_note(const std::string &path, bool written, unsigned long error) {
  if (written)
    return "huevane-check has finished. Its report is in\n\n" + path +
           "\n\nAttach huevane-check.txt to your bug report about the eyedropper.";
  return "huevane-check has finished, but could not save its report to\n\n" + path +
         printed("\n\n(Windows error %lu). ", error) +
         "Copy huevane-check.exe to a folder you can write to, such as your Desktop, run it "
         "again and attach huevane-check.txt to your bug report.";
}

}  // namespace hvhost
