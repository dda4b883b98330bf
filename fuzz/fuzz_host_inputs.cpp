// libFuzzer harness: what a user hands the huevane-host command, under
// ASan + UBSan: script text, wallpaper PNG bytes and option values.
//
// The first byte of an input picks what the rest is:
//
//   0  script text. parse_script either refuses it with a ScriptError or
//      returns actions, each of which reads back as the same action from
//      its describe() line. A script within a budget (moves, virtual time,
//      actions) is then played against the plug-in in the host, with the
//      simulated desktop behind it and snapshots composed in memory.
//   1  a PNG file for --desktop. The chunk checksums are made right first,
//      so that the mutations reach the decoder rather than stop at a bad
//      checksum. A wallpaper taken is within the limits.
//   2  option values, NUL-separated: --color, --display, --title, --server,
//      --timeout.
//      apply_common_options either refuses them or fills a configuration
//      within the limits (display 1..16384 a side, channels within 1000).
//   3  a huevane-check report for --desktop-from, text or JSON.
//      parse_machine_report either refuses it or gives a machine within the
//      desktop's limits whose report, written out again as text or as JSON,
//      reads back as itself.
//
// Every message for the user (a script or option error, a wallpaper
// refusal, an action that cannot be performed) must be short and show
// every byte: printable ASCII only, at most kMaxMessage bytes, whatever the
// input. The host must note no misuse by the plug-in. A broken invariant
// aborts with a message on stderr.
//
// fuzz/make_host_corpus.py writes the seed inputs.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "abi/host_api.h"
#include "common/machine_report.h"
#include "desktop.h"
#include "input/script.h"
#include "model/chrome.h"
#include "model/host.h"
#include "plugin/activation.h"
#include "session/action_feed.h"
#include "session/cli.h"
#include "session/request.h"
#include "session/simulated_desktop.h"

namespace {

using hvhost::Action;
using hvhost::Host;
using hvhost::Panel;

constexpr size_t kMaxMessage = 400;
// A script is played only within these: drags and waits cost time, not
// coverage.
constexpr int kMaxPlayedActions = 200;
constexpr long kMaxPlayedMoves = 2000;
constexpr long kMaxPlayedWaitMs = 5000;
// A wallpaper within the limits but larger than this is not decoded: its
// buffer alone would make the input slow.
constexpr uint64_t kMaxDecodedPixels = uint64_t{1} << 20;

ServerTagInfo kTags[] = {{"Huevane", 0}, {nullptr, 0}};
const ServerRecord kServer = {LWCOLORPICK_HCLASS, "Huevane", picker_activate, kTags};

[[noreturn]] void fail(const char *what, const std::string &detail = {}) {
  fprintf(stderr, "fuzz_host_inputs: invariant broken: %s%s%.2000s\n", what,
          detail.empty() ? "" : ": ", detail.c_str());
  abort();
}

void check_message(const char *what, const std::string &message) {
  if (message.empty()) fail(what, "empty message");
  if (message.size() > kMaxMessage)
    fail(what, "message of " + std::to_string(message.size()) + " bytes");
  for (const char c : message)
    if (c < 0x20 || c > 0x7E) fail(what, "unprintable byte in: " + message);
}

// ---- Scripts -----------------------------------------------------------------

Host *g_host = nullptr;
Panel *g_picker_panel = nullptr;
std::unique_ptr<hvhost::SimulatedDesktop> g_desktop;

bool within_budget(const std::vector<Action> &actions) {
  if (actions.size() > kMaxPlayedActions) return false;
  long moves = 0, wait_ms = 0;
  for (const Action &a : actions) {
    if (a.is(hvhost::ActionId::kDrag)) moves += a.number;
    if (a.is(hvhost::ActionId::kWait)) wait_ms += a.number;
  }
  return moves <= kMaxPlayedMoves && wait_ms <= kMaxPlayedWaitMs;
}

void play(const std::vector<Action> &actions) {
  Host &host = *g_host;
  g_desktop.reset();
  g_desktop = std::make_unique<hvhost::SimulatedDesktop>(host);
  g_desktop->keep_call_log(false);
  host.set_desktop(g_desktop.get());
  host.trace().clear();
  // A button-up resets the picker's mouse capture, as after any release.
  if (LWPanMouseFunc *f = g_picker_panel->callbacks().mouse_button)
    f(g_picker_panel->id(), g_picker_panel->user_data(), 0, 0, 0);
  hvhost::ActionQueue input(actions);
  host.set_input(&input);
  hvhost::AskedColor asked;
  asked.keep_hot = false;
  hvhost::run_color_request(kServer, asked);
  host.set_input(nullptr);
  if (host.aborted()) check_message("action error", host.error());
  if (!host.trace().problems().empty()) fail("host noted misuse", host.trace().problems()[0]);
  if (host.panels().size() != 1) fail("panels left besides the picker");
}

void fuzz_script(std::string_view text) {
  std::vector<Action> actions;
  try {
    actions = hvhost::parse_script(text);
  } catch (const hvhost::ScriptError &e) {
    check_message("script error", e.what());
    return;
  }
  for (const Action &a : actions) {
    const std::string line = hvhost::describe(a);
    std::vector<Action> again;
    try {
      again = hvhost::parse_script(line);
    } catch (const hvhost::ScriptError &e) {
      fail("describe() gives a line that does not parse", line + " -> " + e.what());
    }
    if (again.size() != 1 || hvhost::describe(again[0]) != line)
      fail("describe() does not read back as the same action", line);
  }
  if (within_budget(actions)) play(actions);
}

// ---- Wallpapers ----------------------------------------------------------------

uint32_t be32(const uint8_t *p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// Rewrites each whole chunk's checksum after the 8-byte signature.
void fix_checksums(std::vector<uint8_t> &png) {
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const uint32_t length = be32(&png[at]);
    if (length > png.size() - at - 12) break;
    const uLong crc = crc32(0, &png[at + 4], static_cast<uInt>(length + 4));
    for (int i = 0; i < 4; ++i)
      png[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    at += 12 + length;
  }
}

void fuzz_wallpaper(const uint8_t *data, size_t size) {
  std::vector<uint8_t> png(data, data + size);
  fix_checksums(png);
  if (png.size() >= 24 && memcmp(&png[12], "IHDR", 4) == 0) {
    const uint64_t w = be32(&png[16]), h = be32(&png[20]);
    if (w * h > kMaxDecodedPixels && w <= DESKTOP_MAX_SIZE && h <= DESKTOP_MAX_SIZE &&
        w * h <= DESKTOP_MAX_WALLPAPER_PIXELS)
      return;
  }
  desktop_reset(640, 480);
  char error[256];
  memset(error, 'x', sizeof error);
  if (desktop_load_wallpaper_png(png.data(), png.size(), error, sizeof error)) {
    int w = 0, h = 0;
    desktop_wallpaper_size(&w, &h);
    if (w < 1 || h < 1 || w > DESKTOP_MAX_SIZE || h > DESKTOP_MAX_SIZE ||
        int64_t{w} * h > DESKTOP_MAX_WALLPAPER_PIXELS)
      fail("wallpaper beyond the limits");
    // Every screen pixel reads, the wallpaper's and the black beyond it.
    for (int y = 0; y < 480; y += 7)
      for (int x = 0; x < 640; x += 7)
        if (desktop_screen_pixel(x, y) > 0xFFFFFFu) fail("pixel with a top byte");
    return;
  }
  if (memchr(error, '\0', sizeof error) == nullptr) fail("wallpaper error not terminated");
  check_message("wallpaper error", error);
}

// ---- Options -----------------------------------------------------------------------

void fuzz_options(std::string_view text) {
  std::vector<std::string> values;
  size_t start = 0;
  while (values.size() < 5) {
    const size_t nul = text.find('\0', start);
    values.emplace_back(text.substr(start, nul == std::string_view::npos ? nul : nul - start));
    if (nul == std::string_view::npos) break;
    start = nul + 1;
  }
  values.resize(5);
  hvhost::CommonOptions options;
  options.color = values[0];
  options.display = values[1];
  options.title = values[2];
  options.server = values[3];
  options.timeout = values[4];
  hvhost::SessionConfig config;
  const std::string problem = hvhost::apply_common_options(options, &config);
  if (!problem.empty()) {
    check_message("option error", problem);
    return;
  }
  if (config.display_width < 1 || config.display_width > hvhost::kMaxDisplaySize ||
      config.display_height < 1 || config.display_height > hvhost::kMaxDisplaySize)
    fail("display beyond the limits", values[1]);
  for (const float c : {config.request.red, config.request.green, config.request.blue})
    if (!std::isfinite(c) || std::fabs(c) > 1000.0f) fail("colour beyond the limits", values[0]);
  if (config.timeout_s.has_value() == values[4].empty() ||
      (config.timeout_s && !(*config.timeout_s >= 1 && *config.timeout_s <= 3600)))
    fail("timeout beyond the limits", values[4]);
  if (config.server_name != values[3] || !config.request.title ||
      *config.request.title != values[2])
    fail("title or server changed on the way");
}

void fuzz_report(std::string_view text) {
  hvhost::MachineReport report;
  const std::string problem = hvhost::parse_machine_report(std::string(text), &report);
  if (!problem.empty()) {
    check_message("report error", problem);
    return;
  }
  if (report.monitors.empty() || report.monitors.size() > 16 || report.hook_timeout_ms < 1 ||
      report.hook_timeout_ms > 60000 || hvhost::report_screen_read_ms(report) > 10000)
    fail("report beyond the desktop's limits", std::string(text));
  const std::string again = hvhost::format_machine_report(report);
  hvhost::MachineReport back;
  if (!hvhost::parse_machine_report(again, &back).empty() ||
      hvhost::format_machine_report(back) != again)
    fail("a report written out again does not read back as itself", again);
  hvhost::MachineReport from_json;
  if (!hvhost::parse_machine_report(hvhost::format_machine_report_json(report), &from_json)
           .empty() ||
      hvhost::format_machine_report(from_json) != again)
    fail("a report's JSON does not read back as itself", again);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  // The host and the picker live for the whole process, as in a real host.
  g_host = new Host();
  g_host->trace().set_window(0);
  g_desktop = std::make_unique<hvhost::SimulatedDesktop>(*g_host);
  g_host->set_desktop(g_desktop.get());
  g_host->set_snapshot_handler([](const Panel &panel, const std::string &, std::string *) {
    const hvhost::Framebuffer image = hvhost::compose_window(panel);
    if (image.width() < panel.width()) fail("snapshot narrower than the panel");
    return true;
  });
  hvhost::CallbackDriver ok([](Host &) -> std::optional<Action> { return Action::ok(); });
  g_host->set_input(&ok);
  hvhost::run_color_request(kServer, hvhost::AskedColor{});
  g_host->set_input(nullptr);
  if (g_host->panels().size() != 1) fail("the first request did not leave one picker panel");
  g_picker_panel = g_host->panels().front();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const std::string_view rest(reinterpret_cast<const char *>(data) + 1, size - 1);
  switch (data[0] % 4) {
    case 0: fuzz_script(rest); break;
    case 1: fuzz_wallpaper(data + 1, size - 1); break;
    case 2: fuzz_options(rest); break;
    default: fuzz_report(rest); break;
  }
  return 0;
}
