// The report's JSON members, one table: each names the record's field it
// holds. The writer (machine_report_json.cpp) and the reader
// (machine_report_json_read.cpp) both walk it.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <variant>
#include <vector>

#include "common/machine_report.h"
#include "common/report_words.h"

namespace hvhost::report {

using Json = nlohmann::ordered_json;

inline constexpr long long kInt = 2147483647;

// A string member: printable ASCII (what else it may hold is the text
// report's to say).
struct Text {
  std::string MachineReport::*field;
};
// A whole number in min..max; `null_below`: a value under min is written
// as null, and null is read as min - 1.
struct Whole {
  std::variant<int MachineReport::*, int64_t MachineReport::*, uint32_t MachineReport::*> field;
  long long min, max;
  bool null_below = false;
};
struct Cost {
  ReadCost MachineReport::*field;
  const char *unit;  // the figures are "median_UNIT" and "p95_UNIT"
};
using Field =
    std::variant<Text, Whole, Cost, Answer MachineReport::*, UnderExcluded MachineReport::*,
                 PenTest MachineReport::*, PenWindowCounts MachineReport::*>;

struct Member {
  const char *group;  // "" at the top
  const char *name;
  Field field;
};

// The members, in the order they are written ("" groups are at the top;
// the monitors' list is written after "compositor").
const std::vector<Member> &json_members();

// The monitors' members.
struct MonitorWhole {
  const char *name;
  int ReportMonitor::*field;
  long long min, max;
};
struct MonitorCost {
  const char *name;
  ReadCost ReportMonitor::*field;
};
const std::vector<MonitorWhole> &monitor_wholes();
const std::vector<MonitorCost> &monitor_costs();

// not-run, no-device, ran.
const char *pen_test_word(PenTest t);

}  // namespace hvhost::report
