// The --trace file: every call the plug-in made, one a line, streamed as the
// calls happen, then "count OP N" for every operation called and
// "problem TEXT" for each problem noted. Written through a temporary file
// that takes the trace's name once it is complete.
#pragma once

#include <string>

#include "model/trace.h"
#include "output/file_write.h"

namespace hvhost {

class TraceFile : public TraceSink {
 public:
  // Creates the file's temporary beside path, so a path that cannot be
  // written is reported before the run. False with *error set.
  bool open(const std::string &path, std::string *error);
  void write(const TraceEntry &entry) override;
  // Takes the last entry from trace and stops being its sink, writes its
  // counts and problems and puts the file in place. False with *error set
  // ("cannot write t.txt: No space left on device").
  bool finish(CallTrace &trace, std::string *error);

 private:
  AtomicFile file_;
  std::string line_;
};

}  // namespace hvhost
