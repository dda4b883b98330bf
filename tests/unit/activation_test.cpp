// What a colour request returns to the host when it cannot be served, and
// that a host whose services come late still gets a picker.
#include "plugin/activation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "binding/services.h"
#include "panel/areas.h"
#include "panel/picker_panel.h"
#include "plugin/picker_callbacks.h"
#include "unit/fake_services.h"

namespace {

// The services the fake global hands out; null stands for a missing one.
LWPanelFuncs *g_offered_panels = nullptr;
LWRasterFuncs *g_offered_rasters = nullptr;
int g_lookups = 0;

void *fake_global(const char *name, int) {
  ++g_lookups;
  if (std::strcmp(name, LWPANELFUNCS_GLOBAL) == 0) return g_offered_panels;
  if (std::strcmp(name, LWRASTERFUNCS_GLOBAL) == 0) return g_offered_rasters;
  return nullptr;
}

LWColorPickLocal untouched_request() {
  LWColorPickLocal r{};
  r.result = -7;
  r.title = "Diffuse";
  r.red = 0.25f;
  r.green = 0.5f;
  r.blue = 0.75f;
  return r;
}

void expect_untouched(const LWColorPickLocal &r) {
  EXPECT_EQ(r.result, -7);
  EXPECT_EQ(r.red, 0.25f);
  EXPECT_EQ(r.green, 0.5f);
  EXPECT_EQ(r.blue, 0.75f);
}

// Every test starts from a process that has never served a request.
struct Activation : ::testing::Test {
  fake::Services services;
  Activation() {
    g_global_lookup = nullptr;
    g_panel_funcs = nullptr;
    g_raster_funcs = nullptr;
    g_lookups = 0;
    g_offered_panels = &services.panel_funcs;
    g_offered_rasters = &services.raster_funcs;
  }
  ~Activation() override {
    if (PickerPanel *p = g_picker) {
      std::free(p->gradient->red_ramp);
      std::free(p->gradient->green_ramp);
      std::free(p->gradient->blue_ramp);
      std::free(p->gradient);
      if (p->areas) {
        std::free(p->areas->areas);
        std::free(p->areas->rasters);
        std::free(p->areas);
      }
      std::free(p);
      g_picker = nullptr;
    }
    g_global_lookup = nullptr;
  }
};

TEST_F(Activation, UnservableRequestsSaySoAndLeaveTheRequestAlone) {
  LWColorPickLocal r = untouched_request();
  EXPECT_EQ(picker_activate(5, fake_global, &r, nullptr), AFUNC_BADVERSION);
  expect_untouched(r);
  EXPECT_EQ(picker_activate(LWCOLORPICK_VERSION, fake_global, nullptr, nullptr), AFUNC_BADLOCAL);
  EXPECT_EQ(g_lookups, 0);

  g_offered_rasters = nullptr;
  EXPECT_EQ(picker_activate(LWCOLORPICK_VERSION, fake_global, &r, nullptr), AFUNC_BADGLOBAL);
  expect_untouched(r);
  EXPECT_EQ(services.count("panel.create"), 0);

  // A panel table without its drawing table cannot draw the picker.
  g_offered_rasters = &services.raster_funcs;
  services.panel_funcs.drawFuncs = nullptr;
  EXPECT_EQ(picker_activate(LWCOLORPICK_VERSION, fake_global, &r, nullptr), AFUNC_BADGLOBAL);
  expect_untouched(r);
  services.panel_funcs.drawFuncs = &services.draw_funcs;
  // Failures while the picker is built: tests/integration/failure_sweep_test.cpp.
}

TEST_F(Activation, AFailedLookupIsTriedAgainOnTheNextRequest) {
  g_offered_panels = nullptr;
  LWColorPickLocal r = untouched_request();
  EXPECT_EQ(picker_activate(LWCOLORPICK_VERSION, fake_global, &r, nullptr), AFUNC_BADGLOBAL);
  const int first = g_lookups;
  EXPECT_EQ(first, 9);  // every global, in its order, once

  g_offered_panels = &services.panel_funcs;
  EXPECT_EQ(picker_activate(LWCOLORPICK_VERSION, fake_global, &r, nullptr), AFUNC_OK);
  EXPECT_EQ(g_lookups, 2 * first);
  EXPECT_EQ(services.count("panel.open"), 1);
  // The fake panel's open accepts: a colour nobody changed goes back as it
  // came, not as the ints it loaded as (63, 127, 191) over 255.
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.red, 0.25f);
  EXPECT_EQ(r.green, 0.5f);
  EXPECT_EQ(r.blue, 0.75f);

  // Once the services are had, later requests look nothing up.
  EXPECT_EQ(picker_activate(LWCOLORPICK_VERSION, fake_global, &r, nullptr), AFUNC_OK);
  EXPECT_EQ(g_lookups, 2 * first);
}

TEST_F(Activation, TheKeyDownCallbackStartsNothing) {
  LWColorPickLocal r = untouched_request();
  ASSERT_EQ(picker_activate(LWCOLORPICK_VERSION, fake_global, &r, nullptr), AFUNC_OK);
  // The key-down callback does nothing; keys act on their release.
  EXPECT_EQ(kPickerCallbacks.key_down(g_picker->panel, g_picker, 'S'), 0);
  EXPECT_EQ(services.count("panel.open"), 1);
}

}  // namespace
