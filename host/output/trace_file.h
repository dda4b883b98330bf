// The --trace file: every call the plug-in made, one a line, written to the
// file as the calls happen (each line reaches the system at once, so the
// file can be read during the run and keeps every line after a kill), then
// "count OP N" for every operation called and "problem TEXT" for each
// problem noted.
#pragma once

#include <string>

#include "model/trace.h"
#include "output/file_write.h"

namespace hvhost {

class TraceFile : public TraceSink {
 public:
  // Creates or empties the file at path (a regular file; a link planted at
  // its name is refused), so a path that cannot be written is reported
  // before the run. False with *error set.
  bool open(const std::string &path, std::string *error);
  void write(const TraceEntry &entry) override;
  // Takes the last entry from trace and stops being its sink, writes its
  // counts and problems and closes the file. False with *error set
  // ("cannot write t.txt: No space left on device").
  bool finish(CallTrace &trace, std::string *error);

  // The open file's descriptor, for a crash report's last lines; -1 when
  // closed.
  int descriptor() const { return file_.descriptor(); }

 private:
  StreamFile file_;
  std::string line_;
};

// The lines a trace ends with: "count OP N" for every operation called,
// then "problem TEXT" for each problem noted.
std::string trace_ending(const CallTrace &trace);

}  // namespace hvhost
