// Eyedropper costs during a sampling run in the headless reference host on
// the simulated desktop: a magnifier tick (one block read and the redraw
// it asks for), a magnifier draw (227 boxes and one blit), and the
// low-level mouse hook's callback for a mouse move. Each is set, in the same
// run, against its yardstick:
//
//   per_100ms   how many fit in the 100 ms tick period
//   x_copy      time / a plain memcpy of the magnifier's 90 x 90 raster in
//               the host's 32-bit pixels (32,400 bytes)
//   per_1s      how many fit in the second after which Windows removes a
//               low-level hook that has not returned
//
// GetPixel here reads the simulated desktop: the wallpaper with the open
// panels composed over it (the host recomposes a panel's window when its
// pixels or title changed). On Windows GetPixel on the desktop DC is a system
// call and costs more; these figures are the plug-in's own work plus the
// reference host's. The host's call log and the desktop's Win32 log are off.
//
// BM_FrozenStart is what F costs the host's thread at a tick with three
// 3840 x 2160 monitors at 20 ms a screen read: the capture (one transfer a
// monitor) and the windows, set against the tick (start_in_ticks) and per
// monitor. BM_FrozenTick sets a frozen tick beside a live one (screen reads
// a tick, and the CPU time: the plug-in's and the simulated desktop's). BM_FrozenRunsMemory runs
// 100 frozen runs and reports the process's peak resident size after the first 10 and after all.
//
// BM_BusyTick and BM_BusyHookMove set the tick and the hook of before
// (225 GetPixel reads a tick; a GetPixel and a title set a move) beside
// today's (one block a tick; a move only recorded) under the simulated
// desktop's cost model of a composited desktop, 0, 1 and 20 ms a screen
// read: busy_ms is the time the thread is kept busy per call (the reads'
// virtual time; the CPU time is the benchmark's own figure). BM_RunStart
// sets the picker opened and cancelled with a sampling run beside the same
// without one: the difference is the run's start and end.
#include <benchmark/benchmark.h>
#include <stdint.h>
#include <string.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "abi/host_api.h"
#include "bench/yardsticks.h"
#include "desktop.h"
#include "eyedropper/eyedropper.h"
#include "eyedropper/magnifier.h"
#include "model/host.h"
#include "plugin/activation.h"
#include "session/action_feed.h"
#include "session/simulated_desktop.h"

namespace {

using bench::CopyLimit;
using bench::LoopTimer;
using bench::ns_per_call;

using hvhost::Action;
using hvhost::Host;

constexpr double kTickPeriodNs = 100e6;
constexpr double kHookLimitNs = 1e9;
constexpr size_t kMagnifierBytes = size_t{kSpoitRaster} * kSpoitRaster * sizeof(uint32_t);

void ignore_hot(void *, float, float, float) {}

// The process-wide host, desktop and picker.
class Session {
 public:
  static Session &get() {
    static Session *session = new Session();
    return *session;
  }

  // Opens the picker on a mid grey with the driver as the user.
  void open_picker(hvhost::CallbackDriver *driver) {
    host_->set_input(driver);
    LWColorPickLocal request{};
    request.title = "Colour";
    request.red = request.green = request.blue = 0.5f;
    request.hotFunc = ignore_hot;
    picker_activate(LWCOLORPICK_VERSION, Host::lookup_function(), &request, nullptr);
    host_->set_input(nullptr);
  }

  // Opens the picker and cancels it, with no sampling run.
  void picker_only() {
    hvhost::CallbackDriver driver([](Host &) -> std::optional<Action> { return Action::cancel(); });
    open_picker(&driver);
  }

  // Runs body inside a sampling run started with the S key on the open
  // picker (the magnifier's modal open nested in the picker's), then
  // cancels both. Returns false when the sampling run did not start.
  bool in_sampling_run(const std::function<void(Host &)> &body) {
    int step = 0;
    bool ran = false;
    hvhost::CallbackDriver driver([&](Host &h) -> std::optional<Action> {
      ++step;
      if (step == 1) return Action::key_press('S');
      if (step == 2 && sampling_run_current() && sampling_run_current()->magnifier &&
          h.innermost_panel() != h.panels().front()) {
        ran = true;
        body(h);
      }
      return Action::cancel();
    });
    open_picker(&driver);
    return ran;
  }

 private:
  Session() {
    host_ = std::make_unique<Host>();
    host_->trace().set_recording_all(false);
    desktop_ = std::make_unique<hvhost::SimulatedDesktop>(*host_);
    host_->set_desktop(desktop_.get());
    desktop_set_logging(0);
  }

  std::unique_ptr<Host> host_;
  std::unique_ptr<hvhost::SimulatedDesktop> desktop_;
};

CopyLimit &magnifier_copy() {
  static CopyLimit *limit = new CopyLimit(kMagnifierBytes);
  return *limit;
}

double magnifier_copy_ns() {
  static const double ns = ns_per_call([] { magnifier_copy().copy(); });
  return ns;
}

// Where the pointer is: over the wallpaper's colour bars, or over the open
// picker panel (whose window the host composes over the wallpaper).
void place_pointer(int where) {
  if (where == 0)
    desktop_set_cursor(200, 200);
  else
    desktop_set_cursor(850, 420);
}

// ---- Benchmarks ----------------------------------------------------------------------

// The limit: memcpy of the magnifier's 90 x 90 raster.
void BM_CopyLimit_MagnifierRaster(benchmark::State &state) {
  CopyLimit &limit = magnifier_copy();
  for (auto _ : state) limit.copy();
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kMagnifierBytes));
}
BENCHMARK(BM_CopyLimit_MagnifierRaster)->Unit(benchmark::kNanosecond);

// The cells read as the tick read them before it read blocks: a GetPixel
// each, black off the listed monitors.
void sample_by_pixel(SpoitPanel *spoit, HDC dc, const MonitorList &monitors, POINT centre) {
  for (int row = 0; row < kSpoitCells; ++row) {
    const long long y = static_cast<long long>(centre.y) - kSpoitCentreCell + row;
    for (int col = 0; col < kSpoitCells; ++col) {
      const long long x = static_cast<long long>(centre.x) - kSpoitCentreCell + col;
      const int i = row * kSpoitCells + col;
      ColorTriple c = {0, 0, 0};
      if (monitor_list_contains(monitors, x, y))
        c = colorref_split(GetPixel(dc, static_cast<int>(x), static_cast<int>(y)));
      spoit->red[i] = c.a;
      spoit->green[i] = c.b;
      spoit->blue[i] = c.c;
    }
  }
}

// The tick as it was before it worked in physical pixels: GetCursorPos in
// the host's context, and the 225 reads inside the desktop window's
// rectangle, which the run took once at its start.
void tick_before(const SamplingRun *run, const MonitorList &desktop_rect) {
  POINT cursor = {0, 0};
  GetCursorPos(&cursor);
  sample_by_pixel(run->magnifier, run->desktop_dc, desktop_rect, cursor);
  run->panel_funcs->draw(run->magnifier->panel, DR_REFRESH);
}

// The tick as it was before it read blocks: the DPI switch, the monitor
// list, 225 GetPixel reads, the redraw.
void tick_by_pixel(const SamplingRun *run) {
  const DpiSwitch dpi = dpi_switch_to_physical(run->set_dpi_context);
  POINT cursor = run->pointer;
  if (!run->pointer_moved) GetCursorPos(&cursor);
  MonitorList monitors;
  monitor_list_read(&monitors, run->desktop_window);
  sample_by_pixel(run->magnifier, run->desktop_dc, monitors, cursor);
  dpi_switch_restore(dpi);
  run->panel_funcs->draw(run->magnifier->panel, DR_REFRESH);
}

// The hook's move as it was: the pixel under the pointer read, its readout
// set as the magnifier's title, the event passed on.
LRESULT hook_move_before(SamplingRun *run, int code, WPARAM message, LPARAM lparam) {
  const auto *event = reinterpret_cast<const MSLLHOOKSTRUCT *>(lparam);
  run->pointer = event->pt;
  run->pointer_moved = 1;
  const COLORREF pixel = GetPixel(run->desktop_dc, event->pt.x, event->pt.y);
  run->picked = colorref_split(pixel);
  std::snprintf(run->title, sizeof run->title, "%3d,%3d,%3d", run->picked.a, run->picked.b,
                run->picked.c);
  run->panel_funcs->set(run->magnifier->panel, PAN_TITLE, run->title);
  return CallNextHookEx(run->hook, code, message, lparam);
}

enum TickKind { kTickBefore = 0, kTickNow = 1, kTickNowTwoMonitorsUnaware = 2 };

// One tick of the 100 ms timer, as it was (tick 0) and as it is (tick 1:
// the thread switched to per-monitor aware and back, the pointer and the
// key state, the monitor list, one block read into the planes; tick 2: the same on two
// monitors, the primary at 150 %, with the host's thread DPI-unaware), then
// the redraw request, which our host answers at once with the magnifier's
// draw (227 boxes and the blit).
void BM_MagnifierTick(benchmark::State &state) {
  const double copy_ns = magnifier_copy_ns();
  const auto kind = static_cast<TickKind>(state.range(1));
  double ns = 0;
  int pixels = 0;
  const bool ran = Session::get().in_sampling_run([&](Host &host) {
    const DesktopMonitor two[] = {{0, 0, 1920, 1080, 150}, {-1920, 0, 1920, 1080, 100}};
    if (kind == kTickNowTwoMonitorsUnaware) {
      desktop_set_monitors(two, 2);
      desktop_set_thread_dpi(DESKTOP_DPI_UNAWARE);
    }
    place_pointer(static_cast<int>(state.range(0)));
    const SamplingRun *run = sampling_run_current();
    MonitorList desktop_rect = {};
    desktop_rect.count = GetWindowRect(run->desktop_window, &desktop_rect.rects[0]) ? 1 : 0;
    desktop_log_clear();
    LoopTimer timer;
    if (kind == kTickBefore) {
      for (auto _ : state) tick_before(run, desktop_rect);
    } else {
      for (auto _ : state) spoit_timer_tick(nullptr, WM_TIMER, 0, 0);
    }
    ns = timer.ns_per_iteration(state);
    pixels = kind == kTickBefore ? desktop_call_count("GetPixel") / 225
                                 : desktop_call_count("desktop:screen_read");
    const DesktopMonitor one = {0, 0, host.display_width(), host.display_height(), 100};
    desktop_set_monitors(&one, 1);
    desktop_set_thread_dpi(DESKTOP_DPI_SYSTEM_AWARE);
  });
  if (!ran) return state.SkipWithError("the sampling run did not start");
  if (pixels != state.iterations()) state.SkipWithError("a tick did not read its cells once");
  state.counters["per_100ms"] = ns > 0 ? kTickPeriodNs / ns : 0;
  state.counters["x_copy"] = ns / copy_ns;
}
BENCHMARK(BM_MagnifierTick)
    ->ArgsProduct({{0, 1}, {kTickBefore, kTickNow, kTickNowTwoMonitorsUnaware}})
    ->ArgNames({"over_picker", "tick"})
    ->Unit(benchmark::kMicrosecond);

// The magnifier's draw callback alone: 225 cell boxes, the centre frame
// (two boxes) and one 90 x 90 blit onto the panel.
void BM_MagnifierDraw(benchmark::State &state) {
  const double copy_ns = magnifier_copy_ns();
  double ns = 0;
  const bool ran = Session::get().in_sampling_run([&](Host &) {
    SpoitPanel *spoit = sampling_run_current()->magnifier;
    spoit_timer_tick(nullptr, WM_TIMER, 0, 0);  // planes filled
    LoopTimer timer;
    for (auto _ : state) spoit_draw(spoit->panel, spoit, DR_REFRESH);
    ns = timer.ns_per_iteration(state);
  });
  if (!ran) return state.SkipWithError("the sampling run did not start");
  state.counters["per_100ms"] = ns > 0 ? kTickPeriodNs / ns : 0;
  state.counters["x_copy"] = ns / copy_ns;
}
BENCHMARK(BM_MagnifierDraw)->Unit(benchmark::kMicrosecond);

// The low-level hook's callback for WM_MOUSEMOVE: the point recorded and
// CallNextHookEx (BM_BusyHookMove sets the hook of before beside it).
void BM_HookMouseMove(benchmark::State &state) {
  double ns = 0;
  const bool changing = state.range(0) != 0;
  const bool ran = Session::get().in_sampling_run([&](Host &) {
    MSLLHOOKSTRUCT event = {};
    int i = 0;
    LoopTimer timer;
    for (auto _ : state) {
      ++i;
      event.pt.x = changing ? (i * 8) % 1920 : 100 + (i & 63);
      event.pt.y = changing ? 1000 : 100;
      benchmark::DoNotOptimize(
          spoit_mouse_hook(HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&event)));
    }
    ns = timer.ns_per_iteration(state);
  });
  if (!ran) return state.SkipWithError("the sampling run did not start");
  state.counters["per_1s"] = ns > 0 ? kHookLimitNs / ns : 0;
}
BENCHMARK(BM_HookMouseMove)->Arg(0)->Arg(1)->ArgName("readout_changes");

enum Era { kBefore = 0, kNow = 1 };

// The thread's busy time per tick, before and now, at 0, 1 and 20 ms a
// screen read.
void BM_BusyTick(benchmark::State &state) {
  const auto read_ms = static_cast<uint32_t>(state.range(0));
  const auto era = static_cast<Era>(state.range(1));
  double busy = 0;
  int reads = 0;
  const bool ran = Session::get().in_sampling_run([&](Host &) {
    place_pointer(0);
    SamplingRun *run = const_cast<SamplingRun *>(sampling_run_current());
    desktop_set_screen_read_ms(read_ms);
    desktop_log_clear();
    const uint64_t t0 = desktop_time_ms();
    for (auto _ : state) {
      if (era == kBefore)
        tick_by_pixel(run);
      else
        spoit_timer_tick(nullptr, WM_TIMER, 0, 0);
    }
    busy = static_cast<double>(desktop_time_ms() - t0) / static_cast<double>(state.iterations());
    reads = desktop_call_count("desktop:screen_read");
    desktop_set_screen_read_ms(0);
  });
  if (!ran) return state.SkipWithError("the sampling run did not start");
  state.counters["busy_ms"] = busy;
  state.counters["reads"] = static_cast<double>(reads) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BusyTick)
    ->ArgsProduct({{0, 1, 20}, {kBefore, kNow}})
    ->ArgNames({"read_ms", "now"})
    ->Unit(benchmark::kMicrosecond);

// The thread's busy time per hook call for a mouse move, before and now.
void BM_BusyHookMove(benchmark::State &state) {
  const auto read_ms = static_cast<uint32_t>(state.range(0));
  const auto era = static_cast<Era>(state.range(1));
  double busy = 0;
  const bool ran = Session::get().in_sampling_run([&](Host &) {
    SamplingRun *run = const_cast<SamplingRun *>(sampling_run_current());
    desktop_set_screen_read_ms(read_ms);
    MSLLHOOKSTRUCT event = {};
    const LPARAM l = reinterpret_cast<LPARAM>(&event);
    int i = 0;
    const uint64_t t0 = desktop_time_ms();
    for (auto _ : state) {
      ++i;
      event.pt.x = (i * 8) % 1920;
      event.pt.y = 1000;
      benchmark::DoNotOptimize(era == kBefore ? hook_move_before(run, HC_ACTION, WM_MOUSEMOVE, l)
                                              : spoit_mouse_hook(HC_ACTION, WM_MOUSEMOVE, l));
    }
    busy = static_cast<double>(desktop_time_ms() - t0) / static_cast<double>(state.iterations());
    desktop_set_screen_read_ms(0);
  });
  if (!ran) return state.SkipWithError("the sampling run did not start");
  state.counters["busy_ms"] = busy;
  state.counters["per_1s"] = busy > 0 ? 1000.0 / busy : 0;
}
BENCHMARK(BM_BusyHookMove)
    ->ArgsProduct({{0, 1, 20}, {kBefore, kNow}})
    ->ArgNames({"read_ms", "now"});

// F pressed, and the tick that follows.
void press_f_and_tick() {
  desktop_key_event('F', 1);
  desktop_key_event('F', 0);
  desktop_advance_time(100);
}

void BM_FrozenStart(benchmark::State &state) {
  const DesktopMonitor three[] = {
      {0, 0, 3840, 2160, 100}, {3840, 0, 3840, 2160, 100}, {7680, 0, 3840, 2160, 100}};
  double busy = 0;
  bool frozen = true;
  const bool ran = Session::get().in_sampling_run([&](Host &) {
    desktop_set_monitors(three, 3);
    desktop_set_screen_read_ms(20);
    desktop_advance_time(100);  // the first tick, live
    for (auto _ : state) {
      // The thread's time the freeze takes: its screen reads at 20 ms each.
      const int r0 = desktop_call_count("desktop:screen_read");
      press_f_and_tick();
      busy += 20.0 * (desktop_call_count("desktop:screen_read") - r0);
      frozen = frozen && sampling_run_current()->frozen;
      state.PauseTiming();
      press_f_and_tick();  // live again: the picture and its windows go
      state.ResumeTiming();
    }
    desktop_set_screen_read_ms(0);
    const DesktopMonitor one[] = {{0, 0, 1920, 1080, 100}};
    desktop_set_monitors(one, 1);
  });
  if (!ran || !frozen) return state.SkipWithError("the run did not freeze");
  busy /= static_cast<double>(state.iterations());
  state.counters["busy_ms"] = busy;
  state.counters["busy_ms_per_monitor"] = busy / 3;
  state.counters["start_in_ticks"] = busy / 100.0;
}
BENCHMARK(BM_FrozenStart)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_FrozenTick(benchmark::State &state) {
  const bool frozen = state.range(0) != 0;
  int reads = 0;
  const bool ran = Session::get().in_sampling_run([&](Host &) {
    place_pointer(0);
    desktop_set_screen_read_ms(20);
    if (frozen) press_f_and_tick();
    for (auto _ : state) {
      const int r0 = desktop_call_count("desktop:screen_read");
      desktop_advance_time(100);
      reads += desktop_call_count("desktop:screen_read") - r0;
    }
    desktop_set_screen_read_ms(0);
  });
  if (!ran) return state.SkipWithError("the sampling run did not start");
  state.counters["screen_reads"] =
      static_cast<double>(reads) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FrozenTick)->Arg(0)->Arg(1)->ArgNames({"frozen"})->Unit(benchmark::kMicrosecond);

double peak_mb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // KiB on Linux
}

void BM_FrozenRunsMemory(benchmark::State &state) {
  double after_10 = 0, after_100 = 0;
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) {
      Session::get().in_sampling_run([](Host &) { press_f_and_tick(); });
      if (i == 9) after_10 = peak_mb();
    }
    after_100 = peak_mb();
  }
  state.counters["peak_mb_after_10"] = after_10;
  state.counters["peak_mb_after_100"] = after_100;
}
BENCHMARK(BM_FrozenRunsMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// The run's start and end, with the picker's open and close around it: the
// picker opened and cancelled with a sampling run (S, then cancelled at
// once) beside the same without one; the difference is what the run
// creates before the magnifier opens (the services, the magnifier, the
// desktop's DC and block, the hook and the timer) and releases after.
// busy_ms is the thread's virtual time per iteration, at 0 and 20 ms a
// screen read.
void BM_RunStart(benchmark::State &state) {
  const auto read_ms = static_cast<uint32_t>(state.range(0));
  const bool with_run = state.range(1) != 0;
  place_pointer(0);
  desktop_set_screen_read_ms(read_ms);
  const uint64_t t0 = desktop_time_ms();
  bool ran = true;
  for (auto _ : state) {
    if (with_run)
      ran = Session::get().in_sampling_run([](Host &) {}) && ran;
    else
      Session::get().picker_only();
  }
  const double busy =
      static_cast<double>(desktop_time_ms() - t0) / static_cast<double>(state.iterations());
  desktop_set_screen_read_ms(0);
  if (!ran) return state.SkipWithError("the sampling run did not start");
  state.counters["busy_ms"] = busy;
}
BENCHMARK(BM_RunStart)
    ->ArgsProduct({{0, 20}, {0, 1}})
    ->ArgNames({"read_ms", "run"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
