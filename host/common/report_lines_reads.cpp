// The report's lines on screen reads: their cost on each monitor, whether
// the block and GetPixel agree, the frozen run's capture and its picture
// read back, capture exclusion; and the hook probe and the clipboard.
#include <cstdio>

#include "common/report_lines.h"
#include "common/report_words.h"

namespace hvhost::report {

namespace {

constexpr const char *kCostMs = "median %f ms, p95 %f ms over %i reads";
constexpr const char *kCostForm = "median MS ms, p95 MS ms over N reads";

std::string write_getpixel(const MachineReport &r, const ReportMonitor *m, int) {
  return with_verdict(cost_text(m->getpixel, "ms", "reads"),
                      m->getpixel.count == 0 ? "unknown: no read succeeded"
                      : m->getpixel.p95_ms * 2 < r.hook_timeout_ms
                          ? "holds: a pick's one read fits in the hook timeout"
                          : "fails: a pick's read comes near the hook timeout");
}

std::string read_getpixel(const std::string &key, const std::string &value, int index,
                          ReadState *s) {
  if (!cost_from(value, kCostMs, &s->r.monitors[static_cast<size_t>(index - 1)].getpixel))
    return needs(key, kCostForm, value);
  s->getpixel_seen[static_cast<size_t>(index - 1)] = true;
  return {};
}

std::string write_block(const MachineReport &, const ReportMonitor *m, int) {
  return with_verdict(cost_text(m->block, "ms", "reads"),
                      m->block.count == 0           ? "unknown: no transfer succeeded"
                      : m->block.p95_ms * 2 < 100.0 ? "holds: a tick reads its block well inside "
                                                      "its 100 ms"
                                                    : "slow: the magnifier falls behind its 100 "
                                                      "ms tick");
}

std::string read_block(const std::string &key, const std::string &value, int index, ReadState *s) {
  if (!cost_from(value, kCostMs, &s->r.monitors[static_cast<size_t>(index - 1)].block))
    return needs(key, kCostForm, value);
  s->block_seen[static_cast<size_t>(index - 1)] = true;
  return {};
}

std::string write_cells(const MachineReport &, const ReportMonitor *m, int) {
  if (m->cells < 0)
    return "not checked -- unknown: no window of known colours could be shown there";
  const bool holds = m->block_equal == m->cells && m->drawn_equal == m->cells;
  return with_verdict(printed("%d of %d cells equal, %d of %d as drawn", m->block_equal, m->cells,
                              m->drawn_equal, m->cells),
                      holds ? "holds: the magnifier's block and the pick read the same colours"
                            : "fails: the magnifier and the pick can disagree");
}

std::string read_cells(const std::string &key, const std::string &value, int index, ReadState *s) {
  ReportMonitor &m = s->r.monitors[static_cast<size_t>(index - 1)];
  if (value == "not checked") {
    m.cells = -1;
    return {};
  }
  Fields f;
  if (!match("%i of %i cells equal, %i of %i as drawn", value, &f) || f.ints[1] != f.ints[3] ||
      f.ints[1] < 0 || f.ints[1] > kMaxCount || f.ints[0] < 0 || f.ints[0] > f.ints[1] ||
      f.ints[2] < 0 || f.ints[2] > f.ints[3])
    return needs(key, "N of N cells equal, N of N as drawn", value);
  m.cells = static_cast<int>(f.ints[1]);
  m.block_equal = static_cast<int>(f.ints[0]);
  m.drawn_equal = static_cast<int>(f.ints[2]);
  return {};
}

// The frozen run's start: one capture of every monitor within a tick.
std::string write_capture(const MachineReport &, const ReportMonitor *m, int) {
  if (m->capture.count == 0) return {};
  return with_verdict(cost_text(m->capture, "ms", "captures"),
                      m->capture.p95_ms < 100.0
                          ? "holds: a frozen start captures this monitor within a tick"
                          : "slow: a frozen start waits this long for this monitor");
}

std::string read_capture(const std::string &key, const std::string &value, int index,
                         ReadState *s) {
  if (!cost_from(value, "median %f ms, p95 %f ms over %i captures",
                 &s->r.monitors[static_cast<size_t>(index - 1)].capture))
    return needs(key, "median MS ms, p95 MS ms over N captures", value);
  return {};
}

std::string write_picture(const MachineReport &, const ReportMonitor *m, int) {
  if (m->picture_pixels < 0) return {};
  return with_verdict(printed("%d of %d pixels equal", m->picture_equal, m->picture_pixels),
                      m->picture_pixels > 0 && m->picture_equal == m->picture_pixels
                          ? "holds: the frozen picture shows exactly what was captured"
                          : "fails: the picture shown is not what was captured (scaled, or "
                            "covered by another window)");
}

std::string read_picture(const std::string &key, const std::string &value, int index,
                         ReadState *s) {
  Fields f;
  const long long most = static_cast<long long>(kMaxSide) * kMaxSide;
  if (!match("%i of %i pixels equal", value, &f) || f.ints[1] < 0 || f.ints[1] > most ||
      f.ints[0] < 0 || f.ints[0] > f.ints[1])
    return needs(key, "N of N pixels equal", value);
  ReportMonitor &m = s->r.monitors[static_cast<size_t>(index - 1)];
  m.picture_equal = static_cast<int>(f.ints[0]);
  m.picture_pixels = static_cast<int>(f.ints[1]);
  return {};
}

constexpr const char *kExclusion = "set %w, reads back 0x%x; getpixel reads %w, block reads %w";

std::string write_exclusion(const MachineReport &r, const ReportMonitor *, int) {
  const bool excluded = r.exclusion_set == Answer::Yes &&
                        r.exclusion_getpixel == UnderExcluded::Beneath &&
                        r.exclusion_block == UnderExcluded::Beneath;
  return with_verdict(
      printed("set %s, reads back 0x%x; getpixel reads %s, block reads %s",
              answer_word(r.exclusion_set), r.exclusion_readback, under_word(r.exclusion_getpixel),
              under_word(r.exclusion_block)),
      excluded ? "holds: a window of the eyedropper's own over the pointer leaves what it reads "
                 "unchanged"
      : r.exclusion_set != Answer::Yes
          ? "absent: the eyedropper must do without a window over the pointer"
          : "fails: a window kept out of captures still changes what is read");
}

std::string read_exclusion(const std::string &key, const std::string &value, int, ReadState *s) {
  Fields f;
  if (!match(kExclusion, value, &f) || !answer_from(f.words[0], &s->r.exclusion_set) ||
      !under_from(f.words[1], &s->r.exclusion_getpixel) ||
      !under_from(f.words[2], &s->r.exclusion_block))
    return needs(key, "set yes|no|unknown, reads back 0xN; getpixel reads WHAT, block reads WHAT",
                 value);
  s->r.exclusion_readback = static_cast<uint32_t>(f.ints[0]);
  return {};
}

std::string write_probe(const MachineReport &r, const ReportMonitor *, int) {
  return with_verdict(
      printed("seen %d of %d, median %.3f ms, p95 %.3f ms from SendInput to the hook",
              r.probes_seen, r.probes, r.probe_latency.median_ms, r.probe_latency.p95_ms),
      r.probes > 0 && r.probes_seen == r.probes ? "holds: a low-level hook sees input here"
      : r.probes_seen > 0                       ? "partly: the hook missed some of its own probes"
                                                : "fails: the hook saw none of its own probes");
}

std::string read_probe(const std::string &key, const std::string &value, int, ReadState *s) {
  Fields f;
  if (!match("seen %i of %i, median %f ms, p95 %f ms from SendInput to the hook", value, &f) ||
      f.ints[0] < 0 || f.ints[1] < f.ints[0] || f.ints[1] > kMaxCount || f.reals[1] < f.reals[0])
    return needs(key, "seen N of N, median MS ms, p95 MS ms from SendInput to the hook", value);
  s->r.probes_seen = static_cast<int>(f.ints[0]);
  s->r.probes = static_cast<int>(f.ints[1]);
  s->r.probe_latency = ReadCost{f.reals[0], f.reals[1], s->r.probes_seen};
  return {};
}

constexpr const char *kClipboard = "own window %w, no owner refused %w";

std::string write_clipboard(const MachineReport &r, const ReportMonitor *, int) {
  return with_verdict(
      printed("own window %s, no owner refused %s", answer_word(r.clipboard_own_window),
              answer_word(r.clipboard_no_owner_refused)),
      r.clipboard_own_window == Answer::Yes ? "holds: the picker opens the clipboard for its own "
                                              "window"
      : r.clipboard_own_window == Answer::No
          ? "fails: data set for a window of one's own was refused"
          : "not measured: the clipboard held data that could not be put back; it was left as "
            "it was");
}

std::string read_clipboard(const std::string &key, const std::string &value, int, ReadState *s) {
  Fields f;
  if (!match(kClipboard, value, &f) || !answer_from(f.words[0], &s->r.clipboard_own_window) ||
      !answer_from(f.words[1], &s->r.clipboard_no_owner_refused))
    return needs(key, kClipboard, value);
  return {};
}

}  // namespace

void add_read_rules(std::vector<LineRule> *rules) {
  rules->insert(rules->end(), {
                                  {"read getpixel monitor", 2, write_getpixel, read_getpixel},
                                  {"read block monitor", 2, write_block, read_block},
                                  {"block vs getpixel monitor", 3, write_cells, read_cells},
                                  {"capture monitor", 4, write_capture, read_capture},
                                  {"picture monitor", 4, write_picture, read_picture},
                                  {"capture exclusion", 0, write_exclusion, read_exclusion},
                                  {"hook probe", 0, write_probe, read_probe},
                                  {"clipboard owner", 0, write_clipboard, read_clipboard},
                              });
}

}  // namespace hvhost::report
