// A JSON report read back by walking the table of its members
// (report_json_members.h); the figures are then checked by the text
// report's own rules.
#include <algorithm>
#include <cmath>

#include "common/report_json_members.h"

namespace hvhost {

using report::Cost;
using report::Field;
using report::Json;
using report::kInt;
using report::kMaxCount;
using report::Member;
using report::MonitorCost;
using report::MonitorWhole;
using report::Text;
using report::Whole;

namespace {

// Deeper than a report ever is: refused before it is parsed.
constexpr int kMaxDepth = 8;

bool too_deep(const std::string &text) {
  int depth = 0;
  bool in_string = false, escaped = false;
  for (char c : text) {
    if (in_string) {
      in_string = escaped || c != '"';
      escaped = !escaped && c == '\\';
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{' || c == '[') {
      if (++depth > kMaxDepth) return true;
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return false;
}

std::string bad(const std::string &where, const char *what) {
  return "JSON: " + where + " " + what;
}

std::string read_whole(const Json &v, const std::string &where, long long min, long long max,
                       bool null_ok, long long *out) {
  if (null_ok && v.is_null()) {
    *out = min - 1;
    return {};
  }
  const std::string range =
      "is a whole number within " + std::to_string(min) + ".." + std::to_string(max);
  if (!v.is_number_integer()) return bad(where, range.c_str());
  if (v.is_number_unsigned() && v.get<uint64_t>() > static_cast<uint64_t>(max))
    return bad(where, range.c_str());
  const long long x = v.is_number_unsigned() ? static_cast<long long>(v.get<uint64_t>())
                                             : static_cast<long long>(v.get<int64_t>());
  if (x < min || x > max) return bad(where, range.c_str());
  *out = x;
  return {};
}

std::string read_ms(const Json &v, const std::string &where, double *out) {
  if (!v.is_number() || !std::isfinite(v.get<double>()) || v.get<double>() < 0 ||
      v.get<double>() > report::kMaxMs)
    return bad(where, "is a figure within 0..600000");
  *out = v.get<double>();
  return {};
}

std::string read_cost(const Json &v, const std::string &where, const char *unit, ReadCost *out) {
  const std::string median = std::string("median_") + unit, p95 = std::string("p95_") + unit;
  if (!v.is_object() || !v.contains(median) || !v.contains(p95) || !v.contains("count"))
    return bad(where, ("is {\"" + median + "\", \"" + p95 + "\", \"count\"}").c_str());
  ReadCost c;
  long long count = 0;
  std::string e = read_ms(v[median], where + "." + median, &c.median_ms);
  if (e.empty()) e = read_ms(v[p95], where + "." + p95, &c.p95_ms);
  if (e.empty()) e = read_whole(v["count"], where + ".count", 0, kMaxCount, false, &count);
  if (!e.empty()) return e;
  c.count = static_cast<int>(count);
  *out = c;
  return {};
}

std::string read_answer(const Json &v, const std::string &where, Answer *out) {
  if (!v.is_null() && !v.is_boolean()) return bad(where, "is true, false or null");
  *out = v.is_null() ? Answer::Unknown : v.get<bool>() ? Answer::Yes : Answer::No;
  return {};
}

// A word of `words` into *out.
template <typename T, size_t N>
std::string read_word(const Json &v, const std::string &where, const T (&all)[N],
                      const char *(*word)(T), T *out) {
  for (T t : all) {
    if (v.is_string() && v.get<std::string>() == word(t)) {
      *out = t;
      return {};
    }
  }
  return bad(where, "is not one of its words");
}

// Printable ASCII only: a line feed would make lines of its own in the text.
std::string read_text(const Json &v, const std::string &where, std::string *out) {
  const auto printable = [](const std::string &t) {
    return std::all_of(t.begin(), t.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
  };
  if (!v.is_string() || v.get<std::string>().size() > 64 || !printable(v.get<std::string>()))
    return bad(where, "is printable text of at most 64 characters");
  *out = v.get<std::string>();
  return {};
}

std::string read_counts(const Json &v, const std::string &where, PenWindowCounts *out) {
  if (!v.is_object()) return bad(where, "is {\"pointer\", \"mouse\", \"hook\", \"cursor\"}");
  int PenWindowCounts::*const fields[] = {&PenWindowCounts::pointer, &PenWindowCounts::mouse,
                                          &PenWindowCounts::hook, &PenWindowCounts::cursor};
  const char *const names[] = {"pointer", "mouse", "hook", "cursor"};
  PenWindowCounts c;
  for (int i = 0; i < 4; ++i) {
    long long n = 0;
    const std::string e = read_whole(v.contains(names[i]) ? v[names[i]] : Json(),
                                     where + "." + names[i], 0, kInt, false, &n);
    if (!e.empty()) return e;
    c.*fields[i] = static_cast<int>(n);
  }
  *out = c;
  return {};
}

std::string read_member(const Json &v, const std::string &where, const Field &field,
                        MachineReport *r) {
  struct Reader {
    const Json &v;
    const std::string &where;
    MachineReport *r;
    std::string operator()(const Text &t) const { return read_text(v, where, &(r->*t.field)); }
    std::string operator()(const Whole &w) const {
      long long n = 0;
      const std::string e = read_whole(v, where, w.min, w.max, w.null_below, &n);
      if (e.empty())
        std::visit([&](auto f) { r->*f = static_cast<decltype(+(r->*f))>(n); }, w.field);
      return e;
    }
    std::string operator()(const Cost &c) const {
      return read_cost(v, where, c.unit, &(r->*c.field));
    }
    std::string operator()(Answer MachineReport::*f) const {
      return read_answer(v, where, &(r->*f));
    }
    std::string operator()(UnderExcluded MachineReport::*f) const {
      static const UnderExcluded kAll[] = {UnderExcluded::Unknown, UnderExcluded::Beneath,
                                           UnderExcluded::Black, UnderExcluded::Window,
                                           UnderExcluded::Other};
      return read_word(v, where, kAll, report::under_word, &(r->*f));
    }
    std::string operator()(PenTest MachineReport::*f) const {
      static const PenTest kAll[] = {PenTest::NotRun, PenTest::NoDevice, PenTest::Ran};
      return read_word(v, where, kAll, report::pen_test_word, &(r->*f));
    }
    std::string operator()(PenWindowCounts MachineReport::*f) const {
      return read_counts(v, where, &(r->*f));
    }
  };
  return std::visit(Reader{v, where, r}, field);
}

std::string read_monitor(const Json &v, const std::string &where, ReportMonitor *m) {
  if (!v.is_object()) return bad(where, "is an object");
  for (const MonitorWhole &w : report::monitor_wholes()) {
    if (!v.contains(w.name)) continue;
    long long n = 0;
    const std::string e = read_whole(v[w.name], where + "." + w.name, w.min, w.max, false, &n);
    if (!e.empty()) return e;
    m->*w.field = static_cast<int>(n);
  }
  for (const MonitorCost &c : report::monitor_costs()) {
    if (!v.contains(c.name)) continue;
    const std::string e = read_cost(v[c.name], where + "." + c.name, "ms", &(m->*c.field));
    if (!e.empty()) return e;
  }
  return {};
}

// The members of the document into *r: those present, each checked.
std::string read_document(const Json &doc, MachineReport *r) {
  if (!doc.is_object()) return "JSON: the report is an object";
  for (const Member &m : report::json_members()) {
    const Json *scope = &doc;
    std::string where = m.name;
    if (*m.group) {
      if (!doc.contains(m.group) || !doc[m.group].is_object()) continue;
      scope = &doc[m.group];
      where = std::string(m.group) + "." + m.name;
    }
    if (!scope->contains(m.name)) continue;
    const std::string e = read_member((*scope)[m.name], where, m.field, r);
    if (!e.empty()) return e;
  }
  if (!doc.contains("monitors") || !doc["monitors"].is_array() || doc["monitors"].empty() ||
      doc["monitors"].size() > static_cast<size_t>(report::kMaxMonitors))
    return "JSON: monitors is a list of 1 to 16 monitors";
  for (size_t i = 0; i < doc["monitors"].size(); ++i) {
    ReportMonitor m;
    const std::string e =
        read_monitor(doc["monitors"][i], "monitors[" + std::to_string(i) + "]", &m);
    if (!e.empty()) return e;
    r->monitors.push_back(m);
  }
  if (!doc.contains("hook_timeout_ms")) return "JSON: the report has no hook_timeout_ms";
  return {};
}

}  // namespace

std::string parse_machine_report_json(const std::string &text, MachineReport *out) {
  if (too_deep(text)) return "JSON: nested deeper than a report is";
  const Json doc = Json::parse(text, nullptr, false);
  if (doc.is_discarded()) return "JSON: not well-formed";
  MachineReport r;
  std::string e = read_document(doc, &r);
  if (!e.empty()) return e;
  // Every rule between the figures is the text report's: the record is
  // written as text and read back from it.
  MachineReport checked;
  e = parse_machine_report(format_machine_report(r), &checked);
  if (e.compare(0, 5, "line ") == 0) e.erase(0, e.find(": ") + 2);  // a line the user never saw
  if (!e.empty()) return "JSON: " + e;
  *out = std::move(checked);
  return {};
}

}  // namespace hvhost
