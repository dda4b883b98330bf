// The host's careful file handling: reading input files (regular files
// only, up to a limit, with the system's reason) and writing output files
// through a temporary file that is renamed into place.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/file_read.h"
#include "output/file_write.h"

namespace {

namespace fs = std::filesystem;

std::string read_back(const std::string &p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class HostFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           (std::string("host_files_") +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string &name) const { return (dir_ / name).string(); }
  // Every name in the directory, so a test sees a temporary file left behind.
  std::vector<std::string> listing() const {
    std::vector<std::string> out;
    for (const auto &e : fs::directory_iterator(dir_)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

  fs::path dir_;
};

TEST_F(HostFiles, ReadingTakesOnlyARegularFileWithinTheLimit) {
  std::string content, error;
  std::ofstream(path("a.txt")) << "ok\n";
  EXPECT_TRUE(hvhost::read_regular_file(path("a.txt"), 3, &content, &error));
  EXPECT_EQ(content, "ok\n");
  fs::create_symlink(path("a.txt"), path("link.txt"));
  EXPECT_TRUE(hvhost::read_regular_file(path("link.txt"), 3, &content, &error));

  struct Bad {
    std::string path;
    size_t limit;
    std::string error;
  };
  ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
  for (const Bad &bad : {
           Bad{path("a.txt"), 2, "is 3 bytes; the limit is 2 (2 bytes)"},
           Bad{path("missing.txt"), 10, "No such file or directory"},
           Bad{dir_.string(), 10, "is a directory"},
           // Neither is read: /dev/zero would never end, a FIFO without a
           // writer would wait for one.
           Bad{"/dev/zero", size_t{4} << 20, "is not a regular file (a character device)"},
           Bad{path("fifo"), 10, "is not a regular file (a FIFO)"},
       }) {
    content = "stale";
    EXPECT_FALSE(hvhost::read_regular_file(bad.path, bad.limit, &content, &error)) << bad.path;
    EXPECT_EQ(error, bad.error);
    EXPECT_EQ(content, "");
  }
  EXPECT_EQ(hvhost::byte_size_text(size_t{4} << 20), "4 MiB");
  EXPECT_EQ(hvhost::byte_size_text(1000), "1000 bytes");
}

TEST_F(HostFiles, AWrittenFileReplacesTheOldOneOnlyWhenComplete) {
  std::ofstream(path("out.png")) << "old";
  {
    hvhost::AtomicFile file;
    ASSERT_TRUE(file.open(path("out.png"))) << file.error();
    EXPECT_TRUE(file.write("new"));
    EXPECT_EQ(read_back(path("out.png")), "old");
    EXPECT_EQ(listing().size(), 2u);  // the target and the temporary file
    ASSERT_TRUE(file.commit()) << file.error();
  }
  EXPECT_EQ(read_back(path("out.png")), "new");
  EXPECT_EQ(listing(), std::vector<std::string>{"out.png"});
  {
    hvhost::AtomicFile abandoned;  // never committed: nothing changes
    ASSERT_TRUE(abandoned.open(path("out.png")));
    abandoned.write("half");
  }
  EXPECT_EQ(read_back(path("out.png")), "new");
  EXPECT_EQ(listing(), std::vector<std::string>{"out.png"});
}

TEST_F(HostFiles, ALinkAtTheTargetIsReplacedNotFollowed) {
  std::ofstream(path("victim.txt")) << "precious";
  fs::create_symlink(path("victim.txt"), path("shot.png"));
  std::string error;
  ASSERT_TRUE(hvhost::write_file_atomically(path("shot.png"), "picture", &error)) << error;
  EXPECT_EQ(read_back(path("victim.txt")), "precious");
  EXPECT_FALSE(fs::is_symlink(path("shot.png")));
  EXPECT_EQ(read_back(path("shot.png")), "picture");
}

TEST_F(HostFiles, AStreamedFileIsReadableAsItIsWrittenAndOnlyARegularFile) {
  std::ofstream(path("trace.txt")) << "an older, longer trace\n";
  hvhost::StreamFile file;
  ASSERT_TRUE(file.open(path("trace.txt"))) << file.error();
  EXPECT_EQ(read_back(path("trace.txt")), "");  // emptied
  ASSERT_TRUE(file.write("lookup LWPanelServices 0\n"));
  // There at once, under its own name, with nothing beside it.
  EXPECT_EQ(read_back(path("trace.txt")), "lookup LWPanelServices 0\n");
  EXPECT_EQ(listing(), std::vector<std::string>{"trace.txt"});
  EXPECT_TRUE(file.close());

  std::ofstream(path("victim.txt")) << "precious";
  fs::create_symlink(path("victim.txt"), path("link.txt"));
  ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
  fs::create_directory(path("sub"));
  for (const auto &[name, why] : std::vector<std::pair<std::string, std::string>>{
           {path("link.txt"), "is a symbolic link"},
           {path("fifo"), "is not a regular file"},  // not waited on for a reader
           {"/dev/null", "is not a regular file"},
           {path("sub"), "is a directory"},
           {path("missing/t.txt"), "No such file or directory"}}) {
    EXPECT_FALSE(file.open(name)) << name;
    EXPECT_EQ(file.error(), "cannot write " + name + ": " + why);
  }
  EXPECT_EQ(read_back(path("victim.txt")), "precious");
}

TEST_F(HostFiles, FailuresGiveTheSystemsReasonAndLeaveNothingBehind) {
  std::string error;
  EXPECT_FALSE(hvhost::write_file_atomically(path("missing/a.png"), "x", &error));
  EXPECT_EQ(error, "cannot create a file in " + path("missing") + ": No such file or directory");

  fs::create_directory(path("sub"));
  hvhost::AtomicFile file;
  EXPECT_FALSE(file.open(path("sub")));
  EXPECT_EQ(file.error(), "cannot write " + path("sub") + ": is a directory");
  // One that appears while the file is written is found by the rename.
  ASSERT_TRUE(file.open(path("later")));
  fs::create_directory(path("later"));
  EXPECT_FALSE(file.commit());
  EXPECT_EQ(file.error(), "cannot replace " + path("later") + ": Is a directory");
  fs::remove(path("later"));
  EXPECT_EQ(listing(), std::vector<std::string>{"sub"});

  // A disk that fills up: the process may not write files beyond 1000
  // bytes, so the write fails with the system's EFBIG.
  std::ofstream(path("big.txt")) << "old";
  struct sigaction ignore = {}, old_action = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &old_action);
  rlimit old_limit = {};
  getrlimit(RLIMIT_FSIZE, &old_limit);
  rlimit small = old_limit;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written =
      hvhost::write_file_atomically(path("big.txt"), std::string(200000, 'x'), &error);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  sigaction(SIGXFSZ, &old_action, nullptr);
  EXPECT_FALSE(written);
  EXPECT_EQ(error, "cannot write " + path("big.txt") + ": File too large");
  EXPECT_EQ(read_back(path("big.txt")), "old");
  EXPECT_EQ(listing(), (std::vector<std::string>{"big.txt", "sub"}));
}

}  // namespace
