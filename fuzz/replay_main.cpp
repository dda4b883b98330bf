// A plain driver for a libFuzzer harness, without libFuzzer: runs the
// harness once over each file named, or each file in each directory named
// (in name order), and stops at the first input that fails it. Built with
// g++ in the ASan + UBSan test tree, it replays the saved corpora and
// regressions as CTest tests (fuzz.replay.*).
//
//   replay_<harness> FILE_OR_DIR...
#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace {

namespace fs = std::filesystem;

// The files named: a file as itself, a directory as its regular files.
bool collect(const char *arg, std::vector<fs::path> *files) {
  std::error_code ec;
  if (!fs::is_directory(arg, ec)) {
    if (!fs::is_regular_file(arg, ec)) return false;
    files->push_back(arg);
    return true;
  }
  std::vector<fs::path> found;
  for (const fs::directory_entry &entry : fs::directory_iterator(arg, ec))
    if (entry.is_regular_file(ec)) found.push_back(entry.path());
  if (ec) return false;
  std::sort(found.begin(), found.end());
  files->insert(files->end(), found.begin(), found.end());
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    if (!collect(argv[i], &files)) {
      std::fprintf(stderr, "replay: cannot read %s\n", argv[i]);
      return 2;
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "replay: no inputs\n");
    return 2;
  }
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  for (const fs::path &file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    if (!in.is_open() || in.bad()) {
      std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
      return 2;
    }
    // The name first: a failing input is the last one printed.
    std::printf("replay: %s\n", file.c_str());
    std::fflush(stdout);
    // A buffer of exactly the input's size, so that ASan sees a read past it.
    const std::unique_ptr<uint8_t[]> input(new uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), input.get());
    LLVMFuzzerTestOneInput(input.get(), bytes.size());
  }
  std::printf("replay: %zu inputs passed\n", files.size());
  return 0;
}
