// The reference host's drawing calls: the DrawFuncs table of
// "LWPanelServices" on panels, "RasterServices" on rasters, the host's own
// redraws and the call counters, through the tables a plug-in uses.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "desktop.h"
#include "integration/host_tables.h"
#include "model/palette.h"
#include "model/text.h"
#include "session/action_feed.h"
#include "session/simulated_desktop.h"

namespace {

using namespace hvtest;

using hvhost::Action;
using hvhost::ActionQueue;
using hvhost::CallbackDriver;
using hvhost::Host;
using hvhost::Op;
using hvhost::Rgb;

class HostDrawing : public HostServices {
 protected:
  const hvhost::Framebuffer &panel_image(LWPanelID p) { return host_.panel(p)->framebuffer(); }
  const hvhost::Framebuffer &raster_image(LWRasterID r) { return host_.raster(r)->framebuffer(); }
};

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

TEST(HostPalette, ColourCodesAsTheHostDefinesThem) {
  using hvhost::palette::color_for_code;
  EXPECT_EQ(color_for_code(LWP_NORMAL), kBlack);
  EXPECT_EQ(color_for_code(LWP_HEADLINE), kWhite);
  EXPECT_EQ(color_for_code(LWP_BG), hvhost::palette::kBackground);
  // 0x1032, the edit selection: light yellow.
  const Rgb sel = color_for_code(0x1032);
  EXPECT_TRUE(sel.r >= 240 && sel.g >= 240 && sel.b >= 128 && sel.b <= 224) << sel;
  // An RGB code: bit 24 set, then r << 16 | b << 8 | g.
  EXPECT_EQ(color_for_code(RGB_(10, 20, 30)), (Rgb{10, 20, 30}));
  EXPECT_EQ(color_for_code(0x1000000 | 0x0A1E14), (Rgb{10, 20, 30}));
  EXPECT_EQ(color_for_code(0x1033), hvhost::palette::kUnknownCode);
  EXPECT_EQ(color_for_code(INT_MIN), hvhost::palette::kUnknownCode);
}

TEST_F(HostDrawing, PanelDrawFuncsPaintPixelsLinesBoxesAndDividers) {
  LWPanelID p = make_panel(40, 30);
  df().drawBox(p, LWP_NORMAL, 0, 0, 40, 30);
  df().drawPixel(p, LWP_HEADLINE, 1, 1);
  df().drawPixel(p, LWP_EDIT_SEL, 2, 1);
  df().drawPixel(p, RGB_(10, 20, 30), 3, 1);
  df().drawRGBPixel(p, 300, 5, -2, 4, 1);
  df().drawLine(p, LWP_HEADLINE, 0, 5, 9, 14);               // both ends drawn
  df().drawLine(p, LWP_HEADLINE, INT_MIN, 20, INT_MAX, 20);  // clipped to the row
  df().drawBorder(p, 0, 10, 22, 20, 0);                      // h 0: a divider
  const hvhost::Framebuffer &fb = panel_image(p);
  EXPECT_EQ(fb.pixel(1, 1), kWhite);
  EXPECT_EQ(fb.pixel(2, 1), hvhost::palette::kEditSelection);
  EXPECT_EQ(fb.pixel(3, 1), (Rgb{10, 20, 30}));
  EXPECT_EQ(fb.pixel(4, 1), (Rgb{255, 5, 0}));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(fb.pixel(i, 5 + i), kWhite) << i;
  EXPECT_EQ(fb.count(kWhite, 0, 5, 40, 10), 10);
  EXPECT_EQ(fb.count(kWhite, 0, 20, 40, 1), 40);
  EXPECT_EQ(fb.count(hvhost::palette::kBevelDark, 0, 22, 40, 1), 20);
  EXPECT_EQ(fb.count(hvhost::palette::kBevelLight, 0, 23, 40, 1), 20);
  EXPECT_EQ(fb.pixel(30, 22), kBlack);
  // The per-pixel calls are counted, the others kept as entries too.
  EXPECT_EQ(host_.trace().count(Op::kDrawPixel), 3u);
  EXPECT_TRUE(host_.trace().entries(Op::kDrawPixel).empty());
  EXPECT_EQ(host_.trace().entries(Op::kDrawLine).at(0).to_string(),
            "panel.draw_line 4140,0,5,9,14");
  EXPECT_EQ(host_.trace().entries(Op::kDrawBorder).at(0).to_string(),
            "panel.draw_border 0,10,22,20,0");
}

TEST_F(HostDrawing, TextIsTheHostsOwnOnPanelsAndRasters) {
  LWPanelID p = make_panel(60, 20);
  df().drawBox(p, LWP_NORMAL, 0, 0, 60, 20);
  char text[] = "H1";
  const int w = df().textWidth(p, text);
  EXPECT_EQ(w, hvhost::text_width("H1"));
  EXPECT_GT(w, 0);
  df().drawText(p, text, LWP_HEADLINE, 5, 6);
  const hvhost::Framebuffer &fb = panel_image(p);
  const int inside = fb.count(kWhite, 5, 6, w, hvhost::kTextHeight);
  EXPECT_GT(inside, 0);
  EXPECT_EQ(fb.count(kWhite, 0, 0, 60, 20), inside);
  EXPECT_EQ(df().textWidth(p, nullptr), 0);
  df().drawText(p, nullptr, LWP_HEADLINE, 0, 0);
  df().drawText(p, text, LWP_HEADLINE, INT_MAX, INT_MIN);
  EXPECT_EQ(fb.count(kWhite, 0, 0, 60, 20), inside);
  EXPECT_EQ(host_.trace().entries(Op::kDrawText).at(0).to_string(), "panel.draw_text 4140,5,6 H1");

  LWRasterID r = rf().create(30, 12, 0);
  rf().drawText(r, text, LWP_EDIT_SEL, 1, 2);
  EXPECT_EQ(raster_image(r).count(hvhost::palette::kEditSelection, 1, 2, w, hvhost::kTextHeight),
            inside);
  EXPECT_EQ(host_.trace().entries(Op::kRasterText).at(0).to_string(), "raster.text 4146,1,2 H1");
  EXPECT_EQ(host_.trace().problem_count(), 0u);
}

TEST_F(HostDrawing, RasterLinesBoxesBordersAndBlitsBetweenRasters) {
  LWRasterID r = rf().create(10, 8, 0);
  LWRasterID to = rf().create(6, 6, 0);
  rf().drawBox(r, LWP_NORMAL, 0, 0, 10, 8);
  rf().drawLine(r, LWP_EDIT_SEL, 9, 0, 0, 0);
  rf().drawBorder(r, 1, 0, 2, 10, 6);  // sunken
  const hvhost::Framebuffer &fb = raster_image(r);
  EXPECT_EQ(fb.count(hvhost::palette::kEditSelection, 0, 0, 10, 1), 10);
  EXPECT_EQ(fb.pixel(0, 2), hvhost::palette::kBevelDark);
  EXPECT_EQ(fb.pixel(9, 7), hvhost::palette::kBevelLight);
  EXPECT_EQ(fb.pixel(5, 5), kBlack);

  rf().blitRaster(r, 0, 0, to, 1, 1, 100, 100);  // clipped to both
  EXPECT_EQ(raster_image(to).pixel(0, 0), hvhost::palette::kBackground);
  EXPECT_EQ(raster_image(to).pixel(1, 1), hvhost::palette::kEditSelection);
  EXPECT_EQ(raster_image(to).pixel(1, 3), hvhost::palette::kBevelDark);
  EXPECT_EQ(raster_image(to).pixel(5, 5), kBlack);
  rf().blitRaster(r, INT_MIN, INT_MAX, to, INT_MAX, INT_MIN, INT_MAX, INT_MAX);
  rf().blitRaster(r, 0, 0, r, 2, 2, 8, 6);  // within one raster
  EXPECT_EQ(fb.pixel(2, 2), hvhost::palette::kEditSelection);
  EXPECT_EQ(host_.trace().problem_count(), 0u);

  for (Op op : {Op::kRasterLine, Op::kRasterBox, Op::kRasterBorder})
    EXPECT_EQ(host_.trace().entries(op).size(), 1u) << hvhost::op_name(op);
  int not_a_raster = 0;
  rf().blitRaster(r, 0, 0, &not_a_raster, 0, 0, 1, 1);
  rf().drawLine(&not_a_raster, LWP_NORMAL, 0, 0, 1, 1);
  EXPECT_EQ(host_.trace().problem_count(), 2u);
  EXPECT_EQ(host_.trace().count(Op::kRasterBlitRaster), 4u);
}

TEST_F(HostDrawing, SunkenBorderSitsExactlyOnTheOutline) {
  LWPanelID p = make_panel(20, 20);
  df().drawRGBBox(p, 0, 0, 0, 0, 0, 20, 20);
  df().drawBorder(p, 1, 3, 4, 10, 8);
  const hvhost::Framebuffer &fb = host_.panel(p)->framebuffer();
  const Rgb dark = hvhost::palette::kBevelDark, light = hvhost::palette::kBevelLight;
  EXPECT_EQ(fb.pixel(3, 4), dark);     // top-left corner
  EXPECT_EQ(fb.pixel(12, 4), dark);    // top row to its end
  EXPECT_EQ(fb.pixel(3, 11), dark);    // left column to its end
  EXPECT_EQ(fb.pixel(12, 11), light);  // bottom-right corner
  EXPECT_EQ(fb.pixel(8, 11), light);
  EXPECT_EQ(fb.pixel(12, 8), light);
  EXPECT_EQ(fb.pixel(4, 5), (Rgb{0, 0, 0}));  // inside untouched
  EXPECT_EQ(fb.pixel(2, 4), (Rgb{0, 0, 0}));  // outside untouched
  EXPECT_EQ(fb.pixel(13, 11), (Rgb{0, 0, 0}));
  EXPECT_EQ(fb.pixel(12, 12), (Rgb{0, 0, 0}));
  EXPECT_EQ(fb.count(dark, 0, 0, 20, 20) + fb.count(light, 0, 0, 20, 20), 2 * 10 + 2 * 8 - 4);
}

TEST_F(HostDrawing, RasterDrawingClipsClampsAndBlitsOntoThePanel) {
  LWPanelID p = make_panel(40, 30);
  LWRasterID r = rf().create(8, 6, 0);
  rf().drawRGBBox(r, 10, 20, 30, -5, -5, 100, 100);
  rf().drawRGBPixel(r, 999, -1, 128, 2, 3);  // clamped to 255, 0, 128
  rf().drawPixel(r, LWP_HEADLINE, 0, 0);
  rf().drawPixel(r, LWP_EDIT_SEL, 1, 0);
  rf().drawPixel(r, LWP_NORMAL, 2, 0);
  for (int v : {-1, 8, INT32_MIN, INT32_MAX}) {  // outside: ignored
    rf().drawPixel(r, LWP_NORMAL, v, 1);
    rf().drawRGBPixel(r, 0, 0, 0, 1, v);
  }
  rf().eraseBox(r, 7, 5, 1, 1);
  rf().blitPanel(r, 0, 0, p, 36, -2, 8, 6);  // partly off the panel
  const hvhost::Framebuffer &fb = host_.panel(p)->framebuffer();
  EXPECT_EQ(fb.pixel(38, 1), (Rgb{255, 0, 128}));            // raster (2, 3)
  EXPECT_EQ(fb.pixel(36, 0), (Rgb{10, 20, 30}));             // raster (0, 2)
  EXPECT_EQ(fb.pixel(39, 3), (Rgb{10, 20, 30}));             // raster (3, 5)
  EXPECT_EQ(fb.pixel(36, 4), hvhost::palette::kBackground);  // below the raster
  const hvhost::Framebuffer &rfb = host_.raster(r)->framebuffer();
  EXPECT_EQ(rfb.pixel(0, 0), (Rgb{255, 255, 255}));
  EXPECT_EQ(rfb.pixel(1, 0), hvhost::palette::kEditSelection);
  EXPECT_EQ(rfb.pixel(2, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(rfb.pixel(7, 5), hvhost::palette::kBackground);
  EXPECT_EQ(rfb.count(Rgb{10, 20, 30}, 0, 0, 8, 6), 8 * 6 - 5);
  // Blits with extreme arguments are clipped away, not followed.
  rf().blitPanel(r, INT32_MAX, INT32_MIN, p, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX);
  rf().blitPanel(r, -3, -3, p, INT32_MAX - 2, 0, 10, 10);
  // Per-pixel calls are counted without being kept as entries.
  EXPECT_EQ(host_.trace().count(Op::kRasterRgbPixel), 5u);
  EXPECT_EQ(host_.trace().count(Op::kRasterPixel), 7u);
  EXPECT_TRUE(host_.trace().entries(Op::kRasterRgbPixel).empty());
}

TEST_F(HostDrawing, OpenRedrawsBackgroundControlsThenTheDrawCallback) {
  LWPanelID p = make_panel(60, 40);
  LWControl *canvas = add(p, "CanvasControl", LWT_AREA, 10, 10);
  df().drawRGBBox(p, 255, 0, 0, 0, 0, 60, 40);  // drawn before the open: replaced
  std::vector<std::string> order;
  CallbackDriver driver([&](Host &h) -> std::optional<Action> {
    const hvhost::Framebuffer &fb = h.panel(p)->framebuffer();
    order.push_back(fb.pixel(50, 30) == hvhost::palette::kBackground ? "background" : "?");
    order.push_back(fb.pixel(0, 0) == hvhost::palette::kBevelDark ? "control" : "?");
    return std::nullopt;
  });
  host_.set_input(&driver);
  EXPECT_EQ(pf().open(p, kPickerFlags), 0);  // input ended: cancelled
  EXPECT_EQ(g_events, (std::vector<std::string>{"opened", "draw 1"}));
  EXPECT_EQ(order, (std::vector<std::string>{"background", "control"}));
  EXPECT_TRUE(host_.input_ended());
  (void)canvas;
}

TEST_F(HostDrawing, PanelDrawMode3CallsBackOnlyWhileOpen) {
  LWPanelID p = make_panel();
  pf().draw(p, DR_REFRESH);
  EXPECT_TRUE(g_events.empty());
  ActionQueue input;
  CallbackDriver driver([&](Host &) -> std::optional<Action> {
    pf().draw(p, DR_REFRESH);
    pf().draw(p, DR_ERASE);
    return Action::ok();
  });
  host_.set_input(&driver);
  EXPECT_EQ(pf().open(p, kPickerFlags), 1);
  EXPECT_EQ(g_events, (std::vector<std::string>{"opened", "draw 1", "draw 3"}));
}

void draw_again(LWPanelID panel, void *, int mode) {
  record("draw " + std::to_string(mode));
  Host::panel_funcs()->draw(panel, DR_REFRESH);
  Host::panel_funcs()->draw(panel, 1);
}

TEST_F(HostDrawing, DrawRequestsFromInsideTheDrawCallbackAreIgnored) {
  LWPanelID p = make_panel();
  pf().set(p, PAN_USERDRAW, fn(&draw_again));
  ActionQueue input({Action::ok()});
  host_.set_input(&input);
  EXPECT_EQ(pf().open(p, kPickerFlags), 1);
  EXPECT_EQ(g_events, (std::vector<std::string>{"opened", "draw 1"}));
  EXPECT_EQ(host_.trace().problem_count(), 2u);
}

TEST_F(HostDrawing, CountersMeasureCallsBetweenTwoMoments) {
  LWPanelID p = make_panel();
  LWRasterID r = rf().create(4, 4, 0);
  host_.trace().set_recording_all(false);
  const hvhost::CallCounts before = host_.trace().counts();
  for (int i = 0; i < 16; ++i) rf().drawRGBPixel(r, 1, 1, 1, i % 4, i / 4);
  rf().blitPanel(r, 0, 0, p, 0, 0, 4, 4);
  const hvhost::CallCounts spent = host_.trace().counts() - before;
  EXPECT_EQ(spent[Op::kRasterRgbPixel], 16u);
  EXPECT_EQ(spent[Op::kRasterBlit], 1u);
  EXPECT_EQ(spent[Op::kPanelSet], 0u);
  EXPECT_TRUE(host_.trace().entries(Op::kRasterBlit).empty());
}

TEST_F(HostDrawing, DisplayMetricsAreConfigurable) {
  EXPECT_EQ(df().dispMetrics()->width, 1920);
  EXPECT_EQ(df().dispMetrics()->height, 1080);
  EXPECT_EQ(df().dispMetrics()->textHeight, hvhost::kTextLineHeight);
  host_.set_display_size(303, 200);
  EXPECT_EQ(df().dispMetrics()->width, 303);
  EXPECT_EQ(df().dispMetrics()->height, 200);
  // One limit for what the plug-in is told and the desktop it reads.
  host_.set_display_size(hvhost::kMaxDisplaySize + 1, 0);
  EXPECT_EQ(df().dispMetrics()->width, hvhost::kMaxDisplaySize);
  EXPECT_EQ(df().dispMetrics()->height, 1);
  host_.set_display_size(hvhost::kMaxDisplaySize, 700);
  hvhost::SimulatedDesktop desktop(host_);
  EXPECT_EQ(desktop_width(), hvhost::kMaxDisplaySize);
  EXPECT_EQ(desktop_height(), 700);
}

// The qualifiers a key is held with are the system's key state while it is
// delivered: each bit its own key, none of the others.
TEST_F(HostDrawing, SimulatedDesktopHoldsEachQualifiersKey) {
  hvhost::SimulatedDesktop desktop(host_);
  struct Row {
    int qualifiers;
    bool ctrl, shift, alt;
  };
  for (const Row &row :
       {Row{IQ_CTRL, true, false, false}, Row{IQ_SHIFT, false, true, false},
        Row{IQ_ALT, false, false, true}, Row{IQ_CTRL | IQ_ALT, true, false, true},
        Row{IQ_CTRL | IQ_SHIFT | IQ_ALT, true, true, true}, Row{0, false, false, false}}) {
    desktop.keys_held(row.qualifiers);
    EXPECT_EQ(GetKeyState(VK_CONTROL) < 0, row.ctrl) << row.qualifiers;
    EXPECT_EQ(GetKeyState(VK_SHIFT) < 0, row.shift) << row.qualifiers;
    EXPECT_EQ(GetKeyState(VK_MENU) < 0, row.alt) << row.qualifiers;
  }
}

// Keeps what a sink is given, as the --trace file would.
struct LinesSink : hvhost::TraceSink {
  std::vector<std::string> lines;
  void write(const hvhost::TraceEntry &e) override { lines.push_back(e.to_string()); }
};

TEST_F(HostDrawing, TraceKeepsABoundedWindowAndStreamsEveryCallToItsSink) {
  LWPanelID p = make_panel();
  LWPanelFuncs &panels = pf();
  host_.trace().clear();
  host_.trace().set_window(3);
  LinesSink sink;
  host_.trace().set_sink(&sink);
  for (int i = 0; i < 5; ++i) panels.set(p, PAN_TITLE, const_cast<char *>("t"));
  panels.drawFuncs->drawRGBBox(p, 1, 2, 3, 0, 0, 1, 1);
  // Each entry reaches the sink as it is recorded, whole.
  ASSERT_EQ(sink.lines.size(), 6u);
  EXPECT_EQ(sink.lines.front(), "panel.set 11 t");
  EXPECT_EQ(sink.lines.back(), "panel.draw_rgb_box 1,2,3,0,0,1,1");
  EXPECT_EQ(host_.trace().entries().size(), 3u);
  EXPECT_EQ(host_.trace().count(Op::kPanelSet), 5u);

  // No window and no sink: nothing is kept, everything is counted.
  host_.trace().set_sink(nullptr);
  host_.trace().set_window(0);
  EXPECT_TRUE(host_.trace().entries().empty());
  EXPECT_FALSE(host_.trace().recording(Op::kPanelSet));
  for (int i = 0; i < 1000; ++i) panels.set(p, PAN_TITLE, const_cast<char *>("t"));
  EXPECT_TRUE(host_.trace().entries().empty());
  EXPECT_EQ(host_.trace().count(Op::kPanelSet), 1005u);
  EXPECT_EQ(sink.lines.size(), 6u);
}

TEST_F(HostDrawing, OpenPanelsAppearOnTheScreenAtTheirPositions) {
  LWPanelID p = make_panel(50, 40);
  int x = 100, y = 200;
  pf().set(p, PAN_X, &x);
  pf().set(p, PAN_Y, &y);
  CallbackDriver driver([&](Host &h) -> std::optional<Action> {
    df().drawRGBBox(p, 9, 8, 7, 0, 0, 50, 40);
    EXPECT_EQ(h.screen_pixel(99, 250), std::nullopt);
    EXPECT_EQ(h.screen_pixel(100, 200), hvhost::palette::kWindowEdge);
    // The client area starts below the title strip.
    EXPECT_EQ(h.screen_pixel(101, 221), (Rgb{9, 8, 7}));
    // A change is composed again into the window's cached image, all of it.
    df().drawRGBBox(p, 1, 2, 3, 0, 0, 50, 40);
    df().drawRGBPixel(p, 4, 5, 6, 49, 39);
    EXPECT_EQ(h.screen_pixel(101, 221), (Rgb{1, 2, 3}));
    EXPECT_EQ(h.screen_pixel(100 + 1 + 49, 200 + 21 + 39), (Rgb{4, 5, 6}));
    EXPECT_EQ(h.screen_pixel(100, 200), hvhost::palette::kWindowEdge);
    return std::nullopt;
  });
  host_.set_input(&driver);
  pf().open(p, kPickerFlags);
  EXPECT_EQ(host_.screen_pixel(101, 221), std::nullopt);
}

}  // namespace
