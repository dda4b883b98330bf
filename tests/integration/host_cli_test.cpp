// The huevane-host command, run as a subprocess.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "services/headless.h"
#include "support/plugin_session.h"
#include "support/process.h"

namespace {

using hvtest::ProcessResult;

ProcessResult host(std::vector<std::string> args) {
  return hvtest::run_process(hvtest::host_program_path(), args);
}

std::vector<std::string> fake(std::vector<std::string> args) {
  args.insert(args.begin(),
              {"--module", hvtest::test_module_path("fake_picker"), "--server", "Fake"});
  return args;
}

// The parameters below write their scripts when the test program starts,
// and CTest runs several test programs at once: each file is written aside
// and renamed into place, so that a host reading it never sees it half
// written.
std::string write_script(const std::string &name, const std::string &text) {
  const std::string path = ::testing::TempDir() + "/" + name;
  const std::string aside = path + "." + std::to_string(::getpid());
  std::ofstream(aside) << text;
  std::filesystem::rename(aside, path);
  return path;
}

TEST(HostCommand, PrintsHotCallbacksAndTheResult) {
  const std::string script = write_script("cli_ok.txt", "press 51 102\nrgb 255 0 0\nok\n");
  const ProcessResult r = host(fake({"--color", "0.5,0.25,1", "--script", script}));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "hot 0.498039216 0.247058824 1\n"
            "hot 0.200000003 0.400000006 0\n"
            "hot 1 0 0\n"
            "result 1 1 0 0\n");
  EXPECT_EQ(r.err, "");
}

TEST(HostCommand, WithoutAScriptThePanelIsCancelled) {
  const ProcessResult r = host(fake({"--color", "1,0,0", "--no-title"}));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "hot 1 0 0\nresult 0 1 0 0\n");
}

TEST(HostCommand, WritesSnapshotsIntoTheGivenDirectory) {
  const std::string dir = ::testing::TempDir() + "/cli_snapshots";
  std::filesystem::remove_all(dir);
  const std::string script = write_script("cli_snap.txt", "snapshot first\nok\n");
  ProcessResult r = host(fake({"--script", script, "--snapshot", dir}));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir + "/first.png"));
  r = host(fake({"--script", script}));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "note: snapshot first skipped (no snapshot directory)\n");
}

struct BadRun {
  std::vector<std::string> args;
  int exit_code;
  std::string error;  // the start of stderr
};

void PrintTo(const BadRun &b, std::ostream *os) {
  for (const std::string &a : b.args) *os << a << ' ';
}

class HostCommandErrors : public ::testing::TestWithParam<BadRun> {};

TEST_P(HostCommandErrors, ExitNonzeroWithAClearMessage) {
  const ProcessResult r = host(GetParam().args);
  EXPECT_EQ(r.exit_code, GetParam().exit_code) << r.err;
  EXPECT_EQ(r.err.substr(0, GetParam().error.size()), GetParam().error) << r.err;
  // Bad input stops before the request; a failed action ends a request that
  // has run, and its result is printed.
  if (GetParam().exit_code != hvhost::kExitRun) {
    EXPECT_EQ(r.out.find("result"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    HostCommand, HostCommandErrors,
    ::testing::Values(
        BadRun{fake({"--color", "1,2"}), 1, "error: --color needs three numbers R,G,B, not '1,2'"},
        BadRun{fake({"--color", "1,2,3,4"}), 1, "error: --color needs three numbers"},
        BadRun{fake({"--color", "a,0,0"}), 1,
               "error: --color channel 'a' is not a number within -1000..1000"},
        BadRun{fake({"--color", "nan,0,0"}), 1, "error: --color channel 'nan'"},
        BadRun{fake({"--color", "0,1e30,0"}), 1, "error: --color channel '1e30'"},
        BadRun{fake({"--color", "0,,0"}), 1, "error: --color channel ''"},
        BadRun{fake({"--display", "0x100"}), 1, "error: --display needs WIDTHxHEIGHT"},
        BadRun{fake({"--display", "1920"}), 1, "error: --display needs WIDTHxHEIGHT"},
        BadRun{fake({"--display", "99999999999x1"}), 1, "error: --display needs WIDTHxHEIGHT"},
        BadRun{fake({"--title", "x", "--no-title"}), 1, "--title excludes --no-title"},
        BadRun{fake({"--bogus"}), 1, "The following argument was not expected: --bogus"},
        BadRun{fake({"--script", "/nonexistent/script.txt"}), 1,
               "error: /nonexistent/script.txt: cannot read the script"},
        BadRun{fake({"--script", write_script("cli_bad.txt", "ok\n\npress 1\n")}), 1,
               "error: " + ::testing::TempDir() + "/cli_bad.txt, line 3: missing Y"},
        BadRun{{"--module", "/nonexistent/module.so"},
               2,
               "error: module not found: /nonexistent/module.so"},
        BadRun{{"--module", hvtest::test_module_path("fake_picker")},
               2,
               "error: " + hvtest::test_module_path("fake_picker") +
                   " has no ColorPicker server named 'Huevane'"},
        BadRun{
            {"--module", hvtest::test_module_path("fake_picker"), "--server", "Fake", "--script",
             write_script("cli_snapfail.txt", "snapshot x\nok\n"), "--snapshot", "/proc/forbidden"},
            3,
            "error: line 1: cannot create snapshot directory /proc/forbidden"}));

TEST(HostCommand, TraceFileListsThePlugInsCalls) {
  const std::string trace = ::testing::TempDir() + "/cli_trace.txt";
  const ProcessResult r = host(fake({"--trace", trace}));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  std::ifstream in(trace);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "lookup LWPanelServices 0");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "control.add MiniRGBControl 5,0,0"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "count panel.open 1"), lines.end());
}

TEST(HostCommand, HelpExitsZero) {
  const ProcessResult r = host({"--help"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("--snapshot"), std::string::npos);
}

TEST(HostCommand, LeftOverActionsAreNoted) {
  const std::string script = write_script("cli_left.txt", "ok\nrgb 1 2 3\n");
  const ProcessResult r = host(fake({"--script", script}));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "note: 1 script action(s) left over: no panel was open for them\n");
}

}  // namespace
