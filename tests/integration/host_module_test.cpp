// Loading plug-in modules, and colour requests run against the host's own
// fake picker module.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "session/module.h"
#include "support/plugin_session.h"

namespace {

using hvhost::Action;
using hvhost::Module;
using hvhost::ModuleError;
using hvtest::PluginSession;
using hvtest::test_module_path;

std::string load_error(const std::string &path, const char *server = "Fake") {
  try {
    auto m = Module::load(path, {true, false});
    m->require_server(LWCOLORPICK_HCLASS, server);
  } catch (const ModuleError &e) {
    return e.what();
  }
  return "loaded";
}

TEST(ModuleLoading, ErrorsSayWhatIsWrongWithTheFile) {
  const std::string missing = ::testing::TempDir() + "/no-such-module.so";
  EXPECT_EQ(load_error(missing), "module not found: " + missing);
  EXPECT_EQ(load_error(::testing::TempDir()), "not a module file: " + ::testing::TempDir());

  const std::string text = ::testing::TempDir() + "/host_module_test_text.so";
  std::ofstream(text) << "not a library\n";
  EXPECT_EQ(load_error(text).rfind("cannot load module " + text + ": ", 0), 0u);
  std::remove(text.c_str());

  const std::string no_descriptor = test_module_path("fake_no_descriptor");
  EXPECT_EQ(load_error(no_descriptor),
            no_descriptor + " is not a plug-in module: it exports no _mod_descrip");
  const std::string bad_sync = test_module_path("fake_bad_sync");
  EXPECT_EQ(load_error(bad_sync),
            bad_sync + ": wrong sync word 0x12345678 in _mod_descrip (expected 0x04121994)");
  const std::string no_picker = test_module_path("fake_no_picker");
  EXPECT_EQ(load_error(no_picker),
            no_picker + " has no ColorPicker server named 'Fake' (it serves: ImageFilter 'Fake')");
  const std::string picker = test_module_path("fake_picker");
  EXPECT_EQ(load_error(picker, "Huevane"),
            picker +
                " has no ColorPicker server named 'Huevane' (it serves: ColorPicker 'Fake', "
                "ColorPicker 'FakeSegfault', ColorPicker 'FakeAbort', ColorPicker 'FakeThrow', "
                "ColorPicker 'FakeHang', ColorPicker 'FakeDoubleDestroy', ColorPicker "
                "'FakeHotAfterClose', ColorPicker 'FakeHotLate', ColorPicker "
                "'FakeHotInShutdown', ColorPicker 'FakeKeptRequest', ColorPicker "
                "'FakeAnyVersion', ColorPicker 'FakeNoSize', ColorPicker 'FakeOutside', "
                "ColorPicker 'FakeReturns1', ColorPicker 'FakeReturns2', ColorPicker "
                "'FakeReturns42', ColorPicker 'FakeReturnsMinus1', ColorPicker 'FakeLeak')");
  EXPECT_EQ(load_error(picker), "loaded");
}

TEST(ModuleLoading, PrivateCopiesHaveTheirOwnState) {
  PluginSession a(test_module_path("fake_picker"), "Fake");
  PluginSession b(test_module_path("fake_picker"), "Fake");
  using LogFunc = const char *(*)();
  auto log_a = reinterpret_cast<LogFunc>(a.module().symbol("fake_module_log"));
  auto log_b = reinterpret_cast<LogFunc>(b.module().symbol("fake_module_log"));
  ASSERT_TRUE(log_a && log_b);
  EXPECT_NE(log_a, log_b);
  a.request({Action::ok()});
  EXPECT_NE(std::string(log_a()), "");
  EXPECT_EQ(std::string(log_b()), "");
  EXPECT_EQ(a.module().symbol("no_such_symbol"), nullptr);
}

class FakePicker : public ::testing::Test {
 protected:
  std::string log() {
    using LogFunc = const char *(*)();
    return reinterpret_cast<LogFunc>(session_.module().symbol("fake_module_log"))();
  }
  PluginSession session_{test_module_path("fake_picker"), "Fake"};
};

TEST_F(FakePicker, AcceptedRequestReportsHotColoursAndWritesTheResult) {
  const hvhost::ColorOutcome out = session_.request_script(
      "press 51 102\n"
      "release 51 102\n"
      "rgb 255 0 300\n"
      "ok\n",
      hvtest::color(1.0f, 0.5f, 0.0f));
  EXPECT_EQ(out.status, 0);
  EXPECT_EQ(out.result, 1);
  ASSERT_EQ(out.hot.size(), 3u);
  EXPECT_FLOAT_EQ(out.hot[0].red, 1.0f);
  EXPECT_FLOAT_EQ(out.hot[1].green, 102 / 255.0f);
  // The editor's fields hold 0..255: the user's 300 arrives as 255.
  EXPECT_FLOAT_EQ(out.hot[2].blue, 1.0f);
  EXPECT_FLOAT_EQ(out.red, 1.0f);
  EXPECT_FLOAT_EQ(out.blue, 1.0f);
  EXPECT_EQ(log(),
            "opened\ndraw 1\nbutton 160 51 102\nbutton 32 51 102\n"
            "rgb event 255 0 255\nrgb user data ok\nresult 1\n");
}

TEST_F(FakePicker, CancelKeepsTheColourAndTheTitleArrivesAsGiven) {
  hvhost::AskedColor asked = hvtest::color(0.25f, 0.5f, 0.75f);
  asked.title = "Light Color";
  const hvhost::ColorOutcome out =
      session_.request({Action::rgb(1, 2, 3), Action::cancel()}, asked);
  EXPECT_EQ(out.result, 0);
  EXPECT_FLOAT_EQ(out.red, 0.25f);
  EXPECT_EQ(session_.trace().entries(hvhost::Op::kPanelCreate).at(0).text, "Light Color");
  asked.title.reset();
  session_.request({Action::ok()}, asked);
  EXPECT_EQ(session_.trace().entries(hvhost::Op::kPanelCreate).at(1).text, "(null)");
}

TEST_F(FakePicker, KeyReleaseAndButtonOpenANestedPanelThatTakesTheInput) {
  // The nested panel has no buttons, so no `ok` or `cancel` reaches it; the
  // host's own entry points close it, as a window's close box would.
  enum Close { kCancelNested, kAcceptNested };
  const std::vector<std::variant<Action, Close>> steps = {
      Action::key_press('s'),     Action::press(5, 5),  // goes to the nested panel
      Action::snapshot("nested"), kCancelNested,       Action::click_eyedropper(), kAcceptNested,
      Action::snapshot("outer"),  Action::ok()};
  size_t next = 0;
  hvhost::CallbackDriver driver([&](hvhost::Host &h) -> std::optional<Action> {
    if (next == steps.size()) return std::nullopt;
    const auto &step = steps[next++];
    if (const Action *a = std::get_if<Action>(&step)) return *a;
    std::get<Close>(step) == kAcceptNested ? h.accept() : h.cancel();
    return Action::wait(0);  // the modal loop sees the close after an action
  });
  const hvhost::ColorOutcome out = session_.request(driver);
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(log(),
            "opened\ndraw 1\nkey down 115\nkey up 115\nnested open\nopened\nnested result 0\n"
            "button event\nnested open\nopened\nnested result 1\nresult 1\n");
  // After each nested panel the module raised its panel (tag 23).
  const std::vector<std::string> lines = session_.trace().lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "panel.set 23"), 2);
  // The nested panel (no buttons) and the outer one (OK / Cancel row).
  ASSERT_EQ(session_.snapshots().size(), 2u);
  EXPECT_EQ(session_.snapshots().at("nested").width(), 52);
  EXPECT_EQ(session_.snapshots().at("nested").height(), 50 + 22);
  EXPECT_EQ(session_.snapshots().at("outer").height(), 80 + 22 + 34);
  EXPECT_EQ(session_.host().panels().size(), 0u);  // both destroyed by the module
}

TEST_F(FakePicker, OkOrCancelOnAPanelWithoutButtonsIsAnErrorNamingTheLine) {
  for (const char *verb : {"ok", "cancel"}) {
    const hvhost::ColorOutcome out =
        session_.request_script(std::string("key s\n") + verb + "\nok\n");
    EXPECT_EQ(out.result, 0);
    EXPECT_TRUE(session_.host().aborted());
    EXPECT_EQ(session_.host().error(), std::string("line 2: the open panel has no ") +
                                           (verb[0] == 'o' ? "OK" : "Cancel") + " button (" + verb +
                                           ")");
  }
}

TEST(FakePickerMisuse, AHotCallbackOutsideItsRequestIsAProblemAndGoesNowhere) {
  // The module calls the first request's hot callback during the second.
  PluginSession late(test_module_path("fake_picker"), "FakeHotLate");
  late.request({Action::ok()});
  EXPECT_TRUE(late.trace().problems().empty());
  const hvhost::ColorOutcome second = late.request({Action::ok()});
  ASSERT_EQ(second.hot.size(), 1u);  // its own, of the colour asked
  EXPECT_FLOAT_EQ(second.hot[0].red, 0.0f);
  EXPECT_EQ(
      late.trace().problems(),
      std::vector<std::string>{"hot callback outside an open request (0.5 0.5 0.5): ignored"});
}

TEST_F(FakePicker, FailureInjectionReachesThePlugIn) {
  session_.trace().fail_nth(hvhost::FailPoint::kLookup, 1);
  hvhost::ColorOutcome out = session_.request({Action::ok()});
  EXPECT_EQ(out.status, AFUNC_BADGLOBAL);
  EXPECT_EQ(out.result, 0);
  session_.trace().fail_nth(hvhost::FailPoint::kPanelCreate, 1);
  out = session_.request({Action::ok()});
  EXPECT_EQ(out.status, AFUNC_BADGLOBAL);
  EXPECT_EQ(out.result, 0);
  session_.trace().fail_nth(hvhost::FailPoint::kControlAdd, 1);
  out = session_.request({Action::rgb(1, 2, 3)});  // the RGB editor is missing
  EXPECT_TRUE(session_.host().aborted());
  EXPECT_EQ(session_.host().error(), "no RGB editor on the open panel (rgb 1 2 3)");
  EXPECT_EQ(log().substr(0, 28), "no panel services\nno panel\no");
  EXPECT_FALSE(session_.fail_allocation(1));  // the fake exports no allocation hook
}

}  // namespace
