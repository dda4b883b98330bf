// Picker panel costs in the headless reference host: a mouse event in the
// field and in the strip, from the host's entry point to the return of the
// hot callback; a full repaint of the field; a whole colour request (open
// and cancel). Each is set, in the same run, against its yardstick:
//
//   x_copy      event time / a plain memcpy of the bytes its blits move
//               (the field's 256 x 256 and the strip's 30 x 256 rasters in
//               the host's 32-bit pixels): the limit for any design that
//               blits both rasters. Target for a field drag: at most 3.
//   x_naive     a naive full repaint (hsv_to_rgb for every pixel, through
//               the same raster calls) / this one. Target: at least 4. Also
//               with both painting into an ideal raster (a bare store per
//               pixel), which leaves the plug-in's own share.
//   per_frame   how many fit in the 4.17 ms frame of a 240 Hz display.
//
// The host's call log and the desktop's Win32 log are off (their counters
// stay), so the figures are the plug-in's work and the host services it
// calls, not the tests' instrumentation.
#include <benchmark/benchmark.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "abi/host_api.h"
#include "bench/yardsticks.h"
#include "binding/services.h"
#include "color/color.h"
#include "desktop.h"
#include "model/host.h"
#include "model/places.h"
#include "panel/areas.h"
#include "panel/field_strip.h"
#include "panel/picker_panel.h"
#include "plugin/activation.h"
#include "session/action_feed.h"
#include "session/simulated_desktop.h"

namespace {

using bench::CopyLimit;
using bench::LoopTimer;
using bench::ns_per_call;

using hvhost::Action;
using hvhost::Host;

constexpr double kFrameNs = 1e9 / 240.0;
constexpr int kFieldSize = 256;
constexpr int kStripWidth = 30;
// Every gradient event blits both rasters; host pixels are 32-bit.
constexpr size_t kEventBlitBytes =
    (size_t{kFieldSize} * kFieldSize + size_t{kStripWidth} * kFieldSize) * sizeof(uint32_t);

// ---- The process-wide host and picker ------------------------------------------

uint64_t g_hot_calls = 0;
void count_hot(void *, float, float, float) { ++g_hot_calls; }

class Session {
 public:
  static Session &get() {
    static Session *session = new Session();
    return *session;
  }

  Host &host() { return *host_; }

  // One colour request whose input comes from `next`; returns its result.
  int request(const hvhost::CallbackDriver::Func &next) {
    hvhost::CallbackDriver driver(next);
    host_->set_input(&driver);
    const int result = activate();
    host_->set_input(nullptr);
    return result;
  }

  // One colour request with whatever input is set.
  int activate() {
    LWColorPickLocal request{};
    request.title = "Colour";
    request.red = 0.25f;
    request.green = 0.5f;
    request.blue = 0.75f;
    request.hotFunc = count_hot;
    request.data = this;
    picker_activate(LWCOLORPICK_VERSION, Host::lookup_function(), &request, nullptr);
    return request.result;
  }

  // Runs body inside the open picker, then cancels it.
  void in_picker(const std::function<void(Host &)> &body) {
    bool done = false;
    request([&](Host &h) -> std::optional<Action> {
      if (!done) {
        done = true;
        body(h);
      }
      return Action::cancel();
    });
  }

 private:
  Session() {
    host_ = std::make_unique<Host>();
    host_->trace().set_recording_all(false);
    desktop_ = std::make_unique<hvhost::SimulatedDesktop>(*host_);
    host_->set_desktop(desktop_.get());
    desktop_set_logging(0);
    in_picker([](Host &) {});  // the first request builds the picker
  }

  std::unique_ptr<Host> host_;
  std::unique_ptr<hvhost::SimulatedDesktop> desktop_;
};

// ---- Yardsticks ------------------------------------------------------------------------

CopyLimit &event_copy() {
  static CopyLimit *limit = new CopyLimit(kEventBlitBytes);
  return *limit;
}

double event_copy_ns() {
  static const double ns = ns_per_call([] { event_copy().copy(); });
  return ns;
}

void set_frame_counter(benchmark::State &state, double ns) {
  state.counters["per_frame"] = ns > 0 ? kFrameNs / ns : 0;
}

// ---- Painters ------------------------------------------------------------------------

LWRasterID field_raster() { return g_picker->areas->rasters[0]; }

// The design the ramp avoids: the field painted with one hsv_to_rgb per
// pixel (hue across, saturation down, full value), through the same raster
// calls as the real painter.
void naive_field_repaint(LWRasterID raster) {
  for (int y = 0; y < kFieldSize; ++y) {
    for (int x = 0; x < kFieldSize; ++x) {
      const ColorTriple hsv = {x, 255 - y, 255};
      ColorTriple rgb = {0, 0, 0};
      hsv_to_rgb(&rgb, &hsv);
      g_raster_funcs->drawRGBPixel(raster, rgb.a, rgb.b, rgb.c, x, y);
    }
  }
}

void full_field_repaint() {
  PickerPanel *p = g_picker;
  p->gradient->field_repaint_all = 1;
  draw_hs_field(p->gradient, field_raster(), &p->current_hsv, &p->field_marker_x,
                &p->field_marker_y);
}

// ---- Benchmarks ----------------------------------------------------------------------

// The limit: memcpy of the 292,864 bytes a gradient event blits.
void BM_CopyLimit_FieldAndStripBytes(benchmark::State &state) {
  CopyLimit &limit = event_copy();
  for (auto _ : state) limit.copy();
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kEventBlitBytes));
}
BENCHMARK(BM_CopyLimit_FieldAndStripBytes)->Unit(benchmark::kMicrosecond);

// A drag in the field: one host mouse move with the left button held, from
// the host's entry point through the router, the field's event, the HSV
// path (partial field repaint, full strip repaint, two blits, swatch) to the
// return of the hot callback.
void BM_FieldDragEvent(benchmark::State &state) {
  Session &s = Session::get();
  const double copy_ns = event_copy_ns();
  double ns = 0;
  uint64_t hot = 0;
  s.in_picker([&](Host &host) {
    const std::optional<hvhost::FoundPlace> field =
        hvhost::find_place(*host.innermost_panel(), hvhost::Place::kField);
    if (!field) return state.SkipWithError("the picker shows no field");
    const int fx = field->rect.x, fy = field->rect.y;
    host.mouse_press(fx + 128, fy + 128);
    const uint64_t hot0 = g_hot_calls;
    int i = 0;
    LoopTimer timer;
    for (auto _ : state) {
      // Consecutive positions always differ, so every move is a change.
      ++i;
      host.mouse_move(fx + (i & 255), fy + ((i * 7) & 255));
    }
    ns = timer.ns_per_iteration(state);
    hot = g_hot_calls - hot0;
    host.mouse_release(fx, fy);
  });
  if (hot != static_cast<uint64_t>(state.iterations()))
    state.SkipWithError("not every move reached the hot callback");
  state.counters["x_copy"] = ns / copy_ns;
  set_frame_counter(state, ns);
}
BENCHMARK(BM_FieldDragEvent)->Unit(benchmark::kMicrosecond);

// A drag in the value strip: the same path; the field gets its 16 x 16
// partial repaint and the strip only its marker column.
void BM_StripDragEvent(benchmark::State &state) {
  Session &s = Session::get();
  const double copy_ns = event_copy_ns();
  double ns = 0;
  uint64_t hot = 0;
  s.in_picker([&](Host &host) {
    const std::optional<hvhost::FoundPlace> strip =
        hvhost::find_place(*host.innermost_panel(), hvhost::Place::kStrip);
    if (!strip) return state.SkipWithError("the picker shows no strip");
    const int sx = strip->rect.x, sy = strip->rect.y;
    host.mouse_press(sx + 10, sy + 128);
    const uint64_t hot0 = g_hot_calls;
    int i = 0;
    LoopTimer timer;
    for (auto _ : state) {
      ++i;
      host.mouse_move(sx + 10, sy + (i & 255));
    }
    ns = timer.ns_per_iteration(state);
    hot = g_hot_calls - hot0;
    host.mouse_release(sx, sy);
  });
  if (hot != static_cast<uint64_t>(state.iterations()))
    state.SkipWithError("not every move reached the hot callback");
  state.counters["x_copy"] = ns / copy_ns;
  set_frame_counter(state, ns);
}
BENCHMARK(BM_StripDragEvent)->Unit(benchmark::kMicrosecond);

// The field painted in full into its raster: 65,536 raster RGB pixel calls
// with colours from the hue ramp, and the crosshair.
void BM_FieldFullRepaint(benchmark::State &state) {
  Session::get();
  static const double naive_ns = ns_per_call([] { naive_field_repaint(field_raster()); });
  LoopTimer timer;
  for (auto _ : state) full_field_repaint();
  const double ns = timer.ns_per_iteration(state);
  state.counters["x_naive"] = ns > 0 ? naive_ns / ns : 0;
  set_frame_counter(state, ns);
  state.SetItemsProcessed(state.iterations() * kFieldSize * kFieldSize);
}
BENCHMARK(BM_FieldFullRepaint)->Unit(benchmark::kMicrosecond);

// The design avoided: hsv_to_rgb per pixel, through the same raster calls.
void BM_FieldNaiveRepaint(benchmark::State &state) {
  Session::get();
  LoopTimer timer;
  for (auto _ : state) naive_field_repaint(field_raster());
  set_frame_counter(state, timer.ns_per_iteration(state));
  state.SetItemsProcessed(state.iterations() * kFieldSize * kFieldSize);
}
BENCHMARK(BM_FieldNaiveRepaint)->Unit(benchmark::kMicrosecond);

// The same two repaints into an ideal raster: a table whose pixel calls
// only store the clamped, packed pixel into a 256 x 256 array. What is left
// is the painters' own work and one indirect call per pixel, the least any
// host can cost; it tells the plug-in's share of the repaint from the
// host's.
uint32_t g_ideal_pixels[kFieldSize * kFieldSize];

int clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

void ideal_rgb_pixel(LWRasterID, int r, int g, int b, int x, int y) {
  if (static_cast<unsigned>(x) < kFieldSize && static_cast<unsigned>(y) < kFieldSize)
    g_ideal_pixels[y * kFieldSize + x] =
        static_cast<uint32_t>((clamp255(r) << 16) | (clamp255(g) << 8) | clamp255(b));
}

void ideal_pixel(LWRasterID, int code, int x, int y) {
  if (static_cast<unsigned>(x) < kFieldSize && static_cast<unsigned>(y) < kFieldSize)
    g_ideal_pixels[y * kFieldSize + x] = static_cast<uint32_t>(code);
}

// Swaps the plug-in's raster services for the ideal ones while it lives.
class IdealRaster {
 public:
  IdealRaster() : saved_(g_raster_funcs), table_(*g_raster_funcs) {
    table_.drawRGBPixel = ideal_rgb_pixel;
    table_.drawPixel = ideal_pixel;
    g_raster_funcs = &table_;
  }
  ~IdealRaster() { g_raster_funcs = saved_; }
  IdealRaster(const IdealRaster &) = delete;
  IdealRaster &operator=(const IdealRaster &) = delete;

 private:
  LWRasterFuncs *saved_;
  LWRasterFuncs table_;
};

void BM_FieldFullRepaint_IdealRaster(benchmark::State &state) {
  Session::get();
  IdealRaster ideal;
  static const double naive_ns = ns_per_call([] { naive_field_repaint(field_raster()); });
  LoopTimer timer;
  for (auto _ : state) full_field_repaint();
  const double ns = timer.ns_per_iteration(state);
  state.counters["x_naive"] = ns > 0 ? naive_ns / ns : 0;
  set_frame_counter(state, ns);
  state.SetItemsProcessed(state.iterations() * kFieldSize * kFieldSize);
}
BENCHMARK(BM_FieldFullRepaint_IdealRaster)->Unit(benchmark::kMicrosecond);

void BM_FieldNaiveRepaint_IdealRaster(benchmark::State &state) {
  Session::get();
  IdealRaster ideal;
  LoopTimer timer;
  for (auto _ : state) naive_field_repaint(field_raster());
  set_frame_counter(state, timer.ns_per_iteration(state));
  state.SetItemsProcessed(state.iterations() * kFieldSize * kFieldSize);
}
BENCHMARK(BM_FieldNaiveRepaint_IdealRaster)->Unit(benchmark::kMicrosecond);

// A whole colour request: activation (colour loaded, editors set, both
// gradients repainted in full, blits, swatch, hot callback), the host's
// modal open with its first full redraw, Cancel at once, position read
// back.
void BM_ActivationOpenCancel(benchmark::State &state) {
  Session &s = Session::get();
  hvhost::CallbackDriver cancel([](Host &) -> std::optional<Action> { return Action::cancel(); });
  s.host().set_input(&cancel);
  LoopTimer timer;
  for (auto _ : state) benchmark::DoNotOptimize(s.activate());
  set_frame_counter(state, timer.ns_per_iteration(state));
  s.host().set_input(nullptr);
}
BENCHMARK(BM_ActivationOpenCancel)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
