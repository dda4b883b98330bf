#include "common/machine_report.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "common/quote.h"

namespace hvhost {

namespace {

constexpr int kMaxMonitors = 16;
constexpr int kMaxSide = 16384;
constexpr double kMaxMs = 600000;  // any figure beyond ten minutes is not a measurement

const char *answer_word(Answer a) {
  return a == Answer::Yes ? "yes" : a == Answer::No ? "no" : "unknown";
}

const char *under_word(UnderExcluded u) {
  switch (u) {
    case UnderExcluded::Beneath: return "beneath";
    case UnderExcluded::Black: return "black";
    case UnderExcluded::Window: return "window";
    case UnderExcluded::Other: return "other";
    case UnderExcluded::Unknown: break;
  }
  return "unknown";
}

std::string printed(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string printed(const char *format, ...) {
  char buf[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return buf;
}

double dearest_getpixel_p95(const MachineReport &r) {
  double worst = 0;
  for (const ReportMonitor &m : r.monitors) worst = std::max(worst, m.getpixel.p95_ms);
  return worst;
}

std::string cost_text(const ReadCost &c, const char *unit, const char *what) {
  return printed("median %.3f %s, p95 %.3f %s over %d %s", c.median_ms, unit, c.p95_ms, unit,
                 c.count, what);
}

// ---- Reading lines back: a pattern of literal text and fields, matched
// whole. %i is a whole number with an optional sign (at most 10 digits),
// %f a decimal (at most 24 characters), %w a word of letters, digits and
// '-', %x a hexadecimal number after "0x". Nothing is converted that could
// overflow its type.
struct Fields {
  long long ints[8] = {};
  double reals[8] = {};
  std::string words[8];
  int ni = 0, nr = 0, nw = 0;
};

bool match(const char *pattern, const std::string &text, Fields *f) {
  size_t at = 0;
  for (const char *p = pattern; *p; ++p) {
    if (*p != '%') {
      if (at >= text.size() || text[at] != *p) return false;
      ++at;
      continue;
    }
    const char kind = *++p;
    const size_t start = at;
    if (kind == '%') {
      if (at >= text.size() || text[at] != '%') return false;
      ++at;
    } else if (kind == 'i') {
      if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
      const size_t digits = at;
      while (at < text.size() && at - digits < 11 &&
             std::isdigit(static_cast<unsigned char>(text[at])))
        ++at;
      if (at == digits || at - digits > 10 || f->ni >= 8) return false;
      f->ints[f->ni++] = std::strtoll(text.substr(start, at - start).c_str(), nullptr, 10);
    } else if (kind == 'x') {
      while (at < text.size() && at - start < 9 &&
             std::isxdigit(static_cast<unsigned char>(text[at])))
        ++at;
      if (at == start || at - start > 8 || f->ni >= 8) return false;
      f->ints[f->ni++] = std::strtoll(text.substr(start, at - start).c_str(), nullptr, 16);
    } else if (kind == 'f') {
      while (at < text.size() && at - start <= 24 &&
             (std::isdigit(static_cast<unsigned char>(text[at])) || text[at] == '.'))
        ++at;
      if (at == start || at - start > 24 || f->nr >= 8) return false;
      const std::string number = text.substr(start, at - start);
      char *end = nullptr;
      const double v = std::strtod(number.c_str(), &end);
      if (end != number.c_str() + number.size() || !std::isfinite(v) || v > kMaxMs) return false;
      f->reals[f->nr++] = v;
    } else if (kind == 'w') {
      while (at < text.size() && at - start <= 32 &&
             (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '-'))
        ++at;
      if (at == start || at - start > 32 || f->nw >= 8) return false;
      f->words[f->nw++] = text.substr(start, at - start);
    } else {
      return false;
    }
  }
  return at == text.size();
}

bool answer_from(const std::string &word, Answer *out) {
  if (word == "yes")
    *out = Answer::Yes;
  else if (word == "no")
    *out = Answer::No;
  else if (word == "unknown")
    *out = Answer::Unknown;
  else
    return false;
  return true;
}

bool under_from(const std::string &word, UnderExcluded *out) {
  static const UnderExcluded kAll[] = {UnderExcluded::Unknown, UnderExcluded::Beneath,
                                       UnderExcluded::Black, UnderExcluded::Window,
                                       UnderExcluded::Other};
  for (UnderExcluded u : kAll) {
    if (word == under_word(u)) {
      *out = u;
      return true;
    }
  }
  return false;
}

// The patterns, each beside what the formatter writes for it.
constexpr const char *kWindows = "%i.%i build %i";
constexpr const char *kMonitor = "%ix%i%i%i at %i %%";
constexpr const char *kDpi = "process %w; thread to per-monitor-v2 %w, to per-monitor %w";
constexpr const char *kHookTimeoutSet = "%i ms (LowLevelHooksTimeout %i ms)";
constexpr const char *kHookTimeoutUnset = "%i ms (LowLevelHooksTimeout not set)";
constexpr const char *kCostMs = "median %f ms, p95 %f ms over %i reads";
constexpr const char *kCostUs = "median %f us, p95 %f us over %i events";
constexpr const char *kCells = "%i of %i cells equal, %i of %i as drawn";
constexpr const char *kExclusion = "set %w, reads back 0x%x; getpixel reads %w, block reads %w";
constexpr const char *kProbe = "seen %i of %i, median %f ms, p95 %f ms from SendInput to the hook";
constexpr const char *kClipboard = "own window %w, no owner refused %w";
constexpr const char *kPointer = "%i pen, %i touch; mouse-in-pointer %w";
constexpr const char *kPen = "hook %w, cursor %w";

std::string line_error(int number, const std::string &message) {
  return "line " + std::to_string(number) + ": " + message;
}

// Whether the first n whole numbers are 0..INT_MAX, so that they are kept
// as read (a %i field may hold ten digits).
bool within_int(const Fields &f, int n) {
  for (int i = 0; i < n; ++i) {
    if (f.ints[i] < 0 || f.ints[i] > INT_MAX) return false;
  }
  return true;
}

bool cost_from(const Fields &f, ReadCost *c) {
  if (f.ints[0] < 0 || f.ints[0] > 1000000 || f.reals[1] < f.reals[0]) return false;
  *c = ReadCost{f.reals[0], f.reals[1], static_cast<int>(f.ints[0])};
  return true;
}

}  // namespace

std::string format_machine_report(const MachineReport &r) {
  std::string out = "huevane-check " + r.check_version +
                    ": what the Huevane eyedropper relies on, measured on this machine\n";
  const bool seven = r.windows_major > 6 || (r.windows_major == 6 && r.windows_minor >= 1);
  out +=
      printed("windows: %d.%d build %d -- %s\n", r.windows_major, r.windows_minor, r.windows_build,
              seven ? "holds: Windows 7 or later, whose hook rules the eyedropper follows"
                    : "unknown: older than Windows 7, which the eyedropper was not built for");
  out += std::string("compositor: ") +
         (r.compositor == Answer::Yes  ? "on -- as designed for: each screen read waits for the "
                                         "compositor, so a tick reads one block"
          : r.compositor == Answer::No ? "off -- holds: screen reads are cheap without composition"
                                       : "unknown -- unknown: DwmIsCompositionEnabled is missing") +
         "\n";
  for (size_t i = 0; i < r.monitors.size(); ++i) {
    const ReportMonitor &m = r.monitors[i];
    out += printed("monitor %d: %dx%d%+d%+d at %d %% -- %s\n", static_cast<int>(i + 1), m.width,
                   m.height, m.x, m.y, m.scale,
                   i == 0 ? "holds: the primary lies at 0, 0, as the magnifier's fallback takes it"
                          : "holds: listed, so the magnifier reads the cells on it");
  }
  const bool physical = r.dpi_v2 == Answer::Yes || r.dpi_v1 == Answer::Yes;
  out += printed("dpi: process %s; thread to per-monitor-v2 %s, to per-monitor %s -- %s\n",
                 r.process_dpi.c_str(), answer_word(r.dpi_v2), answer_word(r.dpi_v1),
                 physical ? "holds: the magnifier works in physical pixels on every monitor"
                          : "partly: the magnifier reads in the host's coordinates");
  const double worst_pick = dearest_getpixel_p95(r);
  const bool pick_fits = worst_pick * 2 < r.hook_timeout_ms;
  const std::string timeout_verdict =
      pick_fits ? printed(
                      "holds: a pick's one screen read in the hook (p95 %.3f ms) is well "
                      "inside it",
                      worst_pick)
                : printed(
                      "fails: a pick's screen read in the hook (p95 %.3f ms) comes near it, "
                      "and Windows drops a hook that overruns it",
                      worst_pick);
  if (r.hook_timeout_set_ms >= 0)
    out += printed("hook timeout: %d ms (LowLevelHooksTimeout %lld ms) -- %s\n", r.hook_timeout_ms,
                   static_cast<long long>(r.hook_timeout_set_ms), timeout_verdict.c_str());
  else
    out += printed("hook timeout: %d ms (LowLevelHooksTimeout not set) -- %s\n", r.hook_timeout_ms,
                   timeout_verdict.c_str());
  // The hook must keep input waiting far less than the timeout: a tenth.
  out += "hook cost: " + cost_text(r.hook_cost_us, "us", "events") + " -- " +
         (r.hook_cost_us.p95_ms < r.hook_timeout_ms * 100.0
              ? "holds: a hook that records and returns keeps input waiting far less than the "
                "timeout"
              : "fails: even a hook that only records keeps input waiting near the timeout") +
         "\n";
  for (size_t i = 0; i < r.monitors.size(); ++i) {
    const ReportMonitor &m = r.monitors[i];
    out += printed("read getpixel monitor %d: ", static_cast<int>(i + 1)) +
           cost_text(m.getpixel, "ms", "reads") + " -- " +
           (m.getpixel.count == 0 ? std::string("unknown: no read succeeded")
            : m.getpixel.p95_ms * 2 < r.hook_timeout_ms
                ? std::string("holds: a pick's one read fits in the hook timeout")
                : std::string("fails: a pick's read comes near the hook timeout")) +
           "\n";
    out += printed("read block monitor %d: ", static_cast<int>(i + 1)) +
           cost_text(m.block, "ms", "reads") + " -- " +
           (m.block.count == 0         ? std::string("unknown: no transfer succeeded")
            : m.block.p95_ms * 2 < 100 ? std::string("holds: a tick reads its block well inside "
                                                     "its 100 ms")
                                       : std::string("slow: the magnifier falls behind its 100 ms "
                                                     "tick")) +
           "\n";
  }
  for (size_t i = 0; i < r.monitors.size(); ++i) {
    const ReportMonitor &m = r.monitors[i];
    if (m.cells < 0) {
      out += printed(
          "block vs getpixel monitor %d: not checked -- unknown: no window of known "
          "colours could be shown there\n",
          static_cast<int>(i + 1));
      continue;
    }
    const bool holds = m.block_equal == m.cells && m.drawn_equal == m.cells;
    out += printed("block vs getpixel monitor %d: %d of %d cells equal, %d of %d as drawn -- %s\n",
                   static_cast<int>(i + 1), m.block_equal, m.cells, m.drawn_equal, m.cells,
                   holds ? "holds: the magnifier's block and the pick read the same colours"
                         : "fails: the magnifier and the pick can disagree");
  }
  const bool excluded = r.exclusion_set == Answer::Yes &&
                        r.exclusion_getpixel == UnderExcluded::Beneath &&
                        r.exclusion_block == UnderExcluded::Beneath;
  out += printed(
      "capture exclusion: set %s, reads back 0x%x; getpixel reads %s, block reads %s -- "
      "%s\n",
      answer_word(r.exclusion_set), r.exclusion_readback, under_word(r.exclusion_getpixel),
      under_word(r.exclusion_block),
      excluded ? "holds: a window of the eyedropper's own over the pointer leaves what "
                 "it reads unchanged"
      : r.exclusion_set != Answer::Yes
          ? "absent: the eyedropper must do without a window over the pointer"
          : "fails: a window kept out of captures still changes what is read");
  out += printed(
      "hook probe: seen %d of %d, median %.3f ms, p95 %.3f ms from SendInput to the "
      "hook -- %s\n",
      r.probes_seen, r.probes, r.probe_latency.median_ms, r.probe_latency.p95_ms,
      r.probes > 0 && r.probes_seen == r.probes ? "holds: a low-level hook sees input here"
      : r.probes_seen > 0                       ? "partly: the hook missed some of its own probes"
                                                : "fails: the hook saw none of its own probes");
  out += printed("clipboard owner: own window %s, no owner refused %s -- %s\n",
                 answer_word(r.clipboard_own_window), answer_word(r.clipboard_no_owner_refused),
                 r.clipboard_own_window == Answer::Yes
                     ? "holds: the picker opens the clipboard for its own window"
                 : r.clipboard_own_window == Answer::No
                     ? "fails: data set for a window of one's own was refused"
                     : "not measured: the clipboard held data that could not be put back; it "
                       "was left as it was");
  out += printed("pointer devices: %d pen, %d touch; mouse-in-pointer %s -- %s\n", r.pens,
                 r.touches, answer_word(r.mouse_in_pointer),
                 r.pens + r.touches == 0 ? "nothing to ask: no pen or touch here"
                                         : "run huevane-check --pen to see how they reach a hook");
  // What --pen saw over one kind of window, when it asked.
  const auto pen_line = [&](const char *window, Answer hook, Answer cursor, const char *seen,
                            const char *unseen) {
    if (hook != Answer::Unknown || cursor != Answer::Unknown)
      out += printed("pen over %s window: hook %s, cursor %s -- %s\n", window, answer_word(hook),
                     answer_word(cursor), hook == Answer::Yes ? seen : unseen);
  };
  pen_line("pointer", r.pen_hook_over_pointer_window, r.pen_cursor_over_pointer_window,
           "the hook sees a pen over windows that handle pointer input",
           "the eyedropper needs a window of its own under a pen");
  pen_line("default", r.pen_hook_over_default_window, r.pen_cursor_over_default_window,
           "holds: DefWindowProc's mouse input reaches the hook",
           "fails: not even DefWindowProc's mouse input reached the hook");
  return out;
}

std::string format_machine_report_json(const MachineReport &r) {
  const auto cost = [](const ReadCost &c, const char *unit) {
    return printed("{\"median_%s\": %.3f, \"p95_%s\": %.3f, \"count\": %d}", unit, c.median_ms,
                   unit, c.p95_ms, c.count);
  };
  const auto answer = [](Answer a) {
    return std::string(a == Answer::Yes ? "true" : a == Answer::No ? "false" : "null");
  };
  std::string version;
  for (char c : r.check_version) {
    if (c == '"' || c == '\\') version += '\\';
    if (static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F) version += c;
  }
  std::string out = "{\n  \"check_version\": \"" + version + "\",\n";
  out += printed("  \"windows\": {\"major\": %d, \"minor\": %d, \"build\": %d},\n", r.windows_major,
                 r.windows_minor, r.windows_build);
  out += "  \"compositor\": " + answer(r.compositor) + ",\n  \"monitors\": [";
  for (size_t i = 0; i < r.monitors.size(); ++i) {
    const ReportMonitor &m = r.monitors[i];
    out += std::string(i ? ",\n" : "\n") +
           printed(
               "    {\"x\": %d, \"y\": %d, \"width\": %d, \"height\": %d, \"scale_percent\": "
               "%d, ",
               m.x, m.y, m.width, m.height, m.scale) +
           "\"getpixel\": " + cost(m.getpixel, "ms") + ", \"block\": " + cost(m.block, "ms") +
           printed(", \"cells\": %d, \"block_equal\": %d, \"drawn_equal\": %d}", m.cells,
                   m.block_equal, m.drawn_equal);
  }
  out += "\n  ],\n";
  out += "  \"dpi\": {\"process\": \"" + r.process_dpi +
         "\", \"thread_per_monitor_v2\": " + answer(r.dpi_v2) +
         ", \"thread_per_monitor\": " + answer(r.dpi_v1) + "},\n";
  out += printed("  \"hook_timeout_ms\": %d, \"hook_timeout_set_ms\": ", r.hook_timeout_ms) +
         (r.hook_timeout_set_ms >= 0 ? std::to_string(r.hook_timeout_set_ms) : "null") + ",\n";
  out += "  \"hook_cost\": " + cost(r.hook_cost_us, "us") + ",\n";
  out += "  \"capture_exclusion\": {\"set\": " + answer(r.exclusion_set) +
         printed(", \"reads_back\": %u, \"getpixel\": \"%s\", \"block\": \"%s\"},\n",
                 r.exclusion_readback, under_word(r.exclusion_getpixel),
                 under_word(r.exclusion_block));
  out += printed("  \"hook_probe\": {\"probes\": %d, \"seen\": %d, \"latency\": ", r.probes,
                 r.probes_seen) +
         cost(r.probe_latency, "ms") + "},\n";
  out += "  \"clipboard\": {\"own_window\": " + answer(r.clipboard_own_window) +
         ", \"no_owner_refused\": " + answer(r.clipboard_no_owner_refused) + "},\n";
  out += printed("  \"pointer_devices\": {\"pens\": %d, \"touches\": %d, \"mouse_in_pointer\": ",
                 r.pens, r.touches) +
         answer(r.mouse_in_pointer) + "},\n";
  out += "  \"pen\": {\"hook_over_pointer_window\": " + answer(r.pen_hook_over_pointer_window) +
         ", \"cursor_over_pointer_window\": " + answer(r.pen_cursor_over_pointer_window) +
         ", \"hook_over_default_window\": " + answer(r.pen_hook_over_default_window) +
         ", \"cursor_over_default_window\": " + answer(r.pen_cursor_over_default_window) + "}\n}\n";
  return out;
}

std::string parse_machine_report(const std::string &text, MachineReport *out) {
  MachineReport r;
  int number = 0;
  bool header = false, hook_timeout = false;
  std::vector<bool> getpixel_seen, block_seen;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (!header) {
      const std::string start = "huevane-check ";
      if (line.compare(0, start.size(), start) != 0)
        return line_error(number,
                          "a huevane-check report starts with 'huevane-check VERSION', "
                          "not " +
                              quoted_text(line));
      // The version as far as the colon: printable, and short.
      for (size_t i = start.size();
           i < line.size() && line[i] != ':' && r.check_version.size() < 32; ++i) {
        if (line[i] > ' ' && line[i] < 0x7F) r.check_version += line[i];
      }
      header = true;
      continue;
    }
    const size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    const std::string key = line.substr(0, colon);
    std::string value = line.substr(colon + 2);
    const size_t verdict = value.find(" -- ");
    if (verdict != std::string::npos) value.resize(verdict);
    Fields f;
    const auto bad = [&](const std::string &form) {
      return line_error(number, key + " needs '" + form + "', not " + quoted_text(value));
    };
    int index = 0;
    if (key == "windows") {
      if (!match(kWindows, value, &f) || !within_int(f, 3)) return bad("MAJOR.MINOR build N");
      r.windows_major = static_cast<int>(f.ints[0]);
      r.windows_minor = static_cast<int>(f.ints[1]);
      r.windows_build = static_cast<int>(f.ints[2]);
    } else if (key == "compositor") {
      if (value != "on" && value != "off" && value != "unknown") return bad("on, off or unknown");
      r.compositor = value == "on" ? Answer::Yes : value == "off" ? Answer::No : Answer::Unknown;
    } else if (std::sscanf(key.c_str(), "monitor %2d", &index) == 1 &&
               key == "monitor " + std::to_string(index)) {
      if (index != static_cast<int>(r.monitors.size()) + 1 || index > kMaxMonitors)
        return line_error(number, "monitors are numbered 1, 2, ... in order, at most 16");
      ReportMonitor m;
      if (!match(kMonitor, value, &f) || f.ints[0] < 1 || f.ints[0] > kMaxSide || f.ints[1] < 1 ||
          f.ints[1] > kMaxSide || std::llabs(f.ints[2]) > 16 * kMaxSide ||
          std::llabs(f.ints[3]) > 16 * kMaxSide || f.ints[4] < 100 || f.ints[4] > 500)
        return bad("WxH+X+Y at SCALE %', sides 1..16384, scale 100..500");
      m.width = static_cast<int>(f.ints[0]);
      m.height = static_cast<int>(f.ints[1]);
      m.x = static_cast<int>(f.ints[2]);
      m.y = static_cast<int>(f.ints[3]);
      m.scale = static_cast<int>(f.ints[4]);
      if (index == 1 && (m.x != 0 || m.y != 0))
        return line_error(number, "monitor 1 is the primary, at +0+0");
      r.monitors.push_back(m);
      getpixel_seen.push_back(false);
      block_seen.push_back(false);
    } else if (key == "dpi") {
      if (!match(kDpi, value, &f) || !answer_from(f.words[1], &r.dpi_v2) ||
          !answer_from(f.words[2], &r.dpi_v1))
        return bad(kDpi);
      r.process_dpi = f.words[0];
    } else if (key == "hook timeout") {
      if (match(kHookTimeoutSet, value, &f)) {
        if (f.ints[1] < 0) return bad("MS ms (LowLevelHooksTimeout MS ms)");
        r.hook_timeout_set_ms = f.ints[1];
      } else if (match(kHookTimeoutUnset, value, &(f = Fields{}))) {
        r.hook_timeout_set_ms = -1;
      } else {
        return bad("MS ms (LowLevelHooksTimeout MS ms | not set)");
      }
      if (f.ints[0] < 1 || f.ints[0] > 60000)
        return line_error(number, "the hook timeout in force is 1..60000 ms");
      r.hook_timeout_ms = static_cast<int>(f.ints[0]);
      hook_timeout = true;
    } else if (key == "hook cost") {
      if (!match(kCostUs, value, &f) || !cost_from(f, &r.hook_cost_us))
        return bad("median US us, p95 US us over N events");
    } else if ((std::sscanf(key.c_str(), "read getpixel monitor %2d", &index) == 1 ||
                std::sscanf(key.c_str(), "read block monitor %2d", &index) == 1 ||
                std::sscanf(key.c_str(), "block vs getpixel monitor %2d", &index) == 1) &&
               (key == "read getpixel monitor " + std::to_string(index) ||
                key == "read block monitor " + std::to_string(index) ||
                key == "block vs getpixel monitor " + std::to_string(index))) {
      if (index < 1 || index > static_cast<int>(r.monitors.size()))
        return line_error(number, key + " names no monitor listed before it");
      ReportMonitor &m = r.monitors[static_cast<size_t>(index - 1)];
      if (key[0] == 'b') {
        if (value == "not checked") {
          m.cells = -1;
        } else if (!match(kCells, value, &f) || f.ints[1] != f.ints[3] || f.ints[1] < 0 ||
                   f.ints[1] > 1000000 || f.ints[0] < 0 || f.ints[0] > f.ints[1] || f.ints[2] < 0 ||
                   f.ints[2] > f.ints[3]) {
          return bad("N of N cells equal, N of N as drawn");
        } else {
          m.cells = static_cast<int>(f.ints[1]);
          m.block_equal = static_cast<int>(f.ints[0]);
          m.drawn_equal = static_cast<int>(f.ints[2]);
        }
      } else {
        const bool pixel = key[5] == 'g';
        if (!match(kCostMs, value, &f) || !cost_from(f, pixel ? &m.getpixel : &m.block))
          return bad("median MS ms, p95 MS ms over N reads");
        (pixel ? getpixel_seen : block_seen)[static_cast<size_t>(index - 1)] = true;
      }
    } else if (key == "capture exclusion") {
      if (!match(kExclusion, value, &f) || !answer_from(f.words[0], &r.exclusion_set) ||
          !under_from(f.words[1], &r.exclusion_getpixel) ||
          !under_from(f.words[2], &r.exclusion_block))
        return bad("set yes|no|unknown, reads back 0xN; getpixel reads WHAT, block reads WHAT");
      r.exclusion_readback = static_cast<uint32_t>(f.ints[0]);
    } else if (key == "hook probe") {
      if (!match(kProbe, value, &f) || f.ints[0] < 0 || f.ints[1] < f.ints[0] ||
          f.ints[1] > 1000000 || f.reals[1] < f.reals[0])
        return bad("seen N of N, median MS ms, p95 MS ms from SendInput to the hook");
      r.probes_seen = static_cast<int>(f.ints[0]);
      r.probes = static_cast<int>(f.ints[1]);
      r.probe_latency = ReadCost{f.reals[0], f.reals[1], r.probes_seen};
    } else if (key == "clipboard owner") {
      if (!match(kClipboard, value, &f) || !answer_from(f.words[0], &r.clipboard_own_window) ||
          !answer_from(f.words[1], &r.clipboard_no_owner_refused))
        return bad(kClipboard);
    } else if (key == "pointer devices") {
      if (!match(kPointer, value, &f) || !within_int(f, 2) ||
          !answer_from(f.words[0], &r.mouse_in_pointer))
        return bad("N pen, N touch; mouse-in-pointer yes|no|unknown");
      r.pens = static_cast<int>(f.ints[0]);
      r.touches = static_cast<int>(f.ints[1]);
    } else if (key == "pen over pointer window" || key == "pen over default window") {
      const bool own = key == "pen over pointer window";
      if (!match(kPen, value, &f) ||
          !answer_from(f.words[0],
                       own ? &r.pen_hook_over_pointer_window : &r.pen_hook_over_default_window) ||
          !answer_from(f.words[1],
                       own ? &r.pen_cursor_over_pointer_window : &r.pen_cursor_over_default_window))
        return bad(kPen);
    }
  }
  if (!header) return "the report is empty: a huevane-check report starts with 'huevane-check'";
  if (r.monitors.empty()) return "the report lists no monitor ('monitor 1: WxH+0+0 at N %')";
  if (!hook_timeout) return "the report has no 'hook timeout' line";
  for (size_t i = 0; i < r.monitors.size(); ++i) {
    if (!getpixel_seen[i] || !block_seen[i])
      return "the report has no 'read getpixel' and 'read block' lines for monitor " +
             std::to_string(i + 1);
  }
  *out = std::move(r);
  return {};
}

uint32_t report_screen_read_ms(const MachineReport &report) {
  double worst = 0;
  for (const ReportMonitor &m : report.monitors)
    worst = std::max({worst, m.getpixel.median_ms, m.block.median_ms});
  return static_cast<uint32_t>(std::lround(std::min(worst, 10000.0)));
}

}  // namespace hvhost
