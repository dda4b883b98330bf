#include "common/report_lines.h"

#include <algorithm>
#include <cstdlib>

#include "common/quote.h"
#include "common/report_words.h"

namespace hvhost::report {

std::string needs(const std::string &key, const std::string &form, const std::string &value) {
  return key + " needs '" + form + "', not " + quoted_text(value);
}

namespace {

double dearest_getpixel_p95(const MachineReport &r) {
  double worst = 0;
  for (const ReportMonitor &m : r.monitors) worst = std::max(worst, m.getpixel.p95_ms);
  return worst;
}

// ---- The system: Windows, the compositor, monitors, DPI.

std::string write_windows(const MachineReport &r, const ReportMonitor *, int) {
  const bool seven = r.windows_major > 6 || (r.windows_major == 6 && r.windows_minor >= 1);
  return with_verdict(
      printed("%d.%d build %d", r.windows_major, r.windows_minor, r.windows_build),
      seven ? "holds: Windows 7 or later, whose hook rules the eyedropper follows"
            : "unknown: older than Windows 7, which the eyedropper was not built for");
}

std::string read_windows(const std::string &key, const std::string &value, int, ReadState *s) {
  Fields f;
  if (!match("%i.%i build %i", value, &f) || !within_int(f, 3))
    return needs(key, "MAJOR.MINOR build N", value);
  s->r.windows_major = static_cast<int>(f.ints[0]);
  s->r.windows_minor = static_cast<int>(f.ints[1]);
  s->r.windows_build = static_cast<int>(f.ints[2]);
  return {};
}

std::string write_compositor(const MachineReport &r, const ReportMonitor *, int) {
  switch (r.compositor) {
    case Answer::Yes:
      return "on -- as designed for: each screen read waits for the compositor, so a tick reads "
             "one block";
    case Answer::No: return "off -- holds: screen reads are cheap without composition";
    case Answer::Unknown: break;
  }
  return "unknown -- unknown: DwmIsCompositionEnabled is missing";
}

std::string read_compositor(const std::string &key, const std::string &value, int, ReadState *s) {
  if (value != "on" && value != "off" && value != "unknown")
    return needs(key, "on, off or unknown", value);
  s->r.compositor = value == "on" ? Answer::Yes : value == "off" ? Answer::No : Answer::Unknown;
  return {};
}

std::string write_monitor(const MachineReport &, const ReportMonitor *m, int index) {
  return with_verdict(printed("%dx%d%+d%+d at %d %%", m->width, m->height, m->x, m->y, m->scale),
                      index == 1
                          ? "holds: the primary lies at 0, 0, as the magnifier's fallback takes it"
                          : "holds: listed, so the magnifier reads the cells on it");
}

std::string read_monitor(const std::string &key, const std::string &value, int index,
                         ReadState *s) {
  if (index != static_cast<int>(s->r.monitors.size()) + 1 || index > kMaxMonitors)
    return "monitors are numbered 1, 2, ... in order, at most 16";
  Fields f;
  if (!match("%ix%i%i%i at %i %%", value, &f) || f.ints[0] < 1 || f.ints[0] > kMaxSide ||
      f.ints[1] < 1 || f.ints[1] > kMaxSide || std::llabs(f.ints[2]) > 16 * kMaxSide ||
      std::llabs(f.ints[3]) > 16 * kMaxSide || f.ints[4] < 100 || f.ints[4] > 500)
    return needs(key, "WxH+X+Y at SCALE %', sides 1..16384, scale 100..500", value);
  ReportMonitor m;
  m.width = static_cast<int>(f.ints[0]);
  m.height = static_cast<int>(f.ints[1]);
  m.x = static_cast<int>(f.ints[2]);
  m.y = static_cast<int>(f.ints[3]);
  m.scale = static_cast<int>(f.ints[4]);
  if (index == 1 && (m.x != 0 || m.y != 0)) return "monitor 1 is the primary, at +0+0";
  s->r.monitors.push_back(m);
  s->getpixel_seen.push_back(false);
  s->block_seen.push_back(false);
  return {};
}

constexpr const char *kDpi = "process %w; thread to per-monitor-v2 %w, to per-monitor %w";

std::string write_dpi(const MachineReport &r, const ReportMonitor *, int) {
  const bool physical = r.dpi_v2 == Answer::Yes || r.dpi_v1 == Answer::Yes;
  return with_verdict(printed("process %s; thread to per-monitor-v2 %s, to per-monitor %s",
                              r.process_dpi.c_str(), answer_word(r.dpi_v2), answer_word(r.dpi_v1)),
                      physical ? "holds: the magnifier works in physical pixels on every monitor"
                               : "partly: the magnifier reads in the host's coordinates");
}

std::string read_dpi(const std::string &key, const std::string &value, int, ReadState *s) {
  Fields f;
  if (!match(kDpi, value, &f) || !answer_from(f.words[1], &s->r.dpi_v2) ||
      !answer_from(f.words[2], &s->r.dpi_v1))
    return needs(key, kDpi, value);
  s->r.process_dpi = f.words[0];
  return {};
}

// ---- The hook: its timeout, its cost.

std::string write_hook_timeout(const MachineReport &r, const ReportMonitor *, int) {
  const double worst_pick = dearest_getpixel_p95(r);
  const std::string verdict =
      worst_pick * 2 < r.hook_timeout_ms
          ? printed("holds: a pick's one screen read in the hook (p95 %.3f ms) is well inside it",
                    worst_pick)
          : printed(
                "fails: a pick's screen read in the hook (p95 %.3f ms) comes near it, and "
                "Windows drops a hook that overruns it",
                worst_pick);
  const std::string set = r.hook_timeout_set_ms >= 0
                              ? printed("%lld ms", static_cast<long long>(r.hook_timeout_set_ms))
                              : std::string("not set");
  return with_verdict(printed("%d ms (LowLevelHooksTimeout %s)", r.hook_timeout_ms, set.c_str()),
                      verdict);
}

std::string read_hook_timeout(const std::string &key, const std::string &value, int, ReadState *s) {
  Fields f;
  if (match("%i ms (LowLevelHooksTimeout %i ms)", value, &f)) {
    if (f.ints[1] < 0) return needs(key, "MS ms (LowLevelHooksTimeout MS ms)", value);
    s->r.hook_timeout_set_ms = f.ints[1];
  } else if (match("%i ms (LowLevelHooksTimeout not set)", value, &(f = Fields{}))) {
    s->r.hook_timeout_set_ms = -1;
  } else {
    return needs(key, "MS ms (LowLevelHooksTimeout MS ms | not set)", value);
  }
  if (f.ints[0] < 1 || f.ints[0] > 60000) return "the hook timeout in force is 1..60000 ms";
  s->r.hook_timeout_ms = static_cast<int>(f.ints[0]);
  s->hook_timeout = true;
  return {};
}

std::string write_hook_cost(const MachineReport &r, const ReportMonitor *, int) {
  // The hook must keep input waiting far less than the timeout: a tenth.
  return with_verdict(cost_text(r.hook_cost_us, "us", "events"),
                      r.hook_cost_us.p95_ms < r.hook_timeout_ms * 100.0
                          ? "holds: a hook that records and returns keeps input waiting far less "
                            "than the timeout"
                          : "fails: even a hook that only records keeps input waiting near the "
                            "timeout");
}

std::string read_hook_cost(const std::string &key, const std::string &value, int, ReadState *s) {
  if (!cost_from(value, "median %f us, p95 %f us over %i events", &s->r.hook_cost_us))
    return needs(key, "median US us, p95 US us over N events", value);
  return {};
}

}  // namespace

// The rest of the rules, in report_lines_reads.cpp and report_lines_pen.cpp.
void add_read_rules(std::vector<LineRule> *rules);
void add_input_rules(std::vector<LineRule> *rules);

const std::vector<LineRule> &line_rules() {
  static const std::vector<LineRule> rules = [] {
    std::vector<LineRule> r = {
        {"windows", 0, write_windows, read_windows},
        {"compositor", 0, write_compositor, read_compositor},
        {"monitor", 1, write_monitor, read_monitor},
        {"dpi", 0, write_dpi, read_dpi},
        {"hook timeout", 0, write_hook_timeout, read_hook_timeout},
        {"hook cost", 0, write_hook_cost, read_hook_cost},
    };
    add_read_rules(&r);
    add_input_rules(&r);
    return r;
  }();
  return rules;
}

}  // namespace hvhost::report
