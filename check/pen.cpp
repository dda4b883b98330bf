// --pen: two windows the user hovers and taps with a pen or a finger, one
// that handles pointer input itself (as browsers and many drawing programs
// do) and one that leaves it to DefWindowProc, which makes mouse input of
// it. For each it notes what the window got, what a low-level mouse hook saw
// there and whether GetCursorPos followed the pen.
#include <windowsx.h>

#include <cstdio>
#include <cstdlib>

#include "check/measure.h"

namespace hvcheck {

namespace {

constexpr UINT kPointerFirst = 0x0245;  // WM_POINTERUPDATE
constexpr UINT kPointerLast = 0x024A;   // WM_POINTERLEAVE
constexpr int kNear = 3;                // pixels: the same place
constexpr double kLive = 0.1;           // seconds a pointer message counts as "now"

struct PenWindow {
  HWND hwnd = nullptr;
  bool handles_pointer = false;
  int pointer_messages = 0;
  int mouse_messages = 0;
  int cursor_followed = 0;
  int hook_events = 0;
  POINT last_pointer = {};
  double last_pointer_at = -1;
};

PenWindow g_windows[2];

PenWindow *window_of(HWND hwnd) {
  for (PenWindow &w : g_windows)
    if (w.hwnd == hwnd) return &w;
  return nullptr;
}

LRESULT CALLBACK pen_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  PenWindow *w = window_of(hwnd);
  if (w && msg >= kPointerFirst && msg <= kPointerLast) {
    ++w->pointer_messages;
    w->last_pointer = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    w->last_pointer_at = now_s();
    POINT cursor;
    if (GetCursorPos(&cursor) && std::abs(cursor.x - w->last_pointer.x) <= kNear &&
        std::abs(cursor.y - w->last_pointer.y) <= kNear)
      ++w->cursor_followed;
    if (w->handles_pointer) return 0;
  }
  if (w && (msg == WM_MOUSEMOVE || msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP))
    ++w->mouse_messages;
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    const wchar_t *text = w && w->handles_pointer
                              ? L"Hover and tap here with the pen.\nThis window handles pen input "
                                L"itself,\nas browsers and many drawing programs do."
                              : L"Hover and tap here with the pen.\nThis window leaves pen input "
                                L"to Windows,\nwhich turns it into mouse input.";
    DrawTextW(dc, text, -1, &r, DT_CENTER | DT_WORDBREAK);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (msg == WM_CLOSE) {
    DestroyWindow(hwnd);
    if (w) w->hwnd = nullptr;
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK pen_hook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto *info = reinterpret_cast<const MSLLHOOKSTRUCT *>(lp);
    const double t = now_s();
    for (PenWindow &w : g_windows) {
      if (w.last_pointer_at >= 0 && t - w.last_pointer_at < kLive &&
          std::abs(info->pt.x - w.last_pointer.x) <= kNear &&
          std::abs(info->pt.y - w.last_pointer.y) <= kNear)
        ++w.hook_events;
    }
    (void)wp;
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

hvhost::Answer seen(int count, int of) {
  if (of == 0) return hvhost::Answer::Unknown;
  return count > 0 ? hvhost::Answer::Yes : hvhost::Answer::No;
}

}  // namespace

void ask_pen(hvhost::MachineReport *report, int seconds) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = pen_window_proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"HuevaneCheckPen";
  RegisterClassW(&wc);
  const hvhost::ReportMonitor &primary = report->monitors.front();
  const int width = 420, height = 320;
  const int y = primary.height / 2 - height / 2;
  const wchar_t *titles[2] = {L"huevane-check: handles pen input itself",
                              L"huevane-check: leaves pen input to Windows"};
  for (int i = 0; i < 2; ++i) {
    g_windows[i] = PenWindow{};
    g_windows[i].handles_pointer = i == 0;
    g_windows[i].hwnd = CreateWindowExW(
        WS_EX_TOPMOST, L"HuevaneCheckPen", titles[i], WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
        primary.width / 2 - width - 10 + i * (width + 20), y, width, height, nullptr, nullptr,
        GetModuleHandleW(nullptr), nullptr);
    if (g_windows[i].hwnd) ShowWindow(g_windows[i].hwnd, SW_SHOW);
  }
  HHOOK hook = SetWindowsHookExW(WH_MOUSE_LL, pen_hook, GetModuleHandleW(nullptr), 0);
  std::printf(
      "pen: hover over and tap each window with the pen (or a finger) for %d s; close "
      "both windows to finish sooner\n",
      seconds);
  std::fflush(stdout);
  const double end = now_s() + seconds;
  while (now_s() < end && (g_windows[0].hwnd || g_windows[1].hwnd)) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (hook) UnhookWindowsHookEx(hook);
  for (PenWindow &w : g_windows) {
    if (w.hwnd) DestroyWindow(w.hwnd);
    w.hwnd = nullptr;
  }
  const PenWindow &own = g_windows[0], &def = g_windows[1];
  std::printf(
      "pen: window that handles pen input: %d pointer messages, %d mouse messages, hook "
      "saw %d, cursor followed %d\n",
      own.pointer_messages, own.mouse_messages, own.hook_events, own.cursor_followed);
  std::printf(
      "pen: window that leaves it to Windows: %d pointer messages, %d mouse messages, hook "
      "saw %d, cursor followed %d\n",
      def.pointer_messages, def.mouse_messages, def.hook_events, def.cursor_followed);
  report->pen_hook_over_pointer_window = seen(own.hook_events, own.pointer_messages);
  report->pen_cursor_over_pointer_window = own.pointer_messages == 0 ? hvhost::Answer::Unknown
                                           : own.cursor_followed * 2 >= own.pointer_messages
                                               ? hvhost::Answer::Yes
                                               : hvhost::Answer::No;
  report->pen_hook_over_default_window = seen(def.hook_events, def.pointer_messages);
  report->pen_cursor_over_default_window = def.pointer_messages == 0 ? hvhost::Answer::Unknown
                                           : def.cursor_followed * 2 >= def.pointer_messages
                                               ? hvhost::Answer::Yes
                                               : hvhost::Answer::No;
}

}  // namespace hvcheck
