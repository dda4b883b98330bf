// The report as JSON, written by walking the table of its members
// (report_json_members.h) with nlohmann's JSON.
#include <cmath>

#include "common/report_json_members.h"

namespace hvhost {

namespace report {

const std::vector<Member> &json_members() {
  using R = MachineReport;
  static const std::vector<Member> table = {
      {"", "check_version", Text{&R::check_version}},
      {"windows", "major", Whole{&R::windows_major, 0, kInt}},
      {"windows", "minor", Whole{&R::windows_minor, 0, kInt}},
      {"windows", "build", Whole{&R::windows_build, 0, kInt}},
      {"", "compositor", &R::compositor},
      {"dpi", "process", Text{&R::process_dpi}},
      {"dpi", "thread_per_monitor_v2", &R::dpi_v2},
      {"dpi", "thread_per_monitor", &R::dpi_v1},
      {"", "hook_timeout_ms", Whole{&R::hook_timeout_ms, 1, 60000}},
      {"", "hook_timeout_set_ms", Whole{&R::hook_timeout_set_ms, 0, 9999999999LL, true}},
      {"", "hook_cost", Cost{&R::hook_cost_us, "us"}},
      {"capture_exclusion", "set", &R::exclusion_set},
      {"capture_exclusion", "reads_back", Whole{&R::exclusion_readback, 0, 0xFFFFFFFFLL}},
      {"capture_exclusion", "getpixel", &R::exclusion_getpixel},
      {"capture_exclusion", "block", &R::exclusion_block},
      {"hook_probe", "probes", Whole{&R::probes, 0, kMaxCount}},
      {"hook_probe", "seen", Whole{&R::probes_seen, 0, kMaxCount}},
      {"hook_probe", "latency", Cost{&R::probe_latency, "ms"}},
      {"clipboard", "own_window", &R::clipboard_own_window},
      {"clipboard", "no_owner_refused", &R::clipboard_no_owner_refused},
      {"pointer_devices", "pens", Whole{&R::pens, 0, kInt}},
      {"pointer_devices", "touches", Whole{&R::touches, 0, kInt}},
      {"pointer_devices", "mouse_in_pointer", &R::mouse_in_pointer},
      {"pen", "hook_over_pointer_window", &R::pen_hook_over_pointer_window},
      {"pen", "cursor_over_pointer_window", &R::pen_cursor_over_pointer_window},
      {"pen", "hook_over_default_window", &R::pen_hook_over_default_window},
      {"pen", "cursor_over_default_window", &R::pen_cursor_over_default_window},
      {"pen_test", "ran", &R::pen_test},
      {"pen_test", "seconds", Whole{&R::pen_seconds, 0, 600}},
      {"pen_test", "pointer_window", &R::pen_pointer_window},
      {"pen_test", "default_window", &R::pen_default_window},
      {"picture_taps", "pen", Whole{&R::picture_pen_taps, 0, kInt}},
      {"picture_taps", "touch", Whole{&R::picture_touch_taps, 0, kInt}},
      {"picture_taps", "mouse_presses", Whole{&R::picture_mouse_presses, 0, kInt}},
      {"picture_taps", "signed_presses", Whole{&R::picture_signed_presses, 0, kInt}},
      {"picture_taps", "activated", &R::picture_activated},
      {"hook_signature", "pen", Whole{&R::hook_pen_events, 0, kInt}},
      {"hook_signature", "touch", Whole{&R::hook_touch_events, 0, kInt}},
      {"hook_signature", "mouse", Whole{&R::hook_mouse_events, 0, kInt}},
      {"hook_signature", "signed_injected", Whole{&R::hook_signed_injected, 0, kInt}},
  };
  return table;
}

constexpr long long kFar = 16 * kMaxSide;
const std::vector<MonitorWhole> &monitor_wholes() {
  static const std::vector<MonitorWhole> table = {
      {"x", &ReportMonitor::x, -kFar, kFar},
      {"y", &ReportMonitor::y, -kFar, kFar},
      {"width", &ReportMonitor::width, 1, kMaxSide},
      {"height", &ReportMonitor::height, 1, kMaxSide},
      {"scale_percent", &ReportMonitor::scale, 100, 500},
      {"cells", &ReportMonitor::cells, -1, kMaxCount},
      {"block_equal", &ReportMonitor::block_equal, 0, kMaxCount},
      {"drawn_equal", &ReportMonitor::drawn_equal, 0, kMaxCount},
      {"picture_pixels", &ReportMonitor::picture_pixels, -1, kInt},
      {"picture_equal", &ReportMonitor::picture_equal, 0, kInt},
  };
  return table;
}
const std::vector<MonitorCost> &monitor_costs() {
  static const std::vector<MonitorCost> table = {
      {"getpixel", &ReportMonitor::getpixel},
      {"block", &ReportMonitor::block},
      {"capture", &ReportMonitor::capture},
  };
  return table;
}

const char *pen_test_word(PenTest t) {
  return t == PenTest::Ran ? "ran" : t == PenTest::NoDevice ? "no-device" : "not-run";
}

}  // namespace report

namespace {

using report::Cost;
using report::Field;
using report::Json;
using report::json_members;
using report::Member;
using report::monitor_costs;
using report::monitor_wholes;
using report::MonitorCost;
using report::MonitorWhole;
using report::pen_test_word;
using report::Text;
using report::under_word;
using report::Whole;

Json answer_json(Answer a) { return a == Answer::Unknown ? Json() : Json(a == Answer::Yes); }

// A figure to the microsecond (or nanosecond), as the text has it.
double thousandths(double v) { return std::round(v * 1000) / 1000; }

Json cost_json(const ReadCost &c, const char *unit) {
  Json j;
  j[std::string("median_") + unit] = thousandths(c.median_ms);
  j[std::string("p95_") + unit] = thousandths(c.p95_ms);
  j["count"] = c.count;
  return j;
}

Json counts_json(const PenWindowCounts &c) {
  return Json{{"pointer", c.pointer}, {"mouse", c.mouse}, {"hook", c.hook}, {"cursor", c.cursor}};
}

// One member's value, from the record.
Json member_json(const MachineReport &r, const Field &field) {
  struct Writer {
    const MachineReport &r;
    Json operator()(const Text &t) const { return r.*t.field; }
    Json operator()(const Whole &w) const {
      const long long v = std::visit([&](auto f) { return static_cast<long long>(r.*f); }, w.field);
      return w.null_below && v < w.min ? Json() : Json(v);
    }
    Json operator()(const Cost &c) const { return cost_json(r.*c.field, c.unit); }
    Json operator()(Answer MachineReport::*f) const { return answer_json(r.*f); }
    Json operator()(UnderExcluded MachineReport::*f) const { return under_word(r.*f); }
    Json operator()(PenTest MachineReport::*f) const { return pen_test_word(r.*f); }
    Json operator()(PenWindowCounts MachineReport::*f) const { return counts_json(r.*f); }
  };
  return std::visit(Writer{r}, field);
}

Json monitor_json(const ReportMonitor &m) {
  Json j;
  for (const MonitorWhole &w : monitor_wholes()) {
    j[w.name] = m.*w.field;
    if (std::string(w.name) == "scale_percent")
      for (const MonitorCost &c : monitor_costs()) j[c.name] = cost_json(m.*c.field, "ms");
  }
  return j;
}

}  // namespace

std::string format_machine_report_json(const MachineReport &r) {
  Json out;
  for (const Member &m : json_members()) {
    Json value = member_json(r, m.field);
    if (*m.group)
      out[m.group][m.name] = std::move(value);
    else
      out[m.name] = std::move(value);
    if (std::string(m.name) == "compositor") {
      out["monitors"] = Json::array();
      for (const ReportMonitor &monitor : r.monitors)
        out["monitors"].push_back(monitor_json(monitor));
    }
  }
  return out.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace hvhost
