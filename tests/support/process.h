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

ProcessResult run_process(const std::string &program, const std::vector<std::string> &args);

}  // namespace hvtest
