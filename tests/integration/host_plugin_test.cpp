// The reference host with the real plug-in: the layout its geometry gives,
// the demo script, and the test hooks the fixture relies on.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
