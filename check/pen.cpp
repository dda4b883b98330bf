// --pen: windows the user hovers and taps with a pen or a finger. One
// handles pointer input itself (as browsers and many drawing programs do),
// one leaves it to DefWindowProc, which makes mouse input of it; for each it
// notes what the window got, what a low-level mouse hook saw there and
// whether GetCursorPos followed the pen. A third shows a piece of the screen
// as the eyedropper's frozen run does (top-most, never activated) and notes
// the taps it got. The hook notes the signature of every event it sees.
#include <windowsx.h>

#include <cstdio>
#include <cstdlib>

#include "check/measure.h"

namespace hvcheck {

namespace {

constexpr UINT kPointerFirst = 0x0245;     // WM_POINTERUPDATE
constexpr UINT kPointerLast = 0x024A;      // WM_POINTERLEAVE
constexpr UINT kPointerDown = 0x0246;      // WM_POINTERDOWN
constexpr UINT kPointerActivate = 0x024B;  // WM_POINTERACTIVATE
constexpr LRESULT kPointerNoActivate = 3;  // PA_NOACTIVATE
// Mouse input made from a pen or a finger: dwExtraInfo & kSignatureMask is
// kSignature, with kTouchBit set for a finger.
constexpr ULONG_PTR kSignatureMask = 0xFFFFFF00;
constexpr ULONG_PTR kSignature = 0xFF515700;
constexpr ULONG_PTR kTouchBit = 0x80;
constexpr int kNear = 3;       // pixels: the same place
constexpr double kLive = 0.1;  // seconds a pointer message counts as "now"

struct PenWindow {
  HWND hwnd = nullptr;
  bool handles_pointer = false;
  hvhost::PenWindowCounts counts;
  POINT last_pointer = {};
  double last_pointer_at = -1;
};

PenWindow g_windows[2];

// The picture's window and what reached it.
struct PictureWindow {
  HWND hwnd = nullptr;
  Picture picture;
  int pen_taps = 0, touch_taps = 0, mouse_presses = 0, signed_presses = 0;
  bool activated = false;
};
PictureWindow g_picture;

// What the hook saw, by signature.
int g_hook_pen = 0, g_hook_touch = 0, g_hook_mouse = 0, g_hook_signed_injected = 0;

PenWindow *window_of(HWND hwnd) {
  for (PenWindow &w : g_windows)
    if (w.hwnd == hwnd) return &w;
  return nullptr;
}

bool is_signed(ULONG_PTR extra) { return (extra & kSignatureMask) == kSignature; }

// GetPointerType, from Windows 8 on: 2 a touch, 3 a pen; 0 unknown.
int pointer_type(WPARAM wp) {
  using PointerTypeFn = BOOL(WINAPI *)(UINT32, DWORD *);
  static const auto get = reinterpret_cast<PointerTypeFn>(reinterpret_cast<void (*)(void)>(
      GetProcAddress(GetModuleHandleA("user32.dll"), "GetPointerType")));
  DWORD type = 0;
  return get && get(LOWORD(wp), &type) ? static_cast<int>(type) : 0;
}

void note_pointer(PenWindow *w, LPARAM lp) {
  ++w->counts.pointer;
  w->last_pointer = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  w->last_pointer_at = now_s();
  POINT cursor;
  if (GetCursorPos(&cursor) && std::abs(cursor.x - w->last_pointer.x) <= kNear &&
      std::abs(cursor.y - w->last_pointer.y) <= kNear)
    ++w->counts.cursor;
}

void paint_instructions(HWND hwnd, const PenWindow *w) {
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
}

LRESULT CALLBACK pen_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  PenWindow *w = window_of(hwnd);
  if (w && msg >= kPointerFirst && msg <= kPointerLast) {
    note_pointer(w, lp);
    if (w->handles_pointer) return 0;
  }
  if (w && (msg == WM_MOUSEMOVE || msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP)) ++w->counts.mouse;
  if (msg == WM_PAINT) {
    paint_instructions(hwnd, w);
    return 0;
  }
  if (msg == WM_CLOSE) {
    DestroyWindow(hwnd);
    if (w) w->hwnd = nullptr;
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void paint_picture(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  const Picture &p = g_picture.picture;
  if (p.dc) BitBlt(dc, 0, 0, p.width, p.height, p.dc, 0, 0, SRCCOPY);
  RECT r = {0, 0, p.width, p.height};
  FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetBkMode(dc, OPAQUE);
  DrawTextW(dc,
            L"A picture of the screen, as the eyedropper shows it.\nTap it with the pen, then "
            L"with a finger.",
            -1, &r, DT_CENTER | DT_WORDBREAK);
  EndPaint(hwnd, &ps);
}

// The picture's window: it passes pointer input on to DefWindowProc, so
// that it gets the mouse input made of it too, and is never activated.
LRESULT CALLBACK picture_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  PictureWindow &p = g_picture;
  switch (msg) {
    case kPointerActivate: return kPointerNoActivate;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE) p.activated = true;
      break;
    case kPointerDown: {
      const int type = pointer_type(wp);
      p.pen_taps += type == 3;
      p.touch_taps += type == 2;
      break;
    }
    case WM_LBUTTONDOWN:
      ++p.mouse_presses;
      p.signed_presses += is_signed(static_cast<ULONG_PTR>(GetMessageExtraInfo()));
      break;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: paint_picture(hwnd); return 0;
    default: break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK pen_hook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto *info = reinterpret_cast<const MSLLHOOKSTRUCT *>(lp);
    if (!is_signed(info->dwExtraInfo)) {
      ++g_hook_mouse;
    } else {
      ++((info->dwExtraInfo & kTouchBit) ? g_hook_touch : g_hook_pen);
      g_hook_signed_injected += (info->flags & LLMHF_INJECTED) != 0;
    }
    const double t = now_s();
    for (PenWindow &w : g_windows) {
      if (w.last_pointer_at >= 0 && t - w.last_pointer_at < kLive &&
          std::abs(info->pt.x - w.last_pointer.x) <= kNear &&
          std::abs(info->pt.y - w.last_pointer.y) <= kNear)
        ++w.counts.hook;
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

void register_class(const wchar_t *name, WNDPROC proc, LPCWSTR cursor) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, cursor);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = name;
  RegisterClassW(&wc);
}

// The two windows side by side mid-screen, the picture's window below.
void show_windows(const hvhost::ReportMonitor &primary) {
  register_class(L"HuevaneCheckPen", pen_window_proc, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  register_class(L"HuevaneCheckPenPicture", picture_proc, reinterpret_cast<LPCWSTR>(IDC_CROSS));
  const int width = 420, height = 320;
  const int x = primary.width / 2 - width - 10, y = primary.height / 2 - height;
  const wchar_t *titles[2] = {L"huevane-check: handles pen input itself",
                              L"huevane-check: leaves pen input to Windows"};
  for (int i = 0; i < 2; ++i) {
    g_windows[i] = PenWindow{};
    g_windows[i].handles_pointer = i == 0;
    g_windows[i].hwnd =
        CreateWindowExW(WS_EX_TOPMOST, L"HuevaneCheckPen", titles[i],
                        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, x + i * (width + 20), y, width,
                        height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (g_windows[i].hwnd) ShowWindow(g_windows[i].hwnd, SW_SHOW);
  }
  g_picture = PictureWindow{};
  const int px = x, py = y + height + 10, pw = 2 * width + 20, ph = height / 2;
  HDC screen = GetDC(nullptr);
  if (screen && picture_create(&g_picture.picture, pw, ph))
    picture_capture(g_picture.picture, screen, px, py);
  if (screen) ReleaseDC(nullptr, screen);
  g_picture.hwnd =
      CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW,
                      L"HuevaneCheckPenPicture", L"huevane-check picture", WS_POPUP, px, py, pw, ph,
                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (g_picture.hwnd) ShowWindow(g_picture.hwnd, SW_SHOWNOACTIVATE);
}

void close_windows() {
  for (PenWindow &w : g_windows) {
    if (w.hwnd) DestroyWindow(w.hwnd);
    w.hwnd = nullptr;
  }
  if (g_picture.hwnd) DestroyWindow(g_picture.hwnd);
  g_picture.hwnd = nullptr;
  picture_release(&g_picture.picture);
}

hvhost::Answer seen(int count, int of) {
  if (of == 0) return hvhost::Answer::Unknown;
  return count > 0 ? hvhost::Answer::Yes : hvhost::Answer::No;
}

hvhost::Answer followed(const hvhost::PenWindowCounts &c) {
  if (c.pointer == 0) return hvhost::Answer::Unknown;
  return c.cursor * 2 >= c.pointer ? hvhost::Answer::Yes : hvhost::Answer::No;
}

void fill_answers(hvhost::MachineReport *r) {
  r->pen_test = hvhost::PenTest::Ran;
  r->pen_pointer_window = g_windows[0].counts;
  r->pen_default_window = g_windows[1].counts;
  r->pen_hook_over_pointer_window = seen(r->pen_pointer_window.hook, r->pen_pointer_window.pointer);
  r->pen_cursor_over_pointer_window = followed(r->pen_pointer_window);
  r->pen_hook_over_default_window = seen(r->pen_default_window.hook, r->pen_default_window.pointer);
  r->pen_cursor_over_default_window = followed(r->pen_default_window);
  r->picture_pen_taps = g_picture.pen_taps;
  r->picture_touch_taps = g_picture.touch_taps;
  r->picture_mouse_presses = g_picture.mouse_presses;
  r->picture_signed_presses = g_picture.signed_presses;
  r->picture_activated = g_picture.activated ? hvhost::Answer::Yes : hvhost::Answer::No;
  r->hook_pen_events = g_hook_pen;
  r->hook_touch_events = g_hook_touch;
  r->hook_mouse_events = g_hook_mouse;
  r->hook_signed_injected = g_hook_signed_injected;
}

}  // namespace

void ask_pen(hvhost::MachineReport *report, int seconds) {
  // The prompts go to stderr: stdout holds the report alone (one JSON
  // document with --json).
  if (report->pens + report->touches == 0) {
    report->pen_test = hvhost::PenTest::NoDevice;
    std::fputs("pen: no pen or touch device found; nothing to ask\n", stderr);
    return;
  }
  report->pen_seconds = seconds;
  show_windows(report->monitors.front());
  g_hook_pen = g_hook_touch = g_hook_mouse = g_hook_signed_injected = 0;
  HHOOK hook = SetWindowsHookExW(WH_MOUSE_LL, pen_hook, GetModuleHandleW(nullptr), 0);
  std::fprintf(stderr,
               "pen: hover over and tap each window with the pen, then tap the picture below "
               "them with the pen and with a finger, for %d s; close both windows to finish "
               "sooner\n",
               seconds);
  const double end = now_s() + seconds;
  while (now_s() < end && (g_windows[0].hwnd || g_windows[1].hwnd)) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    pump();
    if (g_picture.hwnd && GetForegroundWindow() == g_picture.hwnd) g_picture.activated = true;
  }
  if (hook) UnhookWindowsHookEx(hook);
  close_windows();
  fill_answers(report);
}

}  // namespace hvcheck
