// Every test process writes its files (::testing::TempDir(), and whatever
// it starts through TMPDIR) in a directory of its own, made under TMPDIR (or
// /tmp) when the process starts and removed with everything in it when the
// process ends, so that a test run leaves nothing behind. Linked into every
// test program through tests/support.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class ProcessTempDir {
 public:
  ProcessTempDir() : owner_(getpid()) {
    const char *base = std::getenv("TMPDIR");
    std::string pattern = (base != nullptr && base[0] != '\0') ? base : "/tmp";
    pattern += "/huevane-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) return;  // TempDir() stays TMPDIR
    path_ = name.data();
    // TempDir() reads TEST_TMPDIR first; the programs the tests start read
    // TMPDIR.
    setenv("TEST_TMPDIR", (path_ + "/").c_str(), 1);
    setenv("TMPDIR", path_.c_str(), 1);
  }
  ~ProcessTempDir() {
    // A forked child that exits runs this too; only the maker removes it.
    if (path_.empty() || getpid() != owner_) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ProcessTempDir(const ProcessTempDir &) = delete;
  ProcessTempDir &operator=(const ProcessTempDir &) = delete;

 private:
  pid_t owner_;
  std::string path_;
};

const ProcessTempDir process_temp_dir;

}  // namespace
