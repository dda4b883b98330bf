// Runs a program as a subprocess and captures what it prints (POSIX; for
// tests of the huevane-host command).
#pragma once

#include <string>
#include <vector>

namespace hvtest {

struct ProcessResult {
  int exit_code = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

struct ProcessOptions {
  std::string cwd;                     // the working directory; empty: ours
  std::vector<std::string> extra_env;  // "NAME=VALUE" added to our environment
  // The largest file the program may write, in bytes (RLIMIT_FSIZE; a write
  // beyond it fails with EFBIG, as on a full disk); negative: no limit.
  long long file_size_limit = -1;
  // Stderr into the same pipe as stdout (ProcessResult::out), to see the
  // order of the two streams' lines.
  bool merge_err = false;
};

ProcessResult run_process(const std::string &program, const std::vector<std::string> &args,
                          const ProcessOptions &options = {});

}  // namespace hvtest
