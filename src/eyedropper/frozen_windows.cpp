#include "eyedropper/frozen_windows.h"

#include <stdio.h>
#include <string.h>

#include "eyedropper/loupe.h"

namespace {

constexpr char kClassName[] = "HuevaneFrozenPicture";
constexpr char kNonRude[] = "NonRudeHWND";
constexpr DWORD kExStyle = WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;

// The windows shown now: one run at a time, and the procedure has no other
// way to its picture.
FrozenWindows *g_shown = nullptr;

int index_of(const FrozenWindows &fw, HWND hwnd) {
  for (int i = 0; i < fw.count; ++i)
    if (fw.windows[i] == hwnd) return i;
  return -1;
}

// a - b when it fits an int (client coordinates of a point on the screen).
bool difference(long long a, long long b, int *out) {
  const long long d = a - b;
  if (d < INT32_MIN || d > INT32_MAX) return false;
  *out = static_cast<int>(d);
  return true;
}

// The loupe's rectangle in the client coordinates of the window over `m`;
// false when it lies beyond what they can say.
bool loupe_client_rect(const FrozenWindows &fw, const RECT &m, RECT *out) {
  int x = 0, y = 0;
  if (!difference(fw.loupe_at.x, m.left, &x) || !difference(fw.loupe_at.y, m.top, &y) ||
      x > INT32_MAX - kLoupeWidth || y > INT32_MAX - kLoupeHeight)
    return false;
  *out = {x, y, x + kLoupeWidth, y + kLoupeHeight};
  return true;
}

// The client point of a mouse message (signed 16-bit words).
POINT client_point(LPARAM lparam) {
  const uintptr_t v = static_cast<uintptr_t>(lparam);
  return {static_cast<int16_t>(v & 0xFFFF), static_cast<int16_t>((v >> 16) & 0xFFFF)};
}

void paint(const FrozenWindows &fw, HWND hwnd, int i) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (!dc) return;
  const RECT &m = fw.picture->monitors.rects[i];
  const RECT &r = ps.rcPaint;
  if (r.right > r.left && r.bottom > r.top)
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, fw.picture->dc, r.left,
           fw.picture->first_row[i] + r.top, SRCCOPY);
  RECT loupe;
  if (fw.loupe_shown && loupe_client_rect(fw, m, &loupe))
    BitBlt(dc, loupe.left, loupe.top, kLoupeWidth, kLoupeHeight, fw.loupe.dc, 0, 0, SRCCOPY);
  EndPaint(hwnd, &ps);
}

bool make_loupe(FrozenWindows *fw, HDC desktop_dc) {
  return memory_image_create(&fw->loupe, desktop_dc, kLoupeWidth, kLoupeHeight);
}

bool make_windows(FrozenWindows *fw) {
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = frozen_window_proc;
  wc.hInstance = fw->module;
  wc.hCursor = LoadCursorA(nullptr, IDC_CROSS);
  wc.lpszClassName = kClassName;
  if (!RegisterClassA(&wc)) return false;
  fw->registered = true;
  const MonitorList &monitors = fw->picture->monitors;
  for (int i = 0; i < monitors.count; ++i) {
    const RECT &r = monitors.rects[i];
    HWND hwnd = CreateWindowExA(kExStyle, kClassName, "", WS_POPUP, r.left, r.top, r.right - r.left,
                                r.bottom - r.top, nullptr, nullptr, fw->module, nullptr);
    if (!hwnd) return false;
    fw->windows[fw->count++] = hwnd;
    if (!SetPropA(hwnd, kNonRude, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(1))))
      return false;
  }
  for (int i = 0; i < fw->count; ++i) {
    if (!SetWindowPos(fw->windows[i], HWND_TOPMOST, 0, 0, 0, 0,
                      SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW))
      return false;
  }
  return fw->count > 0;
}

void invalidate_loupe(const FrozenWindows &fw) {
  for (int i = 0; i < fw.count; ++i) {
    const RECT &m = fw.picture->monitors.rects[i];
    RECT r;
    if (loupe_client_rect(fw, m, &r) && r.right > 0 && r.bottom > 0 && r.left < m.right - m.left &&
        r.top < m.bottom - m.top)
      InvalidateRect(fw.windows[i], &r, FALSE);
  }
}

}  // namespace

LRESULT CALLBACK frozen_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  FrozenWindows *fw = g_shown;
  const int i = fw ? index_of(*fw, hwnd) : -1;
  switch (message) {
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_POINTERACTIVATE: return PA_NOACTIVATE;
    case WM_TABLET_QUERYSYSTEMGESTURESTATUS: return TABLET_DISABLE_PRESSANDHOLD;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT:
      if (i < 0) break;
      paint(*fw, hwnd, i);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: {
      if (i < 0 || !fw->on_event) break;
      const RECT &m = fw->picture->monitors.rects[i];
      const POINT c = client_point(lparam);
      // A monitor lies within the int range; so does a point on it.
      const long long x = static_cast<long long>(m.left) + c.x,
                      y = static_cast<long long>(m.top) + c.y;
      if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX) return 0;
      fw->on_event(message, {static_cast<int32_t>(x), static_cast<int32_t>(y)});
      return 0;
    }
    case WM_DISPLAYCHANGE:
      if (fw && i >= 0 && fw->on_event) fw->on_event(message, {0, 0});
      break;
    default: break;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

bool frozen_windows_show(FrozenWindows *fw, const FrozenPicture *picture, HDC desktop_dc,
                         FrozenEventFunc on_event) {
  memset(fw, 0, sizeof *fw);
  if (!picture->dc || g_shown) return false;
  fw->picture = picture;
  fw->on_event = on_event;
  fw->module = GetModuleHandleA(nullptr);
  g_shown = fw;
  if (make_loupe(fw, desktop_dc) && make_windows(fw)) return true;
  frozen_windows_destroy(fw);
  return false;
}

void frozen_windows_destroy(FrozenWindows *fw) {
  for (int i = fw->count; i-- > 0;) {
    RemovePropA(fw->windows[i], kNonRude);
    DestroyWindow(fw->windows[i]);
  }
  fw->count = 0;
  if (fw->registered) UnregisterClassA(kClassName, fw->module);
  fw->registered = false;
  memory_image_release(&fw->loupe);
  fw->loupe_shown = false;
  if (g_shown == fw) g_shown = nullptr;
}

void frozen_windows_show_loupe(FrozenWindows *fw, POINT pointer, const SampleBlock &block,
                               const char *line1, const char *line2) {
  if (!fw->loupe.bits || fw->count == 0) return;
  // The monitor under the pointer, else the first.
  const MonitorList &monitors = fw->picture->monitors;
  const RECT *on = &monitors.rects[0];
  for (int i = 0; i < monitors.count; ++i) {
    const RECT &m = monitors.rects[i];
    if (pointer.x >= m.left && pointer.x < m.right && pointer.y >= m.top && pointer.y < m.bottom)
      on = &m;
  }
  const bool same = fw->loupe_shown && fw->loupe_pointer.x == pointer.x &&
                    fw->loupe_pointer.y == pointer.y &&
                    memcmp(fw->loupe_cells, block.rgb, sizeof fw->loupe_cells) == 0 &&
                    strncmp(fw->loupe_text, line1, sizeof fw->loupe_text) == 0;
  if (same) return;
  fw->loupe_pointer = pointer;
  memcpy(fw->loupe_cells, block.rgb, sizeof fw->loupe_cells);
  snprintf(fw->loupe_text, sizeof fw->loupe_text, "%s", line1);
  if (fw->loupe_shown) invalidate_loupe(*fw);
  loupe_compose(fw->loupe.bits, block, line1, line2);
  fw->loupe_at = loupe_place(pointer, *on);
  fw->loupe_shown = true;
  invalidate_loupe(*fw);
}
