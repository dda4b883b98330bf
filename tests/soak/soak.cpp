// A working day in one process: many colour requests against the built
// plug-in in one reference host, one in ten with a sampling run (picked or
// cancelled), the rest with field and strip drags and editor edits, accepted
// or cancelled.
//
// After every request it checks that the simulated desktop's live hooks,
// timers and device contexts are back to where they started and that the
// host holds the picker's panel, controls and rasters and nothing more; at
// the end, that the resident size is within 1 MiB of where it stood after
// the first hundred requests. It prints its figures as "soak ..." lines and
// closes with "N passed, N failed" over those checks.
//
//   huevane_soak [--requests N]      (default 10000)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "desktop.h"
#include "support/plugin_session.h"

namespace {

using hvhost::Action;
using hvhost::MouseButton;
using hvhost::Place;

constexpr int kDefaultRequests = 10000;
constexpr int kSettleRequests = 100;  // resident size is compared with its size after these
constexpr long kResidentSlackBytes = 1L << 20;

long resident_bytes() {
  long pages_total = 0, pages_resident = 0;
  FILE *f = std::fopen("/proc/self/statm", "r");
  if (!f) return -1;
  const int read = std::fscanf(f, "%ld %ld", &pages_total, &pages_resident);
  std::fclose(f);
  return read == 2 ? pages_resident * 4096L : -1;
}

// Request i's input: a sampling run for one in ten, else drags and edits.
// Positions and values move with i so that the colours differ.
std::vector<Action> actions_for(int i) {
  const int a = (i * 37) % 256, b = (i * 91) % 256;
  std::vector<Action> out;
  if (i % 10 == 0) {
    out.push_back(i % 20 == 0 ? Action::key_press('S') : Action::click_eyedropper());
    out.push_back(Action::desktop_move((i * 13) % 1920, (i * 7) % 1080));
    out.push_back(Action::wait(250));
    const MouseButton button = i % 30 == 0 ? MouseButton::kRight : MouseButton::kLeft;
    out.push_back(Action::desktop_press(button));
    out.push_back(Action::desktop_release(button));
  } else {
    out.push_back(Action::drag(Place::kField, a, b, 255 - b, a, 4));
    out.push_back(Action::drag(Place::kStrip, 10, b, 12, a, 4));
    if (i % 3 == 0) out.push_back(Action::rgb(a, b, (a + b) % 256));
    if (i % 5 == 0) out.push_back(Action::hsv(b, a, 200));
  }
  out.push_back(i % 4 == 3 ? Action::cancel() : Action::ok());
  return out;
}

struct Tally {
  int passed = 0, failed = 0;
  void check(bool ok, int request, const char *what) {
    if (ok) {
      ++passed;
      return;
    }
    ++failed;
    if (failed <= 20) std::printf("soak: request %d: %s\n", request, what);
  }
};

}  // namespace

int main(int argc, char **argv) {
  int requests = kDefaultRequests;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--requests") == 0 && i + 1 < argc) {
      requests = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: huevane_soak [--requests N]\n");
      return 2;
    }
  }
  if (requests < 1) requests = 1;

  hvtest::PluginSession s;
  // As the command does: counts only, no kept calls, no Win32 call log, hot
  // callbacks not kept.
  s.trace().set_recording_all(false);
  s.trace().set_window(0);
  desktop_set_logging(0);
  const int hooks = desktop_hook_count(), timers = desktop_timer_count(),
            dcs = desktop_outstanding_dcs();

  Tally tally;
  long settled = -1;
  int accepted = 0, sampling = 0;
  const long start_resident = resident_bytes();
  for (int i = 0; i < requests; ++i) {
    hvhost::AskedColor asked = hvtest::color(static_cast<float>(i % 7) / 7.0f, 0.5f, 0.25f);
    asked.keep_hot = false;
    const hvhost::ColorOutcome out = s.request(actions_for(i), asked);
    if (i % 10 == 0) ++sampling;
    accepted += out.result;
    tally.check(out.status == AFUNC_OK && !s.host().aborted(), i, "not served");
    tally.check(desktop_hook_count() == hooks && desktop_timer_count() == timers &&
                    desktop_outstanding_dcs() == dcs,
                i, "desktop hooks, timers or DCs not back to their start");
    tally.check(s.host().panels().size() == 1 && s.host().control_count() == 4 &&
                    s.host().raster_count() == 2,
                i, "host holds more than the picker's panel, controls and rasters");
    tally.check(s.trace().problem_count() == 0, i, "the host saw misuse");
    if (i + 1 == kSettleRequests) settled = resident_bytes();
  }
  const long end_resident = resident_bytes();
  std::printf("soak requests %d sampling_runs %d accepted %d\n", requests, sampling, accepted);
  std::printf("soak resident_kib start %ld after_%d %ld end %ld\n", start_resident / 1024,
              kSettleRequests, settled / 1024, end_resident / 1024);
  std::printf("soak desktop hooks %d timers %d dcs %d; host panels %zu controls %zu rasters %zu\n",
              desktop_hook_count(), desktop_timer_count(), desktop_outstanding_dcs(),
              s.host().panels().size(), s.host().control_count(), s.host().raster_count());
  if (requests > kSettleRequests)
    tally.check(end_resident - settled <= kResidentSlackBytes && end_resident >= 0, requests,
                "resident size grew by more than 1 MiB after the first hundred requests");
  std::printf("%d passed, %d failed\n", tally.passed, tally.failed);
  return tally.failed == 0 ? 0 : 1;
}
