#include "win32/chart.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace hvwin {

namespace {

constexpr char kChartClass[] = "HuevaneChart";
constexpr int kRows = static_cast<int>(kChartColors.size() + kChartColumns - 1) / kChartColumns;

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

bool show_chart(double timeout_s, POINT at, std::string *error) {
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
  HWND hwnd =
      CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kChartClass, "colour chart", WS_POPUP,
                      at.x, at.y, kChartColumns * kChartBlock, kRows * kChartBlock, nullptr,
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
  bool shown = false;
  while (!shown) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    shown = true;
    for (size_t i = 0; i < kChartColors.size() && shown; ++i) {
      const RECT r = block_rect(i);
      const COLORREF c =
          GetPixel(screen, at.x + (r.left + r.right) / 2, at.y + (r.top + r.bottom) / 2);
      shown = c == colorref(kChartColors[i]);
    }
    if (!shown) {
      if (GetTickCount64() > deadline) break;
      MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
  }
  ReleaseDC(nullptr, screen);
  if (!shown) {
    *error = "the colour chart did not show on the screen within " +
             std::to_string(static_cast<int>(timeout_s)) + " s";
    return false;
  }
  return true;
}

}  // namespace hvwin
