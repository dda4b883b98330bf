// The huevane-host command, run as a subprocess.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>

#include "common/machine_report.h"
#include "desktop.h"
#include "input/script_grammar.h"
#include "output/file_write.h"
#include "session/cli.h"
#include "session/exit_codes.h"
#include "session/guard.h"
#include "session/headless.h"
#include "support/plugin_session.h"
#include "support/png_bytes.h"
#include "support/process.h"

namespace {

using hvtest::ProcessResult;

namespace fs = std::filesystem;

ProcessResult host(std::vector<std::string> args, const hvtest::ProcessOptions &options = {}) {
  return hvtest::run_process(hvtest::host_program_path(), args, options);
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
  std::string error;
  if (!hvhost::write_file_atomically(path, text, &error)) ADD_FAILURE() << error;
  return path;
}

// A link at name to a file that must stay as it is.
std::string planted_link(const std::string &name) {
  const std::string link = ::testing::TempDir() + "/" + name;
  const std::string victim = write_script(name + ".victim", "precious");
  std::error_code ec;
  fs::remove(link, ec);
  fs::create_symlink(victim, link, ec);
  return link;
}

// A fresh empty directory under the test's temporary directory.
std::string fresh_dir(const std::string &name) {
  const std::string dir = ::testing::TempDir() + "/" + name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string read_back(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A huevane-check report of a composited Windows machine of two monitors,
// its reads about 20 ms, with the given hook timeout and capture exclusion
// line.
std::string composited_report(const std::string &hook_timeout, const std::string &exclusion) {
  return "huevane-check 1.0.0: what the Huevane eyedropper relies on, measured on this machine\r\n"
         "windows: 10.0 build 22631 -- holds\r\n"
         "compositor: on -- as designed for\r\n"
         "monitor 1: 2560x1440+0+0 at 150 %\r\n"
         "monitor 2: 1920x1080-1920+0 at 100 %\r\n"
         "dpi: process unaware; thread to per-monitor-v2 yes, to per-monitor yes -- holds\r\n"
         "hook timeout: " +
         hook_timeout +
         " -- holds\r\n"
         "hook cost: median 1.200 us, p95 3.400 us over 40 events -- holds\r\n"
         "read getpixel monitor 1: median 19.600 ms, p95 24.100 ms over 21 reads -- holds\r\n"
         "read block monitor 1: median 20.400 ms, p95 25.000 ms over 20 reads -- holds\r\n"
         "read getpixel monitor 2: median 16.700 ms, p95 17.000 ms over 24 reads -- holds\r\n"
         "read block monitor 2: median 16.900 ms, p95 17.100 ms over 24 reads -- holds\r\n"
         "block vs getpixel monitor 1: 81 of 81 cells equal, 81 of 81 as drawn -- holds\r\n"
         "block vs getpixel monitor 2: not checked -- unknown\r\n"
         "capture exclusion: " +
         exclusion +
         " -- holds\r\n"
         "hook probe: seen 20 of 20, median 0.400 ms, p95 0.900 ms from SendInput to the hook\r\n"
         "clipboard owner: own window yes, no owner refused yes -- holds\r\n"
         "pointer devices: 1 pen, 1 touch; mouse-in-pointer no -- run huevane-check --pen\r\n"
         "pen over pointer window: hook no, cursor no -- needs a window of its own\r\n";
}

const std::string kExcluded =
    "set yes, reads back 0x11; getpixel reads beneath, block reads beneath";
const std::string kNotExcluded =
    "set no, reads back 0x0; getpixel reads window, block reads window";

// What huevane-check 1.1.0 wrote with --json on a machine of two monitors.
const std::string kJsonReport = R"({
  "check_version": "1.1.0",
  "windows": {"major": 6, "minor": 1, "build": 7601},
  "compositor": false,
  "monitors": [
    {"x": 0, "y": 0, "width": 1920, "height": 1080, "scale_percent": 100, "getpixel": {"median_ms": 0.048, "p95_ms": 0.540, "count": 200}, "block": {"median_ms": 0.033, "p95_ms": 0.604, "count": 200}, "cells": 225, "block_equal": 225, "drawn_equal": 225},
    {"x": 1920, "y": 0, "width": 1280, "height": 1024, "scale_percent": 125, "getpixel": {"median_ms": 2.600, "p95_ms": 3.000, "count": 20}, "block": {"median_ms": 1.000, "p95_ms": 1.200, "count": 20}, "cells": -1, "block_equal": 0, "drawn_equal": 0}
  ],
  "dpi": {"process": "per-monitor", "thread_per_monitor_v2": false, "thread_per_monitor": true},
  "hook_timeout_ms": 300, "hook_timeout_set_ms": null,
  "hook_cost": {"median_us": 285.500, "p95_us": 2858.300, "count": 20},
  "capture_exclusion": {"set": false, "reads_back": 0, "getpixel": "window", "block": "window"},
  "hook_probe": {"probes": 20, "seen": 20, "latency": {"median_ms": 0.307, "p95_ms": 7.277, "count": 20}},
  "clipboard": {"own_window": true, "no_owner_refused": false},
  "pointer_devices": {"pens": 0, "touches": 0, "mouse_in_pointer": null},
  "pen": {"hook_over_pointer_window": null, "cursor_over_pointer_window": null, "hook_over_default_window": null, "cursor_over_default_window": null}
}
)";

// The lines of the frozen run's measurements and of --pen, for the two
// monitors of composited_report.
const std::string kFrozenAndPenLines =
    "capture monitor 1: median 24.000 ms, p95 31.000 ms over 10 captures\r\n"
    "picture monitor 1: 3686400 of 3686400 pixels equal\r\n"
    "capture monitor 2: median 12.000 ms, p95 14.000 ms over 10 captures\r\n"
    "picture monitor 2: 2073000 of 2073600 pixels equal\r\n"
    "pen test: ran 30 s; pointer window 40 pointer, 0 mouse, 0 hook, 0 cursor; default window 35 "
    "pointer, 35 mouse, 30 hook, 28 cursor\r\n"
    "pen on picture: pen taps 3, touch taps 2, mouse presses 5 (5 signed); activated no\r\n"
    "hook signature: pen 120, touch 14, mouse 300 events; 134 of the signed injected\r\n";

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

// The plug-in on a monitor left of a 150 % primary, its thread DPI-unaware:
// the magnifier's centre cell, the title and the pick are the pixel under
// the pointer (the test pattern spans both monitors from x = -1920).
TEST(HostCommand, MonitorsAndDpiAwarenessSetUpTheDesktop) {
  const std::string script = write_script(
      "cli_monitors.txt",
      "key S\ndesktop move -1000 950\nwait 100\ndesktop press left\ndesktop release left\nok\n");
  const std::string trace = ::testing::TempDir() + "/cli_monitors.trace";
  const ProcessResult r = host({"--module", hvtest::plugin_module_path(), "--monitors",
                                "1920x1080+0+0@150,1920x1080-1920+0", "--dpi-awareness", "unaware",
                                "--script", script, "--trace", trace});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const uint32_t rgb = desktop_test_pattern(-1000 + 1920, 950, 3840, 1080);
  const int c[3] = {static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF),
                    static_cast<int>(rgb & 0xFF)};
  char line[128], box[64], title[64];
  std::snprintf(line, sizeof line, "result 1 %.9g %.9g %.9g\n", static_cast<float>(c[0] / 255.0),
                static_cast<float>(c[1] / 255.0), static_cast<float>(c[2] / 255.0));
  std::snprintf(box, sizeof box, "raster.rgb_box %d,%d,%d,43,43,4,4", c[0], c[1], c[2]);
  std::snprintf(title, sizeof title, "%3d,%3d,%3d", c[0], c[1], c[2]);
  EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
  const std::string calls = read_back(trace);
  EXPECT_NE(calls.find(box), std::string::npos);
  EXPECT_NE(calls.find(title), std::string::npos);
}

// Screen reads that cost more than the hook timeout allows: the desktop
// drops the hook, which the trace shows; the plug-in installs it again
// once, and ends its run at the second loss, cancelled.
TEST(HostCommand, ScreenReadCostsAndTheHookTimeoutShowInTheTrace) {
  std::string text = "key S\n";
  for (int x = 500; x <= 550; x += 10)
    text += "desktop move " + std::to_string(x) + " 500\nwait 100\n";
  // The hook is lost and replaced; the run goes on until the right button,
  // which the key state tells of when no hook saw it.
  text += "desktop press right\ndesktop release right\nwait 200\n";
  const std::string script = write_script("cli_costs.txt", text + "ok\n");
  const std::string trace = ::testing::TempDir() + "/cli_costs.trace";
  const ProcessResult r =
      host({"--module", hvtest::plugin_module_path(), "--color", "0.2,0.4,0.6", "--screen-read-ms",
            "20", "--hook-timeout-ms", "10", "--script", script, "--trace", trace});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("result 1 0.200000003 0.400000006 0.600000024\n"), std::string::npos)
      << r.out;
  const std::string calls = read_back(trace);
  EXPECT_NE(calls.find("desktop.hook_removed"), std::string::npos);
  EXPECT_NE(calls.find("count desktop.hook_removed 2"), std::string::npos) << calls.substr(0, 400);
}

// A report replays its machine: its monitors (a pick on the second one),
// its read cost and its hook timeout (reads of 20 ms against a 10 ms
// timeout: the desktop drops the hook twice; the right button ends the run).
TEST(HostCommand, AReportSetsTheDesktopUpAsItsMachine) {
  const std::string report = write_script(
      "cli_report_10ms.txt", composited_report("10 ms (LowLevelHooksTimeout 10 ms)", kExcluded));
  std::string text = "key S\n";
  for (int x = -1000; x <= -950; x += 10)
    text += "desktop move " + std::to_string(x) + " 500\nwait 100\n";
  text += "desktop press right\ndesktop release right\nwait 200\n";
  const std::string script = write_script("cli_report_costs.txt", text + "ok\n");
  const std::string trace = ::testing::TempDir() + "/cli_report.trace";
  const ProcessResult r = host({"--module", hvtest::plugin_module_path(), "--color", "0.2,0.4,0.6",
                                "--desktop-from", report, "--script", script, "--trace", trace});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("result 1 0.200000003 0.400000006 0.600000024\n"), std::string::npos)
      << r.out;
  const std::string calls = read_back(trace);
  EXPECT_NE(calls.find("count desktop.hook_removed 2"), std::string::npos) << calls.substr(0, 400);

  // The same machine with Windows' 1000 ms: a pick on the left monitor
  // takes the pixel there.
  const std::string slow =
      write_script("cli_report_1000ms.txt",
                   composited_report("1000 ms (LowLevelHooksTimeout 5000 ms)", kNotExcluded));
  const std::string pick = write_script(
      "cli_report_pick.txt",
      "key S\ndesktop move -1000 950\nwait 100\ndesktop press left\ndesktop release left\nok\n");
  const ProcessResult p =
      host({"--module", hvtest::plugin_module_path(), "--desktop-from", slow, "--script", pick});
  ASSERT_EQ(p.exit_code, 0) << p.err;
  const uint32_t rgb = desktop_test_pattern(-1000 + 1920, 950, 1920 + 2560, 1440);
  char line[128];
  std::snprintf(
      line, sizeof line, "result 1 %.9g %.9g %.9g\n", static_cast<float>((rgb >> 16) / 255.0),
      static_cast<float>(((rgb >> 8) & 0xFF) / 255.0), static_cast<float>((rgb & 0xFF) / 255.0));
  EXPECT_NE(p.out.find(line), std::string::npos) << p.out;
}

// What --desktop-from takes of a report, and what the report keeps of the
// machine's features; each report also reads back the same after being
// written out again.
struct Replay {
  std::string name;
  std::string report;
  std::vector<hvhost::MonitorConfig> monitors;
  uint32_t read_ms, timeout_ms;
  hvhost::Answer exclusion;
  hvhost::UnderExcluded under;
  int capture_exclusion;  // the desktop's mode: 0 yes, 2 fails
  bool compositor;
  std::vector<std::string> kept = {};  // lines the report writes again as read
};

void PrintTo(const Replay &r, std::ostream *os) { *os << r.name; }

class DesktopFromReport : public ::testing::TestWithParam<Replay> {};

TEST_P(DesktopFromReport, SetsMonitorsCostsAndFeatures) {
  const Replay &row = GetParam();
  hvhost::CommonOptions options;
  options.desktop_from = write_script("cli_" + row.name + ".txt", row.report);
  hvhost::SessionConfig config;
  ASSERT_EQ(hvhost::apply_common_options(options, &config), "");
  ASSERT_EQ(config.monitors.size(), row.monitors.size());
  for (size_t i = 0; i < row.monitors.size(); ++i) {
    const hvhost::MonitorConfig &a = config.monitors[i], &b = row.monitors[i];
    EXPECT_EQ(std::vector<int>({a.x, a.y, a.width, a.height, a.scale}),
              std::vector<int>({b.x, b.y, b.width, b.height, b.scale}));
  }
  EXPECT_EQ(config.display_width, row.monitors[0].width);
  EXPECT_EQ(config.screen_read_ms, row.read_ms);
  EXPECT_EQ(config.hook_timeout_ms, row.timeout_ms);
  ASSERT_TRUE(config.machine);
  EXPECT_EQ(config.machine->exclusion_set, row.exclusion);
  EXPECT_EQ(config.machine->exclusion_getpixel, row.under);
  EXPECT_EQ(config.capture_exclusion, row.capture_exclusion);
  EXPECT_EQ(config.compositor, row.compositor);
  const std::string again = hvhost::format_machine_report(*config.machine);
  hvhost::MachineReport back;
  ASSERT_EQ(hvhost::parse_machine_report(again, &back), "") << again;
  EXPECT_EQ(hvhost::format_machine_report(back), again);
  EXPECT_EQ(hvhost::format_machine_report_json(back),
            hvhost::format_machine_report_json(*config.machine));
  // The JSON form reads back as the same record, and lines the row names
  // are kept as they were read.
  hvhost::MachineReport from_json;
  ASSERT_EQ(hvhost::parse_machine_report(hvhost::format_machine_report_json(back), &from_json), "");
  EXPECT_EQ(hvhost::format_machine_report(from_json), again);
  for (const std::string &line : row.kept) EXPECT_NE(again.find(line), std::string::npos) << again;
  // Refused on its last line, the same text leaves the record untouched.
  hvhost::MachineReport fresh;
  EXPECT_NE(hvhost::parse_machine_report(again + "monitor 99: 1x1+0+0 at 100 %\n", &fresh), "");
  EXPECT_EQ(hvhost::format_machine_report_json(fresh),
            hvhost::format_machine_report_json(hvhost::MachineReport{}));
}

std::string wine_report() { return read_back(HUEVANE_SOURCE_DIR "/docs/huevane-check-wine.txt"); }

INSTANTIATE_TEST_SUITE_P(
    HostCommand, DesktopFromReport,
    ::testing::Values(
        // Wine 8 on Xvfb: no compositor, reads in microseconds, the timeout
        // not set (300 ms), no capture exclusion.
        Replay{"fast_wine",
               wine_report(),
               {{0, 0, 1920, 1080, 100}},
               0,
               300,
               hvhost::Answer::No,
               hvhost::UnderExcluded::Window,
               2,
               false},
        Replay{"composited",
               composited_report("1000 ms (LowLevelHooksTimeout 5000 ms)", kExcluded),
               {{0, 0, 2560, 1440, 150}, {-1920, 0, 1920, 1080, 100}},
               20,
               1000,
               hvhost::Answer::Yes,
               hvhost::UnderExcluded::Beneath,
               0,
               true},
        Replay{"exclusion_absent",
               composited_report("300 ms (LowLevelHooksTimeout not set)", kNotExcluded),
               {{0, 0, 2560, 1440, 150}, {-1920, 0, 1920, 1080, 100}},
               20,
               300,
               hvhost::Answer::No,
               hvhost::UnderExcluded::Window,
               2,
               true},
        // Unix line ends, no final one; lines it does not know, verdicts
        // holding ": " and " -- " of their own; a third monitor above the
        // primary. Reads round to whole milliseconds (2.5 to 3).
        Replay{"lf_unknown_lines_three_monitors",
               "huevane-check 1.1.0-rc1: measured\n"
               "note: not a line huevane-check writes\n"
               "a line without a colon\n"
               "monitor 01: skipped, as its number is not written so\n"
               "monitor 1: 1920x1080+0+0 at 100 % -- holds: a: b -- c\n"
               "monitor 2: 1280x1024+1920+0 at 125 %\n"
               "monitor 3: 1920x1080+0-1080 at 100 %\n"
               "\n"
               "compositor: off -- holds: -- twice\n"
               "hook timeout: 200 ms (LowLevelHooksTimeout 200 ms)\n"
               "read getpixel monitor 1: median 0.400 ms, p95 0.500 ms over 10 reads\n"
               "read block monitor 1: median 0.400 ms, p95 0.500 ms over 10 reads\n"
               "read getpixel monitor 2: median 2.500 ms, p95 2.500 ms over 10 reads\n"
               "read block monitor 2: median 1.000 ms, p95 9.000 ms over 10 reads\n"
               "read getpixel monitor 3: median 0 ms, p95 0 ms over 0 reads\n"
               "read block monitor 3: median 0 ms, p95 0 ms over 0 reads",
               {{0, 0, 1920, 1080, 100}, {1920, 0, 1280, 1024, 125}, {0, -1080, 1920, 1080, 100}},
               3,
               200,
               hvhost::Answer::Unknown,
               hvhost::UnderExcluded::Unknown,
               0,
               false},
        // JSON as huevane-check 1.1.0 wrote it: read as its text would be.
        Replay{"json_as_written_before",
               kJsonReport,
               {{0, 0, 1920, 1080, 100}, {1920, 0, 1280, 1024, 125}},
               3,
               300,
               hvhost::Answer::No,
               hvhost::UnderExcluded::Window,
               2,
               false,
               {"monitor 2: 1280x1024+1920+0 at 125 %", "block vs getpixel monitor 2: not checked",
                "hook timeout: 300 ms (LowLevelHooksTimeout not set)"}},
        // The frozen run's lines and --pen's: kept as read.
        Replay{"frozen_and_pen_lines",
               composited_report("1000 ms (LowLevelHooksTimeout 5000 ms)", kExcluded) +
                   kFrozenAndPenLines,
               {{0, 0, 2560, 1440, 150}, {-1920, 0, 1920, 1080, 100}},
               20,
               1000,
               hvhost::Answer::Yes,
               hvhost::UnderExcluded::Beneath,
               0,
               true,
               {"capture monitor 1: median 24.000 ms, p95 31.000 ms over 10 captures -- holds",
                "picture monitor 1: 3686400 of 3686400 pixels equal -- holds",
                "capture monitor 2: median 12.000 ms, p95 14.000 ms over 10 captures -- holds",
                "picture monitor 2: 2073000 of 2073600 pixels equal -- fails",
                "pen test: ran 30 s; pointer window 40 pointer, 0 mouse, 0 hook, 0 cursor; default "
                "window 35 pointer, 35 mouse, 30 hook, 28 cursor -- ",
                "pen on picture: pen taps 3, touch taps 2, mouse presses 5 (5 signed); activated "
                "no -- holds",
                "hook signature: pen 120, touch 14, mouse 300 events; 134 of the signed injected "
                "-- holds",
                "frozen picture: differs from the screen on monitor 2\n",
                "pen and touch: 1 pen and 1 touch screen found; tested: taps reached"}},
        Replay{"pen_test_without_a_device",
               composited_report("300 ms (LowLevelHooksTimeout not set)", kNotExcluded) +
                   "pen test: no pen or touch device, ended at once\r\n",
               {{0, 0, 2560, 1440, 150}, {-1920, 0, 1920, 1080, 100}},
               20,
               300,
               hvhost::Answer::No,
               hvhost::UnderExcluded::Window,
               2,
               true,
               {"pen test: no pen or touch device, ended at once -- nothing to ask"}},
        // The largest figures taken: sides of 16384 at 500 %, reads of ten
        // minutes (charged as the desktop's 10 s at most), a million reads,
        // a registry timeout past 32 bits; a Windows older than 7 has no
        // capture exclusion whatever the line says.
        Replay{"largest_figures_windows_xp",
               "huevane-check 1.0.0\r\n"
               "windows: 5.1 build 2600\r\n"
               "monitor 1: 16384x16384+0+0 at 500 %\r\n"
               "hook timeout: 60000 ms (LowLevelHooksTimeout 9999999999 ms)\r\n"
               "read getpixel monitor 1: median 600000 ms, p95 600000 ms over 1000000 reads\r\n"
               "read block monitor 1: median 1.5 ms, p95 1.5 ms over 1 reads\r\n"
               "capture exclusion: " +
                   kExcluded + "\r\n",
               {{0, 0, 16384, 16384, 500}},
               10000,
               60000,
               hvhost::Answer::Yes,
               hvhost::UnderExcluded::Beneath,
               3,
               true}),
    [](const ::testing::TestParamInfo<Replay> &row) { return row.param.name; });

// A record with every field away from its default and from every other
// field reads back the same from its text and from its JSON: no line or
// member drops, swaps or rounds a field beyond the text's thousandths.
TEST(HostCommand, AReportReadsBackAsWrittenAsTextAndAsJson) {
  hvhost::MachineReport r;
  r.check_version = "1.2.0-rc1";
  r.windows_major = 10;
  r.windows_build = 22631;
  r.compositor = hvhost::Answer::Yes;
  hvhost::ReportMonitor a, b;
  a = {0,
       0,
       2560,
       1440,
       150,
       {19.6, 24.1, 21},
       {20.4, 25.0, 20},
       81,
       80,
       79,
       {40.125, 52.5, 10},
       3686400,
       3686399};
  b = {-1920, 0, 1920, 1080, 125, {1, 2, 3}, {4, 5, 6}, -1, 0, 0, {}, -1, 0};
  r.monitors = {a, b};
  r.process_dpi = "unaware";
  r.dpi_v2 = hvhost::Answer::No;
  r.dpi_v1 = hvhost::Answer::Yes;
  r.hook_timeout_set_ms = 5000;
  r.hook_timeout_ms = 1000;
  r.hook_cost_us = {1.2, 3.4, 40};
  r.exclusion_set = hvhost::Answer::Yes;
  r.exclusion_readback = 0x11;
  r.exclusion_getpixel = hvhost::UnderExcluded::Black;
  r.exclusion_block = hvhost::UnderExcluded::Other;
  r.probes = 20;
  r.probes_seen = 19;
  r.probe_latency = {0.4, 0.9, 19};
  r.clipboard_own_window = hvhost::Answer::Yes;
  r.clipboard_no_owner_refused = hvhost::Answer::No;
  r.pens = 1;
  r.touches = 2;
  r.mouse_in_pointer = hvhost::Answer::No;
  r.pen_hook_over_pointer_window = hvhost::Answer::No;
  r.pen_cursor_over_pointer_window = hvhost::Answer::Yes;
  r.pen_hook_over_default_window = hvhost::Answer::Yes;
  r.pen_test = hvhost::PenTest::Ran;
  r.pen_seconds = 30;
  r.pen_pointer_window = {1, 2, 3, 4};
  r.pen_default_window = {5, 6, 7, 8};
  r.picture_pen_taps = 9;
  r.picture_touch_taps = 10;
  r.picture_mouse_presses = 13;
  r.picture_signed_presses = 12;
  r.picture_activated = hvhost::Answer::No;
  r.hook_pen_events = 14;
  r.hook_touch_events = 15;
  r.hook_mouse_events = 16;
  r.hook_signed_injected = 17;
  const std::string json = hvhost::format_machine_report_json(r);
  hvhost::MachineReport from_text, from_json;
  ASSERT_EQ(hvhost::parse_machine_report(hvhost::format_machine_report(r), &from_text), "");
  ASSERT_EQ(hvhost::parse_machine_report(json, &from_json), "") << json;
  EXPECT_EQ(hvhost::format_machine_report_json(from_text), json);
  EXPECT_EQ(hvhost::format_machine_report_json(from_json), json);
  EXPECT_EQ(from_text.pen_default_window.cursor, 8);
  EXPECT_EQ(from_json.hook_signed_injected, 17);
  EXPECT_EQ(from_json.monitors[1].x, -1920);
}

// What huevane-check tells the artist: the plain lines that open its
// report (right after the header, a blank line after them), from a machine
// of one monitor that reads fast, shows its picture back and has no pen,
// changed as each row says.
struct ArtistLine {
  std::string name;
  void (*change)(hvhost::MachineReport *);
  std::string line;
};

void PrintTo(const ArtistLine &a, std::ostream *os) { *os << a.name; }

class ArtistSummary : public ::testing::TestWithParam<ArtistLine> {};

TEST_P(ArtistSummary, OpensTheReportInPlainWords) {
  hvhost::ReportMonitor m;
  m.width = 1920;
  m.height = 1080;
  m.getpixel = {0.05, 0.5, 200};
  m.block = {0.04, 0.6, 200};
  m.capture = {31.6, 36.9, 10};
  m.picture_pixels = m.picture_equal = 1920 * 1080;
  hvhost::MachineReport r;
  r.check_version = "1.1.0";
  r.monitors = {m};
  r.hook_timeout_ms = 300;
  r.probes = r.probes_seen = 20;
  GetParam().change(&r);
  const std::string text = hvhost::format_machine_report(r);
  const size_t header = text.find('\n') + 1, blank = text.find("\n\n");
  ASSERT_NE(blank, std::string::npos) << text;
  const std::string plain = text.substr(header, blank + 1 - header);
  EXPECT_EQ(plain, hvhost::artist_summary(r));
  EXPECT_NE(plain.find(GetParam().line + "\n"), std::string::npos) << plain;
  EXPECT_NE(plain.find("what to do: attach this file to your bug report"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    HostCommand, ArtistSummary,
    ::testing::Values(
        ArtistLine{"as_measured", [](hvhost::MachineReport *) {},
                   "screen reads: fast (0.05 ms each)\npen and touch: none found\nfrozen "
                   "picture: shown exactly on every monitor checked; capturing takes 32 ms a "
                   "monitor\nmouse hook: sees input"},
        ArtistLine{"composited",
                   [](hvhost::MachineReport *r) { r->monitors[0].block.median_ms = 19.6; },
                   "screen reads: slow (20 ms each): the magnifier follows the pointer in steps"},
        ArtistLine{"no_read",
                   [](hvhost::MachineReport *r) {
                     r->monitors[0].getpixel.count = r->monitors[0].block.count = 0;
                   },
                   "screen reads: not measured"},
        ArtistLine{"pen_untested", [](hvhost::MachineReport *r) { r->pens = 1; },
                   "pen and touch: 1 pen and 0 touch screens found; not tested: run "
                   "huevane-check --pen and tap the windows it shows"},
        ArtistLine{"pen_tapped",
                   [](hvhost::MachineReport *r) {
                     r->pens = r->touches = 2;
                     r->pen_test = hvhost::PenTest::Ran;
                     r->picture_touch_taps = 1;
                   },
                   "pen and touch: 2 pens and 2 touch screens found; tested: taps reached the "
                   "eyedropper's frozen picture"},
        ArtistLine{"pen_not_tapped",
                   [](hvhost::MachineReport *r) {
                     r->touches = 1;
                     r->pen_test = hvhost::PenTest::Ran;
                   },
                   "pen and touch: 0 pens and 1 touch screen found; tested, but the picture's "
                   "window was not tapped"},
        ArtistLine{"picture_differs",
                   [](hvhost::MachineReport *r) { r->monitors[0].picture_equal -= 1; },
                   "frozen picture: differs from the screen on monitor 1"},
        ArtistLine{"picture_unchecked",
                   [](hvhost::MachineReport *r) { r->monitors[0].picture_pixels = -1; },
                   "frozen picture: not checked"},
        ArtistLine{"hook_blind", [](hvhost::MachineReport *r) { r->probes_seen = 0; },
                   "mouse hook: saw none of its test input: the eyedropper may not follow the "
                   "mouse here"},
        ArtistLine{"hook_partly", [](hvhost::MachineReport *r) { r->probes_seen = 19; },
                   "mouse hook: missed some of its test input"}),
    [](const ::testing::TestParamInfo<ArtistLine> &row) { return row.param.name; });

// Double-clicked, huevane-check is alone on a console Windows made for it
// and ends with a message box; from a command prompt, or with its output
// going to a file or a pipe, it does not. The box says where the report is
// and what to do with it, or why it could not be written.
TEST(HostCommand, HuevaneCheckEndsWithANoteWhenDoubleClicked) {
  EXPECT_TRUE(hvhost::check_ends_with_message_box(1, false));
  EXPECT_TRUE(hvhost::check_ends_with_message_box(0, false));
  EXPECT_FALSE(hvhost::check_ends_with_message_box(2, false));
  EXPECT_FALSE(hvhost::check_ends_with_message_box(1, true));
  const std::string path = "C:\\Users\\Ann\\Downloads\\huevane\\huevane-check.txt";
  const std::string written = hvhost::check_finish_note(path, true, 0);
  EXPECT_NE(written.find(path), std::string::npos) << written;
  EXPECT_NE(written.find("Attach huevane-check.txt to your bug report"), std::string::npos);
  const std::string refused = hvhost::check_finish_note(path, false, 5);
  EXPECT_NE(refused.find("could not save its report to\n\n" + path), std::string::npos);
  EXPECT_NE(refused.find("(Windows error 5)"), std::string::npos) << refused;
}

// A pen over a window that handles pen input itself, scripted headless:
// after "key F" (which reaches the system's key state) the run is frozen
// and the tap picks from its picture; without it the tap is the window's and
// the run is still going when the script's "ok" comes.
TEST(HostCommand, PenOverAWindowOfItsOwnPicksOnceFrozen) {
  const char *const tap =
      "pen move 1400 850\npen move 1500 900\nwait 200\npen down 1500 900\n"
      "pen up 1500 900\nwait 100\nok\n";
  const std::string frozen =
      write_script("cli_pen.txt", std::string("key S\nkey F\nwait 100\n") + tap);
  const std::string live = write_script("cli_pen_live.txt", std::string("key S\n") + tap);
  const uint32_t rgb = desktop_test_pattern(1500, 900, 1920, 1080);
  char line[128];
  std::snprintf(line, sizeof line, "result 1 %.9g %.9g %.9g\n",
                static_cast<float>(static_cast<int>(rgb >> 16) / 255.0),
                static_cast<float>(static_cast<int>((rgb >> 8) & 0xFF) / 255.0),
                static_cast<float>(static_cast<int>(rgb & 0xFF) / 255.0));
  const ProcessResult r = host({"--module", hvtest::plugin_module_path(), "--window",
                                "pointer,1000,500,900,560", "--script", frozen});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
  const ProcessResult still =
      host({"--module", hvtest::plugin_module_path(), "--window", "pointer,1000,500,900,560",
            "--color", "0.2,0.4,0.6", "--script", live});
  EXPECT_EQ(still.out.find(line), std::string::npos) << still.out;
}

TEST(HostCommand, WithoutAScriptThePanelIsCancelled) {
  const ProcessResult r = host(fake({"--color", "1,0,0", "--no-title"}));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "hot 1 0 0\nresult 0 1 0 0\n");
  // --class-version pins the one version offered: 5 is refused.
  const ProcessResult pinned = host(fake({"--color", "1,0,0", "--class-version", "5"}));
  EXPECT_EQ(pinned.exit_code, 0) << pinned.err;
  EXPECT_EQ(pinned.out, "result 0 1 0 0\n");
  EXPECT_EQ(pinned.err, "note: the plug-in's activation returned 1\n");
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
  // has run, and prints no result either.
  EXPECT_EQ(r.out.find("result"), std::string::npos) << r.out;
}

// A file that starts as a Windows module does.
std::string windows_module() {
  const std::string path = write_script("cli_windows.p", std::string("MZ\x90\0", 4) + "PE");
  return path;
}

// A report that would be whole but for its sixth line, which is refused
// with `reason`, its number and the report's path before it.
BadRun refused_report(const std::string &name, const std::string &line, const std::string &reason) {
  const std::string path =
      write_script("cli_report_" + name + ".txt",
                   "huevane-check 1.0.0\n"
                   "monitor 1: 1920x1080+0+0 at 100 %\n"
                   "hook timeout: 300 ms (LowLevelHooksTimeout not set)\n"
                   "read getpixel monitor 1: median 1.000 ms, p95 2.000 ms over 10 reads\n"
                   "read block monitor 1: median 1.000 ms, p95 2.000 ms over 10 reads\n" +
                       line + "\n");
  return BadRun{fake({"--desktop-from", path}), 1,
                "error: --desktop-from: " + path + " is not a huevane-check report: " + reason};
}

// The JSON report with `from` replaced by `to`, refused with `reason`.
BadRun refused_json(const std::string &name, const std::string &from, const std::string &to,
                    const std::string &reason) {
  std::string text = kJsonReport;
  const size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  const std::string path = write_script("cli_json_" + name + ".json", text);
  return BadRun{fake({"--desktop-from", path}), 1,
                "error: --desktop-from: " + path + " is not a huevane-check report: " + reason};
}

// A whole report of two monitors, the second at `second` (WxH+X+Y).
std::string two_monitor_report(const std::string &second) {
  std::string text =
      "huevane-check 1.0.0\nmonitor 1: 1920x1080+0+0 at 100 %\nmonitor 2: " + second +
      " at 100 %\nhook timeout: 300 ms (LowLevelHooksTimeout not set)\n";
  for (const char *m : {"1", "2"}) {
    for (const char *read : {"getpixel", "block"})
      text +=
          std::string("read ") + read + " monitor " + m + ": median 1 ms, p95 2 ms over 10 reads\n";
  }
  return text;
}

const std::string kMonitorForm = "monitor 2 needs 'WxH+X+Y at SCALE %', sides 1..16384";
const std::string kCostForm =
    "line 6: read block monitor 1 needs 'median MS ms, p95 MS ms over N reads', not ";

INSTANTIATE_TEST_SUITE_P(
    HostCommand, HostCommandErrors,
    ::testing::Values(
        // Report lines refused: figures out of range, too long, negative or
        // without their units, and words the reader has no meaning for.
        refused_report("no_percent", "monitor 2: 1920x1080+1920+0 at 100",
                       "line 6: " + kMonitorForm),
        refused_report("side_digits", "monitor 2: 99999999999x1080+1920+0 at 100 %",
                       "line 6: " + kMonitorForm),
        refused_report("side_over", "monitor 2: 16385x1080+1920+0 at 100 %",
                       "line 6: " + kMonitorForm),
        refused_report("far_origin", "monitor 2: 1920x1080+300000+0 at 100 %",
                       "line 6: " + kMonitorForm),
        refused_report("scale_over", "monitor 2: 1920x1080+1920+0 at 501 %",
                       "line 6: " + kMonitorForm),
        refused_report("unsigned_origin", "monitor 2: 1920x1080 1920 0 at 100 %",
                       "line 6: " + kMonitorForm),
        refused_report("timeout_negative", "hook timeout: -5 ms (LowLevelHooksTimeout not set)",
                       "line 6: the hook timeout in force is 1..60000 ms\n"),
        refused_report("timeout_over", "hook timeout: 60001 ms (LowLevelHooksTimeout not set)",
                       "line 6: the hook timeout in force is 1..60000 ms\n"),
        refused_report("timeout_no_ms", "hook timeout: 300 (LowLevelHooksTimeout not set)",
                       "line 6: hook timeout needs 'MS ms (LowLevelHooksTimeout MS ms | not "
                       "set)', not '300 (LowLevelHooksTimeout not set)'\n"),
        refused_report("registry_negative", "hook timeout: 300 ms (LowLevelHooksTimeout -1 ms)",
                       "line 6: hook timeout needs 'MS ms (LowLevelHooksTimeout MS ms)'"),
        refused_report("cost_negative",
                       "read block monitor 1: median -1.000 ms, p95 2.000 ms over 10 reads",
                       kCostForm + "'median -1.000 ms"),
        refused_report("cost_p95_under_median",
                       "read block monitor 1: median 3.000 ms, p95 2.000 ms over 10 reads",
                       kCostForm),
        refused_report("cost_past_ten_minutes",
                       "read block monitor 1: median 1 ms, p95 600001 ms over 10 reads", kCostForm),
        refused_report("cost_exponent",
                       "read block monitor 1: median 1e3 ms, p95 2 ms over 1 reads", kCostForm),
        refused_report("count_negative",
                       "read block monitor 1: median 1 ms, p95 2 ms over -3 reads", kCostForm),
        refused_report("count_no_unit", "read block monitor 1: median 1 ms, p95 2 ms over 10",
                       kCostForm + "'median 1 ms, p95 2 ms over 10'\n"),
        refused_report("read_unlisted", "read block monitor 2: median 1 ms, p95 2 ms over 1 reads",
                       "line 6: read block monitor 2 names no monitor listed before it\n"),
        refused_report("cells_over",
                       "block vs getpixel monitor 1: 90 of 81 cells equal, 81 of 81 "
                       "as drawn",
                       "line 6: block vs getpixel monitor 1 needs 'N of N cells equal, N of N as "
                       "drawn'"),
        // The verdict is cut off before the value is judged.
        refused_report("compositor_word", "compositor: sometimes -- holds: on -- off",
                       "line 6: compositor needs 'on, off or unknown', not 'sometimes'\n"),
        refused_report("compositor_extra", "compositor: on please",
                       "line 6: compositor needs 'on, off or unknown', not 'on please'\n"),
        refused_report("build_negative", "windows: 10.0 build -1",
                       "line 6: windows needs 'MAJOR.MINOR build N'"),
        refused_report("exclusion_word",
                       "capture exclusion: set yes, reads back 0x11; getpixel reads purple, block "
                       "reads beneath",
                       "line 6: capture exclusion needs"),
        refused_report("readback_wide",
                       "capture exclusion: set yes, reads back 0x100000000; getpixel reads "
                       "beneath, block reads beneath",
                       "line 6: capture exclusion needs"),
        refused_report("probe_seen_more",
                       "hook probe: seen 21 of 20, median 0.4 ms, p95 0.9 ms from SendInput to the "
                       "hook",
                       "line 6: hook probe needs"),
        refused_report("pens_negative", "pointer devices: -1 pen, 0 touch; mouse-in-pointer no",
                       "line 6: pointer devices needs"),
        // Figures past an int are refused, not cut to one that reads back
        // otherwise (or not at all).
        refused_report("build_past_int", "windows: 10.0 build 9999999999",
                       "line 6: windows needs 'MAJOR.MINOR build N'"),
        refused_report("pens_past_int",
                       "pointer devices: 3000000000 pen, 0 touch; mouse-in-pointer no",
                       "line 6: pointer devices needs"),
        refused_report("dpi_answer",
                       "dpi: process unaware; thread to per-monitor-v2 maybe, to "
                       "per-monitor yes",
                       "line 6: dpi needs"),
        // The frozen run's lines and --pen's, their figures out of reach.
        refused_report("picture_more_equal", "picture monitor 1: 11 of 10 pixels equal",
                       "line 6: picture monitor 1 needs 'N of N pixels equal'"),
        refused_report("capture_unit", "capture monitor 1: median 1 ms, p95 2 ms over 3 reads",
                       "line 6: capture monitor 1 needs 'median MS ms, p95 MS ms over N "
                       "captures'"),
        refused_report("pen_test_long",
                       "pen test: ran 601 s; pointer window 0 pointer, 0 mouse, 0 hook, 0 cursor; "
                       "default window 0 pointer, 0 mouse, 0 hook, 0 cursor",
                       "line 6: pen test needs 'no pen or touch device, ended at once' or 'ran"),
        refused_report("signature_signed_more",
                       "hook signature: pen 1, touch 1, mouse 0 events; 3 of the signed injected",
                       "line 6: hook signature needs"),
        refused_report("picture_taps_signed_more",
                       "pen on picture: pen taps 1, touch taps 0, mouse presses 1 (2 signed); "
                       "activated no",
                       "line 6: pen on picture needs"),
        // JSON: not JSON, too deep, members of the wrong kind or out of
        // reach, and figures the text report would refuse.
        refused_json("cut", "\n}\n", "", "JSON: not well-formed\n"),
        refused_json("deep", "\"pen\": {", "\"deep\": [[[[[[[[[]]]]]]]]], \"pen\": {",
                     "JSON: nested deeper than a report is\n"),
        refused_json("no_monitors", "\"monitors\": [", "\"screens\": [",
                     "JSON: monitors is a list of 1 to 16 monitors\n"),
        refused_json("width_string", "\"width\": 1280", "\"width\": \"1280\"",
                     "JSON: monitors[1].width is a whole number within 1..16384\n"),
        refused_json("width_past_64_bits", "\"width\": 1280", "\"width\": 18446744073709551616",
                     "JSON: monitors[1].width is a whole number within 1..16384\n"),
        refused_json("count_negative", "\"count\": 20}, \"cells\"", "\"count\": -1}, \"cells\"",
                     "JSON: monitors[1].block.count is a whole number within 0..1000000\n"),
        refused_json("median_nan", "\"median_us\": 285.500", "\"median_us\": 1e999",
                     "JSON: not well-formed\n"),
        refused_json("answer_word", "\"own_window\": true", "\"own_window\": \"yes\"",
                     "JSON: clipboard.own_window is true, false or null\n"),
        refused_json(
            "seventeen_monitors", "\"monitors\": [",
            "\"monitors\": [{}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, "
            "{},",
            "JSON: monitors is a list of 1 to 16 monitors\n"),
        // A line feed in a string would make a line of its own in the text
        // the figures are checked as: a second hook timeout here.
        refused_json("version_line_feed", "\"check_version\": \"1.1.0\"",
                     "\"check_version\": \"1.1.0\\nhook timeout: 5 ms (LowLevelHooksTimeout not "
                     "set)\"",
                     "JSON: check_version is printable text of at most 64 characters\n"),
        refused_json("pen_test_word", "\"pen\": {",
                     "\"pen_test\": {\"ran\": \"maybe\"}, \"pen\": {",
                     "JSON: pen_test.ran is not one of its words\n"),
        refused_json("pen_counts_short", "\"pen\": {",
                     "\"pen_test\": {\"ran\": \"ran\", \"pointer_window\": {\"pointer\": 1}}, "
                     "\"pen\": {",
                     "JSON: pen_test.pointer_window.mouse is a whole number within "
                     "0..2147483647\n"),
        refused_json("no_timeout", "\"hook_timeout_ms\": 300,", "",
                     "JSON: the report has no hook_timeout_ms\n"),
        refused_json("secondary_first", "\"x\": 0, \"y\": 0", "\"x\": 5, \"y\": 0",
                     "JSON: monitor 1 is the primary, at +0+0\n"),
        refused_json("p95_under_median", "\"p95_ms\": 3.000", "\"p95_ms\": 2.000",
                     "JSON: read getpixel monitor 2 needs"),
        refused_json("dpi_spaces", "\"per-monitor\"", "\"per monitor\"", "JSON: dpi needs"),
        refused_report("picture_unlisted", "picture monitor 2: 1 of 1 pixels equal",
                       "line 6: picture monitor 2 names no monitor listed before it\n"),
        refused_report("capture_monitor_zero",
                       "capture monitor 0: median 1 ms, p95 2 ms over 3 captures",
                       "line 6: capture monitor 0 names no monitor listed before it\n"),
        refused_report("monitor_after_gap", "monitor 3: 1920x1080+1920+0 at 100 %",
                       "line 6: monitors are numbered 1, 2, ... in order, at most 16\n"),
        // Read, but not a desktop the host can set up.
        BadRun{fake({"--desktop-from", write_script("cli_report_overlap.txt",
                                                    two_monitor_report("1920x1080+100+100"))}),
               1, "error: --desktop-from: the monitors overlap"},
        BadRun{
            fake({"--desktop-from",
                  write_script("cli_report_apart.txt", two_monitor_report("1920x1080+200000+0"))}),
            1, "error: --desktop-from: the monitors overlap, or lie more than 16384 pixels apart"},
        // Blank lines count; Windows line ends do not hide the line.
        BadRun{fake({"--desktop-from",
                     write_script("cli_report_crlf_blank.txt",
                                  "huevane-check 1.0.0\r\n\r\nmonitor 1: 1x1+0+0 at 100\r\n")}),
               1,
               "error: --desktop-from: " + ::testing::TempDir() +
                   "/cli_report_crlf_blank.txt is not a huevane-check report: line 3: monitor 1 "
                   "needs 'WxH+X+Y at SCALE %', sides 1..16384, scale 100..500', not '1x1+0+0 at "
                   "100'\n"},
        BadRun{fake({"--desktop-from", write_script("cli_report_blank.txt", "\r\n\n\r\n")}), 1,
               "error: --desktop-from: " + ::testing::TempDir() +
                   "/cli_report_blank.txt is not a huevane-check report: the report is empty"},
        BadRun{
            fake({"--desktop-from",
                  write_script("cli_report_no_block.txt",
                               "huevane-check 1.0.0\nmonitor 1: 1920x1080+0+0 at 100 %\n"
                               "hook timeout: 300 ms (LowLevelHooksTimeout not set)\n"
                               "read getpixel monitor 1: median 1 ms, p95 2 ms over 10 reads\n")}),
            1,
            "error: --desktop-from: " + ::testing::TempDir() +
                "/cli_report_no_block.txt is not a huevane-check report: the report has no "
                "'read getpixel' and 'read block' lines for monitor 1\n"},
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
        // The simulated desktop's own limit.
        BadRun{fake({"--display", "16385x100"}), 1,
               "error: --display needs WIDTHxHEIGHT, each 1..16384, not '16385x100'"},
        // Monitors: the primary first at +0+0, signs written, scales 100..500, no overlap.
        BadRun{fake({"--monitors", "1920x1080+10+0"}), 1, "error: --monitors needs WxH+X+Y"},
        BadRun{fake({"--monitors", "1920x1080+0+0,800x600 -800+0"}), 1,
               "error: --monitors needs WxH+X+Y"},
        BadRun{fake({"--monitors", "1920x1080+0+0@99"}), 1, "error: --monitors needs WxH+X+Y"},
        BadRun{fake({"--monitors", "1920x1080+0+0@150x"}), 1, "error: --monitors needs WxH+X+Y"},
        BadRun{fake({"--monitors", "1920x1080+0+0,"}), 1, "error: --monitors needs WxH+X+Y"},
        BadRun{fake({"--monitors", "1920x1080+0+0,800x600+100+100"}), 1,
               "error: --monitors: the monitors overlap"},
        BadRun{fake({"--monitors", "1920x1080+0+0", "--display", "800x600"}), 1,
               "error: --display excludes --monitors"},
        BadRun{fake({"--screen-read-ms", "-1"}), 1,
               "error: --screen-read-ms needs MS, a whole number within 0..10000, not '-1'"},
        BadRun{fake({"--screen-read-ms", "2.5"}), 1,
               "error: --screen-read-ms needs MS, a whole number within 0..10000, not '2.5'"},
        BadRun{fake({"--hook-timeout-ms", "0"}), 1,
               "error: --hook-timeout-ms needs MS, a whole number within 1..60000, not '0'"},
        // A huevane-check report that cannot be read or used: nothing runs.
        BadRun{fake({"--desktop-from", "/nonexistent/huevane-check.txt"}), 1,
               "error: --desktop-from: /nonexistent/huevane-check.txt: cannot read the report: No "
               "such file or directory\n"},
        BadRun{fake({"--desktop-from", write_script("cli_report_not.txt", "hot 1 0 0\n")}), 1,
               "error: --desktop-from: " + ::testing::TempDir() +
                   "/cli_report_not.txt is not a huevane-check report: line 1: a huevane-check "
                   "report starts with 'huevane-check VERSION' (or is its JSON, '{'), not 'hot 1 "
                   "0 0'\n"},
        BadRun{fake({"--desktop-from",
                     write_script("cli_report_monitor.txt",
                                  "huevane-check 1.0.0\nmonitor 1: 1920x1080+0+0 at 90 %\n")}),
               1,
               "error: --desktop-from: " + ::testing::TempDir() +
                   "/cli_report_monitor.txt is not a huevane-check report: line 2: monitor 1 needs "
                   "'WxH+X+Y "
                   "at SCALE %', sides 1..16384, scale 100..500', not '1920x1080+0+0 at 90 %'\n"},
        BadRun{fake({"--desktop-from",
                     write_script("cli_report_timeout.txt",
                                  "huevane-check 1.0.0\nmonitor 1: 1920x1080+0+0 at 100 %\n")}),
               1,
               "error: --desktop-from: " + ::testing::TempDir() +
                   "/cli_report_timeout.txt is not a huevane-check report: the report has no 'hook "
                   "timeout' "
                   "line\n"},
        BadRun{fake({"--desktop-from",
                     write_script("cli_report_cost.txt",
                                  "huevane-check 1.0.0\nmonitor 1: 1920x1080+0+0 at 100 %\n"
                                  "hook timeout: 300 ms (LowLevelHooksTimeout not set)\n"
                                  "read getpixel monitor 1: median 1e999 ms, p95 1 ms over 2 "
                                  "reads\n")}),
               1,
               "error: --desktop-from: " + ::testing::TempDir() +
                   "/cli_report_cost.txt is not a huevane-check report: line 4: read getpixel "
                   "monitor 1 "
                   "needs 'median MS ms, p95 MS ms over N reads'"},
        BadRun{fake({"--desktop-from",
                     write_script("cli_report_primary.txt",
                                  "huevane-check 1.0.0\nmonitor 1: 1920x1080-1920+0 at 100 %\n")}),
               1,
               "error: --desktop-from: " + ::testing::TempDir() +
                   "/cli_report_primary.txt is not a huevane-check report: line 2: monitor 1 is "
                   "the primary, "
                   "at +0+0\n"},
        BadRun{fake({"--desktop-from",
                     write_script("cli_report_order.txt",
                                  "huevane-check 1.0.0\nmonitor 2: 1920x1080+0+0 at 100 %\n")}),
               1,
               "error: --desktop-from: " + ::testing::TempDir() +
                   "/cli_report_order.txt is not a huevane-check report: line 2: monitors are "
                   "numbered 1, 2"},
        BadRun{fake({"--desktop-from", "/dev/zero"}), 1,
               "error: --desktop-from: /dev/zero: cannot read the report: is not a regular file"},
        BadRun{fake({"--desktop-from", write_script("cli_report_x.txt", ""), "--monitors",
                     "1920x1080+0+0"}),
               1, "error: --monitors excludes --desktop-from"},

        BadRun{fake({"--capture-exclusion", "no"}), 1,
               "error: --capture-exclusion is yes, monitor, fails, missing or not-in-gdi, not "
               "'no'"},
        BadRun{fake({"--window", "browser,0,0,10,10"}), 1,
               "error: --window is KIND,X,Y,W,H with KIND pointer or default"},
        BadRun{fake({"--window", "pointer,0,0,0,10"}), 1, "error: --window is KIND,X,Y,W,H"},
        BadRun{fake({"--window", "pointer,0,0,10"}), 1, "error: --window is KIND,X,Y,W,H"},
        BadRun{fake({"--window", "pointer,0,-0,10,10,"}), 1, "error: --window is KIND,X,Y,W,H"},
        BadRun{fake({"--dpi-awareness", "aware"}), 1,
               "error: --dpi-awareness is unaware, system, per-monitor or per-monitor-v2, not "
               "'aware'"},
        // User text is quoted short, with what does not show escaped.
        BadRun{fake({"--color", std::string(100000, '7') + ",\f,0"}), 1,
               "error: --color channel '7777777777777777777777777777777777777777...' "
               "(100000 bytes) is not a number within -1000..1000\n"},
        BadRun{fake({"--color", "0,\f,0"}), 1,
               "error: --color channel '\\f' is not a number within -1000..1000\n"},
        // The option parser's own errors, in the same voice.
        BadRun{fake({"--title", "x", "--no-title"}), 1, "error: --title excludes --no-title"},
        BadRun{fake({"--class-version", "0"}), 1, "error: --class-version: Value 0 not in range"},
        BadRun{fake({"--bogus"}), 1,
               "error: The following argument was not expected: --bogus (--help lists the "
               "options)\n"},
        BadRun{fake({"--timeout", "0"}), 1,
               "error: --timeout needs SECONDS within 1..3600, not '0'\n"},
        BadRun{fake({"--timeout", "1e9"}), 1, "error: --timeout needs SECONDS within 1..3600"},
        BadRun{fake({"--timeout", "nan"}), 1, "error: --timeout needs SECONDS within 1..3600"},
        BadRun{fake({"--timeout", "5 s"}), 1, "error: --timeout needs SECONDS within 1..3600"},
        BadRun{fake({"--repeat", "0"}), 1,
               "error: --repeat needs N, a whole number within 1..100000, not '0'\n"},
        BadRun{fake({"--repeat", "1.5"}), 1, "error: --repeat needs N, a whole number"},
        // A failed action ends the run without a result.
        BadRun{fake({"--script", write_script("cli_noresult.txt", "key s\nok\nok\n")}), 3,
               "error: " + ::testing::TempDir() +
                   "/cli_noresult.txt, line 2: the open panel has no OK button (ok)\n"},
        BadRun{fake({"--script", "/nonexistent/script.txt"}), 1,
               "error: /nonexistent/script.txt: cannot read the script: No such file or "
               "directory"},
        BadRun{fake({"--script", write_script("cli_bad.txt", "ok\n\npress 1\n")}), 1,
               "error: " + ::testing::TempDir() + "/cli_bad.txt, line 3: missing Y"},
        // A byte-order mark is skipped; errors name the file and the line,
        // whether the script is read or played.
        BadRun{
            fake({"--script",
                  write_script("cli_bom_skipped.txt", "\xEF\xBB\xBFok\nclick x 1 2\n")}),
            1,
            "error: " + ::testing::TempDir() +
                "/cli_bom_skipped.txt, line 2: unknown place 'x' (field, strip or eyedropper)\n"},
        BadRun{fake({"--script", write_script("cli_play.txt", "press 1 2\nclick field 1 2\n")}), 3,
               "error: " + ::testing::TempDir() +
                   "/cli_play.txt, line 2: no field (a 256 x 256 raster) on the open panel "
                   "(click field 1 2)\n"},
        // Only a regular file, of at most 4 MiB, is read as a script.
        BadRun{fake({"--script", ::testing::TempDir()}), 1,
               "error: " + ::testing::TempDir() + ": cannot read the script: is a directory\n"},
        BadRun{fake({"--script", "/dev/zero"}), 1,
               "error: /dev/zero: cannot read the script: is not a regular file (a character "
               "device)\n"},
        // The wallpaper: a file, a PNG, and within the size limits, checked
        // before it is decoded.
        BadRun{fake({"--desktop", ::testing::TempDir()}), 1,
               "error: cannot use the wallpaper " + ::testing::TempDir() + ": is a directory\n"},
        BadRun{fake({"--desktop", write_script("cli_not.png", "GIF89a")}), 1,
               "error: cannot use the wallpaper " + ::testing::TempDir() +
                   "/cli_not.png: is not a PNG image libpng can read: "},
        BadRun{fake({"--desktop",
                     write_script("cli_huge.png",
                                  hvtest::png_with_size(hvtest::png_bytes(1, 1, 3, {0, 0, 0}),
                                                        16384, 16384))}),
               1,
               "error: cannot use the wallpaper " + ::testing::TempDir() +
                   "/cli_huge.png: is 16384 x 16384 pixels; a wallpaper may have at most "
                   "67108864 pixels (8192 x 8192) and 16384 a side\n"},
        // Output paths are checked before the run (no result line).
        BadRun{fake({"--trace", ::testing::TempDir()}), 1,
               "error: --trace: cannot write " + ::testing::TempDir() + ": is a directory\n"},
        BadRun{fake({"--trace", "/nonexistent/dir/trace.txt"}), 1,
               "error: --trace: cannot write /nonexistent/dir/trace.txt: No such file or "
               "directory\n"},
        // The trace is written to its name: never through a link planted
        // there, never into a device or FIFO.
        BadRun{fake({"--trace", "/dev/null"}), 1,
               "error: --trace: cannot write /dev/null: is not a regular file\n"},
        BadRun{fake({"--trace", planted_link("cli_trace_link.txt")}), 1,
               "error: --trace: cannot write " + ::testing::TempDir() +
                   "/cli_trace_link.txt: is a symbolic link\n"},
        // A Windows module says how to run it.
        BadRun{{"--module", windows_module()},
               2,
               "error: " + windows_module() +
                   " is a Windows module (it starts with MZ): run it with the Windows host "
                   "under Wine, which needs no display headless: wine huevane-host.exe "
                   "--headless --module " +
                   windows_module() + " ...\n"},
        BadRun{fake({"--snapshot", write_script("cli_file_not_dir", "")}), 1,
               "error: --snapshot: cannot create the snapshot directory " + ::testing::TempDir() +
                   "/cli_file_not_dir: "},
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
            1,
            "error: --snapshot: cannot create the snapshot directory /proc/forbidden: "}));

TEST(HostCommand, AScriptOverTheSizeLimitIsRefused) {
  const std::string script = write_script("cli_long.txt", std::string((4 << 20) + 1, '#'));
  const ProcessResult r = host(fake({"--script", script}));
  EXPECT_EQ(r.exit_code, hvhost::kExitUsage);
  EXPECT_EQ(r.err,
            "error: " + script +
                ": cannot read the script: is 4194305 bytes; the limit is 4194304 (4 MiB)\n");
  std::remove(script.c_str());
}

TEST(HostCommand, TraceFileHasEveryCallAndItsCounts) {
  const std::string trace = ::testing::TempDir() + "/cli_trace.txt";
  // 20,000 moves: more calls than a test's in-memory window holds.
  const std::string script = write_script(
      "cli_trace_script.txt", "drag 10 10 200 200 10000\ndrag 200 200 10 10 10000\nok\n");
  const ProcessResult r = host(fake({"--trace", trace, "--script", script}));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  std::ifstream in(trace);
  std::vector<std::string> lines;
  std::map<std::string, uint64_t> listed, counted;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
    std::istringstream words(line);
    std::string first, op;
    uint64_t n = 0;
    words >> first;
    if (first == "count" && (words >> op >> n))
      counted[op] = n;
    else
      ++listed[first];
  }
  ASSERT_FALSE(lines.empty());
  // The host offers 6, then 5, then 4; the module answers 1 until 4.
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 6),
            (std::vector<std::string>{"call.activate 6", "return.activate 1", "call.activate 5",
                                      "return.activate 1", "call.activate 4",
                                      "lookup LWPanelServices 0"}));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "control.add MiniRGBControl 5,0,0"), lines.end());
  EXPECT_EQ(counted["panel.open"], 1u);
  EXPECT_EQ(counted["call.mouse_move"], 20000u);
  // Every call counted is also listed, in full.
  EXPECT_EQ(listed, counted);
}

TEST(HostCommand, AnOutputThatCannotBeWrittenIsAnErrorWithTheSystemsReason) {
  // The disk is full after 1000 bytes.
  hvtest::ProcessOptions full_disk;
  full_disk.file_size_limit = 1000;
  const std::string dir = fresh_dir("cli_full_disk");
  const std::string trace = dir + "/trace.txt";
  const std::string drag = write_script("cli_drag.txt", "drag 10 10 200 200 1000\nok\n");
  ProcessResult r = host(fake({"--trace", trace, "--script", drag}), full_disk);
  EXPECT_EQ(r.exit_code, hvhost::kExitRun);
  EXPECT_EQ(r.err, "error: --trace: cannot write " + trace + ": File too large\n");
  // The trace keeps what fitted, under its own name, and nothing else.
  EXPECT_EQ(fs::file_size(trace), 1000u);
  fs::remove(trace);
  r = host(
      fake({"--script", write_script("cli_full.txt", "snapshot shot\nok\n"), "--snapshot", dir}),
      full_disk);
  EXPECT_EQ(r.exit_code, hvhost::kExitRun);
  EXPECT_EQ(r.err, "error: " + ::testing::TempDir() + "/cli_full.txt, line 1: cannot write " + dir +
                       "/shot.png: File too large (snapshot shot)\n");
  // The snapshot leaves neither a partial file nor a temporary one.
  EXPECT_TRUE(fs::is_empty(dir));
}

// A plug-in that fails the host: a crash, an abort, an exception, a hang,
// misuse. Each left press of the failing fakes is where they fail.
struct PluginFailure {
  std::string server;
  std::vector<std::string> options;
  int exit_code;
  std::string error;       // stderr, whole
  std::string trace_last;  // the trace's last line
};

void PrintTo(const PluginFailure &f, std::ostream *os) { *os << f.server; }

class HostCommandPluginFailures : public ::testing::TestWithParam<PluginFailure> {};

TEST_P(HostCommandPluginFailures, EndWithAReportTheExitCodeAndTheWholeTrace) {
  const PluginFailure &f = GetParam();
  const std::string dir = fresh_dir("cli_failure_" + f.server + std::to_string(f.options.size()));
  const std::string trace = dir + "/trace.txt";
  std::vector<std::string> args = {"--module", hvtest::test_module_path("fake_picker"),
                                   "--server", f.server,
                                   "--trace",  trace,
                                   "--script", write_script("cli_fail.txt", "press 5 6\nok\n")};
  args.insert(args.end(), f.options.begin(), f.options.end());
  const ProcessResult r = host(args);
  EXPECT_EQ(r.exit_code, f.exit_code) << r.err;
  // A fault's offset in the module changes with every build.
  const auto any_offset = [](const std::string &text) {
    return std::regex_replace(text, std::regex("\\+0x[0-9a-f]+"), "+0x?");
  };
  EXPECT_EQ(any_offset(r.err), f.error);
  // What was printed before stays; a result only when the request ended.
  const bool ended = f.exit_code == hvhost::kExitOk || f.exit_code == hvhost::kExitProblems;
  EXPECT_EQ(r.out.rfind("hot 0 0 0\n", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find("result 1 0.0196078438 0.0235294122 0\n") != std::string::npos, ended)
      << r.out;
  // The trace, under its own name and nothing beside it, has every call up
  // to the failure, its counts, and how it ended.
  std::vector<std::string> names;
  for (const auto &e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"trace.txt"});
  std::istringstream in(read_back(trace));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "call.activate 6");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "call.mouse_button 160,5,6"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "count call.mouse_button 1"), lines.end());
  EXPECT_EQ(any_offset(lines.back()), f.trace_last);
}

INSTANTIATE_TEST_SUITE_P(
    HostCommand, HostCommandPluginFailures,
    ::testing::Values(
        PluginFailure{"FakeSegfault",
                      {},
                      hvhost::kExitCrash,
                      "error: the plug-in crashed: a segmentation fault (SIGSEGV) at "
                      "fake_picker.so+0x? (in (anonymous namespace)::misbehave()); the last "
                      "call: call.mouse_button 160,5,6\n",
                      "crash a segmentation fault (SIGSEGV) at fake_picker.so+0x? (in "
                      "(anonymous namespace)::misbehave())"},
        PluginFailure{"FakeAbort",
                      {},
                      hvhost::kExitCrash,
                      "error: the plug-in crashed: an abort (SIGABRT); the last call: "
                      "call.mouse_button 160,5,6\n",
                      "crash an abort (SIGABRT)"},
        PluginFailure{"FakeThrow",
                      {},
                      hvhost::kExitCrash,
                      "error: the plug-in crashed: an exception it did not catch "
                      "(std::runtime_error: the fake picker failed); the last call: "
                      "call.mouse_button 160,5,6\n",
                      "crash an exception it did not catch (std::runtime_error: the fake picker "
                      "failed)"},
        PluginFailure{"FakeHang",
                      {"--timeout", "1"},
                      hvhost::kExitTimeout,
                      "error: the plug-in did not return within 1 s; the last call: "
                      "call.mouse_button 160,5,6\n",
                      "timeout 1 s"},
        // Misuse is a note, or with --strict an error and exit 7.
        PluginFailure{"FakeDoubleDestroy",
                      {},
                      hvhost::kExitOk,
                      "note: problem: panel.destroy: unknown panel handle\n",
                      "problem panel.destroy: unknown panel handle"},
        PluginFailure{"FakeDoubleDestroy",
                      {"--strict"},
                      hvhost::kExitProblems,
                      "error: problem: panel.destroy: unknown panel handle\n",
                      "problem panel.destroy: unknown panel handle"},
        PluginFailure{"FakeHotAfterClose",
                      {"--strict"},
                      hvhost::kExitProblems,
                      "error: problem: hot callback with a colour that is not finite (nan 2 -1)\n",
                      "problem hot callback with a colour that is not finite (nan 2 -1)"},
        // What a real window would not show: a panel with no size, a
        // control outside its panel.
        PluginFailure{"FakeNoSize",
                      {"--strict"},
                      hvhost::kExitProblems,
                      "error: problem: panel.open: the panel has no size (0 x 0; set PAN_W and "
                      "PAN_H): a window shows none of its controls\n",
                      "problem panel.open: the panel has no size (0 x 0; set PAN_W and PAN_H): a "
                      "window shows none of its controls"},
        PluginFailure{"FakeOutside",
                      {"--strict"},
                      hvhost::kExitProblems,
                      "error: problem: panel.open: the ButtonControl at 300,4 (22 x 22) is not "
                      "wholly inside its panel (240 x 80)\n",
                      "problem panel.open: the ButtonControl at 300,4 (22 x 22) is not wholly "
                      "inside its panel (240 x 80)"},
        // A hot callback after its request has ended: from the module's
        // shutdown, which the host calls at the end, or from the next of
        // repeated requests.
        PluginFailure{"FakeHotInShutdown",
                      {"--strict"},
                      hvhost::kExitProblems,
                      "error: problem: hot callback outside an open request (0.25 0.25 0.25): "
                      "ignored\n",
                      "problem hot callback outside an open request (0.25 0.25 0.25): ignored"},
        PluginFailure{"FakeHotLate",
                      {"--strict", "--repeat", "2"},
                      hvhost::kExitProblems,
                      "error: problem: hot callback outside an open request (0.5 0.5 0.5): "
                      "ignored\n"
                      "note: the script ended with a panel still open: the host cancelled it\n",
                      "problem hot callback outside an open request (0.5 0.5 0.5): ignored"},
        // A pointer to the first request's record, kept into the second: the
        // record is the first's alone and poisoned once it ended.
        PluginFailure{"FakeKeptRequest",
                      {"--strict", "--repeat", "2"},
                      hvhost::kExitProblems,
                      "error: problem: hot callback through the record of an ended request "
                      "(0.75 0.75 0.75): ignored\n"
                      "note: the script ended with a panel still open: the host cancelled it\n"
                      "error: problem: the record of an ended request was written after the "
                      "request (a kept request pointer)\n",
                      "problem the record of an ended request was written after the request (a "
                      "kept request pointer)"},
        // Served at a class version whose request the hosts do not lay out.
        PluginFailure{"FakeAnyVersion",
                      {"--strict"},
                      hvhost::kExitProblems,
                      "error: problem: the plug-in served class version 6, whose request these "
                      "hosts do not lay out as the real host does (they follow version 4): a "
                      "version-4 picker answers 1 (AFUNC_BADVERSION) to it\n",
                      "problem the plug-in served class version 6, whose request these hosts do "
                      "not lay out as the real host does (they follow version 4): a version-4 "
                      "picker answers 1 (AFUNC_BADVERSION) to it"},
        // A well-behaved plug-in passes --strict, once or repeated, and is
        // shut down at the end.
        PluginFailure{
            "Fake", {"--strict", "--timeout", "60"}, hvhost::kExitOk, "", "count call.shutdown 1"},
        PluginFailure{"Fake",
                      {"--strict", "--repeat", "3", "--timeout", "60"},
                      hvhost::kExitOk,
                      "note: the script ended with a panel still open: the host cancelled it\n",
                      "count call.shutdown 1"}));

TEST(HostCommand, TheTraceIsWholeAfterAKill) {
  // The host hangs in the plug-in until a CI runner's timeout stops it:
  // SIGKILL leaves the lines written; SIGTERM also leaves the report.
  for (const std::string signal : {"KILL", "TERM"}) {
    const std::string dir = fresh_dir("cli_killed_" + signal);
    const std::string trace = dir + "/trace.txt";
    // The host is stopped once the trace shows the call that hangs.
    const ProcessResult r = hvtest::run_process(
        "/bin/sh",
        {"-c",
         "\"$3\" --module \"$4\" --server FakeHang --trace \"$2\" --script \"$5\" & host=$!; "
         "n=0; until grep -q call.mouse_button \"$2\" 2>/dev/null || [ $n -gt 600 ]; do "
         "sleep 0.05; n=$((n + 1)); done; "
         "kill -s \"$1\" $host; wait $host",
         "sh", signal, trace, hvtest::host_program_path(), hvtest::test_module_path("fake_picker"),
         write_script("cli_kill.txt", "press 5 6\n")});
    EXPECT_EQ(r.exit_code, 128 + (signal == "KILL" ? 9 : 15));  // ended by the signal
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"trace.txt"});
    const std::string text = read_back(trace);
    EXPECT_EQ(text.rfind("call.activate 6\n", 0), 0u) << text;
    // Every call up to the one that hung is there, a whole line each.
    EXPECT_NE(text.find("\npanel.draw_rgb_box 0,0,0,4,4,40,30\ncall.mouse_button 160,5,6\n"),
              std::string::npos)
        << text;
    if (signal == "TERM") {
      EXPECT_EQ(r.err.rfind("error: the host was stopped by SIGTERM; the last call: "
                            "call.mouse_button 160,5,6\n",
                            0),
                0u)
          << r.err;
      EXPECT_EQ(text.substr(text.size() - 16), "stopped SIGTERM\n");
    }
  }
}

TEST(HostCommand, ASnapshotReplacesALinkPlantedInItsPlace) {
  const std::string dir = fresh_dir("cli_planted");
  const std::string victim = ::testing::TempDir() + "/cli_victim.txt";
  std::ofstream(victim) << "precious";
  fs::create_symlink(victim, dir + "/shot.png");
  const std::string script = write_script("cli_shot.txt", "snapshot shot\nok\n");
  const ProcessResult r = host(fake({"--script", script, "--snapshot", dir}));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(read_back(victim), "precious");
  EXPECT_FALSE(fs::is_symlink(dir + "/shot.png"));
  EXPECT_EQ(read_back(dir + "/shot.png").substr(0, 4), "\x89PNG");
}

TEST(HostCommand, ARelativeModuleNameIsTheFileInTheCurrentDirectory) {
  // Named like a system library that is already loaded: the loader's own
  // search would find that one, which is no plug-in.
  const std::string dir = fresh_dir("cli_cwd");
  fs::copy_file(hvtest::test_module_path("fake_picker"), dir + "/libm.so.6");
  hvtest::ProcessOptions in_dir;
  in_dir.cwd = dir;
  const ProcessResult r = host({"--module", "libm.so.6", "--server", "Fake"}, in_dir);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("hot ", 0), 0u) << r.out;
  const ProcessResult missing = host({"--module", "missing.so"}, in_dir);
  EXPECT_EQ(missing.err,
            "error: module not found: " + fs::canonical(dir).string() + "/missing.so\n");
}

TEST(HostCommand, AScriptThatEndsWithAPanelOpenSaysSo) {
  const std::string script = write_script("cli_open.txt", "press 51 102\n");
  const ProcessResult r = host(fake({"--script", script}));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "note: the script ended with a panel still open: the host cancelled it\n");
  EXPECT_NE(r.out.find("result 0 "), std::string::npos);
}

TEST(HostCommand, HelpCarriesTheScriptGrammarAsTheHostManualDoes) {
  const ProcessResult r = host({"--help"});
  EXPECT_EQ(r.exit_code, 0);
  // The program by its file name, though it was run by its full path.
  EXPECT_NE(r.out.find("\nUsage: huevane-host [OPTIONS]\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("--snapshot"), std::string::npos);
  EXPECT_NE(r.out.find("--server"), std::string::npos);
  EXPECT_NE(r.out.find(hvhost::script_grammar()), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(hvhost::exit_code_text()), std::string::npos) << r.out;
  // Laid out by hand: the values' names and real ranges, none of the
  // parser's "TEXT=default", within 79 columns.
  for (const char *shown : {"--color R,G,B ", "-1000..1000", "--display WxH ", "--module FILE ",
                            "--snapshot DIR ", "--timeout SECONDS ", "--strict "})
    EXPECT_NE(r.out.find(shown), std::string::npos) << shown;
  EXPECT_EQ(r.out.find("TEXT="), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Excludes"), std::string::npos) << r.out;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 79u) << line;
  // The exit codes' section says each row of their table whole, wrapped
  // within its width.
  std::string codes;
  std::istringstream code_lines(hvhost::exit_code_text());
  for (std::string line; std::getline(code_lines, line);) {
    EXPECT_LE(line.size(), hvhost::kExitCodeTextWidth) << line;
    codes += line.substr(line.find_first_not_of(' ')) + " ";
  }
  for (const hvhost::ExitCode &row : hvhost::kExitCodes)
    EXPECT_NE(codes.find(std::to_string(row.code) + "  " + row.meaning + " "), std::string::npos)
        << row.code;
  const std::string manual = read_back(hvtest::source_dir() + "/docs/host.md");
  EXPECT_NE(manual.find(hvhost::script_grammar()), std::string::npos)
      << "docs/host.md's script grammar differs from --help's";
  EXPECT_NE(manual.find(hvhost::exit_code_text()), std::string::npos)
      << "docs/host.md's exit codes differ from --help's";

  const ProcessResult v = host({"--version"});
  EXPECT_EQ(v.exit_code, 0);
  EXPECT_EQ(v.out, std::string("huevane-host ") + HUEVANE_PROJECT_VERSION + "\n");
}

TEST(HostGuard, AnEscapingExceptionBecomesOneMessageAndExitCode4) {
  std::ostringstream err;
  EXPECT_EQ(hvhost::run_guarded([] { return 3; }, err), 3);
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(hvhost::run_guarded([]() -> int { throw std::bad_alloc(); }, err),
            hvhost::kExitInternal);
  EXPECT_EQ(err.str(), "error: out of memory\n");
  err.str("");
  EXPECT_EQ(hvhost::run_guarded([]() -> int { throw std::length_error("vector::reserve"); }, err),
            hvhost::kExitInternal);
  EXPECT_EQ(err.str(), "error: internal error: vector::reserve\n");
  err.str("");
  EXPECT_EQ(hvhost::run_guarded([]() -> int { throw 42; }, err), hvhost::kExitInternal);
  EXPECT_EQ(err.str(), "error: internal error\n");
}

TEST(HostCommand, LeftOverActionsAreAProblem) {
  const std::string script = write_script("cli_left.txt", "ok\nrgb 1 2 3\n");
  const ProcessResult r = host(fake({"--script", script}));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "note: problem: 1 script action(s) left over: no panel was open for them\n");
  const ProcessResult strict = host(fake({"--script", script, "--strict"}));
  EXPECT_EQ(strict.exit_code, hvhost::kExitProblems);
  EXPECT_EQ(strict.err,
            "error: problem: 1 script action(s) left over: no panel was open for them\n");
  // Repeated requests take the actions the first left over.
  const ProcessResult repeated = host(fake({"--script", script, "--strict", "--repeat", "2"}));
  EXPECT_EQ(repeated.exit_code, hvhost::kExitOk) << repeated.err;
  EXPECT_NE(repeated.out.find("hot 0.00392156886 0.00784313772 0.0117647061\n"), std::string::npos)
      << repeated.out;
}

// What a CI script reads of a run, stdout and stderr in the one stream in
// the order written: an activation that served the request but did not
// answer AFUNC_OK, and memory kept from request to request.
struct StreamCase {
  std::string server;
  std::vector<std::string> options;
  int exit_code;
  std::string output;  // a regular expression for the whole merged stream
};

void PrintTo(const StreamCase &c, std::ostream *os) {
  *os << c.server;
  for (const std::string &o : c.options) *os << " " << o;
}

class HostCommandStreams : public ::testing::TestWithParam<StreamCase> {};

TEST_P(HostCommandStreams, NameWhatWentWrongWhereACiScriptReadsIt) {
  const StreamCase &c = GetParam();
  std::vector<std::string> args = {"--module", hvtest::test_module_path("fake_picker"),
                                   "--server", c.server,
                                   "--script", write_script("cli_stream.txt", "press 5 6\nok\n")};
  args.insert(args.end(), c.options.begin(), c.options.end());
  hvtest::ProcessOptions merged;
  merged.merge_err = true;
  const ProcessResult r = host(args, merged);
  EXPECT_EQ(r.exit_code, c.exit_code) << r.out;
  EXPECT_TRUE(std::regex_match(r.out, std::regex(c.output))) << r.out;
}

const std::string kServedHot = "hot 0 0 0\nhot 0.0196078438 0.0235294122 0\n";
const std::string kServedResult = "result 1 0.0196078438 0.0235294122 0\n";
std::string served_but(const std::string &code) {
  return "problem: the plug-in served the request \\(result 1\\) but its activation returned " +
         code +
         ", not 0 \\(AFUNC_OK\\): a host takes any other answer as not served and may "
         "show its own requester\n";
}
const std::string kLeak =
    "error: problem: the process's private memory grew by 1[6-9]\\.[0-9] MiB a request on "
    "average over 3 requests \\(from [0-9.]+ MiB after the first to [0-9.]+ MiB after the "
    "last\\), more than the 4\\.0 MiB allowed: the plug-in keeps what it allocates\n";
const std::string kCancelled =
    "note: the script ended with a panel still open: the host cancelled it\n";

INSTANTIATE_TEST_SUITE_P(
    HostCommand, HostCommandStreams,
    ::testing::Values(
        // Under --strict the problem comes before the result line.
        StreamCase{"FakeReturns42",
                   {"--strict"},
                   hvhost::kExitProblems,
                   kServedHot + "error: " + served_but("42") + kServedResult},
        StreamCase{"FakeReturnsMinus1",
                   {"--strict"},
                   hvhost::kExitProblems,
                   kServedHot + "error: " + served_but("-1") + kServedResult},
        StreamCase{"FakeReturns2",
                   {"--strict"},
                   hvhost::kExitProblems,
                   kServedHot + "error: " + served_but("2") + kServedResult},
        // 1 (AFUNC_BADVERSION) after serving version 4: the last offered.
        StreamCase{"FakeReturns1",
                   {"--strict"},
                   hvhost::kExitProblems,
                   kServedHot + "error: " + served_but("1") + kServedResult},
        // Without it, a note at the end; the run passes.
        StreamCase{"FakeReturns42",
                   {},
                   hvhost::kExitOk,
                   kServedHot + kServedResult + "note: " + served_but("42")},
        // Memory kept by every request: 16 MiB each, over the limit.
        StreamCase{
            "FakeLeak",
            {"--strict", "--repeat", "3"},
            hvhost::kExitProblems,
            kServedHot + kServedResult + "(hot 0 0 0\nresult 0 0 0 0\n){2}" + kCancelled + kLeak},
        StreamCase{"Fake",
                   {"--strict", "--repeat", "3"},
                   hvhost::kExitOk,
                   kServedHot + kServedResult + "(hot 0 0 0\nresult 0 0 0 0\n){2}" + kCancelled},
        // One request: nothing to compare.
        StreamCase{"FakeLeak", {"--strict"}, hvhost::kExitOk, kServedHot + kServedResult}));

}  // namespace
