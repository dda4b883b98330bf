// The text report read back by walking the table of its lines
// (report_lines.h); a report that starts with '{' is its JSON.
#include <algorithm>
#include <cctype>

#include "common/machine_report.h"
#include "common/quote.h"
#include "common/report_lines.h"

namespace hvhost {

using report::LineRule;
using report::ReadState;

namespace {

std::string line_error(int number, const std::string &message) {
  return "line " + std::to_string(number) + ": " + message;
}

// The monitor's number after a per-monitor rule's key ("read block monitor
// 2"): 0..99 as written, without leading zeros; -1 when the key is not the
// rule's.
int monitor_number(const std::string &key, const LineRule &rule) {
  const std::string start = std::string(rule.key) + " ";
  if (key.compare(0, start.size(), start) != 0) return -1;
  const std::string digits = key.substr(start.size());
  if (digits.empty() || digits.size() > 2 || (digits.size() == 2 && digits[0] == '0')) return -1;
  for (char c : digits)
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
  return std::stoi(digits);
}

// The header's version: as far as the colon, printable, and short.
std::string header_version(const std::string &line, size_t from) {
  std::string version;
  for (size_t i = from; i < line.size() && line[i] != ':' && version.size() < 32; ++i) {
    if (line[i] > ' ' && line[i] < 0x7F) version += line[i];
  }
  return version;
}

// One line after the header: found by its key in the table and read; lines
// of no known key are skipped. Empty, or what is wrong.
std::string read_line(const std::string &line, ReadState *s) {
  const size_t colon = line.find(": ");
  if (colon == std::string::npos) return {};
  const std::string key = line.substr(0, colon);
  std::string value = line.substr(colon + 2);
  const size_t verdict = value.find(" -- ");
  if (verdict != std::string::npos) value.resize(verdict);
  for (const LineRule &rule : report::line_rules()) {
    if (rule.monitor_run == 0) {
      if (key == rule.key) return rule.read(key, value, 0, s);
      continue;
    }
    const int index = monitor_number(key, rule);
    if (index < 0) continue;
    // Lines on a monitor come after the monitor's own line.
    const bool adds_monitor = rule.read != nullptr && std::string(rule.key) == "monitor";
    if (!adds_monitor && (index < 1 || index > static_cast<int>(s->r.monitors.size())))
      return key + " names no monitor listed before it";
    return rule.read(key, value, index, s);
  }
  return {};
}

// What a report must have to set a desktop up.
std::string missing_lines(const ReadState &s) {
  if (s.r.monitors.empty()) return "the report lists no monitor ('monitor 1: WxH+0+0 at N %')";
  if (!s.hook_timeout) return "the report has no 'hook timeout' line";
  for (size_t i = 0; i < s.r.monitors.size(); ++i) {
    if (!s.getpixel_seen[i] || !s.block_seen[i])
      return "the report has no 'read getpixel' and 'read block' lines for monitor " +
             std::to_string(i + 1);
  }
  return {};
}

}  // namespace

std::string parse_machine_report(const std::string &text, MachineReport *out) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && text[first] == '{') return parse_machine_report_json(text, out);
  ReadState s;
  int number = 0;
  bool header = false;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (header) {
      const std::string problem = read_line(line, &s);
      if (!problem.empty()) return line_error(number, problem);
      continue;
    }
    const std::string start = "huevane-check ";
    if (line.compare(0, start.size(), start) != 0)
      return line_error(number,
                        "a huevane-check report starts with 'huevane-check VERSION' (or is its "
                        "JSON, '{'), not " +
                            quoted_text(line));
    s.r.check_version = header_version(line, start.size());
    header = true;
  }
  if (!header) return "the report is empty: a huevane-check report starts with 'huevane-check'";
  const std::string missing = missing_lines(s);
  if (!missing.empty()) return missing;
  *out = std::move(s.r);
  return {};
}

}  // namespace hvhost
