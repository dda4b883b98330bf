// The reference host serves a ColorPicker module that is not Huevane: the
// minimal picker (examples/minimal_picker), a C module built on the host's
// interface alone, loaded with --module and --server.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/plugin_session.h"
#include "support/process.h"

namespace {

using hvtest::ProcessResult;

// Built beside huevane-host.
std::string minimal_module() {
  return (std::filesystem::path(hvtest::host_program_path()).parent_path() / "minimal_picker.so")
      .string();
}

std::string write_script(const std::string &name, const std::string &text) {
  const std::string path = ::testing::TempDir() + "/" + name;
  std::ofstream(path) << text;
  return path;
}

// An editor value as the module reports it: v / 255 in single precision,
// printed as the host prints floats.
std::string channels(int r, int g, int b) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.9g %.9g %.9g", static_cast<double>(r / 255.0f),
                static_cast<double>(g / 255.0f), static_cast<double>(b / 255.0f));
  return buf;
}

ProcessResult run_minimal(const std::string &script, const std::string &color,
                          const std::string &trace) {
  return hvtest::run_process(hvtest::host_program_path(),
                             {"--module", minimal_module(), "--server", "Minimal", "--color", color,
                              "--script", script, "--trace", trace});
}

std::string read_file(const std::string &path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(MinimalModule, AnEditIsReportedAndOkReturnsIt) {
  ASSERT_TRUE(std::filesystem::exists(minimal_module())) << minimal_module();
  const std::string trace = ::testing::TempDir() + "/minimal_ok.trace";
  const ProcessResult r =
      run_minimal(write_script("minimal_ok.txt", "rgb 64 160 224\nok\n"), "0.8,0.5,0.3", trace);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "hot " + channels(64, 160, 224) + "\nresult 1 " + channels(64, 160, 224) + "\n");
  EXPECT_EQ(r.err, "");
  // The module opened with the requested colour in its editor, and the host
  // found nothing to object to in how it was called.
  const std::string calls = read_file(trace);
  EXPECT_NE(calls.find("control.set MiniRGBControl 4,204,128,77"), std::string::npos) << calls;
  EXPECT_EQ(calls.find("problem"), std::string::npos) << calls;
}

TEST(MinimalModule, CancelLeavesTheRequestAsItWas) {
  const std::string trace = ::testing::TempDir() + "/minimal_cancel.trace";
  const ProcessResult r = run_minimal(write_script("minimal_cancel.txt", "rgb 10 20 30\ncancel\n"),
                                      "0.2,0.4,0.6", trace);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "hot " + channels(10, 20, 30) + "\nresult 0 0.200000003 0.400000006 0.600000024\n");
  EXPECT_EQ(read_file(trace).find("problem"), std::string::npos);
}

// The guide shows the CI script as it is, and the picker it builds is the
// one here; the script runs under Wine (the author_ci case).
TEST(MinimalModule, TheGuideQuotesItsCiScriptWhole) {
  const std::string guide = read_file(hvtest::source_dir() + "/docs/writing-a-picker.md");
  const std::string ci = read_file(hvtest::source_dir() + "/examples/minimal_picker/ci.sh");
  ASSERT_FALSE(ci.empty());
  EXPECT_NE(guide.find("```sh\n" + ci + "```"), std::string::npos)
      << "docs/writing-a-picker.md does not quote examples/minimal_picker/ci.sh as it is";
  EXPECT_NE(guide.find("src/abi/host_api.h"), std::string::npos);
}

TEST(MinimalModule, TheServerIsChosenByName) {
  const ProcessResult r =
      hvtest::run_process(hvtest::host_program_path(), {"--module", minimal_module()});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("has no ColorPicker server named 'Huevane'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Minimal"), std::string::npos) << r.err;
}

}  // namespace
