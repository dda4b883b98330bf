// The reference host's panel and control services and its input, driven
// through the same function tables the plug-in uses (host_drawing_test.cpp
// has the drawing calls and rasters).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "integration/host_tables.h"
#include "model/host.h"
#include "model/palette.h"
#include "model/text.h"
#include "session/action_feed.h"

namespace {

using namespace hvtest;

using hvhost::Action;
using hvhost::ActionQueue;
using hvhost::CallbackDriver;
using hvhost::Host;
using hvhost::Op;
using hvhost::Rgb;

TEST_F(HostServices, LookupServesTheTwoTablesAndNothingElse) {
  EXPECT_EQ(lookup("LWPanelServices"), Host::panel_funcs());
  EXPECT_EQ(lookup("RasterServices"), Host::raster_funcs());
  EXPECT_EQ(lookup("LWXPanel"), nullptr);
  EXPECT_EQ(lookup(""), nullptr);
  EXPECT_EQ(Host::lookup_function()(nullptr, 0), nullptr);
  EXPECT_EQ(host_.trace().count(Op::kLookup), 5u);
  EXPECT_EQ(host_.trace().entries().front().to_string(), "lookup LWPanelServices 0");
  // The panel table carries the drawing table and the lookup itself.
  EXPECT_EQ(pf().drawFuncs, &df());
  EXPECT_EQ(pf().globalFun, Host::lookup_function());
}

TEST(HostWithoutCurrent, TablesDoNothing) {
  ASSERT_EQ(Host::current(), nullptr);
  EXPECT_EQ(Host::lookup_function()(LWPANELFUNCS_GLOBAL, 0), nullptr);
  EXPECT_EQ(Host::panel_funcs()->create(const_cast<char *>("x"), nullptr), nullptr);
  EXPECT_EQ(Host::panel_funcs()->drawFuncs->dispMetrics(), nullptr);
  EXPECT_EQ(Host::raster_funcs()->create(4, 4, 0), nullptr);
  Host::raster_funcs()->drawRGBPixel(nullptr, 1, 2, 3, 0, 0);
}

TEST_F(HostServices, StaleHandlesFromAnotherHostAreReported) {
  LWPanelFuncs *panels = Host::panel_funcs();
  LWPanelID kept = nullptr;
  {
    Host inner;
    kept = panels->create(const_cast<char *>("inner"), panels);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(Host::current(), &inner);
  }
  EXPECT_EQ(Host::current(), &host_);
  // The inner host's panel is unknown here: reported, not followed.
  int v = 5;
  panels->set(kept, PAN_W, &v);
  panels->drawFuncs->drawRGBBox(kept, 1, 2, 3, 0, 0, 10, 10);
  EXPECT_EQ(host_.trace().problem_count(), 2u);
  EXPECT_EQ(host_.trace().entries().back().status, hvhost::CallStatus::kBadHandle);
}

TEST_F(HostServices, PanelAttributesRoundTrip) {
  LWPanelID p = make_panel(304, 340);
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
  pf().set(p, PAN_USERDATA, &user);
  void *back = nullptr;
  pf().get(p, PAN_USERDATA, &back);
  EXPECT_EQ(back, &user);

  void *key_up = nullptr;
  pf().get(p, PAN_USERKEYUPS, &key_up);
  EXPECT_EQ(key_up, fn(&on_key_up));
  int version = 0;
  pf().get(p, PAN_VERSION, &version);
  EXPECT_EQ(version, 20);

  // Tags the host does not serve are accepted and ignored, as the host
  // does: a get leaves the value as it was, and nothing is noted.
  int untouched = 12345;
  pf().get(p, PAN_MOUSEX, &untouched);
  pf().get(p, 99, &untouched);
  pf().set(p, PAN_FLAGS, &untouched);
  pf().set(p, PAN_USERCLOSE, nullptr);
  pf().set(p, -1, nullptr);
  EXPECT_EQ(untouched, 12345);
  EXPECT_EQ(host_.trace().problem_count(), 0u);
  EXPECT_EQ(host_.trace().entries().back().to_string(), "panel.set -1");
  pf().get(p, PAN_X, nullptr);
  pf().set(p, PAN_W, nullptr);
  EXPECT_EQ(host_.trace().problem_count(), 2u);
}

TEST_F(HostServices, Tag23RaisesThePanelAboveTheOtherOpenPanels) {
  LWPanelID a = make_panel();
  LWPanelID b = make_panel();
  pf().open(a, 0);  // not blocking: both stay open
  pf().open(b, 0);
  EXPECT_EQ(host_.open_panels(), (std::vector<hvhost::Panel *>{host_.panel(a), host_.panel(b)}));
  pf().set(a, PAN_TO_FRONT, nullptr);
  EXPECT_EQ(host_.open_panels(), (std::vector<hvhost::Panel *>{host_.panel(b), host_.panel(a)}));
  EXPECT_EQ(host_.panel(a)->times_raised(), 1);
  EXPECT_EQ(host_.panel(b)->times_raised(), 0);
  EXPECT_EQ(host_.trace().entries().back().to_string(), "panel.set 23");
  EXPECT_EQ(host_.trace().problem_count(), 0u);
}

TEST_F(HostServices, HugeOrNegativeSizesAreClampedNotAllocated) {
  LWPanelID p = make_panel();
  int w = INT32_MAX, h = -5;
  pf().set(p, PAN_W, &w);
  pf().set(p, PAN_H, &h);
  EXPECT_EQ(host_.panel(p)->width(), hvhost::kMaxImageExtent);
  EXPECT_EQ(host_.panel(p)->height(), 0);
  LWRasterID r = rf().create(-10, INT32_MIN, 0);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(host_.raster(r)->framebuffer().width(), 0);
  rf().drawRGBPixel(r, 1, 2, 3, 0, 0);  // nothing to draw on, and no harm
  rf().destroy(r);
  EXPECT_EQ(host_.raster_count(), 0u);
}

TEST_F(HostServices, ControlGeometryPlacesThePickersControlsTidily) {
  LWPanelID p = make_panel(304, 340);
  struct Placement {
    const char *type;
    int ctype, w, h;
    const char *label;
    int target_x, target_y;
  };
  // The four controls as the picker adds and places them.
  const Placement placements[] = {
      {"CanvasControl", LWT_AREA, 48, 60, "", 216, 268},
      {"ButtonControl", LWT_AREA, 22, 0, "\x03(i:MIMG_ZOOM)", 272, 288},
      {"MiniHSVControl", LWT_VINT, 22, 0, "", -28, 268},
      {"MiniRGBControl", LWT_VINT, 22, 0, "", -28, 298},
  };
  std::vector<hvhost::Rect> rects;
  for (const Placement &pl : placements) {
    LWControl *c = add(p, pl.type, pl.ctype, pl.w, pl.h, pl.label);
    ASSERT_NE(c, nullptr);
    const int x = get_int(c, CTL_HOTW) - get_int(c, CTL_W) + pl.target_x;
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
      const bool apart =
          a.x + a.w <= b.x || b.x + b.w <= a.x || a.y + a.h <= b.y || b.y + b.h <= a.y;
      EXPECT_TRUE(apart) << i << " overlaps " << j;
    }
  }
  // The canvas's inner area is the 48 x 60 the plug-in draws its swatches in.
  LWControl *canvas = host_.panel(p)->controls()[0]->handle();
  EXPECT_EQ(get_int(canvas, CTL_HOTX), 217);
  EXPECT_EQ(get_int(canvas, CTL_HOTY), 269);
  EXPECT_EQ(host_.control(canvas)->inner().w, 48);
  EXPECT_EQ(host_.control(canvas)->inner().h, 60);
}

TEST_F(HostServices, SettingAValueRedrawsButNeverCallsTheEventCallback) {
  LWPanelID p = make_panel(304, 340);
  LWControl *c = add(p, "MiniRGBControl");
  set_ptr(c, CTL_USEREVENT, fn(&on_event));
  set_ptr(c, CTL_USERDATA, &g_events);
  const uint64_t before = host_.panel(p)->framebuffer().revision();

  LWValue v = vector_value(10, 300, -4);
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

TEST_F(HostServices, ControlValueRecordsOfTheWrongTypeAreRefusedUnusedTagsIgnored) {
  LWPanelID p = make_panel();
  LWControl *editor = add(p, "MiniHSVControl");
  LWValue v = vector_value(1, 2, 3);
  editor->set(editor, CTL_VALUE, &v);

  LWValue wrong = int_value(42);
  editor->set(editor, CTL_VALUE, &wrong);  // an editor's value is a vector
  editor->get(editor, CTL_VALUE, &wrong);
  EXPECT_EQ(wrong.intv.value, 42);
  LWValue vec = vector_value(7, 7, 7);
  editor->get(editor, CTL_X, &vec);  // positions are ints
  EXPECT_EQ(vec.ivec.val[0], 7);
  LWValue garbage = int_value(0);
  garbage.type = 1234;
  editor->set(editor, CTL_X, &garbage);
  editor->set(editor, CTL_VALUE, nullptr);
  EXPECT_EQ(host_.control(editor)->value(), (std::array<int, 3>{1, 2, 3}));
  EXPECT_EQ(host_.control(editor)->x(), 0);
  EXPECT_EQ(host_.trace().problem_count(), 5u);

  // Tags the host does not serve are accepted and ignored: nothing noted,
  // a get leaves the record as it was.
  LWValue label = int_value(-5);
  editor->get(editor, CTL_LABELWIDTH, &label);
  editor->get(editor, 77, &label);
  editor->set(editor, CTL_W, &label);
  editor->set(editor, CTL_LABEL, &label);
  editor->set(editor, CTL_ACTIVATE, &label);
  EXPECT_EQ(label.intv.value, -5);
  EXPECT_EQ(host_.control(editor)->width(), hvhost::kMiniEditorWidth);
  EXPECT_EQ(host_.trace().problem_count(), 5u);

  // A control handle the host never gave out is rejected.
  LWControl fake = *editor;
  fake.set(&fake, CTL_VALUE, &v);
  EXPECT_EQ(host_.trace().problem_count(), 6u);
}

TEST_F(HostServices, GetsWriteTheWholeMemberOfTheValueUnion) {
  LWPanelID p = make_panel();
  LWControl *editor = add(p, "MiniRGBControl");
  LWValue v = vector_value(4, 5, 6);
  editor->set(editor, CTL_VALUE, &v);
  LWValue got = vector_value(0, 0, 0);
  got.ivec.defVal = 99;
  editor->get(editor, CTL_VALUE, &got);
  EXPECT_EQ(got.ivec.val[2], 6);
  EXPECT_EQ(got.ivec.defVal, 0);  // offset 16: a 16-byte record would be overrun
  LWValue x = int_value(0);
  x.intv.defVal = 99;
  editor->get(editor, CTL_X, &x);
  EXPECT_EQ(x.intv.defVal, 0);
#if defined(__SANITIZE_ADDRESS__)
  // A value record shorter than the union is caught where the host writes.
  EXPECT_DEATH(
      {
        void *shortened = std::malloc(16);
        static_cast<int *>(shortened)[0] = LWT_VINT;
        editor->get(editor, CTL_VALUE, static_cast<LWValue *>(shortened));
        std::free(shortened);
      },
      "heap-buffer-overflow");
#endif
}

TEST_F(HostServices, ControlRecordsDrawSlotAndNextControl) {
  LWPanelID p = make_panel(200, 100);
  LWControl *canvas = add(p, "CanvasControl", LWT_AREA, 10, 10);
  LWControl *button = add(p, "ButtonControl", LWT_AREA, 22, 0, "OK?");
  set_int(button, CTL_X, 100);
  // The LWControlID is the record's address; priv_data is the host's.
  EXPECT_EQ(host_.control(canvas)->handle(), canvas);
  EXPECT_NE(canvas->priv_data, nullptr);
  EXPECT_EQ(pf().nextControl(p, nullptr), canvas);
  EXPECT_EQ(pf().nextControl(p, canvas), button);
  EXPECT_EQ(pf().nextControl(p, button), nullptr);
  EXPECT_EQ(pf().nextControl(make_panel(), canvas), nullptr);  // on another panel
  EXPECT_EQ(host_.trace().problem_count(), 1u);

  const hvhost::Framebuffer &fb = host_.panel(p)->framebuffer();
  canvas->draw(canvas, DR_RENDER);
  EXPECT_EQ(fb.pixel(0, 0), hvhost::palette::kBevelDark);
  canvas->draw(canvas, DR_ERASE);
  EXPECT_EQ(fb.pixel(0, 0), hvhost::palette::kBackground);
  EXPECT_EQ(host_.trace().count(Op::kControlDraw), 2u);
  // handle() has no events to run outside the modal loop; it is recorded.
  EXPECT_EQ(pf().handle(p, 0), 0);
  EXPECT_EQ(host_.trace().entries().back().to_string(), "panel.handle 0");
}

TEST_F(HostServices, MouseKeyAndButtonInputReachTheRightCallbacks) {
  LWPanelID p = make_panel(200, 100);
  LWControl *button = add(p, "ButtonControl", LWT_AREA, 22, 0, "\x03(i:MIMG_ZOOM)");
  set_int(button, CTL_X, 150);
  set_int(button, CTL_Y, 50);
  set_ptr(button, CTL_USEREVENT, fn(&on_event));
  ActionQueue input({
      Action::move(5, 5),       // nothing held: nothing
      Action::press(10, 20),    // 0x80 | 0x20
      Action::move(11, 21),     // 0x80 | 0x20
      Action::release(12, 22),  // 0x20 alone
      Action::press(30, 40, hvhost::MouseButton::kRight),
      Action::move(31, 41),
      Action::release(32, 42, hvhost::MouseButton::kRight),
      Action::press(33, 43, hvhost::MouseButton::kMiddle),
      Action::move(34, 44),
      Action::release(35, 45, hvhost::MouseButton::kMiddle),
      Action::key_press('s'),           // key down, then key up
      Action::key_down(0x10000 + 'S'),  // a 16-bit key: the high bits go
      Action::key_up('S'),
      Action::press(hvhost::Place::kEyedropper, 0, 0),  // on the button: not the panel's
      Action::move(0, 0),
      Action::release(hvhost::Place::kEyedropper, 0, 0),  // over it: a click
      Action::press(155, 55),
      Action::release(0, 0),  // released elsewhere: no click
      Action::click_eyedropper(),
      Action::click(hvhost::Place::kPanel, 40, 50, hvhost::MouseButton::kRight),
      Action::cancel(),
  });
  host_.set_input(&input);
  EXPECT_EQ(pf().open(p, kPickerFlags), 0);
  // Right sets both button bits (0x60), middle only 0x40.
  EXPECT_EQ(g_events,
            (std::vector<std::string>{
                "opened", "draw 1", "button 160 10 20", "move 160 11 21", "button 32 12 22",
                "button 224 30 40", "move 224 31 41", "button 96 32 42", "button 192 33 43",
                "move 192 34 44", "button 64 35 45", "key down 115", "key up 115", "key down 83",
                "key up 83", "event 0,0,0 no data", "event 0,0,0 no data", "button 224 40 50",
                "button 96 40 50"}));
  EXPECT_FALSE(host_.input_ended());
}

struct HostKeyCase {
  int flags;
  int key;
  int result;                       // what the open returns
  std::vector<std::string> events;  // after "opened", "draw 1"
};

void PrintTo(const HostKeyCase &c, std::ostream *os) {
  *os << "flags " << c.flags << " key " << c.key;
}

class HostKeys : public HostServices, public ::testing::WithParamInterface<HostKeyCase> {};

TEST_P(HostKeys, EnterAndEscCloseAPanelUnlessItTakesThem) {
  LWPanelID p = make_panel();
  ActionQueue input({Action::key_press(GetParam().key), Action::ok()});
  host_.set_input(&input);
  EXPECT_EQ(pf().open(p, GetParam().flags), GetParam().result);
  std::vector<std::string> events = {"opened", "draw 1"};
  events.insert(events.end(), GetParam().events.begin(), GetParam().events.end());
  EXPECT_EQ(g_events, events);
  EXPECT_FALSE(host_.aborted()) << host_.error();
}

INSTANTIATE_TEST_SUITE_P(
    HostServices, HostKeys,
    ::testing::Values(
        HostKeyCase{kPickerFlags, '\r', 1, {}}, HostKeyCase{kPickerFlags, LWDK_RETURN, 1, {}},
        HostKeyCase{kPickerFlags, 0x1B, 0, {}},
        // No buttons (the magnifier): Esc cancels, and then
        // nothing is left for the ok.
        HostKeyCase{PANF_BLOCKING | PANF_NOBUTT, 0x1B, 0, {}},
        HostKeyCase{kPickerFlags | PANF_PASSALLKEYS, 0x1B, 1, {"key down 27", "key up 27"}},
        HostKeyCase{kPickerFlags | PANF_PASSALLKEYS, '\r', 1, {"key down 13", "key up 13"}},
        HostKeyCase{kPickerFlags, 'q', 1, {"key down 113", "key up 113"}}));

TEST_F(HostServices, ResultsOfOkCancelCloseAndEndOfInput) {
  LWPanelID p = make_panel();
  const auto run = [&](std::vector<Action> actions) {
    ActionQueue q(std::move(actions));
    host_.set_input(&q);
    return pf().open(p, kPickerFlags);
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
  EXPECT_EQ(pf().open(p, kPickerFlags), 0);
  EXPECT_FALSE(host_.panel(p)->is_open());
  EXPECT_EQ(host_.panel(p)->times_opened(), 4);
}

// ---- Named places --------------------------------------------------------

LWRasterID g_field = nullptr, g_strip = nullptr, g_square = nullptr;

// Blits the strip whole, a square that is neither place, and a part of the
// field whose top-left lands at 20,10.
void blit_places(LWPanelID panel, void *, int) {
  LWRasterFuncs &rf = *Host::raster_funcs();
  if (g_strip) rf.blitPanel(g_strip, 0, 0, panel, 150, 5, 20, 100);
  rf.blitPanel(g_square, 0, 0, panel, 0, 0, 90, 90);
  rf.blitPanel(g_field, 16, 16, panel, 36, 26, 8, 8);
}

TEST_F(HostServices, NamedPlacesAreWhereThePanelsRastersWereBlitted) {
  LWPanelID p = make_panel(300, 280);
  g_field = rf().create(256, 256, 0);
  g_square = rf().create(90, 90, 0);
  g_strip = rf().create(20, 100, 0);
  pf().set(p, PAN_USERDRAW, fn(&blit_places));
  ActionQueue input({Action::press(hvhost::Place::kField, 1, 2),
                     Action::release(hvhost::Place::kField, 255, 255),
                     Action::drag(hvhost::Place::kStrip, 0, 0, 19, 99, 2), Action::ok()});
  host_.set_input(&input);
  EXPECT_EQ(pf().open(p, kPickerFlags), 1);
  EXPECT_EQ(g_events, (std::vector<std::string>{"opened", "button 160 21 12", "button 32 275 265",
                                                "button 160 150 5", "move 160 159 54",
                                                "move 160 169 104", "button 32 169 104"}));

  // A destroyed raster is no longer a place: naming it is an error of the
  // script's line, and nothing reaches the panel.
  rf().destroy(g_strip);
  g_strip = nullptr;
  g_events.clear();
  Action strip = Action::press(hvhost::Place::kStrip, 0, 0);
  strip.line = 4;
  ActionQueue again({Action::move(hvhost::Place::kField, 0, 0), strip, Action::ok()});
  host_.set_input(&again);
  EXPECT_EQ(pf().open(p, kPickerFlags), 0);
  EXPECT_EQ(host_.error(),
            "line 4: no strip (a tall narrow raster) on the open panel (press strip 0 0)");
  EXPECT_EQ(g_events, (std::vector<std::string>{"opened"}));
}

// ---- Nested modal opens -------------------------------------------------

LWPanelID g_inner = nullptr;
int g_inner_result = -1;

int open_inner(LWPanelID, void *, LWDualKey) {
  g_inner_result = Host::panel_funcs()->open(g_inner, kPickerFlags);
  record("inner returned " + std::to_string(g_inner_result));
  return 0;
}

TEST_F(HostServices, NestedOpenGetsTheInputUntilItCloses) {
  LWPanelID outer = make_panel(100, 100);
  g_inner = pf().create(const_cast<char *>("Inner"), &pf());
  int size = 30;
  pf().set(g_inner, PAN_W, &size);
  pf().set(g_inner, PAN_H, &size);
  pf().set(g_inner, PAN_MOUSEBUTTON, fn(&on_button));
  pf().set(outer, PAN_USERKEYUPS, fn(&open_inner));
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
  EXPECT_EQ(pf().open(outer, kPickerFlags), 1);
  EXPECT_EQ(g_inner_result, 1);
  EXPECT_EQ(depths, (std::vector<size_t>{1, 2, 2, 1, 1}));
  // The inner panel's own callback got the first press; the outer's the second.
  EXPECT_EQ(g_events,
            (std::vector<std::string>{"opened", "draw 1", "key down 115", "button 160 1 2",
                                      "inner returned 1", "button 160 3 4"}));
}

TEST_F(HostServices, EndOfInputCancelsEveryNestedOpen) {
  LWPanelID outer = make_panel();
  g_inner = pf().create(const_cast<char *>("Inner"), &pf());
  pf().set(outer, PAN_USERKEYUPS, fn(&open_inner));
  ActionQueue input({Action::key_press('s')});
  host_.set_input(&input);
  EXPECT_EQ(pf().open(outer, kPickerFlags), 0);
  EXPECT_EQ(g_inner_result, 0);
  EXPECT_TRUE(host_.modal_panels().empty());
  EXPECT_TRUE(host_.open_panels().empty());
}

int destroy_self(LWPanelID panel, void *, LWDualKey) {
  Host::panel_funcs()->destroy(panel);
  return 0;
}

TEST_F(HostServices, PanelDestroyedDuringItsOwnOpenEndsItSafely) {
  LWPanelID p = make_panel();
  pf().set(p, PAN_USERKEYUPS, fn(&destroy_self));
  ActionQueue input({Action::key_press('x'), Action::ok()});
  host_.set_input(&input);
  EXPECT_EQ(pf().open(p, kPickerFlags), 0);
  EXPECT_EQ(host_.panel(p), nullptr);
  EXPECT_EQ(input.remaining(), 1u);
  pf().open(p, kPickerFlags);  // a stale handle is reported
  EXPECT_EQ(host_.trace().problem_count(), 1u);
}

int reopen_self(LWPanelID panel, void *, LWDualKey) {
  record("reopen " + std::to_string(Host::panel_funcs()->open(panel, kPickerFlags)));
  return 0;
}

TEST_F(HostServices, OpeningAnOpenPanelIsRefused) {
  LWPanelID p = make_panel();
  pf().set(p, PAN_USERKEYUPS, fn(&reopen_self));
  ActionQueue input({Action::key_press('x'), Action::ok()});
  host_.set_input(&input);
  EXPECT_EQ(pf().open(p, kPickerFlags), 1);
  EXPECT_EQ(g_events.back(), "reopen 0");
  EXPECT_EQ(host_.trace().problem_count(), 1u);
}

TEST_F(HostServices, ActionThatCannotBePerformedAbortsWithItsLine) {
  LWPanelID p = make_panel();  // no editors, no button
  Action edit = Action::rgb(1, 2, 3);
  edit.line = 7;
  ActionQueue input({edit, Action::ok()});
  host_.set_input(&input);
  EXPECT_EQ(pf().open(p, kPickerFlags), 0);
  EXPECT_TRUE(host_.aborted());
  EXPECT_EQ(host_.error(), "line 7: no RGB editor on the open panel (rgb 1 2 3)");
  host_.set_input(nullptr);  // keeps the error for inspection
  EXPECT_TRUE(host_.aborted());
}

TEST_F(HostServices, FailureInjectionMakesTheNthCallReturnNull) {
  host_.trace().fail_nth(hvhost::FailPoint::kLookup, 2);
  EXPECT_NE(lookup(LWPANELFUNCS_GLOBAL), nullptr);
  EXPECT_EQ(lookup(LWPANELFUNCS_GLOBAL), nullptr);
  EXPECT_NE(lookup(LWPANELFUNCS_GLOBAL), nullptr);  // once only

  LWPanelFuncs &panels = *Host::panel_funcs();
  host_.trace().fail_nth(hvhost::FailPoint::kPanelCreate, 1);
  EXPECT_EQ(panels.create(const_cast<char *>("a"), &panels), nullptr);
  LWPanelID p = panels.create(const_cast<char *>("b"), &panels);
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

}  // namespace
