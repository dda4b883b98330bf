#include "win32/bench.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "input/script.h"
#include "model/host.h"
#include "session/headless.h"
#include "win32/front_end.h"
#include "win32/script_player.h"
#include "win32/win32_audit.h"

namespace hvwin {

namespace {

constexpr int kGetPixelRounds = 50;
constexpr int kDragSteps = 240;
constexpr int kTickWaitMs = 3000;

double counter_seconds(int64_t ticks) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return static_cast<double>(ticks) / static_cast<double>(f.QuadPart);
}

int64_t counter_now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

BOOL CALLBACK count_monitor(HMONITOR, HDC, RECT *, LPARAM data) {
  ++*reinterpret_cast<int *>(data);
  return TRUE;
}

struct Summary {
  double median = 0, p95 = 0, max = 0;
};

// Milliseconds.
Summary summarize(std::vector<double> s) {
  Summary r;
  if (s.empty()) return r;
  std::sort(s.begin(), s.end());
  r.median = s[s.size() / 2] * 1e3;
  r.p95 = s[std::min(s.size() - 1, s.size() * 95 / 100)] * 1e3;
  r.max = s.back() * 1e3;
  return r;
}

std::string fixed(double v, int digits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", digits, v);
  return buf;
}

// 225 GetPixel calls on the desktop DC: the reads of one tick, made by the
// host, a round at a time.
std::vector<double> time_pixel_reads(int cx, int cy) {
  std::vector<double> reads;
  HWND desktop = GetDesktopWindow();
  HDC dc = GetWindowDC(desktop);
  volatile COLORREF sink = 0;
  for (int round = 0; round < kGetPixelRounds; ++round) {
    const int64_t t0 = counter_now();
    for (int row = 0; row < 15; ++row)
      for (int col = 0; col < 15; ++col) sink = sink ^ GetPixel(dc, cx - 7 + col, cy - 7 + row);
    reads.push_back(counter_seconds(counter_now() - t0));
  }
  ReleaseDC(desktop, dc);
  return reads;
}

// The same 15 x 15 pixels as one block: a BitBlt from the desktop DC into a
// 32-bit DIB section, then GdiFlush, as the tick reads them now.
std::vector<double> time_block_reads(int cx, int cy) {
  std::vector<double> blocks;
  HWND desktop = GetDesktopWindow();
  HDC dc = GetWindowDC(desktop);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 15;
  info.bmiHeader.biHeight = -15;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, section);
  for (int round = 0; round < kGetPixelRounds; ++round) {
    const int64_t t0 = counter_now();
    BitBlt(memory, 0, 0, 15, 15, dc, cx - 7, cy - 7, SRCCOPY);
    GdiFlush();
    blocks.push_back(counter_seconds(counter_now() - t0));
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(section);
  ReleaseDC(desktop, dc);
  return blocks;
}

// What the tick adds to its reads to work in physical pixels: the switch to
// a per-monitor-aware context (v2, else v1) and back and the monitor list,
// as the plug-in makes those calls. (GetCursorPos it made before too, and
// now makes only until the hook has seen the pointer.) *monitors: how many
// it listed.
std::vector<double> time_tick_extras(int *monitors) {
  std::vector<double> extras;
  for (int round = 0; round < kGetPixelRounds; ++round) {
    const int64_t t0 = counter_now();
    DPI_AWARENESS_CONTEXT previous = set_thread_dpi_awareness(4);
    if (!previous) previous = set_thread_dpi_awareness(3);
    *monitors = 0;
    EnumDisplayMonitors(nullptr, nullptr, count_monitor, reinterpret_cast<LPARAM>(monitors));
    restore_thread_dpi_awareness(previous);
    extras.push_back(counter_seconds(counter_now() - t0));
  }
  return extras;
}

// What the request itself shows: each magnifier tick's time and the pixels
// and blocks it read, and the time from each pointer move of the drag to the
// hot callback it caused.
struct RequestTimings {
  std::vector<double> ticks;
  std::vector<uint64_t> tick_pixels, tick_blocks;
  std::vector<double> move_to_hot;
};

// A field drag, then an eyedropper run left alone for a while, at the
// screen's centre (cx, cy), timed through the front end's hooks. Prints the
// outcome; false when the script could not be played (fe.error() says why).
bool time_request(hvhost::Host &host, FrontEnd &fe, const ServerRecord &server,
                  const hvhost::AskedColor &request, double timeout_s, int cx, int cy,
                  RequestTimings *t, std::ostream &out) {
  const std::string script =
      "drag field 8 128 " + std::to_string(8 + kDragSteps) + " 128 " + std::to_string(kDragSteps) +
      "\nkey S\ndesktop move " + std::to_string(cx) + " " + std::to_string(cy) + "\nwait " +
      std::to_string(kTickWaitMs) + "\ndesktop press right\ndesktop release right\ncancel\n";
  ScriptPlayer player(hvhost::parse_script(script), PlayerOptions{timeout_s});
  std::optional<int64_t> move_sent;
  player.on_sent = [&](uint64_t, int64_t sent_at, bool move) {
    move_sent = move ? std::optional<int64_t>(sent_at) : std::nullopt;
  };
  uint64_t pixels_before = win32_counts().pixels_read;
  uint64_t blocks_before = win32_counts().blocks_read;
  fe.on_thread_timer = [&](double seconds) {
    t->ticks.push_back(seconds);
    const uint64_t now = win32_counts().pixels_read, now_blocks = win32_counts().blocks_read;
    t->tick_pixels.push_back(now - pixels_before);
    t->tick_blocks.push_back(now_blocks - blocks_before);
    pixels_before = now;
    blocks_before = now_blocks;
  };
  fe.set_player(&player);
  host.set_input(&fe);
  const hvhost::ColorOutcome outcome =
      hvhost::run_color_request(server, request, [&](const hvhost::HotColor &) {
        if (!move_sent) return;
        t->move_to_hot.push_back(counter_seconds(counter_now() - *move_sent));
        move_sent.reset();
      });
  fe.on_thread_timer = nullptr;
  fe.sync();
  out << hvhost::format_result(outcome) << std::endl;
  return fe.error().empty();
}

// The "bench ..." lines of the host's own reads and of the extras.
void print_read_figures(const std::vector<double> &reads, const std::vector<double> &blocks,
                        const std::vector<double> &extras, int monitors, std::ostream &out) {
  const Summary r = summarize(reads);
  out << "bench getpixel: 225 reads on the desktop DC: median " << fixed(r.median, 2) << " ms ("
      << fixed(r.median * 1e3 / 225, 1) << " us a read), p95 " << fixed(r.p95, 2) << " ms, "
      << reads.size() << " rounds" << std::endl;
  const Summary b = summarize(blocks);
  out << "bench block: the same 15 x 15 as one BitBlt into a DIB section: median "
      << fixed(b.median * 1e3, 1) << " us, p95 " << fixed(b.p95 * 1e3, 1)
      << " us = " << fixed(r.median > 0 ? b.median / r.median * 100 : 0, 1) << "% of the 225 reads"
      << std::endl;
  const Summary x = summarize(extras);
  out << "bench tick-extra: DPI switch and back, " << monitors << " monitor(s) listed: median "
      << fixed(x.median * 1e3, 1) << " us, p95 " << fixed(x.p95 * 1e3, 1)
      << " us = " << fixed(r.median > 0 ? x.median / r.median * 100 : 0, 1) << "% of the 225 reads"
      << std::endl;
}

// The "bench ..." lines of the request's ticks and pointer moves.
void print_request_figures(RequestTimings t, std::ostream &out) {
  // The first delta also holds the reads before the run; the median is a
  // tick's own.
  std::sort(t.tick_pixels.begin(), t.tick_pixels.end());
  std::sort(t.tick_blocks.begin(), t.tick_blocks.end());
  const Summary k = summarize(t.ticks);
  out << "bench tick: " << t.ticks.size() << " magnifier ticks (reads + redraw): median "
      << fixed(k.median, 2) << " ms, p95 " << fixed(k.p95, 2) << " ms, max " << fixed(k.max, 2)
      << " ms = " << fixed(k.median / 100.0 * 100.0, 1) << "% of the 100 ms period; "
      << (t.tick_pixels.empty() ? 0 : t.tick_pixels[t.tick_pixels.size() / 2]) << " pixels and "
      << (t.tick_blocks.empty() ? 0 : t.tick_blocks[t.tick_blocks.size() / 2]) << " blocks a tick"
      << std::endl;
  const Summary m = summarize(t.move_to_hot);
  out << "bench move-to-hot: " << t.move_to_hot.size()
      << " pointer moves of a field drag (SendInput to hot callback): median " << fixed(m.median, 2)
      << " ms, p95 " << fixed(m.p95, 2) << " ms, max " << fixed(m.max, 2) << " ms" << std::endl;
}

}  // namespace

int run_bench(hvhost::Host &host, FrontEnd &fe, const ServerRecord &server,
              const hvhost::AskedColor &request, double timeout_s, std::ostream &out,
              std::ostream &err) {
  const int cx = GetSystemMetrics(SM_CXSCREEN) / 2, cy = GetSystemMetrics(SM_CYSCREEN) / 2;
  const std::vector<double> reads = time_pixel_reads(cx, cy);
  const std::vector<double> blocks = time_block_reads(cx, cy);
  int monitors = 0;
  const std::vector<double> extras = time_tick_extras(&monitors);
  RequestTimings timings;
  if (!time_request(host, fe, server, request, timeout_s, cx, cy, &timings, out)) {
    err << "error: " << fe.error() << "\n";
    return hvhost::kExitRun;
  }
  print_read_figures(reads, blocks, extras, monitors, out);
  print_request_figures(std::move(timings), out);
  return hvhost::kExitOk;
}

}  // namespace hvwin
