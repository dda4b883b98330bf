// The text report, written by walking the table of its lines
// (report_lines.h); machine_report_read.cpp reads it back.
#include "common/machine_report.h"

#include <algorithm>
#include <cmath>

#include "common/report_lines.h"
#include "common/report_words.h"

namespace hvhost {

using report::LineRule;

std::string format_machine_report(const MachineReport &r) {
  std::string out = "huevane-check " + r.check_version +
                    ": what the Huevane eyedropper relies on, measured on this machine\n";
  out += artist_summary(r) + "\n";
  const std::vector<LineRule> &rules = report::line_rules();
  const auto emit = [&](const LineRule &rule, const ReportMonitor *m, int index) {
    const std::string line = rule.write(r, m, index);
    if (line.empty()) return;
    out.append(rule.key);
    if (m) out.append(" ").append(std::to_string(index));
    out.append(": ").append(line).append("\n");
  };
  for (size_t i = 0; i < rules.size();) {
    if (rules[i].monitor_run == 0) {
      emit(rules[i++], nullptr, 0);
      continue;
    }
    // A run of per-monitor rules: monitor by monitor.
    size_t end = i;
    while (end < rules.size() && rules[end].monitor_run == rules[i].monitor_run) ++end;
    for (size_t m = 0; m < r.monitors.size(); ++m)
      for (size_t k = i; k < end; ++k) emit(rules[k], &r.monitors[m], static_cast<int>(m + 1));
    i = end;
  }
  return out;
}

uint32_t report_screen_read_ms(const MachineReport &report) {
  double worst = 0;
  for (const ReportMonitor &m : report.monitors)
    worst = std::max({worst, m.getpixel.median_ms, m.block.median_ms});
  return static_cast<uint32_t>(std::lround(std::min(worst, 10000.0)));
}

}  // namespace hvhost
