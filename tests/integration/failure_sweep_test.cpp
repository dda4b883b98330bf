// The failure sweep: for every scenario and every kind of failure the host,
// the simulated desktop and the plug-in's allocator can inject, the 1st,
// 2nd, 3rd ... call of that kind fails, until a run of the scenario makes
// fewer calls than n and so no failure fires. Nothing here knows the order
// of the calls. After each failing run:
//   - every request got a defined answer: served (result 0 or 1, a cancel
//     leaving the colour as it was), or a nonzero status with the request
//     untouched;
//   - the host's and the desktop's live panels, controls, rasters, hooks,
//     timers and DCs are what a run without failures keeps (the picker's)
//     or, when the picker could not be built, none at all;
//   - the host noticed no misuse;
//   - the next request, with no failure armed, works fully: the same
//     answer, hot callbacks and picker image as in a run that never failed.
// Crashes and leaks show as the sanitizers' reports of this test.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "desktop.h"
#include "support/plugin_session.h"

namespace {

using hvhost::Action;
using hvhost::FailPoint;
using hvhost::MouseButton;
using hvhost::Place;
using hvtest::color;
using hvtest::PluginSession;

// What a request's result field holds before the call: an unserved request
// must leave it so.
constexpr int kUntouched = -7;

struct Scenario {
  const char *name;
  std::vector<std::vector<Action>> requests;  // one list of actions per request
  int screen_width = 0;  // a primary monitor of this width x 3/4 (0: the host's display),
                         // so that a frozen run's picture is small
};

void set_up_screen(const Scenario &scenario) {
  if (scenario.screen_width) desktop_set_size(scenario.screen_width, scenario.screen_width * 3 / 4);
}

std::vector<Scenario> scenarios() {
  const std::vector<Action> drags = {Action::drag(Place::kField, 20, 30, 200, 100),
                                     Action::drag(Place::kStrip, 5, 40, 5, 150), Action::ok()};
  const std::vector<Action> edit = {Action::rgb(12, 34, 56), Action::ok()};
  Action ctrl_c = Action::key_press('c'), ctrl_v = Action::key_press('v');
  ctrl_c.qualifiers = ctrl_v.qualifiers = IQ_CTRL;
  return {
      {"open and cancel", {{Action::cancel()}}},
      {"field and strip drags", {drags}},
      {"RGB edit", {edit}},
      {"sampling run that picks",
       {{Action::key_press('S'), Action::desktop_move(300, 200), Action::wait(250),
         Action::desktop_press(), Action::desktop_release(), Action::ok()}}},
      {"sampling run cancelled",
       {{Action::click_eyedropper(), Action::desktop_move(40, 900), Action::wait(150),
         Action::desktop_press(MouseButton::kRight), Action::desktop_release(MouseButton::kRight),
         Action::cancel()}}},
      {"two requests in a row", {drags, edit}},
      {"sampling run frozen, live and frozen again, that picks",
       {{Action::key_press('S'), Action::key_press('F'), Action::wait(150), Action::key_press('F'),
         Action::wait(100), Action::key_press('F'), Action::desktop_move(300, 200),
         Action::wait(150), Action::desktop_press(), Action::desktop_release(), Action::ok()}},
       480},
      {"copy, then paste back",
       {{Action::rgb(12, 34, 56), ctrl_c, Action::rgb(1, 1, 1), ctrl_v, Action::ok()}}},
  };
}

struct FailureKind {
  const char *name;
  std::function<void(PluginSession &, int)> arm;  // n > 0 arms, 0 disarms
  std::function<bool(PluginSession &)> pending;   // the armed call has not come
};

FailureKind host_kind(const char *name, FailPoint point) {
  return {name, [point](PluginSession &s, int n) { s.trace().fail_nth(point, n); },
          [point](PluginSession &s) { return s.trace().failure_pending(point); }};
}

FailureKind desktop_kind(const char *name, DesktopFailPoint point) {
  return {name, [point](PluginSession &, int n) { desktop_fail_call(point, n); },
          [point](PluginSession &) { return desktop_fail_pending(point) != 0; }};
}

std::vector<FailureKind> failure_kinds() {
  return {
      host_kind("lookup", FailPoint::kLookup),
      host_kind("panel create", FailPoint::kPanelCreate),
      host_kind("control add", FailPoint::kControlAdd),
      host_kind("raster create", FailPoint::kRasterCreate),
      desktop_kind("SetWindowsHookExA", DESKTOP_FAIL_SET_HOOK),
      desktop_kind("SetTimer", DESKTOP_FAIL_SET_TIMER),
      desktop_kind("GetWindowDC", DESKTOP_FAIL_WINDOW_DC),
      desktop_kind("CreateCompatibleDC", DESKTOP_FAIL_MEMORY_DC),
      desktop_kind("CreateDIBSection", DESKTOP_FAIL_DIB),
      desktop_kind("SelectObject", DESKTOP_FAIL_SELECT),
      desktop_kind("BitBlt", DESKTOP_FAIL_BITBLT),
      desktop_kind("OpenClipboard", DESKTOP_FAIL_OPEN_CLIPBOARD),
      desktop_kind("GlobalAlloc", DESKTOP_FAIL_GLOBAL_ALLOC),
      desktop_kind("SetClipboardData", DESKTOP_FAIL_SET_CLIPBOARD),
      desktop_kind("RegisterClassA", DESKTOP_FAIL_REGISTER_CLASS),
      desktop_kind("CreateWindowExA", DESKTOP_FAIL_CREATE_WINDOW),
      desktop_kind("SetPropA", DESKTOP_FAIL_SET_PROP),
      desktop_kind("BeginPaint", DESKTOP_FAIL_BEGIN_PAINT),
      {"allocation", [](PluginSession &s, int n) { ASSERT_TRUE(s.fail_allocation(n)); },
       [](PluginSession &s) { return s.allocation_failure_pending(); }},
  };
}

// What is alive, by the host's and the desktop's own counts.
struct Live {
  size_t panels, controls, rasters;
  int hooks, timers, dcs;
  bool operator==(const Live &o) const {
    return panels == o.panels && controls == o.controls && rasters == o.rasters &&
           hooks == o.hooks && timers == o.timers && dcs == o.dcs;
  }
};

Live live(PluginSession &s) {
  return {s.host().panels().size(),
          s.host().control_count(),
          s.host().raster_count(),
          desktop_hook_count(),
          desktop_timer_count(),
          desktop_outstanding_dcs() + desktop_gdi_objects() + desktop_outstanding_globals() +
              desktop_clipboard_open() + desktop_global_misuse() + desktop_own_windows() +
              desktop_own_classes()};
}

std::string describe(const Live &l) {
  char buf[128];
  std::snprintf(buf, sizeof buf,
                "%zu panels, %zu controls, %zu rasters, %d hooks, %d timers, %d DCs", l.panels,
                l.controls, l.rasters, l.hooks, l.timers, l.dcs);
  return buf;
}

void PrintTo(const Live &l, std::ostream *out) { *out << describe(l); }

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

hvhost::AskedColor asked_for(size_t request) {
  hvhost::AskedColor asked = color(0.25f + 0.125f * static_cast<float>(request), 0.5f, 0.75f);
  asked.result = kUntouched;
  return asked;
}

// The request that follows every scenario with no failure armed: both
// drags and OK, which needs the field, the strip, the editors and the swatch.
hvhost::ColorOutcome follow_up(PluginSession &s) {
  hvhost::AskedColor asked = color(0.9f, 0.1f, 0.3f);
  asked.result = kUntouched;
  return s.request(
      {Action::drag(Place::kField, 100, 60, 30, 220), Action::drag(Place::kStrip, 8, 200, 8, 70),
       Action::rgb(200, 100, 50), Action::hsv(10, 20, 30), Action::ok()},
      asked);
}

// What a run without failures gives: the keep after the scenario and the
// follow-up's answer and picker image.
struct Reference {
  Live keep;
  hvhost::ColorOutcome follow_up;
  std::vector<uint32_t> image;
};

Reference reference(const Scenario &scenario) {
  PluginSession s;
  set_up_screen(scenario);
  for (size_t i = 0; i < scenario.requests.size(); ++i)
    EXPECT_EQ(s.request(scenario.requests[i], asked_for(i)).status, AFUNC_OK);
  Reference r{live(s), follow_up(s), s.picker_framebuffer().pixels()};
  EXPECT_EQ(r.keep, (Live{1, 4, 2, 0, 0, 0})) << describe(r.keep);
  EXPECT_EQ(r.follow_up.result, 1);
  EXPECT_TRUE(s.trace().problems().empty());
  return r;
}

// Checks one request's answer: served, or refused with it untouched.
void expect_defined_answer(const hvhost::AskedColor &asked, const hvhost::ColorOutcome &out) {
  if (out.status == AFUNC_OK) {
    EXPECT_TRUE(out.result == 0 || out.result == 1) << out.result;
    if (out.result == 0) {
      EXPECT_TRUE(same_bits(out.red, asked.red) && same_bits(out.green, asked.green) &&
                  same_bits(out.blue, asked.blue));
    }
    return;
  }
  EXPECT_EQ(out.status, AFUNC_BADGLOBAL);
  EXPECT_EQ(out.result, kUntouched);
  EXPECT_TRUE(same_bits(out.red, asked.red) && same_bits(out.green, asked.green) &&
              same_bits(out.blue, asked.blue));
  EXPECT_TRUE(out.hot.empty());
}

// Runs the scenario with the nth call of `kind` failing. Returns whether the
// failure fired; the checks above are made either way.
bool run_with_failure(const Scenario &scenario, const FailureKind &kind, int n,
                      const Reference &ref) {
  PluginSession s;
  set_up_screen(scenario);
  kind.arm(s, n);
  for (size_t i = 0; i < scenario.requests.size(); ++i) {
    const hvhost::AskedColor asked = asked_for(i);
    expect_defined_answer(asked, s.request(scenario.requests[i], asked));
    EXPECT_FALSE(s.host().aborted()) << s.host().error();
  }
  const bool fired = !kind.pending(s);
  kind.arm(s, 0);

  const Live after = live(s);
  const Live none{0, 0, 0, 0, 0, 0};
  EXPECT_TRUE(after == ref.keep || after == none) << describe(after);
  EXPECT_EQ(s.trace().problems(), std::vector<std::string>{});

  const hvhost::ColorOutcome next = follow_up(s);
  EXPECT_EQ(next.status, AFUNC_OK);
  EXPECT_EQ(next.result, ref.follow_up.result);
  EXPECT_TRUE(same_bits(next.red, ref.follow_up.red) &&
              same_bits(next.green, ref.follow_up.green) &&
              same_bits(next.blue, ref.follow_up.blue));
  EXPECT_EQ(next.hot.size(), ref.follow_up.hot.size());
  EXPECT_TRUE(s.picker_framebuffer().pixels() == ref.image)
      << "the picker draws differently afterwards";
  EXPECT_EQ(live(s), ref.keep) << describe(live(s));
  EXPECT_EQ(s.trace().problems(), std::vector<std::string>{});
  return fired;
}

TEST(FailureSweep, EveryFailureOfEveryKindInEveryScenario) {
  const std::vector<FailureKind> kinds = failure_kinds();
  std::vector<int> fired_by_kind(kinds.size(), 0);
  int fired_total = 0;
  for (const Scenario &scenario : scenarios()) {
    const Reference ref = reference(scenario);
    for (size_t k = 0; k < kinds.size(); ++k) {
      for (int n = 1;; ++n) {
        SCOPED_TRACE(std::string(scenario.name) + ", " + kinds[k].name + " " + std::to_string(n));
        if (!run_with_failure(scenario, kinds[k], n, ref)) break;
        ++fired_by_kind[k];
        ++fired_total;
        if (HasFailure() || n >= 1000) break;  // one report per kind is enough
      }
    }
  }
  std::string by_kind;
  for (size_t k = 0; k < kinds.size(); ++k)
    by_kind += std::string(k ? ", " : "") + kinds[k].name + " " + std::to_string(fired_by_kind[k]);
  std::printf("failure sweep: %d injected failures (%s)\n", fired_total, by_kind.c_str());
  // Every kind is reached by some scenario: a kind that no longer fires
  // means the sweep lost sight of it.
  for (size_t k = 0; k < kinds.size(); ++k) EXPECT_GT(fired_by_kind[k], 0) << kinds[k].name;
}

}  // namespace
