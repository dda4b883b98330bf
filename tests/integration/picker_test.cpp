// The real plug-in in the reference host: construction, activation and the
// picker's panel as a user sees it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "desktop.h"
#include "support/plugin_session.h"

namespace {

using hvhost::Action;
using hvhost::Op;
using hvhost::Rgb;
using hvtest::color;
using hvtest::PluginSession;

std::vector<std::string> trace_lines_without_paint(PluginSession &s) {
  std::vector<std::string> lines;
  for (const hvhost::TraceEntry &e : s.trace().entries())
    if (e.op != Op::kRasterRgbBox && e.op != Op::kRasterPixel) lines.push_back(e.to_string());
  return lines;
}

// The host offers class versions 6 and 5 first: each is refused with 1
// before anything else happens (no lookup, no call); 4 is served.
TEST(Picker, ConstructionCallsTheHostInOrder) {
  PluginSession s;
  const hvhost::ColorOutcome out = s.request({Action::ok()});
  ASSERT_EQ(out.attempts.size(), 3u);
  EXPECT_EQ(out.attempts[0].version, 6);
  EXPECT_EQ(out.attempts[0].status, AFUNC_BADVERSION);
  EXPECT_EQ(out.attempts[1].version, 5);
  EXPECT_EQ(out.attempts[1].status, AFUNC_BADVERSION);
  EXPECT_EQ(out.attempts[2].version, 4);
  EXPECT_EQ(out.attempts[2].status, AFUNC_OK);
  std::vector<std::string> expected = {
      "call.activate 6", "return.activate 1", "call.activate 5", "return.activate 1",
      "call.activate 4", "lookup ContextMenuServices 0", "lookup Directory Info 0",
      "lookup File Request 2 0", "lookup File IO 2 0", "lookup Info Messages 2 0",
      "lookup MultiThreading Utilities 0", "lookup LWPanelServices 0", "lookup RasterServices 0",
      "lookup LWXPanel 0", "panel.create", "raster.create 256,256,0", "raster.create 30,256,0",
      "control.add CanvasControl 19,48,60", "control.add ButtonControl 19,22,0",
      // The editors inherit the button's width and height.
      "control.add MiniRGBControl 5,22,0", "control.add MiniHSVControl 5,22,0"};
  const struct {
    const char *type;
    int x, y;
  } placed[] = {{"CanvasControl", 216, 268},
                {"ButtonControl", 272, 288},
                {"MiniHSVControl", 4, 268},
                {"MiniRGBControl", 4, 298}};
  for (const auto &p : placed) {
    for (int attr : {2, 3, 7, 8})
      expected.push_back(std::string("control.get ") + p.type + " " + std::to_string(attr));
    expected.push_back(std::string("control.set ") + p.type + " 0," + std::to_string(p.x));
    expected.push_back(std::string("control.set ") + p.type + " 1," + std::to_string(p.y));
    expected.push_back(std::string("control.set ") + p.type + " 16");
    expected.push_back(std::string("control.set ") + p.type + " 14");
  }
  for (const char *line :
       {"panel.set 12", "panel.set 7", "panel.set 15", "panel.set 16", "panel.set 13",
        "panel.set 21", "panel.set 2,304", "panel.set 3,340", "panel.display_metrics 1920,1080",
        "panel.set 11 Color", "panel.set 0,808", "panel.set 1,370",
        "control.set MiniRGBControl 4,0,0,0", "control.set MiniHSVControl 4,0,0,0"})
    expected.push_back(line);
  const std::vector<std::string> lines = trace_lines_without_paint(s);
  ASSERT_GE(lines.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + expected.size()), expected);
  EXPECT_EQ(s.trace().problems(), std::vector<std::string>{});
}

TEST(Picker, DescriptorServesOneColorPickerWithItsTag) {
  PluginSession s;
  const ModuleDescriptor &d = s.module().descriptor();
  EXPECT_EQ(d.sysSync, 0x04121994u);
  EXPECT_EQ(d.sysVersion, 3u);
  EXPECT_EQ(d.sysMachine, 0x300u);
  EXPECT_EQ(d.startup(), reinterpret_cast<void *>(uintptr_t{4}));
  d.shutdown(reinterpret_cast<void *>(uintptr_t{4}));
  ASSERT_NE(d.serverDefs, nullptr);
  EXPECT_STREQ(d.serverDefs[0].className, "ColorPicker");
  EXPECT_STREQ(d.serverDefs[0].name, "Huevane");
  EXPECT_EQ(d.serverDefs[1].className, nullptr);
  EXPECT_EQ(d.serverDefs[1].activate, nullptr);
  const ServerTagInfo *tags = d.serverDefs[0].tagInfo;
  ASSERT_NE(tags, nullptr);
  EXPECT_STREQ(tags[0].string, "Huevane");
  EXPECT_EQ(tags[0].tag, 0u);
  EXPECT_EQ(tags[1].string, nullptr);
  EXPECT_EQ(tags[1].tag, 0u);
}

TEST(Picker, RefusesOtherVersionsWithoutTouchingTheRequest) {
  PluginSession s;
  hvhost::AskedColor asked = color(0.25f, 0.5f, 0.75f);
  asked.version = 5;
  const hvhost::ColorOutcome out = s.request({Action::ok()}, asked);
  EXPECT_EQ(out.status, 1);
  ASSERT_EQ(out.attempts.size(), 1u);  // a pinned version: no other is offered
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.red, 0.25f);
  EXPECT_EQ(out.blue, 0.75f);
  EXPECT_TRUE(out.hot.empty());
  EXPECT_EQ(s.trace().count(Op::kLookup), 0u);
  EXPECT_EQ(s.picker_panel(), nullptr);
}

// The key with Ctrl held.
Action with_ctrl(Action a) {
  a.qualifiers = IQ_CTRL;
  return a;
}

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The request loads by truncation (0.5 as 127); OK gives back each channel
// the user left at its loaded int as the request's own float, bit for bit,
// and a changed one as int / 255. The hot callback at the open does the
// same, so opening the picker does not move the host's colour.
TEST(Picker, LoadsByTruncationAndGivesBackWhatNobodyChanged) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float in[3];
    std::vector<Action> script;
    std::array<int, 3> loaded;
    float out[3];
    const char *clipboard = nullptr;
  } rows[] = {
      {{0.5f, 1.0f, 0.0f}, {Action::ok()}, {127, 255, 0}, {0.5f, 1.0f, 0.0f}},
      {{0.8f, 0.5f, 0.3f}, {Action::ok()}, {204, 127, 76}, {0.8f, 0.5f, 0.3f}},
      {{0.8f, 0.5f, 0.3f},
       {Action::rgb(204, 100, 76), Action::ok()},
       {204, 127, 76},
       {0.8f, 100.0f / 255.0f, 0.3f}},
      // HDR above 1 and NaN come back as they went in.
      {{1.7f, nan, -0.25f}, {Action::ok()}, {433, 0, -63}, {1.7f, nan, -0.25f}},
      {{1.7f, nan, -0.25f},
       {Action::rgb(255, 1, 0), Action::ok()},
       {433, 0, -63},
       {1.0f, 1.0f / 255.0f, 0.0f}},
      // A channel no int editor can show loads as 0 or 255 and still comes
      // back bit for bit.
      {{1e30f, -3e20f, 0.5f}, {Action::ok()}, {255, 0, 127}, {1e30f, -3e20f, 0.5f}},
      // All negative and far apart: no saturation fits the HSV editor, so
      // the channels load as 0; they still come back as they went in.
      {{-0.004f, -0.004f, -8e6f}, {Action::ok()}, {0, 0, 0}, {-0.004f, -0.004f, -8e6f}},
      {{0.5f, 1.0f, 0.0f},
       {with_ctrl(Action::key_press('v')), Action::ok()},
       {127, 255, 0},
       {1e30f, 0.5f, -3e20f},
       "#FF7F00\r\n1.0e+30, 0.5, -3.0e+20"},
      // Pasted floats are kept as the request's are, also what the picker
      // copies; a pasted hex code of the loaded ints keeps the request's.
      {{0.5f, 1.0f, 0.0f},
       {with_ctrl(Action::key_press('v')), Action::ok()},
       {127, 255, 0},
       {2.5f, 0.5f, 1e-45f},
       "2.5, 0.5, 1.0e-45"},
      {{0.5f, 1.0f, 0.0f},
       {with_ctrl(Action::key_press('v')), Action::rgb(255, 63, 10), Action::ok()},
       {127, 255, 0},
       {1.0f, 0.25f, 10.0f / 255.0f},
       "#FFFFFF\r\n1.7, 0.25, 0.0"},
      {{0.8f, 0.5f, 0.3f},
       {with_ctrl(Action::key_press('v')), Action::ok()},
       {204, 127, 76},
       {0.8f, 0.5f, 0.3f},
       "#CC7F4C"},
  };
  for (const auto &row : rows) {
    PluginSession s;
    if (row.clipboard) desktop_set_clipboard(row.clipboard, std::strlen(row.clipboard) + 1);
    const hvhost::ColorOutcome out = s.request(row.script, color(row.in[0], row.in[1], row.in[2]));
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.result, 1);
    ASSERT_FALSE(out.hot.empty());
    const float got[3] = {out.red, out.green, out.blue};
    const float opened[3] = {out.hot[0].red, out.hot[0].green, out.hot[0].blue};
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(same_bits(got[i], row.out[i])) << "channel " << i << ": " << got[i];
      EXPECT_TRUE(same_bits(opened[i], row.in[i])) << "hot at the open, channel " << i;
    }
    if (row.script.size() == 1 && !row.clipboard) {
      EXPECT_EQ(s.control("MiniRGBControl")->value(), row.loaded);
      EXPECT_EQ(out.hot.size(), 1u);  // before the panel was shown
    }
  }
}

// Ctrl+C and Ctrl+V on the picker, Ctrl by each route a host may give it:
// the qualifiers of panel tag 22, the system's key state, or the control
// characters 3 and 22. A paste is one RGB edit; anything that cannot be
// pasted or copied changes nothing, and the clipboard is always given back.
TEST(Picker, ClipboardKeys) {
  const std::string copied = "#336699\r\n0.2, 0.4, 0.6";
  const std::array<int, 3> loaded = {51, 102, 153};
  const struct Row {
    const char *name;
    std::optional<std::string> clipboard;  // bytes as put there; none: no text
    std::vector<Action> keys;
    bool ctrl_state;  // the system's key state has Ctrl down
    int fail_point;   // the desktop's first such call fails
    std::array<int, 3> rgb;
    size_t hot;  // callbacks after the open's
    std::optional<std::string> after;
    int beeps = -1;                // MessageBeep calls; -1: not counted
    bool no_active = false;        // no window of the process is active
    const char *notice = nullptr;  // the last text drawn on the panel, if any
  } rows[] = {
      {"paste hex",
       std::string("#3366CC\0", 8),
       {with_ctrl(Action::key_press('v'))},
       false,
       0,
       {51, 102, 204},
       1,
       std::string("#3366CC\0", 8)},
      {"paste by control character",
       std::string("255 128 0\0", 10),
       {Action::key_press(22)},
       false,
       0,
       {255, 128, 0},
       1,
       std::string("255 128 0\0", 10)},
      {"paste by key state",
       std::string("#abc\0", 5),
       {Action::key_press('V')},
       true,
       0,
       {170, 187, 204},
       1,
       std::string("#abc\0", 5)},
      {"paste on the press",
       std::string("#abc\0", 5),
       {with_ctrl(Action::key_down('v'))},
       false,
       0,
       {170, 187, 204},
       1,
       std::string("#abc\0", 5)},
      {"text without a NUL",
       std::string("#FF0000"),
       {with_ctrl(Action::key_press('v'))},
       false,
       0,
       {255, 0, 0},
       1,
       std::string("#FF0000")},
      {"v alone",
       std::string("#abc"),
       {Action::key_press('v')},
       false,
       0,
       loaded,
       0,
       std::string("#abc")},
      {"a release alone",
       std::string("#abc"),
       {with_ctrl(Action::key_up('v'))},
       false,
       0,
       loaded,
       0,
       std::string("#abc")},
      {"other text",
       std::string("hello"),
       {with_ctrl(Action::key_press('v'))},
       false,
       0,
       loaded,
       0,
       std::string("hello")},
      {"NaN",
       std::string("nan 0.5 0.5"),
       {with_ctrl(Action::key_press('v'))},
       false,
       0,
       loaded,
       0,
       std::string("nan 0.5 0.5")},
      {"257 bytes",
       std::string(250, ' ') + "#abc   ",
       {with_ctrl(Action::key_press('v'))},
       false,
       0,
       loaded,
       0,
       std::string(250, ' ') + "#abc   "},
      {"no text",
       std::nullopt,
       {with_ctrl(Action::key_press('v'))},
       false,
       0,
       loaded,
       0,
       std::nullopt},
      {"clipboard cannot be opened",
       std::string("#abc"),
       {with_ctrl(Action::key_press('v'))},
       false,
       DESKTOP_FAIL_OPEN_CLIPBOARD,
       loaded,
       0,
       std::string("#abc")},
      {"copy",
       std::string("old"),
       {with_ctrl(Action::key_press('c'))},
       false,
       0,
       loaded,
       0,
       copied + '\0'},
      {"copy by control character",
       std::nullopt,
       {Action::key_press(3)},
       false,
       0,
       loaded,
       0,
       copied + '\0'},
      {"copy by key state",
       std::nullopt,
       {Action::key_press('C')},
       true,
       0,
       loaded,
       0,
       copied + '\0'},
      {"c alone",
       std::string("old"),
       {Action::key_press('c')},
       false,
       0,
       loaded,
       0,
       std::string("old")},
      {"copy without memory",
       std::string("old"),
       {with_ctrl(Action::key_press('c'))},
       false,
       DESKTOP_FAIL_GLOBAL_ALLOC,
       loaded,
       0,
       std::string("old")},
      {"copy cannot open",
       std::string("old"),
       {with_ctrl(Action::key_press('c'))},
       false,
       DESKTOP_FAIL_OPEN_CLIPBOARD,
       loaded,
       0,
       std::string("old")},
      {"copy refused",
       std::string("old"),
       {with_ctrl(Action::key_press('c'))},
       false,
       DESKTOP_FAIL_SET_CLIPBOARD,
       loaded,
       0,
       std::nullopt},
      {"copy with no active window",
       std::string("old"),
       {with_ctrl(Action::key_press('c'))},
       false,
       0,
       loaded,
       0,
       copied + '\0',
       0,
       true},
      {"a refused paste beeps and says why",
       std::string("hello"),
       {with_ctrl(Action::key_press('v'))},
       false,
       0,
       loaded,
       0,
       std::string("hello"),
       1,
       false,
       "Not pasted: not a colour"},
      {"a value the editors cannot show is refused",
       std::string("1.0e30 0.5 -3.0e20"),
       {with_ctrl(Action::key_press('v'))},
       false,
       0,
       loaded,
       0,
       std::string("1.0e30 0.5 -3.0e20"),
       1,
       false,
       "Not pasted: value too large"},
      {"decimals where one has a point",
       std::string("1.0 0 0"),
       {with_ctrl(Action::key_press('v'))},
       false,
       0,
       {255, 0, 0},
       1,
       std::string("1.0 0 0"),
       0},
      {"decimals by commas",
       std::string("1, 0.5, 0"),
       {with_ctrl(Action::key_press('v'))},
       false,
       0,
       {255, 127, 0},
       1,
       std::string("1, 0.5, 0"),
       0},
      {"0 and 1 alone are decimals",
       std::string("1 0 0"),
       {with_ctrl(Action::key_press('v'))},
       false,
       0,
       {255, 0, 0},
       1,
       std::string("1 0 0"),
       0},
      {"a paste with no text beeps",
       std::nullopt,
       {with_ctrl(Action::key_press('v'))},
       false,
       0,
       loaded,
       0,
       std::nullopt,
       1},
      {"a refused copy beeps",
       std::string("old"),
       {with_ctrl(Action::key_press('c'))},
       false,
       DESKTOP_FAIL_SET_CLIPBOARD,
       loaded,
       0,
       std::nullopt,
       1},
      {"copy, then paste",
       std::nullopt,
       {Action::rgb(1, 2, 3), with_ctrl(Action::key_press('c')), Action::rgb(9, 9, 9),
        with_ctrl(Action::key_press('v'))},
       false,
       0,
       {1, 2, 3},
       3,
       std::string("#010203\r\n") + "0.003921569, 0.007843138, 0.011764706" + '\0'},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    PluginSession s;
    if (row.clipboard) desktop_set_clipboard(row.clipboard->data(), row.clipboard->size());
    desktop_key_event(VK_CONTROL, row.ctrl_state);
    desktop_set_no_active_window(row.no_active);
    if (row.fail_point) desktop_fail_call(row.fail_point, 1);
    std::vector<Action> script = row.keys;
    script.push_back(Action::ok());
    const hvhost::ColorOutcome out = s.request(script, color(0.2f, 0.4f, 0.6f));
    EXPECT_EQ(s.control("MiniRGBControl")->value(), row.rgb);
    EXPECT_EQ(out.hot.size(), 1 + row.hot);
    const char *bytes = nullptr;
    size_t size = 0;
    const bool has_text = desktop_clipboard(&bytes, &size);
    EXPECT_EQ(has_text ? std::optional<std::string>(std::string(bytes, size)) : std::nullopt,
              row.after);
    EXPECT_EQ(desktop_clipboard_open(), 0);
    EXPECT_EQ(desktop_message_windows(), 0);
    if (row.beeps >= 0) {
      EXPECT_EQ(desktop_call_count("MessageBeep"), row.beeps);
    }
    std::string drawn;
    for (const hvhost::TraceEntry &e : s.trace().entries())
      if (e.op == Op::kDrawText) drawn = e.text;
    if (row.notice) {
      EXPECT_EQ(drawn, row.notice);
    }
    desktop_set_no_active_window(0);
    EXPECT_EQ(desktop_outstanding_globals(), 0);
    EXPECT_EQ(desktop_global_misuse(), 0);
    EXPECT_EQ(s.trace().problems(), std::vector<std::string>{});
  }
}

TEST(Picker, CancelLeavesTheColourAndWritesResultZero) {
  PluginSession s;
  // 0.5 loads as 127, which would go back as 127/255: cancel must not.
  const hvhost::ColorOutcome out =
      s.request({Action::rgb(10, 20, 30), Action::cancel()}, color(0.5f, 0.4f, 0.6f));
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.red, 0.5f);
  EXPECT_EQ(out.green, 0.4f);
  EXPECT_EQ(out.blue, 0.6f);
  EXPECT_EQ(out.hot.size(), 2u);  // the load, and the edit
}

TEST(Picker, TitleIsTheRequestsOrTheDefault) {
  PluginSession s;
  hvhost::AskedColor asked;
  asked.title.reset();
  s.request({Action::ok()}, asked);
  // The product and the version the build carries, the project's.
  EXPECT_EQ(s.picker_panel()->title(), "Huevane " HUEVANE_PROJECT_VERSION);
  asked.title = "Light colour";
  s.request({Action::ok()}, asked);
  EXPECT_EQ(s.picker_panel()->title(), "Light colour");
  EXPECT_EQ(s.trace().count(Op::kPanelCreate), 1u);  // one panel for the process
}

TEST(Picker, CentredFirstThenWhereTheUserLeftIt) {
  PluginSession s;
  // The user drags the window elsewhere while it is open.
  hvhost::CallbackDriver move_window([&](hvhost::Host &host) -> std::optional<Action> {
    hvhost::Panel *panel = host.innermost_panel();
    EXPECT_EQ(panel->x(), 808);
    EXPECT_EQ(panel->y(), 370);
    int x = 100, y = 50;
    hvhost::Host::panel_funcs()->set(panel->id(), PAN_X, &x);
    hvhost::Host::panel_funcs()->set(panel->id(), PAN_Y, &y);
    return Action::ok();
  });
  s.request(move_window);
  hvhost::CallbackDriver check([&](hvhost::Host &host) -> std::optional<Action> {
    EXPECT_EQ(host.innermost_panel()->x(), 100);
    EXPECT_EQ(host.innermost_panel()->y(), 50);
    return std::nullopt;
  });
  s.request(check);
}

TEST(Picker, NarrowDisplayCentresByFlooring) {
  PluginSession s(hvtest::plugin_module_path(), "Huevane", hvhost::HostOptions{303, 200});
  s.request({});
  EXPECT_EQ(s.picker_panel()->x(), -1);
  EXPECT_EQ(s.picker_panel()->y(), -70);
}

TEST(Picker, RightAndMiddleButtonsLeaveTheGradientsAlone) {
  PluginSession s;
  // As the host sends them: right 0x60 (the left bit too), middle 0x40.
  const hvhost::ColorOutcome out = s.request_script(
      "press field 100 100 right\nmove field 150 150\nrelease field 150 150 right\n"
      "press strip 10 100 middle\nmove strip 10 200\nrelease strip 10 200 middle\n"
      "press field 20 30 middle\nrelease field 20 30 middle\nok\n",
      color(0.2f, 0.4f, 0.6f));
  std::vector<int64_t> flags;
  for (const hvhost::TraceEntry &e : s.trace().entries(Op::kCallMouseButton))
    flags.push_back(e.arg(0));
  for (const hvhost::TraceEntry &e : s.trace().entries(Op::kCallMouseMove))
    flags.push_back(e.arg(0));
  EXPECT_EQ(flags, (std::vector<int64_t>{0xE0, 0x60, 0xC0, 0x40, 0xC0, 0x40, 0xE0, 0xC0}));
  EXPECT_EQ(out.hot.size(), 1u);  // the load only
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.red, 0.2f);
  EXPECT_EQ(s.control("MiniRGBControl")->value(), (std::array<int, 3>{51, 102, 153}));
  // The left button still drags.
  EXPECT_EQ(s.request_script("press field 100 100\nrelease field 100 100\nok\n").hot.size(), 2u);
}

TEST(Picker, SwatchPairFramesAndGradientsOnThePanel) {
  PluginSession s;
  s.request({Action::rgb(200, 100, 50), Action::ok()}, color(0.0f, 0.0f, 1.0f));
  const hvhost::Framebuffer &fb = s.picker_framebuffer();
  const hvhost::Rect swatch = s.control("CanvasControl")->inner();
  EXPECT_EQ(fb.pixel(swatch.x + 24, swatch.y + 15), (Rgb{200, 100, 50}));  // current
  EXPECT_EQ(fb.pixel(swatch.x + 24, swatch.y + 45), (Rgb{0, 0, 255}));     // initial
  EXPECT_EQ(fb.pixel(4 + 200, 8 + 64), (Rgb{191, 64, 255}));               // field
  EXPECT_EQ(fb.pixel(268 + 5, 8 + 255), (Rgb{0, 0, 0}));                   // strip bottom
  EXPECT_NE(fb.pixel(3, 100), fb.pixel(1, 100));                           // field frame
  const std::vector<hvhost::TraceEntry> borders = s.trace().entries(Op::kDrawBorder);
  ASSERT_GE(borders.size(), 2u);
  EXPECT_EQ(borders[0].to_string(), "panel.draw_border 1,3,7,258,258");
  EXPECT_EQ(borders[1].to_string(), "panel.draw_border 1,267,7,24,258");
}

// Which step of an update path a host call belongs to.
std::string update_stage(const hvhost::TraceEntry &e) {
  switch (e.op) {
    case Op::kRasterRgbBox:
    case Op::kRasterEraseBox: return "draw";
    case Op::kRasterBlit: return "blit";
    case Op::kControlGet:  // the swatch's inner position
    case Op::kDrawRgbBox: return "swatch";
    default: return e.to_string();
  }
}

// Each path: the other editor, the areas painted into their rasters, the
// blits, the current-colour box, then the hot callback. The load's report
// comes before the panel is shown.
TEST(Picker, UpdatePathsRunInOrderAndTheLoadReportsBeforeTheOpen) {
  PluginSession s;
  std::vector<size_t> hot_at;  // trace entries made before each hot callback
  hvhost::ActionQueue input({Action::hsv(10, 200, 100), Action::rgb(1, 2, 3),
                             Action::press(hvhost::Place::kField, 30, 40), Action::ok()});
  s.host().set_input(&input);
  // The trace has each hot callback ("hot R G B") before it is passed on.
  hvhost::run_color_request(s.server(), color(0.5f, 0.25f, 1.0f), [&](const hvhost::HotColor &) {
    EXPECT_EQ(s.trace().entries().back().op, Op::kHotCallback);
    hot_at.push_back(s.trace().entries().size() - 1);
  });
  s.host().set_input(nullptr);
  ASSERT_EQ(hot_at.size(), 4u);
  const auto &entries = s.trace().entries();
  for (size_t i = 0; i < hot_at[0]; ++i) EXPECT_NE(entries[i].op, Op::kPanelOpen) << i;
  EXPECT_EQ(s.trace().count(Op::kPanelOpen), 1u);
  for (size_t h : hot_at) {
    size_t i = h;
    while (i > 0 && entries[i - 1].op != Op::kControlSet) --i;
    ASSERT_GT(i, 0u);
    std::vector<std::string> stages = {"editor"};
    for (; i < h; ++i) {
      const std::string stage = update_stage(entries[i]);
      if (stages.back() != stage) stages.push_back(stage);
    }
    EXPECT_EQ(stages, (std::vector<std::string>{"editor", "draw", "blit", "swatch"})) << h;
  }
}

TEST(Picker, APressCutShortByTheCloseDoesNotReachTheNextRequest) {
  PluginSession s;
  // OK while the button is still held in the field.
  s.request({Action::press(hvhost::Place::kField, 100, 100), Action::ok()});
  // The next request's first press hits the strip and moves the value only.
  s.request({Action::press(hvhost::Place::kStrip, 10, 50), Action::ok()}, color(1.0f, 0.0f, 0.0f));
  EXPECT_EQ(s.control("MiniHSVControl")->value(), (std::array<int, 3>{0, 255, 205}));
}

TEST(Picker, DrawCallbackInModeZeroBlitsNothing) {
  PluginSession s;
  hvhost::CallbackDriver draw_mode_zero([&](hvhost::Host &host) -> std::optional<Action> {
    hvhost::Panel *panel = host.innermost_panel();
    const hvhost::CallCounts before = s.trace().counts();
    panel->callbacks().draw(panel->id(), panel->user_data(), 0);
    const hvhost::CallCounts d = s.trace().counts() - before;
    EXPECT_EQ(d[Op::kDrawRgbBox], 2u);
    EXPECT_EQ(d[Op::kDrawBorder], 2u);
    EXPECT_EQ(d[Op::kRasterBlit], 0u);
    panel->callbacks().draw(panel->id(), nullptr, 3);  // no user data: nothing
    EXPECT_EQ((s.trace().counts() - before)[Op::kDrawRgbBox], 2u);
    return std::nullopt;
  });
  s.request(draw_mode_zero);
}

TEST(Picker, UnreadableHostInputIsDefined) {
  PluginSession s;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const hvhost::ColorOutcome out = s.request({Action::ok()}, color(nan, inf, -inf));
  // No int editor shows them: NaN and -inf as 0, inf as 255, never a
  // number cut at the int limits.
  EXPECT_EQ(s.control("MiniRGBControl")->value(), (std::array<int, 3>{0, 255, 0}));
  // Nobody changed them: they go back as they came.
  EXPECT_TRUE(same_bits(out.red, nan));
  EXPECT_EQ(out.green, inf);
  EXPECT_EQ(out.blue, -inf);
  // Above 1.0 is kept: 2.0 loads as 510 and goes back as 2.0.
  const hvhost::ColorOutcome big = s.request({Action::ok()}, color(2.0f, 0.0f, 0.0f));
  EXPECT_EQ(big.red, 2.0f);
}

// A request that cannot be served says so, so that the host can fall back
// to its own requester: 3 for no request, 2 for missing services, the
// request untouched; the next request tries again (failures of the picker's
// build: failure_sweep_test.cpp).
TEST(Picker, UnservableRequestsSaySoAndLeaveTheRequestUntouched) {
  PluginSession s;
  EXPECT_EQ(
      s.server().activate(LWCOLORPICK_VERSION, hvhost::Host::lookup_function(), nullptr, nullptr),
      AFUNC_BADLOCAL);
  EXPECT_EQ(s.picker_panel(), nullptr);

  hvhost::AskedColor asked = color(0.5f, 0.25f, 0.125f);
  asked.result = -7;
  const auto untouched = [&](const hvhost::ColorOutcome &out) {
    EXPECT_EQ(out.status, AFUNC_BADGLOBAL);
    EXPECT_EQ(out.result, -7);
    EXPECT_EQ(out.red, 0.5f);
    EXPECT_EQ(out.green, 0.25f);
    EXPECT_EQ(out.blue, 0.125f);
    EXPECT_TRUE(out.hot.empty());
  };
  for (const char *service : {LWRASTERFUNCS_GLOBAL, LWPANELFUNCS_GLOBAL}) {
    s.host().withhold_service(service);
    untouched(s.request({Action::ok()}, asked));
    untouched(s.request({Action::ok()}, asked));  // still missing: asked again
    s.host().withhold_service(service, false);
  }
  EXPECT_EQ(s.picker_panel(), nullptr);
  // Once the host has them, the next request is served.
  const hvhost::ColorOutcome served = s.request({Action::ok()}, asked);
  EXPECT_EQ(served.status, AFUNC_OK);
  EXPECT_EQ(served.result, 1);
  EXPECT_EQ(s.trace().count(Op::kPanelCreate), 1u);
  EXPECT_EQ(s.trace().problems(), std::vector<std::string>{});
}

}  // namespace
