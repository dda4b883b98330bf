#include "win32/chart.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>

namespace hvwin {

namespace {

constexpr char kChartClass[] = "HuevaneChart";
constexpr int kRows = static_cast<int>(kChartColors.size() + kChartColumns - 1) / kChartColumns;
constexpr int kChartWidth = kChartColumns * kChartBlock;
constexpr int kChartHeight = kRows * kChartBlock;

// Mouse button messages the chart took: an eyedropper pick over it must
// keep its click from the window underneath.
int g_button_messages = 0;

COLORREF colorref(hvhost::Rgb c) { return RGB(c.r, c.g, c.b); }

RECT block_rect(size_t i) {
  const int x = static_cast<int>(i % kChartColumns) * kChartBlock;
  const int y = static_cast<int>(i / kChartColumns) * kChartBlock;
  return RECT{x, y, x + kChartBlock, y + kChartBlock};
}

LRESULT CALLBACK chart_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      for (size_t i = 0; i < kChartColors.size(); ++i) {
        HBRUSH brush = CreateSolidBrush(colorref(kChartColors[i]));
        const RECT r = block_rect(i);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
      }
      const RECT chequer = block_rect(kChartColors.size() - 1);
      for (int y = 0; y < kChartBlock; ++y)
        for (int x = (y + 1) % 2; x < kChartBlock; x += 2)
          SetPixelV(dc, chequer.left + x, chequer.top + y, colorref(kChequerOther));
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: ++g_button_messages; return 0;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;  // a pick over the chart leaves the picker in front
    case WM_CLOSE: return 0;
    default: return DefWindowProcA(hwnd, msg, wp, lp);
  }
}

}  // namespace

int chart_button_messages() { return g_button_messages; }

std::array<int, 2> chart_origin(int screen_width, int screen_height) {
  return {std::max(screen_width - kChartRightGap - kChartWidth, 0),
          std::max(std::min(kChartTop, screen_height - kChartHeight), 0)};
}

bool show_chart(double timeout_s, const std::array<int, 2> *at, std::string *error) {
  const int screen_w = GetSystemMetrics(SM_CXSCREEN), screen_h = GetSystemMetrics(SM_CYSCREEN);
  if (!at && (screen_w < kChartWidth || screen_h < kChartHeight)) {
    *error = "the screen (" + std::to_string(screen_w) + " x " + std::to_string(screen_h) +
             ") is smaller than the colour chart (" + std::to_string(kChartWidth) + " x " +
             std::to_string(kChartHeight) + ")";
    return false;
  }
  const auto [chart_x, chart_y] = at ? *at : chart_origin(screen_w, screen_h);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = chart_proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_CROSS));
  wc.lpszClassName = kChartClass;
  if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    *error = "cannot register the colour chart's window class";
    return false;
  }
  HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kChartClass, "colour chart",
                              WS_POPUP, chart_x, chart_y, kChartWidth, kChartHeight, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!hwnd) {
    *error = "cannot create the colour chart window (error " + std::to_string(GetLastError()) +
             "); is there a display?";
    return false;
  }
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  UpdateWindow(hwnd);

  // The chart is there when the screen shows it, read the way the
  // eyedropper reads it.
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout_s * 1000.0);
  HDC screen = GetDC(nullptr);
  std::string wrong;  // the first block that does not show its colour
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    wrong.clear();
    for (size_t i = 0; i < kChartColors.size() && wrong.empty(); ++i) {
      const RECT r = block_rect(i);
      const int x = chart_x + (r.left + r.right) / 2, y = chart_y + (r.top + r.bottom) / 2;
      const COLORREF c = GetPixel(screen, x, y);
      const hvhost::Rgb want = kChartColors[i];
      if (c != colorref(want))
        wrong =
            "block " + std::to_string(i) + " at " + std::to_string(x) + "," + std::to_string(y) +
            " shows " +
            (c == CLR_INVALID ? std::string("nothing readable")
                              : std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) +
                                    "," + std::to_string(GetBValue(c))) +
            " instead of " + std::to_string(want.r) + "," + std::to_string(want.g) + "," +
            std::to_string(want.b);
    }
    if (wrong.empty() || GetTickCount64() > deadline) break;
    MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  ReleaseDC(nullptr, screen);
  if (!wrong.empty()) {
    *error = "the colour chart did not show on the screen within " +
             std::to_string(static_cast<int>(timeout_s)) + " s: " + wrong +
             " (another window over it, or a display of fewer than 24 bits?)";
    return false;
  }
  return true;
}

}  // namespace hvwin
