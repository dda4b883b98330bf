// Sampling runs of the real plug-in on the simulated desktop: triggers, the
// hook's message rules, the magnifier, and that every run gives back what it
// took.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "desktop.h"
#include "support/plugin_session.h"

namespace {

using hvhost::Action;
using hvhost::Host;
using hvhost::MouseButton;
using hvhost::Op;
using hvhost::Rgb;
using hvtest::color;
using hvtest::PluginSession;

using Check = std::function<void(Host &)>;
using Step = std::variant<Action, Check>;

// Performs actions in order and runs checks between them.
class Steps : public hvhost::ActionFeed {
 public:
  explicit Steps(std::vector<Step> steps) : steps_(std::move(steps)) {}
  std::optional<Action> next_action(Host &host) override {
    while (i_ < steps_.size()) {
      Step &step = steps_[i_++];
      if (auto *a = std::get_if<Action>(&step)) return *a;
      std::get<Check>(step)(host);
    }
    return std::nullopt;
  }

 private:
  std::vector<Step> steps_;
  size_t i_ = 0;
};

Rgb pattern(int x, int y) {
  int ox = 0, oy = 0;
  desktop_origin(&ox, &oy);
  return Rgb::from_packed(desktop_test_pattern(x - ox, y - oy, desktop_width(), desktop_height()));
}

std::string readout(Rgb c) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%3d,%3d,%3d", c.r, c.g, c.b);
  return buf;
}

hvhost::Panel *magnifier(Host &host) {
  hvhost::Panel *p = host.innermost_panel();
  return p && p->width() == 106 ? p : nullptr;
}

struct Eyedropper : ::testing::Test {
  PluginSession s;
  ~Eyedropper() override {
    // Every run gives back its hook, timer and device context.
    EXPECT_EQ(desktop_hook_count(), 0);
    EXPECT_EQ(desktop_timer_count(), 0);
    EXPECT_EQ(desktop_outstanding_dcs(), 0);
    EXPECT_EQ(desktop_gdi_objects(), 0);
    EXPECT_EQ(desktop_own_windows(), 0);
    EXPECT_EQ(desktop_own_classes(), 0);
    EXPECT_EQ(s.trace().problems(), std::vector<std::string>{});
  }
  hvhost::ColorOutcome run(std::vector<Step> steps,
                           hvhost::AskedColor asked = color(0.2f, 0.4f, 0.6f)) {
    Steps driver(std::move(steps));
    return s.request(driver, asked);
  }
  // After each run the plug-in raises the picker (tag 23).
  int after_runs() { return s.picker_panel()->times_raised(); }
  size_t count_title_sets() {
    size_t n = 0;
    for (const hvhost::TraceEntry &e : s.trace().entries(Op::kPanelSet)) n += e.arg(0) == PAN_TITLE;
    return n;
  }
};

TEST_F(Eyedropper, LeftClickTakesThePixelUnderTheRelease) {
  size_t title_sets = 0;
  const Rgb at_press = pattern(100, 100), at_release = pattern(1500, 900);
  ASSERT_NE(at_press, at_release);
  const hvhost::ColorOutcome out = run({
      Check([](Host &) { desktop_set_cursor(100, 100); }),  // away from the magnifier
      Action::key_press('S'),
      Check([](Host &h) {
        ASSERT_NE(magnifier(h), nullptr);
        EXPECT_EQ(magnifier(h)->title(), "Spoit");  // until the pointer moves
        EXPECT_EQ(magnifier(h)->x(), 908);
        EXPECT_EQ(magnifier(h)->y(), 470);
      }),
      Action::desktop_move(100, 100),
      Check([&](Host &h) { EXPECT_EQ(magnifier(h)->title(), "Spoit"); }),  // the hook only records
      Action::wait(100),  // the readout follows at the next tick
      Check([&](Host &h) { EXPECT_EQ(magnifier(h)->title(), readout(at_press)); }),
      Action::desktop_press(),
      Action::desktop_move(1500, 900),
      Check([&](Host &) { title_sets = count_title_sets(); }),
      Action::desktop_release(),
      Check([&](Host &h) {
        EXPECT_EQ(magnifier(h), nullptr);
        EXPECT_EQ(count_title_sets(), title_sets);  // the release reads, but sets no title
      }),
      Action::ok(),
  });
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(s.control("MiniRGBControl")->value(),
            (std::array<int, 3>{at_release.r, at_release.g, at_release.b}));
  ASSERT_EQ(out.hot.size(), 2u);  // the load, then the pick
  EXPECT_EQ(out.hot[1].red, at_release.r / 255.0f);
  EXPECT_EQ(after_runs(), 1);
}

TEST_F(Eyedropper, RightClickOrEscCancelsReleasesEverythingAndStillRaisesThePicker) {
  // Each row a way to cancel a run: a right click, or Esc, which the host
  // takes to close the magnifier (a panel without buttons) as a cancel.
  const std::vector<std::vector<Step>> cancels = {
      {Action::desktop_press(MouseButton::kRight), Action::desktop_release(MouseButton::kRight)},
      {Action::key_press(0x1B)},
  };
  int runs = 0;
  for (const std::vector<Step> &cancel : cancels) {
    std::vector<Step> steps = {Action::click_eyedropper(), Action::desktop_move(300, 300)};
    steps.insert(steps.end(), cancel.begin(), cancel.end());
    steps.push_back(Check([](Host &h) {
      EXPECT_EQ(magnifier(h), nullptr);
      EXPECT_EQ(desktop_hook_count(), 0);
      EXPECT_EQ(desktop_timer_count(), 0);
      EXPECT_EQ(desktop_outstanding_dcs(), 0);
    }));
    steps.push_back(Action::ok());
    const hvhost::ColorOutcome out = run(steps);
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(out.hot.size(), 1u);
    EXPECT_EQ(s.control("MiniRGBControl")->value(), (std::array<int, 3>{51, 102, 153}));
    EXPECT_EQ(after_runs(), ++runs);
  }
}

TEST_F(Eyedropper, EventsAfterTheEndingReleasePassOnUntouched) {
  const hvhost::ColorOutcome out = run({
      Action::key_press('S'),
      Action::desktop_move(300, 300),
      Action::wait(100),
      Check([&](Host &h) {
        EXPECT_EQ(desktop_mouse_event(WM_RBUTTONDOWN, 300, 300), 1);
        EXPECT_EQ(desktop_mouse_event(WM_RBUTTONUP, 300, 300), 1);  // cancelled
        // The hook stays in until the host's loop notices the close.
        const size_t title_sets = count_title_sets();
        EXPECT_EQ(desktop_mouse_event(WM_LBUTTONUP, 600, 600), 0);
        EXPECT_EQ(desktop_mouse_event(WM_LBUTTONDOWN, 700, 700), 0);
        EXPECT_EQ(desktop_mouse_event(WM_MOUSEMOVE, 700, 700), 0);
        EXPECT_EQ(desktop_mouse_event(WM_LBUTTONUP, 700, 700), 0);
        EXPECT_EQ(count_title_sets(), title_sets);
        EXPECT_EQ(magnifier(h)->title(), readout(pattern(300, 300)));
        EXPECT_EQ(s.trace().count(Op::kPanelClose), 1u);
      }),
      Action::desktop_move(1, 1),
      Action::ok(),
  });
  EXPECT_EQ(out.hot.size(), 1u);
  EXPECT_EQ(s.control("MiniRGBControl")->value(), (std::array<int, 3>{51, 102, 153}));
  EXPECT_EQ(after_runs(), 1);
}

TEST_F(Eyedropper, TheReleasingButtonDecides) {
  // A release before any press passes through; right press, left release
  // accepts.
  const Rgb target = pattern(200, 50);
  run({
      Action::key_press('s'),
      Action::desktop_move(200, 50),
      Action::desktop_release(),
      Check([](Host &h) { EXPECT_NE(magnifier(h), nullptr); }),
      Action::desktop_press(MouseButton::kRight),
      Action::desktop_release(MouseButton::kLeft),
      Action::ok(),
  });
  EXPECT_EQ(s.control("MiniRGBControl")->value(),
            (std::array<int, 3>{target.r, target.g, target.b}));
  // Left press, right release cancels.
  const hvhost::ColorOutcome out =
      run({Action::key_press('S'), Action::desktop_move(10, 10), Action::desktop_press(),
           Action::desktop_release(MouseButton::kRight), Action::ok()});
  EXPECT_EQ(out.hot.size(), 1u);
}

// Another program's hooks around the eyedropper's: the lower one answers 5,
// the upper one records what the eyedropper's hook returned to it.
int g_lower_hook_calls = 0;
std::vector<LRESULT> g_eyedropper_results;
LRESULT CALLBACK lower_hook(int, WPARAM, LPARAM) {
  ++g_lower_hook_calls;
  return 5;
}
LRESULT CALLBACK upper_hook(int code, WPARAM message, LPARAM event) {
  g_eyedropper_results.push_back(CallNextHookEx(nullptr, code, message, event));
  return g_eyedropper_results.back();
}

TEST_F(Eyedropper, ThePickClickNeverReachesTheWindowUnderThePointer) {
  const Rgb target = pattern(40, 60);
  HHOOK lower = SetWindowsHookExA(WH_MOUSE_LL, lower_hook, nullptr, 0);
  g_lower_hook_calls = 0;
  g_eyedropper_results.clear();
  run({
      Action::key_press('s'),
      Check([](Host &) {
        HHOOK upper = SetWindowsHookExA(WH_MOUSE_LL, upper_hook, nullptr, 0);
        // Nonzero: the event was swallowed, by the eyedropper or below it.
        EXPECT_EQ(desktop_mouse_event(WM_MOUSEMOVE, 40, 60), 1);
        EXPECT_EQ(desktop_mouse_event(WM_LBUTTONUP, 40, 60), 1);  // no press yet
        EXPECT_EQ(desktop_mouse_event(WM_LBUTTONDOWN, 40, 60), 1);
        EXPECT_EQ(desktop_mouse_event(WM_LBUTTONUP, 40, 60), 1);
        UnhookWindowsHookEx(upper);
        // What it passes on returns the lower hook's result; the pick's
        // press and release it keeps.
        EXPECT_EQ(g_eyedropper_results, (std::vector<LRESULT>{5, 5, 1, 1}));
        EXPECT_EQ(g_lower_hook_calls, 2);
      }),
      // The magnifier's loop takes one more action before it sees the close.
      Action::desktop_move(40, 60),
      Action::ok(),
  });
  UnhookWindowsHookEx(lower);
  EXPECT_EQ(s.control("MiniRGBControl")->value(),
            (std::array<int, 3>{target.r, target.g, target.b}));
}

TEST_F(Eyedropper, OnlySAndLowerSStartARun) {
  const Action right_press = Action::desktop_press(MouseButton::kRight);
  const Action right_release = Action::desktop_release(MouseButton::kRight);
  run({Action::key_press('a'), Action::key_press('S'), right_press, right_release,
       Action::key_press(0x10073), right_press, right_release, Action::key_press(83 + 1),
       Action::ok()});
  // 'S', then 0x10073 (the host's keys are 16 bits: 's'): two runs, each
  // cancelled by a right click; other keys nothing.
  EXPECT_EQ(s.trace().count(Op::kPanelCreate), 3u);
  EXPECT_EQ(after_runs(), 2);
  hvhost::Panel *picker = s.picker_panel();
  // Null user data: not even the closing set.
  EXPECT_EQ(picker->callbacks().key_up(picker->id(), nullptr, 'S'), 0);
  EXPECT_EQ(after_runs(), 2);
}

TEST_F(Eyedropper, TheSKeyActsOnItsRelease) {
  run({
      Action::key_down('S'),
      Check([&](Host &h) {
        EXPECT_EQ(magnifier(h), nullptr);
        EXPECT_EQ(s.trace().count(Op::kCallKeyDown), 1u);
      }),
      Action::key_down('S'),  // held: auto-repeat
      Action::key_up('S'),
      Check([&](Host &h) {
        EXPECT_NE(magnifier(h), nullptr);
        EXPECT_EQ(s.trace().count(Op::kPanelCreate), 2u);
      }),
      Action::desktop_press(MouseButton::kRight),
      Action::desktop_release(MouseButton::kRight),
      // Back on the picker: a release without a press does not start a run.
      Action::key_up('x'),
      Check([&](Host &h) { EXPECT_EQ(h.innermost_panel(), s.picker_panel()); }),
      Action::ok(),
  });
  EXPECT_EQ(s.trace().count(Op::kPanelCreate), 2u);
  EXPECT_EQ(after_runs(), 1);
}

TEST_F(Eyedropper, TwoRunsEachCreateAFreshMagnifierAndReleaseInOrder) {
  desktop_log_clear();
  // Both at the picker's remembered position plus 100, even after the
  // picker itself has been moved.
  const Check placed([](Host &h) {
    ASSERT_NE(magnifier(h), nullptr);
    EXPECT_EQ(magnifier(h)->x(), 908);
    EXPECT_EQ(magnifier(h)->y(), 470);
  });
  run({Check([](Host &) { desktop_set_cursor(100, 100); }),  // away from the magnifier
       Action::key_press('S'), placed, Action::desktop_press(), Action::desktop_release(),
       Check([&](Host &) {
         int x = 20, y = 30;
         Host::panel_funcs()->set(s.picker_panel()->id(), PAN_X, &x);
         Host::panel_funcs()->set(s.picker_panel()->id(), PAN_Y, &y);
       }),
       Action::key_press('S'), placed, Action::desktop_press(), Action::desktop_release(),
       Action::ok()});
  EXPECT_EQ(s.trace().count(Op::kPanelCreate), 3u);
  EXPECT_EQ(s.trace().count(Op::kPanelDestroy), 2u);
  EXPECT_EQ(s.trace().count(Op::kRasterDestroy), 2u);
  std::vector<std::string> order;
  for (size_t i = 0; i < desktop_log_size(); ++i) {
    DesktopCall call;
    desktop_log_entry(i, &call);
    const std::string name = call.function;
    if (name == "SetWindowsHookExA" || name == "SetTimer" || name == "KillTimer" ||
        name == "UnhookWindowsHookEx" || name == "ReleaseDC" || name == "GetWindowDC")
      order.push_back(name);
  }
  const std::vector<std::string> one_run = {"GetWindowDC", "SetWindowsHookExA",   "SetTimer",
                                            "KillTimer",   "UnhookWindowsHookEx", "ReleaseDC"};
  std::vector<std::string> two_runs = one_run;
  two_runs.insert(two_runs.end(), one_run.begin(), one_run.end());
  EXPECT_EQ(order, two_runs);
}

TEST_F(Eyedropper, MagnifierShowsTheNeighbourhoodClippedAtTheCorners) {
  const auto cell = [](hvhost::Panel *p, int row, int col) {
    return p->framebuffer().pixel(8 + col * 6 + 1, 8 + row * 6 + 1);
  };
  const int w = 1920, h = 1080;
  run({
      Check([](Host &) { desktop_set_cursor(100, 100); }),  // away from the magnifier
      Action::key_press('S'),
      Check([&](Host &host) {
        // Before the first tick: cleared planes, and nothing drawn before
        // the host reported the panel open.
        EXPECT_EQ(cell(magnifier(host), 3, 3), (Rgb{0, 0, 0}));
      }),
      Action::desktop_move(0, 0),
      Action::wait(100),
      Check([&](Host &host) {
        hvhost::Panel *m = magnifier(host);
        EXPECT_EQ(cell(m, 6, 14), (Rgb{0, 0, 0}));
        EXPECT_EQ(cell(m, 14, 6), (Rgb{0, 0, 0}));
        EXPECT_EQ(cell(m, 8, 8), pattern(1, 1));
        EXPECT_EQ(cell(m, 14, 14), pattern(7, 7));
        // Centre: a 4 x 4 square of the pixel inside a frame of its inverse.
        const Rgb c = pattern(0, 0);
        EXPECT_EQ(m->framebuffer().pixel(8 + 44, 8 + 44), c);
        EXPECT_EQ(m->framebuffer().pixel(8 + 42, 8 + 42),
                  (Rgb{uint8_t(255 - c.r), uint8_t(255 - c.g), uint8_t(255 - c.b)}));
      }),
      Action::desktop_move(w - 1, h - 1),
      Action::wait(100),
      Check([&](Host &host) {
        hvhost::Panel *m = magnifier(host);
        EXPECT_EQ(m->x(), 908);  // it stays where it was created
        EXPECT_EQ(cell(m, 8, 0), (Rgb{0, 0, 0}));
        EXPECT_EQ(cell(m, 0, 8), (Rgb{0, 0, 0}));
        EXPECT_EQ(cell(m, 0, 0), pattern(w - 8, h - 8));
      }),
      Action::desktop_press(MouseButton::kRight),
      Action::desktop_release(MouseButton::kRight),
      Action::ok(),
  });
}

TEST_F(Eyedropper, EveryTickAsksForExactlyOneRedraw) {
  run({
      Action::key_press('S'),
      Check([&](Host &) { s.trace().clear(); }),
      Action::wait(350),
      Check([&](Host &) {
        EXPECT_EQ(s.trace().count(Op::kPanelDraw), 3u);
        EXPECT_EQ(s.trace().count(Op::kRasterBlit), 3u);
        EXPECT_EQ(s.trace().count(Op::kRasterRgbBox), 3u * 227);
      }),
      Action::desktop_press(MouseButton::kRight),
      Action::desktop_release(MouseButton::kRight),
      Action::ok(),
  });
}

TEST_F(Eyedropper, AnUnreadablePixelIsNeverTaken) {
  const auto centre = [](Host &h) { return magnifier(h)->framebuffer().pixel(8 + 44, 8 + 44); };
  Rgb ticked{};
  desktop_fail_pixel(700, 500);
  const hvhost::ColorOutcome out = run({
      Action::key_press('S'),
      Action::desktop_move(700, 500),
      Action::wait(100),
      Check([&](Host &h) {
        EXPECT_EQ(magnifier(h)->title(), "---,---,---");
        ticked = centre(h);
      }),
      // The block around it cannot be read whole; past it, all is read.
      Action::desktop_move(701, 500),
      Action::wait(100),
      Check([](Host &h) { EXPECT_EQ(magnifier(h)->title(), "---,---,---"); }),
      Action::desktop_move(720, 500),
      Action::wait(100),
      Check([](Host &h) { EXPECT_EQ(magnifier(h)->title(), readout(pattern(720, 500))); }),
      Action::desktop_move(700, 500),
      Action::wait(100),
      Check([&](Host &h) {
        EXPECT_EQ(magnifier(h)->title(), "---,---,---");
        EXPECT_EQ(centre(h), ticked);  // shown as a failed read: white
        EXPECT_EQ(ticked, (Rgb{255, 255, 255}));
      }),
      Action::desktop_press(),
      Action::desktop_release(),  // over the unreadable pixel: ends the run, not taken
      Check([](Host &h) { EXPECT_EQ(magnifier(h), nullptr); }),
      // Off the desktop nothing can be read either.
      Action::key_press('S'),
      Check([](Host &) {
        EXPECT_EQ(desktop_mouse_event(WM_LBUTTONDOWN, 10, 10), 1);
        EXPECT_EQ(desktop_mouse_event(WM_LBUTTONUP, -5, 10), 1);
      }),
      Action::desktop_move(10, 10),
      Action::ok(),
  });
  desktop_clear_pixel_failures();
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.hot.size(), 1u);
  EXPECT_EQ(s.control("MiniRGBControl")->value(), (std::array<int, 3>{51, 102, 153}));
  EXPECT_EQ(after_runs(), 2);
}

TEST_F(Eyedropper, AHookThatCannotBeInstalledEndsTheRunAtOnce) {
  desktop_fail_call(DESKTOP_FAIL_SET_HOOK, 1);
  const hvhost::ColorOutcome out =
      run({Action::key_press('S'), Check([](Host &h) { EXPECT_EQ(magnifier(h), nullptr); }),
           Action::ok()});
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.hot.size(), 1u);
  EXPECT_EQ(after_runs(), 1);
  EXPECT_EQ(s.trace().count(Op::kPanelOpen), 1u);  // the picker's only
  EXPECT_EQ(s.trace().count(Op::kPanelDestroy), 1u);
  EXPECT_EQ(desktop_call_count("SetTimer"), 0);
}

// The wheel's size belongs to the module: the next run starts with it, and
// the sizes wrap round. A wheel turn outside a run goes on down the chain.
TEST_F(Eyedropper, TheSampleSizeLastsIntoTheNextRunAndWraps) {
  const auto wheel = [](int notches, int swallowed) {
    return Check([=](Host &) { EXPECT_EQ(desktop_wheel_event(notches), swallowed); });
  };
  const auto title_is = [](std::string want) {
    return Check([=](Host &h) { EXPECT_EQ(magnifier(h)->title(), want); });
  };
  const Action right_press = Action::desktop_press(MouseButton::kRight);
  const Action right_release = Action::desktop_release(MouseButton::kRight);
  run({
      wheel(1, 0),
      Action::key_press('S'),
      Action::desktop_move(300, 700),
      wheel(1, 1),
      wheel(1, 1),
      wheel(1, 1),
      Action::wait(100),
      title_is(readout(pattern(300, 700)) + " 7x7"),
      // Most of a notch from a fine wheel, left over as the run ends ...
      Check([](Host &) { EXPECT_EQ(desktop_wheel_delta(90), 1); }),
      right_press,
      right_release,
      Action::key_press('S'),
      Action::desktop_move(310, 700),
      Action::wait(100),
      title_is(readout(pattern(310, 700)) + " 7x7"),
      // ... is not the next run's: a quarter notch makes no step.
      Check([](Host &) { EXPECT_EQ(desktop_wheel_delta(30), 1); }),
      Action::wait(100),
      title_is(readout(pattern(310, 700)) + " 7x7"),
      wheel(1, 1),
      Action::wait(100),
      title_is(readout(pattern(310, 700))),
      right_press,
      right_release,
      Action::ok(),
  });
  EXPECT_EQ(after_runs(), 2);
}

TEST_F(Eyedropper, ATriggerDuringARunIsIgnored) {
  run({
      Action::key_press('S'),
      Check([&](Host &) {
        hvhost::Panel *picker = s.picker_panel();
        picker->callbacks().key_up(picker->id(), picker->user_data(), 'S');
        hvhost::Control *button = s.control("ButtonControl");
        button->event_func()(button->handle(), button->user_data());
        EXPECT_EQ(s.trace().count(Op::kPanelCreate), 2u);
        EXPECT_EQ(desktop_hook_count(), 1);
      }),
      Action::desktop_press(MouseButton::kRight),
      Action::desktop_release(MouseButton::kRight),
      Action::ok(),
  });
  EXPECT_EQ(after_runs(), 1);
}

// With the pointer where the magnifier would open, it opens elsewhere: a
// pick without moving takes what was on the screen there before.
TEST_F(Eyedropper, SPressedWhereTheMagnifierOpensTakesWhatWasThere) {
  int mx = 0, my = 0;
  Rgb before{};
  run({
      Check([&](Host &host) {
        hvhost::Panel *picker = s.picker_panel();
        mx = picker->x() + 100 + 53;
        my = picker->y() + 100 + 53;
        before = host.screen_pixel(mx, my).value_or(Rgb{});
        desktop_mouse_event(WM_MOUSEMOVE, mx, my);
      }),
      Action::key_press('S'),
      Action::wait(250),
      Check([&](Host &host) {
        ASSERT_NE(magnifier(host), nullptr);
        EXPECT_EQ(host.screen_pixel(mx, my).value_or(Rgb{}), before);
      }),
      Action::desktop_press(),
      Action::desktop_release(),
      Action::ok(),
  });
  EXPECT_EQ(s.control("MiniRGBControl")->value(),
            (std::array<int, 3>{before.r, before.g, before.b}));
}

TEST_F(Eyedropper, PicksFromThePickerItself) {
  // The open panels are on the desktop too: the swatch of the current colour.
  const hvhost::ColorOutcome out = run({
      Action::rgb(12, 34, 56),
      Action::key_press('S'),
      Check([&](Host &host) {
        hvhost::Panel *picker = s.picker_panel();
        const hvhost::Rect swatch = s.control("CanvasControl")->inner();
        int sx = 0, sy = 0;
        for (int y = 0; y < 1080 && !sx; y += 2)
          for (int x = 0; x < 1920; x += 2)
            if (host.screen_pixel(x, y) == Rgb{12, 34, 56}) {
              sx = x;
              sy = y;
              break;
            }
        ASSERT_NE(sx, 0) << picker->x() << "," << swatch.x;
        desktop_mouse_event(WM_MOUSEMOVE, sx + 2, sy + 2);
      }),
      Action::desktop_press(),
      Action::desktop_release(),
      Action::ok(),
  });
  EXPECT_EQ(s.control("MiniRGBControl")->value(), (std::array<int, 3>{12, 34, 56}));
  EXPECT_EQ(out.hot.size(), 3u);
}

// ---- Every monitor, any scaling, any DPI mode of the host's thread --------------

// The magnifier as the host sees it: 15 x 15 cells of 6 pixels, 8 pixels in.
constexpr int kSpoitCells = 15, kSpoitCentreCell = 7, kSpoitCellSize = 6, kSpoitBlitOffset = 8;

// A screen read on a composited desktop, as public measurements put it.
constexpr uint32_t kCompositedReadMs = 20;

// How many monitors the 15 x 15 cells around p touch.
int monitors_touched(const std::vector<DesktopMonitor> &monitors, POINT p) {
  int n = 0;
  for (const DesktopMonitor &m : monitors) {
    n += p.x - kSpoitCentreCell < m.x + m.width && p.x + kSpoitCentreCell >= m.x &&
         p.y - kSpoitCentreCell < m.y + m.height && p.y + kSpoitCentreCell >= m.y;
  }
  return n;
}

struct DesktopRow {
  const char *name;
  std::vector<DesktopMonitor> monitors;
  int thread_dpi;   // the host's thread, a DesktopDpiMode
  int dpi_support;  // a DesktopDpiSupport
  POINT pointer;    // physical
  bool moved;       // the hook has seen the pointer; else only GetCursorPos knows it
};

std::ostream &operator<<(std::ostream &os, const DesktopRow &row) { return os << row.name; }

struct EyedropperOnDesktops : Eyedropper, ::testing::WithParamInterface<DesktopRow> {};

// Every cell shows the screen's pixel around the pointer, black only where
// no monitor is; the title and the pick are the pixel under the pointer.
TEST_P(EyedropperOnDesktops, TheMagnifierShowsWhatIsUnderThePointer) {
  const DesktopRow &row = GetParam();
  ASSERT_EQ(desktop_set_monitors(row.monitors.data(), static_cast<int>(row.monitors.size())), 1);
  desktop_set_thread_dpi(row.thread_dpi);
  desktop_set_dpi_support(row.dpi_support);
  const POINT p = row.pointer;
  desktop_set_cursor(p.x, p.y);
  const Rgb under = Rgb::from_packed(desktop_screen_pixel(p.x, p.y));
  // A row that tells: in the host's coordinates the pointer is elsewhere,
  // over another colour.
  POINT logical{};
  ASSERT_EQ(GetCursorPos(&logical), 1);
  if (logical.x != p.x || logical.y != p.y) {
    ASSERT_NE(under, Rgb::from_packed(desktop_screen_pixel(logical.x, logical.y)));
  }
  desktop_set_screen_read_ms(kCompositedReadMs);
  std::vector<Step> steps = {Action::key_press('S')};
  if (row.moved) steps.push_back(Action::desktop_move(p.x, p.y));
  steps.push_back(Check([](Host &) { desktop_log_clear(); }));
  steps.push_back(Action::wait(100));
  steps.push_back(Check([&](Host &h) {
    hvhost::Panel *m = magnifier(h);
    ASSERT_NE(m, nullptr);
    // One block transfer for each monitor the cells lie on, nothing else.
    EXPECT_EQ(desktop_call_count("desktop:screen_read"), monitors_touched(row.monitors, p));
    EXPECT_EQ(desktop_call_count("GetPixel"), 0);
    EXPECT_EQ(desktop_thread_dpi(), row.thread_dpi);  // put back after the tick
    if (row.moved) {
      EXPECT_EQ(m->title(), readout(under));
    }
    for (int r = 0; r < kSpoitCells; ++r) {
      for (int c = 0; c < kSpoitCells; ++c) {
        const int x = p.x - kSpoitCentreCell + c, y = p.y - kSpoitCentreCell + r;
        const Rgb shown = m->framebuffer().pixel(kSpoitBlitOffset + c * kSpoitCellSize + 2,
                                                 kSpoitBlitOffset + r * kSpoitCellSize + 2);
        ASSERT_EQ(shown, Rgb::from_packed(desktop_screen_pixel(x, y))) << x << "," << y;
      }
    }
  }));
  steps.push_back(Action::desktop_press());
  steps.push_back(Action::desktop_release());
  steps.push_back(Action::ok());
  run(steps);
  EXPECT_EQ(s.control("MiniRGBControl")->value(), (std::array<int, 3>{under.r, under.g, under.b}));
}

const DesktopMonitor kPrimary = {0, 0, 1920, 1080, 100};

INSTANTIATE_TEST_SUITE_P(
    Desktops, EyedropperOnDesktops,
    ::testing::Values(DesktopRow{"OneMonitorAt100",
                                 {kPrimary},
                                 DESKTOP_DPI_SYSTEM_AWARE,
                                 DESKTOP_DPI_SWITCH_ALL,
                                 {1500, 950},
                                 true},
                      DesktopRow{"LeftOfThePrimary",
                                 {kPrimary, {-1920, 0, 1920, 1080, 100}},
                                 DESKTOP_DPI_SYSTEM_AWARE,
                                 DESKTOP_DPI_SWITCH_ALL,
                                 {-700, 950},
                                 true},
                      DesktopRow{"AboveThePrimary",
                                 {kPrimary, {0, -1080, 1920, 1080, 100}},
                                 DESKTOP_DPI_SYSTEM_AWARE,
                                 DESKTOP_DPI_SWITCH_ALL,
                                 {600, -200},
                                 true},
                      DesktopRow{"RightOfThePrimary",
                                 {kPrimary, {1920, 0, 1280, 1024, 100}},
                                 DESKTOP_DPI_SYSTEM_AWARE,
                                 DESKTOP_DPI_SWITCH_ALL,
                                 {2600, 900},
                                 true},
                      DesktopRow{"BelowThePrimary",
                                 {kPrimary, {0, 1080, 1920, 1080, 100}},
                                 DESKTOP_DPI_SYSTEM_AWARE,
                                 DESKTOP_DPI_SWITCH_ALL,
                                 {300, 1900},
                                 true},
                      DesktopRow{"AtThePrimarysRightEdge",
                                 {kPrimary, {1920, 0, 1920, 1080, 100}},
                                 DESKTOP_DPI_SYSTEM_AWARE,
                                 DESKTOP_DPI_SWITCH_ALL,
                                 {1916, 950},
                                 true},
                      DesktopRow{"AtThePrimarysLeftEdge",
                                 {kPrimary, {-1920, 0, 1920, 1080, 100}},
                                 DESKTOP_DPI_SYSTEM_AWARE,
                                 DESKTOP_DPI_SWITCH_ALL,
                                 {2, 700},
                                 true},
                      DesktopRow{"BesideACornerWithNoMonitor",
                                 {kPrimary, {1920, 100, 1280, 1024, 100}},
                                 DESKTOP_DPI_SYSTEM_AWARE,
                                 DESKTOP_DPI_SWITCH_ALL,
                                 {1917, 97},
                                 true},
                      DesktopRow{"At125UnawareThread",
                                 {{0, 0, 2400, 1350, 125}},
                                 DESKTOP_DPI_UNAWARE,
                                 DESKTOP_DPI_SWITCH_ALL,
                                 {1700, 1200},
                                 true},
                      DesktopRow{"At150UnawareThreadPerMonitorV2Refused",
                                 {{0, 0, 2880, 1620, 150}},
                                 DESKTOP_DPI_UNAWARE,
                                 DESKTOP_DPI_SWITCH_NO_V2,
                                 {2000, 1500},
                                 true},
                      DesktopRow{"At200UnawareThreadBeforeTheFirstMove",
                                 {{0, 0, 3840, 2160, 200}},
                                 DESKTOP_DPI_UNAWARE,
                                 DESKTOP_DPI_SWITCH_ALL,
                                 {3000, 2000},
                                 false},
                      DesktopRow{"MixedScalesSystemAwareThread",
                                 {kPrimary, {1920, 0, 2880, 1620, 150}},
                                 DESKTOP_DPI_SYSTEM_AWARE,
                                 DESKTOP_DPI_SWITCH_ALL,
                                 {3500, 1400},
                                 true},
                      DesktopRow{"MixedScalesSystemAwareBeforeTheFirstMove",
                                 {{0, 0, 2880, 1620, 150}, {-1920, 0, 1920, 1080, 100}},
                                 DESKTOP_DPI_SYSTEM_AWARE,
                                 DESKTOP_DPI_SWITCH_ALL,
                                 {-500, 1000},
                                 false},
                      DesktopRow{"NoDpiSwitchTwoMonitorsAt100",
                                 {kPrimary, {-1920, 0, 1920, 1080, 100}},
                                 DESKTOP_DPI_SYSTEM_AWARE,
                                 DESKTOP_DPI_SWITCH_MISSING,
                                 {-700, 950},
                                 true}),
    [](const ::testing::TestParamInfo<DesktopRow> &row) { return std::string(row.param.name); });

// Each tick switches the thread once (twice where v2 is refused) and puts
// its context back; a monitor list the system cannot give leaves the
// desktop window's rectangle, the primary, as the one monitor.
TEST_F(Eyedropper, TheTickSwitchesAndRestoresAndFallsBackToThePrimary) {
  const DesktopMonitor two[] = {kPrimary, {-1920, 0, 1920, 1080, 100}};
  ASSERT_EQ(desktop_set_monitors(two, 2), 1);
  desktop_set_dpi_support(DESKTOP_DPI_SWITCH_NO_V2);
  run({
      Action::key_press('S'),
      Action::desktop_move(3, 950),
      Check([](Host &) {
        desktop_log_clear();
        desktop_fail_call(DESKTOP_FAIL_MONITORS, 1);
      }),
      Action::wait(100),
      Check([](Host &h) {
        EXPECT_EQ(desktop_call_count("SetThreadDpiAwarenessContext"), 3);
        EXPECT_EQ(desktop_call_count("GetProcAddress"), 0);  // looked up once a run
        EXPECT_EQ(desktop_thread_dpi(), DESKTOP_DPI_SYSTEM_AWARE);
        const auto shown = [&](int col) {
          return magnifier(h)->framebuffer().pixel(kSpoitBlitOffset + col * kSpoitCellSize + 2,
                                                   kSpoitBlitOffset + 7 * kSpoitCellSize + 2);
        };
        EXPECT_EQ(shown(3), (Rgb{0, 0, 0}));  // x = -1: not on the primary
        EXPECT_EQ(shown(4), pattern(0, 950));
      }),
      Action::wait(100),
      Check([](Host &h) {
        EXPECT_EQ(magnifier(h)->framebuffer().pixel(kSpoitBlitOffset + 3 * kSpoitCellSize + 2,
                                                    kSpoitBlitOffset + 7 * kSpoitCellSize + 2),
                  pattern(-1, 950));
      }),
      Action::desktop_press(MouseButton::kRight),
      Action::desktop_release(MouseButton::kRight),
      Action::ok(),
  });
}

}  // namespace

// ---- On a composited desktop: every screen read costs the thread 20 ms ----------

// Calls the plug-in has made of the host's services.
uint64_t host_calls(hvhost::CallTrace &trace) {
  uint64_t n = 0;
  for (int op = 0; op < static_cast<int>(Op::kCallOpened); ++op)
    n += trace.count(static_cast<Op>(op));
  return n;
}

struct CompositedRow {
  const char *name;
  // The user's part of the run after 'S' (the picker's own OK follows).
  std::function<std::vector<Step>(Eyedropper &)> steps;
  bool taken;                                // the run ended with a colour taken ...
  POINT at;                                  // ... from here
  int removals;                              // hooks the timeout removed
  int installs;                              // hooks the run installed
  std::optional<Rgb> colour = std::nullopt;  // taken, when not the pattern's at `at`
};

// A one-pixel chequer wallpaper of red, where x + y is even, and blue.
Check chequer_wallpaper() {
  return Check([](Host &) {
    std::vector<uint32_t> pixels(1920 * 1080);
    for (int y = 0; y < 1080; ++y)
      for (int x = 0; x < 1920; ++x) pixels[y * 1920 + x] = (x + y) % 2 ? 0x0000FF : 0xFF0000;
    ASSERT_EQ(desktop_set_wallpaper(pixels.data(), 1920, 1080, 1920), 1);
  });
}

// Actions the hosts deliver with qualifiers held.
Action with_qualifiers(Action a, int qualifiers) {
  a.qualifiers = qualifiers;
  return a;
}

std::ostream &operator<<(std::ostream &os, const CompositedRow &row) { return os << row.name; }

struct EyedropperComposited : Eyedropper, ::testing::WithParamInterface<CompositedRow> {};

// The run with 20 ms a screen read and Windows' 1 s hook timeout: what it
// takes, and that it can always be ended.
TEST_P(EyedropperComposited, TheRunEndsAsTheUserMeantIt) {
  const CompositedRow &row = GetParam();
  desktop_set_screen_read_ms(kCompositedReadMs);
  std::vector<Step> steps = {Action::key_press('S'), Check([](Host &) { desktop_log_clear(); })};
  for (Step &step : row.steps(*this)) steps.push_back(std::move(step));
  steps.push_back(Check([](Host &h) { EXPECT_EQ(magnifier(h), nullptr) << "the run is over"; }));
  steps.push_back(Action::ok());
  const hvhost::ColorOutcome out = run(steps);
  EXPECT_EQ(desktop_call_count("desktop:hook_timed_out"), row.removals);
  EXPECT_EQ(desktop_call_count("SetWindowsHookExA"), row.installs - 1);  // the first before
  EXPECT_EQ(desktop_gdi_objects(), 0);
  const Rgb expected =
      row.taken ? row.colour.value_or(pattern(row.at.x, row.at.y)) : Rgb{51, 102, 153};
  EXPECT_EQ(s.control("MiniRGBControl")->value(),
            (std::array<int, 3>{expected.r, expected.g, expected.b}));
  EXPECT_EQ(out.hot.size(), row.taken ? 2u : 1u);
  EXPECT_EQ(after_runs(), 1);
}

// The user moving on while the thread was busy (the host's own work) for
// longer than the timeout: Windows drops the hook.
Step busy_then_move(int x, int y) {
  return Check([=](Host &) {
    desktop_thread_busy(1500);
    desktop_mouse_event(WM_MOUSEMOVE, x, y);
  });
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EyedropperComposited,
    ::testing::Values(
        CompositedRow{"MovesAndAPickTakeTheColourAndTheHookStays",
                      [](Eyedropper &) {
                        std::vector<Step> steps;
                        for (int i = 0; i < 30; ++i) {
                          steps.push_back(Action::desktop_move(100 + 40 * i, 300 + 20 * i));
                          if (i % 3 == 2) steps.push_back(Action::wait(100));
                        }
                        steps.push_back(Action::desktop_move(1500, 900));
                        steps.push_back(Action::wait(100));
                        steps.push_back(Check([](Host &h) {
                          EXPECT_EQ(magnifier(h)->title(), readout(pattern(1500, 900)));
                          EXPECT_EQ(desktop_hook_count(), 1);
                        }));
                        steps.push_back(Action::desktop_press());
                        steps.push_back(Action::desktop_move(1510, 910));
                        steps.push_back(Action::desktop_release());
                        return steps;
                      },
                      true,
                      {1510, 910},
                      0,
                      1},
        CompositedRow{"AMoveMakesNoScreenReadAndNoHostCall",
                      [](Eyedropper &fixture) {
                        return std::vector<Step>{
                            Action::desktop_move(600, 600),
                            Action::wait(100),
                            Check([&session = fixture.s](Host &h) {
                              const uint64_t calls = host_calls(session.trace());
                              const int reads = desktop_call_count("desktop:screen_read");
                              const uint64_t thread = desktop_time_ms();
                              for (int x = 601; x < 640; ++x)
                                EXPECT_EQ(desktop_mouse_event(WM_MOUSEMOVE, x, 600), 0);
                              EXPECT_EQ(desktop_call_count("desktop:screen_read"), reads);
                              EXPECT_EQ(host_calls(session.trace()), calls);
                              EXPECT_EQ(desktop_time_ms(), thread);
                              EXPECT_EQ(magnifier(h)->title(), readout(pattern(600, 600)));
                            }),
                            Action::wait(100),
                            Check([](Host &h) {
                              EXPECT_EQ(magnifier(h)->title(), readout(pattern(639, 600)));
                            }),
                            Action::desktop_press(MouseButton::kRight),
                            Action::desktop_release(MouseButton::kRight)};
                      },
                      false,
                      {},
                      0,
                      1},
        CompositedRow{"ATickReadsOnceForEachMonitorItTouches",
                      [](Eyedropper &) {
                        const std::vector<DesktopMonitor> monitors = {{0, 0, 1920, 1080, 100},
                                                                      {1920, 0, 1920, 1080, 150},
                                                                      {0, 1080, 1920, 1080, 100}};
                        std::vector<Step> steps = {Check([monitors](Host &) {
                          ASSERT_EQ(desktop_set_monitors(monitors.data(), 3), 1);
                        })};
                        for (POINT p : {POINT{960, 500}, POINT{1915, 500}, POINT{1000, 1075},
                                        POINT{1925, 1078}, POINT{1921, 10}}) {
                          steps.push_back(Action::desktop_move(p.x, p.y));
                          steps.push_back(Action::wait(100));  // the tick after the move
                          steps.push_back(Check([](Host &) { desktop_log_clear(); }));
                          steps.push_back(Action::wait(100));
                          steps.push_back(Check([monitors, p](Host &) {
                            EXPECT_EQ(desktop_call_count("desktop:screen_read"),
                                      monitors_touched(monitors, p))
                                << p.x << "," << p.y;
                          }));
                        }
                        steps.push_back(Action::desktop_press());
                        steps.push_back(Action::desktop_release());
                        return steps;
                      },
                      true,
                      {1921, 10},
                      0,
                      1},
        CompositedRow{"ADroppedHookIsReplacedEveryTimeAndTheRunGoesOn",
                      [](Eyedropper &) {
                        return std::vector<Step>{
                            Action::desktop_move(500, 500),
                            Action::wait(100),
                            busy_then_move(510, 500),
                            Check([](Host &) {
                              EXPECT_EQ(desktop_call_count("desktop:hook_timed_out"), 1);
                              EXPECT_EQ(desktop_hook_count(), 0);
                            }),
                            // The user's time catches up with the thread's:
                            // the ticks come again.
                            Action::wait(1600),
                            Check([](Host &h) {
                              // Noticed: the pointer moved, the hook saw nothing.
                              EXPECT_EQ(desktop_hook_count(), 1);
                              EXPECT_EQ(desktop_call_count("SetWindowsHookExA"), 1);
                              EXPECT_EQ(desktop_call_count("UnhookWindowsHookEx"), 1);
                              EXPECT_NE(magnifier(h), nullptr);
                            }),
                            Action::desktop_move(530, 500),
                            Action::wait(100),
                            Check([](Host &h) {
                              EXPECT_EQ(magnifier(h)->title(), readout(pattern(530, 500)));
                            }),
                            busy_then_move(540, 500),
                            Action::wait(1600),
                            Check([](Host &h) {
                              EXPECT_EQ(desktop_hook_count(), 1);
                              EXPECT_NE(magnifier(h), nullptr);
                            }),
                            Action::desktop_move(560, 500),
                            Action::desktop_press(),
                            Action::desktop_release(),
                        };
                      },
                      true,
                      {560, 500},
                      2,
                      3},
        CompositedRow{"AClickTheHookDidNotSeeIsNoticedAndPicks",
                      [](Eyedropper &) {
                        return std::vector<Step>{
                            Action::desktop_move(500, 500),
                            Action::wait(100),
                            busy_then_move(500, 500),
                            Action::wait(1600),  // ticks, but no sign of input
                            Check([](Host &) { EXPECT_EQ(desktop_hook_count(), 0); }),
                            // The pointer stays; the click reaches no hook, and
                            // the key state tells the tick of its release.
                            Action::desktop_press(),
                            Action::desktop_release(),
                            Action::wait(100),
                            Check([](Host &h) {
                              EXPECT_EQ(desktop_hook_count(), 0);
                              EXPECT_EQ(magnifier(h), nullptr);
                            }),
                        };
                      },
                      true,
                      {500, 500},
                      1,
                      2},
        // The pointer moved where no hook sees it (another program's
        // SetCursorPos, a pen over a window that takes its input): the
        // magnifier follows, the hook is replaced at most once a second, the
        // run goes on, and Space takes the colour under the pointer.
        CompositedRow{"APointerTheHookNeverSeesIsFollowedAndSpacePicks",
                      [](Eyedropper &) {
                        return std::vector<Step>{
                            Action::desktop_move(500, 500),
                            Action::wait(100),
                            Check([](Host &) { desktop_set_cursor(600, 600); }),
                            Action::wait(300),
                            Check([](Host &h) {
                              EXPECT_EQ(magnifier(h)->title(), readout(pattern(600, 600)));
                            }),
                            Check([](Host &) { desktop_set_cursor(610, 605); }),
                            Action::wait(1600),
                            Check([](Host &h) {
                              ASSERT_NE(magnifier(h), nullptr);
                              EXPECT_EQ(magnifier(h)->title(), readout(pattern(610, 605)));
                              EXPECT_EQ(desktop_hook_count(), 1);
                            }),
                            Check([](Host &) { desktop_key_event(VK_SPACE, 1); }),
                            Action::wait(100),
                            Check([](Host &) { desktop_key_event(VK_SPACE, 0); }),
                        };
                      },
                      true,
                      {610, 605},
                      0,
                      2},
        // No hook at all (dropped, and none can be had again): Esc, and the
        // right button's release by the key state, still end the run.
        CompositedRow{"EscEndsARunWithNoHook",
                      [](Eyedropper &) {
                        return std::vector<Step>{
                            Action::desktop_move(500, 500),
                            Action::wait(100),
                            Check([](Host &) { desktop_fail_call(DESKTOP_FAIL_SET_HOOK, -1); }),
                            busy_then_move(510, 500),
                            Action::wait(1600),
                            Check([](Host &h) {
                              EXPECT_EQ(desktop_hook_count(), 0);
                              EXPECT_NE(magnifier(h), nullptr);
                              desktop_key_event(VK_ESCAPE, 1);
                              desktop_key_event(VK_ESCAPE, 0);
                            }),
                            Action::wait(100),
                            Check([](Host &) { desktop_fail_call(DESKTOP_FAIL_SET_HOOK, 0); }),
                        };
                      },
                      false,
                      {},
                      1,
                      2},
        CompositedRow{"TheRightButtonEndsARunWithNoHook",
                      [](Eyedropper &) {
                        return std::vector<Step>{
                            Action::desktop_move(500, 500),
                            Action::wait(100),
                            Check([](Host &) { desktop_fail_call(DESKTOP_FAIL_SET_HOOK, -1); }),
                            busy_then_move(510, 500),
                            Action::wait(1600),
                            Action::desktop_press(MouseButton::kRight),
                            Action::desktop_release(MouseButton::kRight),
                            Action::wait(100),
                            Check([](Host &h) { EXPECT_EQ(magnifier(h), nullptr); }),
                            Check([](Host &) { desktop_fail_call(DESKTOP_FAIL_SET_HOOK, 0); }),
                        };
                      },
                      // One try at a new hook: the click's comes within the second.
                      false,
                      {},
                      1,
                      2},
        // A fine wheel: 30 units an event, a step every fourth.
        CompositedRow{"AFineWheelStepsOnceANotch",
                      [](Eyedropper &) {
                        return std::vector<Step>{
                            chequer_wallpaper(),
                            Action::desktop_move(500, 500),
                            Check([](Host &) {
                              for (int i = 0; i < 7; ++i) EXPECT_EQ(desktop_wheel_delta(30), 1);
                            }),
                            Action::wait(100),
                            Check([](Host &h) {
                              // 210 units: a notch, and 90 towards the next.
                              EXPECT_EQ(magnifier(h)->title().substr(12), "3x3");
                              EXPECT_EQ(desktop_wheel_delta(30), 1);
                            }),
                            Action::wait(100),
                            Check([](Host &h) {
                              EXPECT_EQ(magnifier(h)->title().substr(12), "5x5");
                            }),
                            Action::desktop_press(),
                            Action::desktop_release(),
                        };
                      },
                      true,
                      {500, 500},
                      0,
                      1,
                      Rgb{191, 0, 184}},
        // Red and blue, 13 cells to 12: R = 0.52 and B = 0.48 in linear
        // light, 191 and 184 in sRGB (not 132 and 122).
        CompositedRow{
            "TheWheelTakesA5x5AverageInLinearLightFromTheTicksBlock",
            [](Eyedropper &) {
              return std::vector<Step>{
                  chequer_wallpaper(),
                  Action::desktop_move(500, 500),
                  Check([](Host &) {
                    EXPECT_EQ(desktop_wheel_event(1), 1);  // 1 -> 3
                    EXPECT_EQ(desktop_wheel_event(5),
                              1);  // a notch each: 3 -> 5 -> 7 -> 1 -> 3 -> 5
                  }),
                  Action::wait(100),
                  Check([](Host &h) {
                    hvhost::Panel *m = magnifier(h);
                    EXPECT_EQ(m->title(), "191,  0,184 5x5");
                    // The area's outline in the inverse of its average.
                    const int edge = kSpoitBlitOffset + 5 * kSpoitCellSize;
                    EXPECT_EQ(m->framebuffer().pixel(edge, edge + 10), (Rgb{64, 255, 71}));
                    EXPECT_EQ(m->framebuffer().pixel(edge + 1, edge + 10),
                              Rgb::from_packed(desktop_screen_pixel(498, 499)));
                    desktop_log_clear();
                  }),
                  Action::desktop_press(),
                  Action::desktop_release(),
                  // Taken from the block the tick read: no more reads.
                  Check([](Host &) {
                    EXPECT_EQ(desktop_call_count("desktop:screen_read"), 0);
                    EXPECT_EQ(desktop_call_count("GetPixel"), 0);
                  }),
              };
            },
            true,
            {500, 500},
            0,
            1,
            Rgb{191, 0, 184}},
        CompositedRow{"APickAwayFromTheTicksBlockReadsOnceMoreAndTheWheelIsSwallowed",
                      [](Eyedropper &) {
                        return std::vector<Step>{
                            chequer_wallpaper(),
                            Action::desktop_move(500, 500),
                            Check([](Host &) {
                              EXPECT_EQ(desktop_wheel_event(-1), 1);  // 1 -> 7
                              EXPECT_EQ(desktop_wheel_event(-1), 1);  // 7 -> 5
                              EXPECT_EQ(desktop_wheel_event(-1), 1);  // 5 -> 3
                            }),
                            Action::wait(100),
                            Action::desktop_move(701, 300),
                            Action::desktop_press(),
                            Check([](Host &) { desktop_log_clear(); }),
                            Action::desktop_release(),
                            Check([](Host &) {
                              EXPECT_EQ(desktop_call_count("desktop:screen_read"), 1);
                            }),
                        };
                      },
                      // 3 x 3 around an odd cell: 5 blue, 4 red.
                      true,
                      {701, 300},
                      0,
                      1,
                      Rgb{178, 0, 197}},
        CompositedRow{"AnAreaWithNoReadableCellTakesNothing",
                      [](Eyedropper &) {
                        return std::vector<Step>{
                            Action::desktop_move(500, 500),
                            Check([](Host &) { EXPECT_EQ(desktop_wheel_event(1), 1); }),
                            Action::wait(100),
                            Check([](Host &) { desktop_fail_all_pixels(1); }),
                            Action::desktop_move(900, 500),
                            Action::desktop_press(),
                            Action::desktop_release(),
                            Check([](Host &) { desktop_fail_all_pixels(0); }),
                        };
                      },
                      false,
                      {},
                      0,
                      1},
        CompositedRow{
            "ArrowsNudgeAPixelOrTenAndTheWatchTakesNoNudgeForALostHook",
            [](Eyedropper &) {
              std::vector<Step> steps = {Action::desktop_move(500, 500), Action::wait(100)};
              for (int i = 0; i < 3; ++i) {
                steps.push_back(Action::key_press(LWDK_RIGHT));
                steps.push_back(Action::wait(100));
              }
              steps.push_back(with_qualifiers(Action::key_press(LWDK_DOWN), IQ_SHIFT));
              steps.push_back(Action::key_press(LWDK_UP));
              for (int i = 0; i < 4; ++i) steps.push_back(Action::wait(100));
              steps.push_back(Check([](Host &h) {
                int x = 0, y = 0;
                desktop_cursor(&x, &y);
                EXPECT_EQ(x, 503);
                EXPECT_EQ(y, 509);
                EXPECT_EQ(magnifier(h)->title(), readout(pattern(503, 509)));
                EXPECT_EQ(desktop_hook_count(), 1);
                EXPECT_EQ(desktop_call_count("SetWindowsHookExA"), 0);
              }));
              steps.push_back(Action::desktop_press());
              steps.push_back(Action::desktop_release());
              return steps;
            },
            true,
            {503, 509},
            0,
            1},
        // Windows keeps dropping the hook (a short timeout, a busy host):
        // however often, at most one new hook a second, and the run goes on.
        CompositedRow{"AHookDroppedOverAndOverIsReplacedAtMostOnceASecond",
                      [](Eyedropper &) {
                        std::vector<Step> steps = {
                            Check([](Host &) { desktop_set_hook_timeout_ms(200); }),
                            Action::desktop_move(500, 500), Action::wait(100)};
                        for (int i = 0; i < 8; ++i) {
                          steps.push_back(Check([i](Host &) {
                            desktop_thread_busy(300);
                            desktop_mouse_event(WM_MOUSEMOVE, 510 + i, 500);
                          }));
                          steps.push_back(Action::wait(400));
                          steps.push_back(Check([](Host &h) {
                            EXPECT_NE(magnifier(h), nullptr);
                            EXPECT_LE(desktop_hook_count(), 1);
                            // The first new hook, then one a second at most.
                            EXPECT_LE(desktop_call_count("SetWindowsHookExA"),
                                      1 + static_cast<int>(desktop_time_ms() / 1000));
                          }));
                        }
                        steps.push_back(Check([](Host &) { desktop_set_hook_timeout_ms(1000); }));
                        steps.push_back(Action::wait(1100));
                        steps.push_back(Action::desktop_move(560, 500));
                        steps.push_back(Action::desktop_press());
                        steps.push_back(Action::desktop_release());
                        steps.push_back(Action::wait(100));
                        return steps;
                      },
                      true,
                      {560, 500},
                      4,
                      5},
        // A pointer the hook did not see: the new hook cannot be had, the
        // old one is kept (not removed) and still takes the pick.
        CompositedRow{"AReplacementThatFailsKeepsTheOldHook",
                      [](Eyedropper &) {
                        return std::vector<Step>{
                            Action::desktop_move(500, 500),
                            Action::wait(100),
                            Check([](Host &) {
                              desktop_fail_call(DESKTOP_FAIL_SET_HOOK, 1);
                              desktop_set_cursor(600, 600);
                            }),
                            Action::wait(300),
                            Check([](Host &h) {
                              EXPECT_EQ(desktop_call_count("SetWindowsHookExA"), 1);
                              EXPECT_EQ(desktop_call_count("UnhookWindowsHookEx"), 0);
                              EXPECT_EQ(desktop_hook_count(), 1);
                              EXPECT_EQ(magnifier(h)->title(), readout(pattern(600, 600)));
                            }),
                            Action::desktop_move(700, 650),
                            Action::wait(100),
                            Check([](Host &h) {
                              EXPECT_EQ(magnifier(h)->title(), readout(pattern(700, 650)));
                            }),
                            Action::desktop_press(),
                            Action::desktop_release(),
                        };
                      },
                      true,
                      {700, 650},
                      0,
                      2},
        CompositedRow{"SpaceTakesTheColourInARunWithNoHook",
                      [](Eyedropper &) {
                        return std::vector<Step>{
                            Action::desktop_move(500, 500),
                            Action::wait(100),
                            Check([](Host &) { desktop_fail_call(DESKTOP_FAIL_SET_HOOK, -1); }),
                            busy_then_move(510, 500),
                            Action::wait(1600),
                            Check([](Host &h) {
                              EXPECT_EQ(desktop_hook_count(), 0);
                              EXPECT_NE(magnifier(h), nullptr);
                              desktop_key_event(VK_SPACE, 1);
                              desktop_key_event(VK_SPACE, 0);
                            }),
                            Action::wait(100),
                            Check([](Host &) { desktop_fail_call(DESKTOP_FAIL_SET_HOOK, 0); }),
                        };
                      },
                      true,
                      {510, 500},
                      1,
                      2},
        CompositedRow{"EscEndsTheRunWhateverTheHostDoesWithIt",
                      [](Eyedropper &) {
                        return std::vector<Step>{
                            Action::desktop_move(700, 700),
                            Action::wait(100),
                            // A key the host does not act on: only its state tells.
                            Check([](Host &) {
                              desktop_key_event(VK_ESCAPE, 1);
                              desktop_key_event(VK_ESCAPE, 0);
                            }),
                            Action::wait(100),
                        };
                      },
                      false,
                      {},
                      0,
                      1}),
    [](const ::testing::TestParamInfo<CompositedRow> &row) { return std::string(row.param.name); });

// ---- Every pointer over every window ---------------------------------------------

namespace {

enum { kMouse = 0, kWarp = 3 };
// How the run starts: S on the keyboard, the button tapped with a pen (the
// message carries the pen's signature), or S and then F.
enum { kByKey = 0, kByPen = 1, kByF = 2 };

struct PointerRow {
  const char *name;
  int pointer;   // kMouse, DESKTOP_PEN, DESKTOP_TOUCH, or kWarp: another program
                 // moves the pointer and the mouse clicks there
  int window;    // the other program's window under the pointer: a DesktopWindowKind
  int start;     // kByKey, kByPen, kByF
  bool follows;  // the magnifier's readout follows the pointer
  bool picks;    // the tap takes the colour; else it is lost and Esc ends the run
  bool frozen;   // the run is frozen when the pointer rests
};

std::ostream &operator<<(std::ostream &os, const PointerRow &row) { return os << row.name; }

struct EyedropperPointers : Eyedropper, ::testing::WithParamInterface<PointerRow> {};

bool starts_with(const std::string &text, const std::string &start) {
  return text.compare(0, start.size(), start) == 0;
}
bool ends_with(const std::string &text, const std::string &end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::vector<Step> start_steps(int start) {
  switch (start) {
    case kByPen:
      return {Check([](Host &) { desktop_set_message_extra_info(DESKTOP_PEN_EXTRA_INFO); }),
              Action::click_eyedropper()};
    case kByF: return {Action::key_press('S'), Action::key_press('F'), Action::wait(100)};
  }
  return {Action::key_press('S')};
}

// A window of another program under (1500, 900); the pointer comes there
// from (1400, 850), rests, and taps. The run ends only when the user ends it,
// and nothing reaches the window beneath or activates it.
TEST_P(EyedropperPointers, ThePointerPicksOverAnyWindowAndNothingReachesIt) {
  const PointerRow &row = GetParam();
  desktop_set_screen_read_ms(kCompositedReadMs);
  const int window = desktop_add_window(1000, 500, 900, 560, row.window);
  ASSERT_EQ(window, 1);
  const Rgb there = pattern(1500, 900);
  ASSERT_NE(there, pattern(1400, 850));
  const int kind = row.pointer;
  const auto pointer = [kind](int action, int x, int y) {
    return Check([kind, action, x, y](Host &) { desktop_pointer_event(kind, action, x, y); });
  };
  std::vector<Step> steps = start_steps(row.start);
  switch (row.pointer) {
    case kMouse:
      steps.push_back(Action::desktop_move(1400, 850));
      steps.push_back(Action::desktop_move(1500, 900));
      break;
    case kWarp:
      // After the run's first tick has seen where the pointer was.
      steps.push_back(Action::wait(100));
      steps.push_back(Check([](Host &) { desktop_warp_pointer(1500, 900); }));
      break;
    case DESKTOP_PEN:
      steps.push_back(pointer(DESKTOP_POINTER_MOVE, 1400, 850));
      steps.push_back(pointer(DESKTOP_POINTER_MOVE, 1500, 900));
      break;
    case DESKTOP_TOUCH:
      steps.push_back(pointer(DESKTOP_POINTER_DOWN, 1400, 850));
      steps.push_back(pointer(DESKTOP_POINTER_MOVE, 1500, 900));
      break;
  }
  // Resting there for a while: the readout follows and the run goes on.
  const PointerRow r = row;
  steps.push_back(Action::wait(500));
  steps.push_back(Check([r, there](Host &h) {
    ASSERT_NE(magnifier(h), nullptr) << "the run ended unasked";
    const std::string title = magnifier(h)->title();
    EXPECT_EQ(starts_with(title, readout(there)), r.follows) << title;
    EXPECT_EQ(ends_with(title, " frozen"), r.frozen) << title;
    // Frozen, one window of the run's own covers the monitor.
    EXPECT_EQ(desktop_own_windows(), r.frozen ? 1 : 0);
  }));
  switch (row.pointer) {
    case kMouse:
    case kWarp:
      steps.push_back(Action::desktop_press());
      steps.push_back(Action::desktop_release());
      break;
    case DESKTOP_PEN:
      steps.push_back(pointer(DESKTOP_POINTER_DOWN, 1500, 900));
      steps.push_back(pointer(DESKTOP_POINTER_UP, 1500, 900));
      break;
    case DESKTOP_TOUCH: steps.push_back(pointer(DESKTOP_POINTER_UP, 1500, 900)); break;
  }
  steps.push_back(Action::wait(100));
  if (!row.picks) {
    steps.push_back(Check([](Host &h) {
      ASSERT_NE(magnifier(h), nullptr) << "the run ended unasked";
      desktop_key_event(VK_ESCAPE, 1);
      desktop_key_event(VK_ESCAPE, 0);
    }));
    steps.push_back(Action::wait(100));
  }
  steps.push_back(Check([](Host &h) { EXPECT_EQ(magnifier(h), nullptr) << "the run is over"; }));
  steps.push_back(Action::ok());
  const hvhost::ColorOutcome out = run(steps);
  const Rgb expected = row.picks ? there : Rgb{51, 102, 153};
  EXPECT_EQ(s.control("MiniRGBControl")->value(),
            (std::array<int, 3>{expected.r, expected.g, expected.b}));
  EXPECT_EQ(out.hot.size(), row.picks ? 2u : 1u);
  DesktopWindowInput input{};
  ASSERT_EQ(desktop_window_input(window, &input), 1);
  // A window that handles the pen itself has it whenever nothing covers it.
  const int reached = row.picks ? 0 : 1;
  EXPECT_EQ(input.button_presses, reached);
  EXPECT_EQ(input.activations, reached);
  EXPECT_EQ(desktop_own_activations(), 0);
}

constexpr int kHandles = DESKTOP_WINDOW_POINTER;
constexpr int kDefault = DESKTOP_WINDOW_DEFAULT;

INSTANTIATE_TEST_SUITE_P(
    Rows, EyedropperPointers,
    ::testing::Values(
        // Live: a mouse and another program's moves are seen anywhere; a pen
        // or finger only where DefWindowProc makes mouse input of it, and
        // there the first pen input the hook sees freezes the run. Over a
        // window that handles them they are that window's; touch elsewhere
        // waits for the lift.
        PointerRow{"MouseOverAPointerWindow", kMouse, kHandles, kByKey, true, true, false},
        PointerRow{"MouseOverADefaultWindow", kMouse, kDefault, kByKey, true, true, false},
        PointerRow{"PenOverAPointerWindow", DESKTOP_PEN, kHandles, kByKey, false, false, false},
        PointerRow{"PenOverADefaultWindowFreezes", DESKTOP_PEN, kDefault, kByKey, true, true, true},
        PointerRow{"TouchOverAPointerWindow", DESKTOP_TOUCH, kHandles, kByKey, false, false, false},
        PointerRow{"TouchOverADefaultWindow", DESKTOP_TOUCH, kDefault, kByKey, false, true, false},
        PointerRow{"WarpOverAPointerWindow", kWarp, kHandles, kByKey, true, true, false},
        PointerRow{"WarpOverADefaultWindow", kWarp, kDefault, kByKey, true, true, false},
        // Started by a pen: frozen at once, and every pointer reaches the
        // run's own windows over the picture.
        PointerRow{"PenStartedPenOverAPointerWindow", DESKTOP_PEN, kHandles, kByPen, true, true,
                   true},
        PointerRow{"PenStartedTouchOverAPointerWindow", DESKTOP_TOUCH, kHandles, kByPen, true, true,
                   true},
        PointerRow{"PenStartedMouseOverAPointerWindow", kMouse, kHandles, kByPen, true, true, true},
        PointerRow{"PenStartedPenOverADefaultWindow", DESKTOP_PEN, kDefault, kByPen, true, true,
                   true},
        // Frozen by F.
        PointerRow{"FrozenPenOverAPointerWindow", DESKTOP_PEN, kHandles, kByF, true, true, true},
        PointerRow{"FrozenTouchOverAPointerWindow", DESKTOP_TOUCH, kHandles, kByF, true, true,
                   true},
        PointerRow{"FrozenTouchOverADefaultWindow", DESKTOP_TOUCH, kDefault, kByF, true, true,
                   true},
        PointerRow{"FrozenMouseOverAPointerWindow", kMouse, kHandles, kByF, true, true, true},
        PointerRow{"FrozenWarpOverAPointerWindow", kWarp, kHandles, kByF, true, true, true}),
    [](const ::testing::TestParamInfo<PointerRow> &row) { return std::string(row.param.name); });

}  // namespace

// ---- Frozen runs, and the magnifier's own pixels -------------------------------

namespace {

// Where the magnifier opens with the pointer away from it (the picker's
// corner and 100), a point on it, and what the screen showed there before.
constexpr int kOnMagnifierX = 950, kOnMagnifierY = 520;

struct FrozenRow {
  const char *name;
  // After S, the pointer at 100, 100; `before` is filled as the request opens.
  std::function<std::vector<Step>(const Rgb *before)> steps;
  bool picks;         // the run ends with a colour ...
  bool on_magnifier;  // ... the one the screen showed on the magnifier's place before the
                      // run (else the pattern at 1500, 900)
  int fail = 0;       // a DesktopFailPoint armed for its first call after S
};
std::ostream &operator<<(std::ostream &os, const FrozenRow &row) { return os << row.name; }

struct EyedropperFrozen : Eyedropper, ::testing::WithParamInterface<FrozenRow> {};

Check title_is(std::function<bool(const std::string &)> holds, const char *what) {
  return Check([holds, what](Host &h) {
    ASSERT_NE(magnifier(h), nullptr) << what;
    EXPECT_TRUE(holds(magnifier(h)->title())) << what << ": " << magnifier(h)->title();
  });
}
Check frozen_now(bool frozen) {
  return Check([frozen](Host &h) {
    ASSERT_NE(magnifier(h), nullptr);
    EXPECT_EQ(ends_with(magnifier(h)->title(), " frozen"), frozen) << magnifier(h)->title();
    EXPECT_EQ(desktop_own_windows(), frozen ? 1 : 0);
    EXPECT_EQ(desktop_own_windows_with_prop("NonRudeHWND"), frozen ? 1 : 0);
  });
}
Check escape() {
  return Check([](Host &) {
    desktop_key_event(VK_ESCAPE, 1);
    desktop_key_event(VK_ESCAPE, 0);
  });
}

TEST_P(EyedropperFrozen, TheRunReadsThePictureAndEndsOnlyByTheUser) {
  const FrozenRow &row = GetParam();
  desktop_set_screen_read_ms(kCompositedReadMs);
  Rgb before{};
  std::vector<Step> steps = {Check([&before](Host &h) {
                               desktop_set_cursor(100, 100);
                               before =
                                   h.screen_pixel(kOnMagnifierX, kOnMagnifierY).value_or(Rgb{});
                             }),
                             Check([&row](Host &) {
                               if (row.fail) desktop_fail_call(row.fail, 1);
                             }),
                             Action::key_press('S'), Check([](Host &h) {
                               ASSERT_NE(magnifier(h), nullptr);
                               ASSERT_EQ(magnifier(h)->x(), 908);
                             })};
  for (Step &step : row.steps(&before)) steps.push_back(step);
  steps.push_back(Action::wait(100));
  steps.push_back(Check([](Host &h) { EXPECT_EQ(magnifier(h), nullptr) << "the run is over"; }));
  steps.push_back(Action::ok());
  const hvhost::ColorOutcome out = run(steps);
  const Rgb expected = !row.picks         ? Rgb{51, 102, 153}
                       : row.on_magnifier ? before
                                          : pattern(1500, 900);
  EXPECT_EQ(s.control("MiniRGBControl")->value(),
            (std::array<int, 3>{expected.r, expected.g, expected.b}));
  EXPECT_EQ(out.hot.size(), row.picks ? 2u : 1u);
}

std::vector<Step> pick_at(int x, int y) {
  return {Action::desktop_move(x, y), Action::wait(100), Action::desktop_press(),
          Action::desktop_release()};
}
std::vector<Step> joined(std::vector<std::vector<Step>> parts) {
  std::vector<Step> all;
  for (auto &p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EyedropperFrozen,
    ::testing::Values(
        // F freezes on a picture without the magnifier: a frozen tick reads
        // no screen, the loupe beside the pointer shows the cells, and the
        // pick over the open magnifier takes what the screen showed there.
        FrozenRow{"FOverTheMagnifierTakesWhatWasThereBeforeTheRun",
                  [](const Rgb *before) {
                    return joined(
                        {{Action::desktop_move(kOnMagnifierX, kOnMagnifierY),
                          Action::key_press('F'), Action::wait(100), frozen_now(true),
                          title_is(
                              [before](const std::string &title) {
                                return starts_with(title, readout(*before));
                              },
                              "the readout is the picture's"),
                          Check([before](Host &) {
                            desktop_log_clear();
                            // The loupe: its frame, and the centre cell's colour.
                            const int lx = kOnMagnifierX + 24, ly = kOnMagnifierY + 24;
                            EXPECT_EQ(desktop_screen_pixel(lx, ly), 0x202020u);
                            EXPECT_EQ(Rgb::from_packed(desktop_screen_pixel(lx + 45, ly + 45)),
                                      *before);
                            // Away from it, the picture 1:1.
                            EXPECT_EQ(Rgb::from_packed(desktop_screen_pixel(1500, 900)),
                                      pattern(1500, 900));
                          }),
                          Action::wait(300), Check([](Host &) {
                            EXPECT_EQ(desktop_call_count("desktop:screen_read"), 0);
                            EXPECT_EQ(desktop_call_count("GetPixel"), 0);
                          }),
                          Action::desktop_press(), Action::desktop_release(), Check([](Host &) {
                            EXPECT_EQ(desktop_call_count("desktop:screen_read"), 0);
                          })}});
                  },
                  true, true},
        // Live, a pick over the magnifier takes what lay beneath it.
        FrozenRow{"ALivePickOverTheMagnifierTakesWhatWasThere",
                  [](const Rgb *) { return pick_at(kOnMagnifierX, kOnMagnifierY); }, true, true},
        // Without that (its read failed), the pick is refused with a beep
        // and the run goes on; Esc ends it.
        FrozenRow{
            "ALivePickOverTheMagnifierWithNothingReadIsRefused",
            [](const Rgb *) {
              return joined(
                  {pick_at(kOnMagnifierX, kOnMagnifierY),
                   {title_is([](const std::string &title) { return title == "on the magnifier"; },
                             "refused"),
                    Check([](Host &) { EXPECT_EQ(desktop_call_count("MessageBeep"), 1); }),
                    escape()}});
            },
            false, false, DESKTOP_FAIL_BITBLT},
        // F both ways, a new picture each time; F held switches once.
        FrozenRow{"FTwiceGoesLiveAgainAndFreesThePicture",
                  [](const Rgb *) {
                    return joined({{Action::key_press('F'), Action::wait(100), frozen_now(true),
                                    Action::key_press('F'), Action::wait(100), frozen_now(false),
                                    Action::key_press('F'), Action::wait(100), frozen_now(true)},
                                   pick_at(1500, 900)});
                  },
                  true, false},
        FrozenRow{"FHeldSwitchesOnce",
                  [](const Rgb *) {
                    return joined({{Action::key_down('F'), Action::wait(500), Action::key_up('F'),
                                    Action::wait(100), frozen_now(true)},
                                   pick_at(1500, 900)});
                  },
                  true, false},
        FrozenRow{"RapidFPressesSwitchOnceATick",
                  [](const Rgb *) {
                    return joined({{Action::key_press('F'), Action::key_press('F'),
                                    Action::key_press('F'), Action::wait(100), frozen_now(true)},
                                   pick_at(1500, 900)});
                  },
                  true, false},
        // A pen lifted off every monitor takes nothing and leaves nothing.
        FrozenRow{"APenLiftedOffEveryMonitorTakesNothing",
                  [](const Rgb *) {
                    return std::vector<Step>{
                        Action::key_press('F'), Action::wait(100), Check([](Host &) {
                          desktop_pointer_event(DESKTOP_PEN, DESKTOP_POINTER_DOWN, 1500, 900);
                          desktop_pointer_event(DESKTOP_PEN, DESKTOP_POINTER_UP, -50, -50);
                        })};
                  },
                  false, false},
        // A capture that cannot be had: the run stays live and says so.
        FrozenRow{"ACaptureWithoutMemoryStaysLive",
                  [](const Rgb *) {
                    return joined({{Check([](Host &) { desktop_fail_call(DESKTOP_FAIL_DIB, 1); }),
                                    Action::key_press('F'), Action::wait(100), frozen_now(false),
                                    title_is(
                                        [](const std::string &title) {
                                          return ends_with(title, " live, no picture");
                                        },
                                        "says so")},
                                   pick_at(1500, 900)});
                  },
                  true, false},
        FrozenRow{"ACaptureTheSystemRefusesStaysLive",
                  [](const Rgb *) {
                    return joined(
                        {{Check([](Host &) { desktop_fail_call(DESKTOP_FAIL_BITBLT, 1); }),
                          Action::key_press('F'), Action::wait(100), frozen_now(false)},
                         pick_at(1500, 900)});
                  },
                  true, false},
        // Monitors that change under a frozen run end it cancelled: no
        // window over a monitor that is gone.
        FrozenRow{"MonitorsChangedEndAFrozenRunCancelled",
                  [](const Rgb *) {
                    return std::vector<Step>{
                        Action::key_press('F'),
                        Action::wait(100),
                        frozen_now(true),
                        Check([](Host &) {
                          const DesktopMonitor two[] = {{0, 0, 1920, 1080, 100},
                                                        {1920, 0, 1280, 1024, 100}};
                          ASSERT_EQ(desktop_set_monitors(two, 2), 1);
                        }),
                        Action::wait(100),
                        Check([](Host &) { EXPECT_EQ(desktop_own_windows(), 0); })};
                  },
                  false, false},
        // Windows dropped the hook (the thread was busy past its timeout):
        // the press and the release reach the run's own window, which picks.
        FrozenRow{"AHookLostWhileFrozenTheWindowPicks",
                  [](const Rgb *) {
                    return std::vector<Step>{Action::key_press('F'),
                                             Action::wait(100),
                                             frozen_now(true),
                                             Action::desktop_move(1500, 900),
                                             Action::wait(100),
                                             Check([](Host &) { desktop_thread_busy(1500); }),
                                             Action::desktop_press(),
                                             Check([](Host &) { EXPECT_EQ(desktop_hook_count(), 0); }),
                                             Action::desktop_release()};
                  },
                  true, false}),
    [](const ::testing::TestParamInfo<FrozenRow> &row) { return std::string(row.param.name); });

}  // namespace
