#include "output/trace_file.h"

namespace hvhost {

bool TraceFile::open(const std::string &path, std::string *error) {
  if (file_.open(path)) return true;
  *error = file_.error();
  return false;
}

void TraceFile::write(const TraceEntry &entry) {
  line_ = entry.to_string();
  line_ += '\n';
  // A failed write is kept by the file and reported by finish().
  file_.write(line_);
}

std::string trace_ending(const CallTrace &trace) {
  std::string out;
  for (int i = 0; i < kOpCount; ++i) {
    const Op op = static_cast<Op>(i);
    if (trace.count(op) > 0)
      out += "count " + std::string(op_name(op)) + " " + std::to_string(trace.count(op)) + "\n";
  }
  for (const std::string &p : trace.problems()) out += "problem " + p + "\n";
  return out;
}

bool TraceFile::finish(CallTrace &trace, std::string *error) {
  trace.set_sink(nullptr);
  file_.write(trace_ending(trace));
  if (file_.close()) return true;
  *error = file_.error();
  return false;
}

}  // namespace hvhost
