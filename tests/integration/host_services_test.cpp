// The reference host's panel, control and raster services, driven through
// the same function tables the plug-in uses, with callbacks defined here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop.h"
#include "services/host.h"
#include "services/palette.h"
#include "services/simulated_desktop.h"

namespace {

using hvhost::Action;
using hvhost::ActionQueue;
using hvhost::CallbackDriver;
using hvhost::Host;
using hvhost::Op;
using hvhost::Rgb;

// What the callbacks below saw, in order.
std::vector<std::string> g_events;

void record(const std::string &e) { g_events.push_back(e); }

void on_draw(PanelID, void *, int mode) { record("draw " + std::to_string(mode)); }
void on_opened(PanelID, void *) { record("opened"); }
void on_button(PanelID, void *, int flags, int x, int y) {
  record("button " + std::to_string(flags) + " " + std::to_string(x) + " " + std::to_string(y));
}
void on_move(PanelID, void *, int flags, int x, int y) {
  record("move " + std::to_string(flags) + " " + std::to_string(x) + " " + std::to_string(y));
}
void on_key(PanelID, void *, uint32_t key) { record("key " + std::to_string(key)); }
void on_event(HostControl *control, void *data) {
  IntVectorValue v = {VALUE_TYPE_IVEC, {0, 0, 0}};
  control->get(control, CTL_VALUE, &v);
  record("event " + std::to_string(v.val[0]) + "," + std::to_string(v.val[1]) + "," +
         std::to_string(v.val[2]) + (data == &g_events ? " data" : " no data"));
}

template <typename F>
void *fn(F f) {
  return reinterpret_cast<void *>(f);
}

class HostServices : public ::testing::Test {
 protected:
  void SetUp() override { g_events.clear(); }

  PanelFuncs &pf() { return *static_cast<PanelFuncs *>(lookup(PANEL_SERVICES_NAME)); }
  RasterFuncs &rf() { return *static_cast<RasterFuncs *>(lookup(RASTER_SERVICES_NAME)); }
  void *lookup(const char *name) { return Host::lookup_function()(name, 0); }

  PanelID make_panel(int w = 100, int h = 60) {
    PanelID p = pf().create("Test", &pf());
    pf().set(p, PAN_W, &w);
    pf().set(p, PAN_H, &h);
    pf().set(p, PAN_DRAW_FUNC, fn(&on_draw));
    pf().set(p, PAN_OPENED_FUNC, fn(&on_opened));
    pf().set(p, PAN_MOUSE_BUTTON_FUNC, fn(&on_button));
    pf().set(p, PAN_MOUSE_MOVE_FUNC, fn(&on_move));
    pf().set(p, PAN_KEY_FUNC, fn(&on_key));
    return p;
  }

  HostControl *add(PanelID p, const char *type, int ctype = CTL_TYPE_EDITOR, int w = 0,
                   int h = 0, const char *label = "") {
    ControlDesc d = {ctype, w, h};
    return pf().add_control(p, type, &d, label);
  }

  static int get_int(HostControl *c, int attr) {
    IntValue v = {VALUE_TYPE_INT, -777, nullptr};
    c->get(c, attr, &v);
    return v.intv;
  }
  static void set_int(HostControl *c, int attr, int value) {
    IntValue v = {VALUE_TYPE_INT, value, nullptr};
    c->set(c, attr, &v);
  }
  static void set_ptr(HostControl *c, int attr, void *value) {
    IntValue v = {VALUE_TYPE_INT, 0, value};
    c->set(c, attr, &v);
  }

  Host host_;
};

TEST_F(HostServices, LookupServesTheTwoTablesAndNothingElse) {
  EXPECT_EQ(lookup("LWPanelServices"), Host::panel_funcs());
  EXPECT_EQ(lookup("RasterServices"), Host::raster_funcs());
  EXPECT_EQ(lookup("LWXPanel"), nullptr);
  EXPECT_EQ(lookup(""), nullptr);
  EXPECT_EQ(Host::lookup_function()(nullptr, 0), nullptr);
  EXPECT_EQ(host_.trace().count(Op::kLookup), 5u);
  EXPECT_EQ(host_.trace().entries().front().to_string(), "lookup LWPanelServices 0");
}

TEST(HostWithoutCurrent, TablesDoNothing) {
  ASSERT_EQ(Host::current(), nullptr);
  EXPECT_EQ(Host::lookup_function()(PANEL_SERVICES_NAME, 0), nullptr);
  EXPECT_EQ(Host::panel_funcs()->create("x", nullptr), nullptr);
  EXPECT_EQ(Host::panel_funcs()->display_metrics(), nullptr);
  EXPECT_EQ(Host::raster_funcs()->create(4, 4, 0), nullptr);
  Host::raster_funcs()->rgb_pixel(nullptr, 1, 2, 3, 0, 0);
}

TEST_F(HostServices, StaleHandlesFromAnotherHostAreReported) {
  PanelFuncs *panels = Host::panel_funcs();
  PanelID kept = nullptr;
  {
    Host inner;
    kept = panels->create("inner", panels);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(Host::current(), &inner);
  }
  EXPECT_EQ(Host::current(), &host_);
  // The inner host's panel is unknown here: reported, not followed.
  int v = 5;
  panels->set(kept, PAN_W, &v);
  panels->draw_rgb_box(kept, 1, 2, 3, 0, 0, 10, 10);
  EXPECT_EQ(host_.trace().problem_count(), 2u);
  EXPECT_EQ(host_.trace().entries().back().status, hvhost::CallStatus::kBadHandle);
}

TEST_F(HostServices, PanelAttributesRoundTrip) {
  PanelID p = make_panel(304, 340);
  int x = -1, y = 370;
  pf().set(p, PAN_X, &x);
  pf().set(p, PAN_Y, &y);
  int got[4] = {0, 0, 0, 0};
  for (int a = PAN_X; a <= PAN_H; ++a) pf().get(p, a, &got[a]);
  EXPECT_EQ(got[0], -1);
  EXPECT_EQ(got[1], 370);
  EXPECT_EQ(got[2], 304);
  EXPECT_EQ(got[3], 340);

  char title[] = "Temporary";
  pf().set(p, PAN_TITLE, title);
  title[0] = 'X';  // the host keeps its own copy
  EXPECT_EQ(host_.panel(p)->title(), "Temporary");
  pf().set(p, PAN_TITLE, nullptr);
  EXPECT_EQ(host_.panel(p)->title(), "");

  int user = 0;
  pf().set(p, PAN_USER_DATA, &user);
  void *back = nullptr;
  pf().get(p, PAN_USER_DATA, &back);
  EXPECT_EQ(back, &user);

  // Attribute 23 is recorded and does nothing else; unknown ones are noted.
  pf().set(p, PAN_AFTER_EYEDROPPER, nullptr);
  EXPECT_EQ(host_.panel(p)->after_eyedropper_count(), 1);
  EXPECT_EQ(host_.trace().problem_count(), 0u);
  pf().set(p, 99, &user);
  pf().get(p, PAN_X, nullptr);
  EXPECT_EQ(host_.trace().problem_count(), 2u);
}

TEST_F(HostServices, HugeOrNegativeSizesAreClampedNotAllocated) {
  PanelID p = make_panel();
  int w = INT32_MAX, h = -5;
  pf().set(p, PAN_W, &w);
  pf().set(p, PAN_H, &h);
  EXPECT_EQ(host_.panel(p)->width(), hvhost::kMaxImageExtent);
  EXPECT_EQ(host_.panel(p)->height(), 0);
  RasterID r = rf().create(-10, INT32_MIN, 0);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(host_.raster(r)->framebuffer().width(), 0);
  rf().rgb_pixel(r, 1, 2, 3, 0, 0);  // nothing to draw on, and no harm
  rf().destroy(r);
  EXPECT_EQ(host_.raster_count(), 0u);
}

TEST_F(HostServices, ControlGeometryPlacesThePickersControlsTidily) {
  PanelID p = make_panel(304, 340);
  struct Placement {
    const char *type;
    int ctype, w, h;
    const char *label;
    int target_x, target_y;
  };
  // The four controls as the picker adds and places them.
  const Placement placements[] = {
      {"CanvasControl", CTL_TYPE_DRAWN, 48, 60, "", 216, 268},
      {"ButtonControl", CTL_TYPE_DRAWN, 22, 0, "\x03(i:MIMG_ZOOM)", 272, 288},
      {"MiniHSVControl", CTL_TYPE_EDITOR, 22, 0, "", -28, 268},
      {"MiniRGBControl", CTL_TYPE_EDITOR, 22, 0, "", -28, 298},
  };
  std::vector<hvhost::Rect> rects;
  for (const Placement &pl : placements) {
    HostControl *c = add(p, pl.type, pl.ctype, pl.w, pl.h, pl.label);
    ASSERT_NE(c, nullptr);
    const int x = get_int(c, CTL_HOTX) - get_int(c, CTL_W) + pl.target_x;
    set_int(c, CTL_X, x);
    set_int(c, CTL_Y, pl.target_y);
    rects.push_back(host_.control(c)->rect());
  }
  // Canvas and button land on their targets; the editors at x = 4.
  EXPECT_EQ(rects[0].x, 216);
  EXPECT_EQ(rects[1].x, 272);
  EXPECT_EQ(rects[2].x, 4);
  EXPECT_EQ(rects[3].x, 4);
  EXPECT_LE(rects[2].h, 28);
  for (size_t i = 0; i < rects.size(); ++i) {
    const hvhost::Rect &a = rects[i];
    EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.w <= 304 && a.y + a.h <= 340) << i;
    // Below the field (ends at y 264) and the strip.
    EXPECT_GE(a.y, 265) << i;
    for (size_t j = i + 1; j < rects.size(); ++j) {
      const hvhost::Rect &b = rects[j];
      const bool apart = a.x + a.w <= b.x || b.x + b.w <= a.x || a.y + a.h <= b.y ||
                         b.y + b.h <= a.y;
      EXPECT_TRUE(apart) << i << " overlaps " << j;
    }
  }
  // The canvas's inner area is the 48 x 60 the plug-in draws its swatches in.
  HostControl *canvas = host_.panel(p)->controls()[0]->handle();
  EXPECT_EQ(get_int(canvas, CTL_INNER_X), 217);
  EXPECT_EQ(get_int(canvas, CTL_INNER_Y), 269);
  EXPECT_EQ(host_.control(canvas)->inner().w, 48);
  EXPECT_EQ(host_.control(canvas)->inner().h, 60);
}

TEST_F(HostServices, SettingAValueRedrawsButNeverCallsTheEventCallback) {
  PanelID p = make_panel(304, 340);
  HostControl *c = add(p, "MiniRGBControl");
  set_ptr(c, CTL_EVENT_FUNC, fn(&on_event));
  set_ptr(c, CTL_USER_DATA, &g_events);
  const uint64_t before = host_.panel(p)->framebuffer().revision();

  IntVectorValue v = {VALUE_TYPE_IVEC, {10, 300, -4}};
  c->set(c, CTL_VALUE, &v);
  EXPECT_TRUE(g_events.empty());
  EXPECT_GT(host_.panel(p)->framebuffer().revision(), before);
  // Values the plug-in sets are kept as given.
  EXPECT_EQ(host_.control(c)->value(), (std::array<int, 3>{10, 300, -4}));

  // A user's edit sets (within the field range), redraws and calls back.
  ASSERT_TRUE(host_.edit_control(*host_.control(c), {1, 999, -5}));
  EXPECT_EQ(g_events, std::vector<std::string>{"event 1,255,0 data"});
  EXPECT_EQ(host_.trace().count(Op::kCallControlEvent), 1u);
}

TEST_F(HostServices, ControlValueRecordsOfTheWrongTypeAreIgnored) {
  PanelID p = make_panel();
  HostControl *editor = add(p, "MiniHSVControl");
  IntVectorValue v = {VALUE_TYPE_IVEC, {1, 2, 3}};
  editor->set(editor, CTL_VALUE, &v);

  IntValue wrong = {VALUE_TYPE_INT, 42, nullptr};
  editor->set(editor, CTL_VALUE, &wrong);  // an editor's value is a vector
  editor->get(editor, CTL_VALUE, &wrong);
  EXPECT_EQ(wrong.intv, 42);
  IntVectorValue vec = {VALUE_TYPE_IVEC, {7, 7, 7}};
  editor->get(editor, CTL_X, &vec);  // positions are ints
  EXPECT_EQ(vec.val[0], 7);
  int32_t garbage[4] = {1234, 0, 0, 0};
  editor->set(editor, CTL_X, garbage);
  editor->set(editor, CTL_VALUE, nullptr);
  editor->get(editor, 77, &wrong);
  EXPECT_EQ(host_.control(editor)->value(), (std::array<int, 3>{1, 2, 3}));
  EXPECT_EQ(host_.control(editor)->x(), 0);
  EXPECT_EQ(host_.trace().problem_count(), 6u);

  // A control handle the host never gave out is rejected.
  HostControl fake = *editor;
  fake.set(&fake, CTL_VALUE, &v);
  EXPECT_EQ(host_.trace().problem_count(), 7u);
}

TEST_F(HostServices, SunkenBorderSitsExactlyOnTheOutline) {
  PanelID p = make_panel(20, 20);
  pf().draw_rgb_box(p, 0, 0, 0, 0, 0, 20, 20);
  pf().draw_border(p, 1, 3, 4, 10, 8);
  const hvhost::Framebuffer &fb = host_.panel(p)->framebuffer();
  const Rgb dark = hvhost::palette::kBevelDark, light = hvhost::palette::kBevelLight;
  EXPECT_EQ(fb.pixel(3, 4), dark);    // top-left corner
  EXPECT_EQ(fb.pixel(12, 4), dark);   // top row to its end
  EXPECT_EQ(fb.pixel(3, 11), dark);   // left column to its end
  EXPECT_EQ(fb.pixel(12, 11), light);  // bottom-right corner
  EXPECT_EQ(fb.pixel(8, 11), light);
  EXPECT_EQ(fb.pixel(12, 8), light);
  EXPECT_EQ(fb.pixel(4, 5), (Rgb{0, 0, 0}));   // inside untouched
  EXPECT_EQ(fb.pixel(2, 4), (Rgb{0, 0, 0}));   // outside untouched
  EXPECT_EQ(fb.pixel(13, 11), (Rgb{0, 0, 0}));
  EXPECT_EQ(fb.pixel(12, 12), (Rgb{0, 0, 0}));
  EXPECT_EQ(fb.count(dark, 0, 0, 20, 20) + fb.count(light, 0, 0, 20, 20), 2 * 10 + 2 * 8 - 4);
}

TEST_F(HostServices, RasterDrawingClipsClampsAndBlitsOntoThePanel) {
  PanelID p = make_panel(40, 30);
  RasterID r = rf().create(8, 6, 0);
  rf().rgb_box(r, 10, 20, 30, -5, -5, 100, 100);
  rf().rgb_pixel(r, 999, -1, 128, 2, 3);  // clamped to 255, 0, 128
  rf().pixel(r, HOST_COLOR_WHITE, 0, 0);
  rf().pixel(r, HOST_COLOR_LIGHT_GREY, 1, 0);
  rf().pixel(r, HOST_COLOR_BLACK, 2, 0);
  for (int v : {-1, 8, INT32_MIN, INT32_MAX}) {  // outside: ignored
    rf().pixel(r, HOST_COLOR_BLACK, v, 1);
    rf().rgb_pixel(r, 0, 0, 0, 1, v);
  }
  rf().erase_box(r, 7, 5, 1, 1);
  rf().blit(r, 0, 0, p, 36, -2, 8, 6);  // partly off the panel
  const hvhost::Framebuffer &fb = host_.panel(p)->framebuffer();
  EXPECT_EQ(fb.pixel(38, 1), (Rgb{255, 0, 128}));  // raster (2, 3)
  EXPECT_EQ(fb.pixel(36, 0), (Rgb{10, 20, 30}));   // raster (0, 2)
  EXPECT_EQ(fb.pixel(39, 3), (Rgb{10, 20, 30}));   // raster (3, 5)
  EXPECT_EQ(fb.pixel(36, 4), hvhost::palette::kBackground);  // below the raster
  const hvhost::Framebuffer &rfb = host_.raster(r)->framebuffer();
  EXPECT_EQ(rfb.pixel(0, 0), (Rgb{255, 255, 255}));
  EXPECT_EQ(rfb.pixel(1, 0), (Rgb{200, 200, 200}));
  EXPECT_EQ(rfb.pixel(2, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(rfb.pixel(7, 5), hvhost::palette::kBackground);
  EXPECT_EQ(rfb.count(Rgb{10, 20, 30}, 0, 0, 8, 6), 8 * 6 - 5);
  // Blits with extreme arguments are clipped away, not followed.
  rf().blit(r, INT32_MAX, INT32_MIN, p, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX);
  rf().blit(r, -3, -3, p, INT32_MAX - 2, 0, 10, 10);
  // Per-pixel calls are counted without being kept as entries.
  EXPECT_EQ(host_.trace().count(Op::kRasterRgbPixel), 5u);
  EXPECT_EQ(host_.trace().count(Op::kRasterPixel), 7u);
  EXPECT_TRUE(host_.trace().entries(Op::kRasterRgbPixel).empty());
}

TEST_F(HostServices, OpenRedrawsBackgroundControlsThenTheDrawCallback) {
  PanelID p = make_panel(60, 40);
  HostControl *canvas = add(p, "CanvasControl", CTL_TYPE_DRAWN, 10, 10);
  pf().draw_rgb_box(p, 255, 0, 0, 0, 0, 60, 40);  // drawn before the open: replaced
  std::vector<std::string> order;
  CallbackDriver driver([&](Host &h) -> std::optional<Action> {
    const hvhost::Framebuffer &fb = h.panel(p)->framebuffer();
    order.push_back(fb.pixel(50, 30) == hvhost::palette::kBackground ? "background" : "?");
    order.push_back(fb.pixel(0, 0) == hvhost::palette::kBevelDark ? "control" : "?");
    return std::nullopt;
  });
  host_.set_input(&driver);
  EXPECT_EQ(pf().open(p, PICKER_OPEN_FLAGS), 0);  // input ended: cancelled
  EXPECT_EQ(g_events, (std::vector<std::string>{"opened", "draw 1"}));
  EXPECT_EQ(order, (std::vector<std::string>{"background", "control"}));
  EXPECT_TRUE(host_.input_ended());
  (void)canvas;
}

TEST_F(HostServices, PanelDrawMode3CallsBackOnlyWhileOpen) {
  PanelID p = make_panel();
  pf().draw(p, DRAW_MODE_REDRAW);
  EXPECT_TRUE(g_events.empty());
  ActionQueue input;
  CallbackDriver driver([&](Host &) -> std::optional<Action> {
    pf().draw(p, DRAW_MODE_REDRAW);
    pf().draw(p, DRAW_MODE_NONE);
    return Action::ok();
  });
  host_.set_input(&driver);
  EXPECT_EQ(pf().open(p, PICKER_OPEN_FLAGS), 1);
  EXPECT_EQ(g_events, (std::vector<std::string>{"opened", "draw 1", "draw 3"}));
}

void draw_again(PanelID panel, void *, int mode) {
  record("draw " + std::to_string(mode));
  Host::panel_funcs()->draw(panel, DRAW_MODE_REDRAW);
  Host::panel_funcs()->draw(panel, 1);
}

TEST_F(HostServices, DrawRequestsFromInsideTheDrawCallbackAreIgnored) {
  PanelID p = make_panel();
  pf().set(p, PAN_DRAW_FUNC, fn(&draw_again));
  ActionQueue input({Action::ok()});
  host_.set_input(&input);
  EXPECT_EQ(pf().open(p, PICKER_OPEN_FLAGS), 1);
  EXPECT_EQ(g_events, (std::vector<std::string>{"opened", "draw 1"}));
  EXPECT_EQ(host_.trace().problem_count(), 2u);
}

TEST_F(HostServices, MouseKeyAndButtonInputReachTheRightCallbacks) {
  PanelID p = make_panel(200, 100);
  HostControl *button = add(p, "ButtonControl", CTL_TYPE_DRAWN, 22, 0, "\x03(i:MIMG_ZOOM)");
  set_int(button, CTL_X, 150);
  set_int(button, CTL_Y, 50);
  set_ptr(button, CTL_EVENT_FUNC, fn(&on_event));
  ActionQueue input({
      Action::move(5, 5),                      // nothing held: nothing
      Action::press(10, 20),                   // 0x80 | 0x20
      Action::move(11, 21),                    // 0x80 | 0x20
      Action::release(12, 22),                 // 0x20 alone
      Action::press(30, 40, hvhost::MouseButton::kRight),
      Action::move(31, 41),
      Action::release(32, 42, hvhost::MouseButton::kRight),
      Action::key_press('s'),
      Action::press(hvhost::Place::kEyedropper, 0, 0),  // on the button: not the panel's
      Action::move(0, 0),
      Action::release(hvhost::Place::kEyedropper, 0, 0),  // over it: a click
      Action::press(155, 55),
      Action::release(0, 0),  // released elsewhere: no click
      Action::click_eyedropper(),
      Action::cancel(),
  });
  host_.set_input(&input);
  EXPECT_EQ(pf().open(p, PICKER_OPEN_FLAGS), 0);
  EXPECT_EQ(g_events, (std::vector<std::string>{
                          "opened", "draw 1", "button 160 10 20", "move 160 11 21",
                          "button 32 12 22", "button 192 30 40", "move 192 31 41",
                          "button 64 32 42", "key 115", "event 0,0,0 no data",
                          "event 0,0,0 no data"}));
  EXPECT_FALSE(host_.input_ended());
}

TEST_F(HostServices, ResultsOfOkCancelCloseAndEndOfInput) {
  PanelID p = make_panel();
  const auto run = [&](std::vector<Action> actions) {
    ActionQueue q(std::move(actions));
    host_.set_input(&q);
    return pf().open(p, PICKER_OPEN_FLAGS);
  };
  EXPECT_EQ(run({Action::ok()}), 1);
  EXPECT_EQ(run({Action::cancel()}), 0);
  EXPECT_EQ(run({}), 0);
  EXPECT_TRUE(host_.input_ended());
  // A close from the plug-in ends the open with 0.
  CallbackDriver closer([&](Host &) -> std::optional<Action> {
    pf().close(p);
    return Action::wait(0);
  });
  host_.set_input(&closer);
  EXPECT_EQ(pf().open(p, PICKER_OPEN_FLAGS), 0);
  EXPECT_FALSE(host_.panel(p)->is_open());
  EXPECT_EQ(host_.panel(p)->times_opened(), 4);
}

// ---- Nested modal opens -------------------------------------------------

PanelID g_inner = nullptr;
int g_inner_result = -1;

void open_inner(PanelID, void *, uint32_t) {
  g_inner_result = Host::panel_funcs()->open(g_inner, PICKER_OPEN_FLAGS);
  record("inner returned " + std::to_string(g_inner_result));
}

TEST_F(HostServices, NestedOpenGetsTheInputUntilItCloses) {
  PanelID outer = make_panel(100, 100);
  g_inner = pf().create("Inner", &pf());
  int size = 30;
  pf().set(g_inner, PAN_W, &size);
  pf().set(g_inner, PAN_H, &size);
  pf().set(g_inner, PAN_MOUSE_BUTTON_FUNC, fn(&on_button));
  pf().set(outer, PAN_KEY_FUNC, fn(&open_inner));
  std::vector<size_t> depths;
  std::vector<Action> script = {Action::key_press('s'), Action::press(1, 2), Action::ok(),
                                Action::press(3, 4), Action::ok()};
  size_t next = 0;
  CallbackDriver driver([&](Host &h) -> std::optional<Action> {
    depths.push_back(h.modal_panels().size());
    if (next == script.size()) return std::nullopt;
    return script[next++];
  });
  host_.set_input(&driver);
  EXPECT_EQ(pf().open(outer, PICKER_OPEN_FLAGS), 1);
  EXPECT_EQ(g_inner_result, 1);
  EXPECT_EQ(depths, (std::vector<size_t>{1, 2, 2, 1, 1}));
  // The inner panel's own callback got the first press; the outer's the second.
  EXPECT_EQ(g_events, (std::vector<std::string>{"opened", "draw 1", "button 160 1 2",
                                                "inner returned 1", "button 160 3 4"}));
}

TEST_F(HostServices, EndOfInputCancelsEveryNestedOpen) {
  PanelID outer = make_panel();
  g_inner = pf().create("Inner", &pf());
  pf().set(outer, PAN_KEY_FUNC, fn(&open_inner));
  ActionQueue input({Action::key_press('s')});
  host_.set_input(&input);
  EXPECT_EQ(pf().open(outer, PICKER_OPEN_FLAGS), 0);
  EXPECT_EQ(g_inner_result, 0);
  EXPECT_TRUE(host_.modal_panels().empty());
  EXPECT_TRUE(host_.open_panels().empty());
}

void destroy_self(PanelID panel, void *, uint32_t) { Host::panel_funcs()->destroy(panel); }

TEST_F(HostServices, PanelDestroyedDuringItsOwnOpenEndsItSafely) {
  PanelID p = make_panel();
  pf().set(p, PAN_KEY_FUNC, fn(&destroy_self));
  ActionQueue input({Action::key_press('x'), Action::ok()});
  host_.set_input(&input);
  EXPECT_EQ(pf().open(p, PICKER_OPEN_FLAGS), 0);
  EXPECT_EQ(host_.panel(p), nullptr);
  EXPECT_EQ(input.remaining(), 1u);
  pf().open(p, PICKER_OPEN_FLAGS);  // a stale handle is reported
  EXPECT_EQ(host_.trace().problem_count(), 1u);
}

void reopen_self(PanelID panel, void *, uint32_t) {
  record("reopen " + std::to_string(Host::panel_funcs()->open(panel, PICKER_OPEN_FLAGS)));
}

TEST_F(HostServices, OpeningAnOpenPanelIsRefused) {
  PanelID p = make_panel();
  pf().set(p, PAN_KEY_FUNC, fn(&reopen_self));
  ActionQueue input({Action::key_press('x'), Action::ok()});
  host_.set_input(&input);
  EXPECT_EQ(pf().open(p, PICKER_OPEN_FLAGS), 1);
  EXPECT_EQ(g_events.back(), "reopen 0");
  EXPECT_EQ(host_.trace().problem_count(), 1u);
}

TEST_F(HostServices, ActionThatCannotBePerformedAbortsWithItsLine) {
  PanelID p = make_panel();  // no editors, no button
  Action edit = Action::rgb(1, 2, 3);
  edit.line = 7;
  ActionQueue input({edit, Action::ok()});
  host_.set_input(&input);
  EXPECT_EQ(pf().open(p, PICKER_OPEN_FLAGS), 0);
  EXPECT_TRUE(host_.aborted());
  EXPECT_EQ(host_.error(), "line 7: no RGB editor on the open panel (rgb 1 2 3)");
  host_.set_input(nullptr);  // keeps the error for inspection
  EXPECT_TRUE(host_.aborted());
}

TEST_F(HostServices, FailureInjectionMakesTheNthCallReturnNull) {
  host_.trace().fail_nth(hvhost::FailPoint::kLookup, 2);
  EXPECT_NE(lookup(PANEL_SERVICES_NAME), nullptr);
  EXPECT_EQ(lookup(PANEL_SERVICES_NAME), nullptr);
  EXPECT_NE(lookup(PANEL_SERVICES_NAME), nullptr);  // once only

  PanelFuncs &panels = *Host::panel_funcs();
  host_.trace().fail_nth(hvhost::FailPoint::kPanelCreate, 1);
  EXPECT_EQ(panels.create("a", &panels), nullptr);
  PanelID p = panels.create("b", &panels);
  ASSERT_NE(p, nullptr);

  host_.trace().fail_nth(hvhost::FailPoint::kControlAdd, 2);
  EXPECT_NE(add(p, "MiniRGBControl"), nullptr);
  EXPECT_EQ(add(p, "MiniHSVControl"), nullptr);
  EXPECT_EQ(host_.panel(p)->controls().size(), 1u);

  host_.trace().fail_nth(hvhost::FailPoint::kRasterCreate, -1);  // every call
  EXPECT_EQ(rf().create(4, 4, 0), nullptr);
  EXPECT_EQ(rf().create(4, 4, 0), nullptr);
  host_.trace().fail_nth(hvhost::FailPoint::kRasterCreate, 0);
  EXPECT_NE(rf().create(4, 4, 0), nullptr);

  const std::vector<std::string> lines = host_.trace().lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "control.add MiniHSVControl 5,0,0 [failed]"),
            lines.end());
  EXPECT_EQ(host_.trace().count(Op::kRasterCreate), 3u);
}

TEST_F(HostServices, CountersMeasureCallsBetweenTwoMoments) {
  PanelID p = make_panel();
  RasterID r = rf().create(4, 4, 0);
  host_.trace().set_recording_all(false);
  const hvhost::CallCounts before = host_.trace().counts();
  for (int i = 0; i < 16; ++i) rf().rgb_pixel(r, 1, 1, 1, i % 4, i / 4);
  rf().blit(r, 0, 0, p, 0, 0, 4, 4);
  const hvhost::CallCounts spent = host_.trace().counts() - before;
  EXPECT_EQ(spent[Op::kRasterRgbPixel], 16u);
  EXPECT_EQ(spent[Op::kRasterBlit], 1u);
  EXPECT_EQ(spent[Op::kPanelSet], 0u);
  EXPECT_TRUE(host_.trace().entries(Op::kRasterBlit).empty());
}

TEST_F(HostServices, DisplayMetricsAreConfigurable) {
  EXPECT_EQ(pf().display_metrics()[0], 1920);
  EXPECT_EQ(pf().display_metrics()[1], 1080);
  host_.set_display_size(303, 200);
  EXPECT_EQ(pf().display_metrics()[0], 303);
  EXPECT_EQ(pf().display_metrics()[1], 200);
  // One limit for what the plug-in is told and the desktop it reads.
  host_.set_display_size(hvhost::kMaxDisplaySize + 1, 0);
  EXPECT_EQ(pf().display_metrics()[0], hvhost::kMaxDisplaySize);
  EXPECT_EQ(pf().display_metrics()[1], 1);
  host_.set_display_size(hvhost::kMaxDisplaySize, 700);
  hvhost::SimulatedDesktop desktop(host_);
  EXPECT_EQ(desktop_width(), hvhost::kMaxDisplaySize);
  EXPECT_EQ(desktop_height(), 700);
}

// ---- The trace's memory ------------------------------------------------------

// Keeps what a sink is given, as the --trace file would.
struct LinesSink : hvhost::TraceSink {
  std::vector<std::string> lines;
  void write(const hvhost::TraceEntry &e) override { lines.push_back(e.to_string()); }
};

TEST_F(HostServices, TraceKeepsABoundedWindowAndStreamsEveryCallToItsSink) {
  PanelID p = make_panel();
  PanelFuncs &panels = pf();
  host_.trace().clear();
  host_.trace().set_window(3);
  LinesSink sink;
  host_.trace().set_sink(&sink);
  for (int i = 0; i < 5; ++i) panels.set(p, PAN_TITLE, const_cast<char *>("t"));
  panels.draw_rgb_box(p, 1, 2, 3, 0, 0, 1, 1);
  // The newest entry reaches the sink once it is complete.
  EXPECT_EQ(sink.lines.size(), 5u);
  host_.trace().flush_sink();
  ASSERT_EQ(sink.lines.size(), 6u);
  EXPECT_EQ(sink.lines.front(), "panel.set 11 t");  // the title is added after the entry
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

TEST_F(HostServices, OpenPanelsAppearOnTheScreenAtTheirPositions) {
  PanelID p = make_panel(50, 40);
  int x = 100, y = 200;
  pf().set(p, PAN_X, &x);
  pf().set(p, PAN_Y, &y);
  CallbackDriver driver([&](Host &h) -> std::optional<Action> {
    pf().draw_rgb_box(p, 9, 8, 7, 0, 0, 50, 40);
    EXPECT_EQ(h.screen_pixel(99, 250), std::nullopt);
    EXPECT_EQ(h.screen_pixel(100, 200), hvhost::palette::kWindowEdge);
    // The client area starts below the title strip.
    EXPECT_EQ(h.screen_pixel(101, 221), (Rgb{9, 8, 7}));
    return std::nullopt;
  });
  host_.set_input(&driver);
  pf().open(p, PICKER_OPEN_FLAGS);
  EXPECT_EQ(host_.screen_pixel(101, 221), std::nullopt);
}

}  // namespace
