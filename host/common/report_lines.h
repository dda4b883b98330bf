// The report's text lines, one rule each: its key, its value and verdict as
// written from the record, and its value read back into the record. The
// writer and the reader both walk this one table.
#pragma once

#include <string>
#include <vector>

#include "common/machine_report.h"

namespace hvhost::report {

// What the reader has gathered so far.
struct ReadState {
  MachineReport r;
  std::vector<bool> getpixel_seen, block_seen;  // a line each monitor must have
  bool hook_timeout = false;
};

struct LineRule {
  const char *key;  // per monitor: followed by " N", the monitor's number
  // 0: one line. Otherwise written once for each monitor: the rules of one
  // run (the same number, next to each other) monitor by monitor.
  int monitor_run;
  // The value, " -- " and the verdict; empty: the line is left out. `m` is
  // the monitor (null for a line that is not per monitor), `index` its number.
  std::string (*write)(const MachineReport &r, const ReportMonitor *m, int index);
  // Reads the value into the state; empty, or what is wrong (after "line N: ").
  std::string (*read)(const std::string &key, const std::string &value, int index, ReadState *s);
};

// The rules, in the order the lines are written.
const std::vector<LineRule> &line_rules();

// The "KEY needs 'FORM', not 'VALUE'" message.
std::string needs(const std::string &key, const std::string &form, const std::string &value);

}  // namespace hvhost::report
