// The reference host with the real plug-in: the layout its geometry gives,
// the demo script, and the test hooks the fixture relies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/script.h"
#include "model/chrome.h"
#include "support/plugin_session.h"

namespace {

using hvhost::Action;
using hvhost::Control;
using hvtest::PluginSession;

TEST(HostWithPlugin, ControlsLandTidilyOnThePickerPanel) {
  PluginSession s;
  s.request({Action::ok()});
  hvhost::Panel *panel = s.picker_panel();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->width(), 304);
  EXPECT_EQ(panel->height(), 340);
  const Control *swatch = s.control("CanvasControl");
  const Control *button = s.control("ButtonControl");
  const Control *hsv = s.control("MiniHSVControl");
  const Control *rgb = s.control("MiniRGBControl");
  ASSERT_TRUE(swatch && button && hsv && rgb);
  EXPECT_EQ(swatch->x(), 216);
  EXPECT_EQ(swatch->y(), 268);
  EXPECT_EQ(button->x(), 272);
  EXPECT_EQ(button->y(), 288);
  EXPECT_EQ(hsv->x(), 4);
  EXPECT_EQ(hsv->y(), 268);
  EXPECT_EQ(rgb->x(), 4);
  EXPECT_EQ(rgb->y(), 298);
  EXPECT_LE(hsv->x() + hsv->width(), swatch->x());
  EXPECT_LE(hsv->y() + hsv->height(), rgb->y());
  for (const Control *c : {swatch, button, hsv, rgb})
    EXPECT_TRUE(c->x() >= 0 && c->y() >= 0 && c->x() + c->width() <= 304 &&
                c->y() + c->height() <= 340)
        << c->type_name();
  // The plug-in used the interface as the host understands it.
  EXPECT_EQ(s.trace().problems(), std::vector<std::string>{});
}

TEST(HostWithPlugin, DemoScriptTakesAPictureOfThePicker) {
  PluginSession s;
  const std::vector<Action> demo = hvhost::load_script(hvtest::source_dir() + "/examples/demo.txt");
  const hvhost::ColorOutcome out = s.request(demo);
  EXPECT_FALSE(s.host().aborted()) << s.host().error();
  EXPECT_EQ(out.result, 1);
  ASSERT_EQ(s.snapshots().count("picker"), 1u);
  const hvhost::Framebuffer &image = s.snapshots().at("picker");
  const hvhost::WindowLayout layout = hvhost::window_layout(*s.picker_panel());
  // Taken while the panel was open: title strip, 304 x 340, OK / Cancel row.
  EXPECT_EQ(image.width(), 306);
  EXPECT_EQ(image.height(), 1 + hvhost::kTitleStripHeight + 340 + hvhost::kButtonRowHeight + 1);
  EXPECT_EQ(layout.client.w, 304);
  EXPECT_EQ(s.trace().problems(), std::vector<std::string>{});
}

// Whether an activation served its request (a panel opened or the result
// written), and a served request answered with other than AFUNC_OK is a
// problem; a refusal is not, whatever it answers.
struct Answer {
  const char *module;  // a test module, or null for Huevane
  const char *server;
  int version;  // the class version offered; 0: 6, 5, 4 in turn
  bool ok;      // the user's OK, else Cancel
  bool served;
  int status;
  size_t problems;
};

void PrintTo(const Answer &a, std::ostream *os) { *os << a.server << " " << a.version; }

class HostActivationAnswers : public ::testing::TestWithParam<Answer> {};

TEST_P(HostActivationAnswers, AServedRequestAnswersAfuncOk) {
  const Answer &a = GetParam();
  PluginSession s(a.module ? hvtest::test_module_path(a.module) : hvtest::plugin_module_path(),
                  a.server);
  hvhost::AskedColor asked;
  asked.version = a.version;
  const hvhost::ColorOutcome out = s.request({a.ok ? Action::ok() : Action::cancel()}, asked);
  EXPECT_EQ(out.served, a.served);
  EXPECT_EQ(out.status, a.status);
  ASSERT_EQ(s.trace().problems().size(), a.problems)
      << testing::PrintToString(s.trace().problems());
  if (a.problems > 0) {
    EXPECT_NE(s.trace().problems()[0].find("activation returned " + std::to_string(a.status)),
              std::string::npos)
        << s.trace().problems()[0];
  }
}

INSTANTIATE_TEST_SUITE_P(
    HostWithPlugin, HostActivationAnswers,
    ::testing::Values(Answer{nullptr, "Huevane", 0, true, true, AFUNC_OK, 0},
                      // Cancelled: the result stays 0, the panel opened.
                      Answer{"fake_picker", "Fake", 0, false, true, AFUNC_OK, 0},
                      Answer{"fake_picker", "FakeReturns42", 0, false, true, 42, 1},
                      Answer{"fake_picker", "FakeReturnsMinus1", 0, true, true, -1, 1},
                      Answer{"fake_picker", "FakeReturns1", 0, true, true, AFUNC_BADVERSION, 1},
                      // Refusals: nothing served, no problem.
                      Answer{"fake_picker", "FakeReturns1", 6, true, false, AFUNC_BADVERSION, 0},
                      Answer{nullptr, "Huevane", 5, true, false, AFUNC_BADVERSION, 0}));

}  // namespace
