// What the eyedropper's frozen run relies on: every monitor captured whole
// in physical pixels (BitBlt into a 32-bit DIB section) within a tick, and
// that capture shown 1:1 in a top-most, never activated window of the run's
// own is what the screen then shows, pixel for pixel.
#include <algorithm>
#include <vector>

#include "check/measure.h"

namespace hvcheck {

namespace {

// Each monitor's capture is timed this many times at least and at most,
// within this much time (shared out when there are more than five).
constexpr int kMinCaptures = 3;
constexpr int kMaxCaptures = 20;
constexpr double kCaptureBudgetS = 0.3;
// Larger monitors are not compared: two pictures of them would take more
// than 512 MiB.
constexpr long long kMaxComparedPixels = 8192LL * 8192;

LRESULT CALLBACK picture_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND) return 1;
  if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    const auto *p = reinterpret_cast<const Picture *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (p) BitBlt(dc, 0, 0, p->width, p->height, p->dc, 0, 0, SRCCOPY);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

const wchar_t *picture_class() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = picture_window_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_CROSS));
    wc.lpszClassName = L"HuevaneCheckPicture";
    registered = RegisterClassW(&wc) != 0;
  }
  return L"HuevaneCheckPicture";
}

// The capture's cost on one monitor, into m.capture.
void time_captures(HDC screen, hvhost::ReportMonitor *m, const Picture &p, double budget_s) {
  std::vector<double> ms;
  const double start = now_s();
  while (static_cast<int>(ms.size()) < kMaxCaptures &&
         (static_cast<int>(ms.size()) < kMinCaptures || now_s() - start < budget_s)) {
    const double t0 = now_s();
    if (!picture_capture(p, screen, m->x, m->y)) break;
    ms.push_back((now_s() - t0) * 1e3);
  }
  m->capture = summarize_ms(ms);
}

// Shows the picture 1:1 over its monitor, captures the monitor again and
// counts the pixels that are the same.
void compare_shown(HDC screen, hvhost::ReportMonitor *m, const Picture &shown) {
  Picture again;
  if (!picture_create(&again, m->width, m->height)) return;
  HWND w = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, picture_class(),
                           L"huevane-check picture", WS_POPUP, m->x, m->y, m->width, m->height,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (w) {
    // The shell leaves the taskbar alone for a window that fills a monitor.
    SetPropW(w, L"NonRudeHWND", reinterpret_cast<HANDLE>(TRUE));
    SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&shown));
    ShowWindow(w, SW_SHOWNOACTIVATE);
    UpdateWindow(w);
    settle();
    if (picture_capture(again, screen, m->x, m->y)) {
      const size_t n = static_cast<size_t>(m->width) * static_cast<size_t>(m->height);
      int equal = 0;
      for (size_t i = 0; i < n; ++i) equal += ((shown.bits[i] ^ again.bits[i]) & 0xFFFFFF) == 0;
      m->picture_pixels = static_cast<int>(n);
      m->picture_equal = equal;
    }
    RemovePropW(w, L"NonRudeHWND");
    DestroyWindow(w);
    pump();
  }
  picture_release(&again);
}

}  // namespace

bool picture_create(Picture *p, int width, int height) {
  *p = Picture{};
  if (!memory_image_create(p, nullptr, width, height)) return false;
  p->width = width;
  p->height = height;
  return true;
}

void picture_release(Picture *p) {
  memory_image_release(p);
  *p = Picture{};
}

bool picture_capture(const Picture &p, HDC screen, int x, int y) {
  const bool ok = BitBlt(p.dc, 0, 0, p.width, p.height, screen, x, y, SRCCOPY) != 0;
  GdiFlush();  // the bits are there once the call returns
  return ok;
}

void measure_frozen_picture(hvhost::MachineReport *r) {
  HWND desktop = GetDesktopWindow();
  HDC screen = GetWindowDC(desktop);
  if (!screen) return;
  const double budget_s = std::min(kCaptureBudgetS, 1.5 / static_cast<double>(r->monitors.size()));
  for (hvhost::ReportMonitor &m : r->monitors) {
    if (static_cast<long long>(m.width) * m.height > kMaxComparedPixels) continue;
    Picture p;
    if (!picture_create(&p, m.width, m.height)) continue;
    time_captures(screen, &m, p, budget_s);
    if (m.capture.count > 0) compare_shown(screen, &m, p);
    picture_release(&p);
  }
  ReleaseDC(desktop, screen);
}

}  // namespace hvcheck
