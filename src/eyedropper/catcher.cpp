#include "eyedropper/catcher.h"

#include <string.h>

namespace {

constexpr char kClassName[] = "HuevanePointerCatcher";
constexpr DWORD kExStyle = WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_LAYERED;
// The least alpha that is still hit-tested: alpha 0 lets input through.
constexpr BYTE kAlpha = 1;
// A channel below this can read the same under a tint of one level, as the
// compositor rounds; a check over such cells proves nothing.
constexpr uint32_t kTellingLevel = 128;

// SetWindowDisplayAffinity and GetWindowDisplayAffinity came with Windows 7
// and are looked up so that the module loads without them.
struct AffinityFunctions {
  SetWindowDisplayAffinityFunc set;
  GetWindowDisplayAffinityFunc get;
};

AffinityFunctions affinity_functions() {
  AffinityFunctions f = {nullptr, nullptr};
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (!user32) return f;
  f.set = reinterpret_cast<SetWindowDisplayAffinityFunc>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(user32, "SetWindowDisplayAffinity")));
  f.get = reinterpret_cast<GetWindowDisplayAffinityFunc>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(user32, "GetWindowDisplayAffinity")));
  return f;
}

bool excluded(const AffinityFunctions &f, HWND hwnd) {
  if (!f.set(hwnd, WDA_EXCLUDEFROMCAPTURE)) return false;
  DWORD held = WDA_NONE;
  return f.get(hwnd, &held) && held == WDA_EXCLUDEFROMCAPTURE;
}

bool telling(const SampleBlock &block) {
  for (int i = 0; i < kSampleBlockCells; ++i) {
    const uint32_t c = block.rgb[i];
    if (block.readable[i] &&
        (((c >> 16) & 0xFFu) >= kTellingLevel || ((c >> 8) & 0xFFu) >= kTellingLevel ||
         (c & 0xFFu) >= kTellingLevel)) {
      return true;
    }
  }
  return false;
}

bool same_block(const SampleBlock &a, const SampleBlock &b) {
  return memcmp(a.rgb, b.rgb, sizeof a.rgb) == 0 &&
         memcmp(a.readable, b.readable, sizeof a.readable) == 0;
}

// The windows, hidden, excluded and all but transparent.
bool make_windows(Catcher *catcher, const AffinityFunctions &f, const MonitorList &monitors) {
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = catcher_window_proc;
  wc.hInstance = catcher->module;
  wc.lpszClassName = kClassName;
  if (!RegisterClassA(&wc)) return false;
  catcher->registered = true;
  for (int i = 0; i < monitors.count && i < kMaxMonitors; ++i) {
    const RECT &r = monitors.rects[i];
    HWND hwnd = CreateWindowExA(kExStyle, kClassName, "", WS_POPUP, r.left, r.top, r.right - r.left,
                                r.bottom - r.top, nullptr, nullptr, catcher->module, nullptr);
    if (!hwnd) return false;
    catcher->windows[catcher->count++] = hwnd;
    if (!excluded(f, hwnd) || !SetLayeredWindowAttributes(hwnd, 0, kAlpha, LWA_ALPHA)) return false;
  }
  return catcher->count > 0;
}

bool show_windows(const Catcher &catcher) {
  for (int i = 0; i < catcher.count; ++i) {
    if (!SetWindowPos(catcher.windows[i], HWND_TOPMOST, 0, 0, 0, 0,
                      SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW))
      return false;
  }
  return true;
}

}  // namespace

LRESULT CALLBACK catcher_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_POINTERACTIVATE: return PA_NOACTIVATE;
    case WM_TABLET_QUERYSYSTEMGESTURESTATUS: return TABLET_DISABLE_PRESSANDHOLD;
    default: break;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

bool catcher_create(Catcher *catcher, const ScreenBlock &screen, HDC desktop_dc,
                    const MonitorList &monitors, POINT pointer) {
  memset(catcher, 0, sizeof *catcher);
  const AffinityFunctions f = affinity_functions();
  if (!f.set || !f.get || !screen.dc) return false;
  catcher->module = GetModuleHandleA(nullptr);
  // The windows are made and asked first, hidden: where the system cannot
  // keep them out of reads, no screen read is spent. Then one read without
  // them and one with them shown: equal, and able to show a tint, or the
  // catcher goes.
  SampleBlock before, after;
  bool kept = make_windows(catcher, f, monitors);
  if (kept) {
    screen_block_read(screen, desktop_dc, monitors, pointer, 0, &before);
    kept = telling(before) && show_windows(*catcher);
  }
  if (kept) {
    screen_block_read(screen, desktop_dc, monitors, pointer, 0, &after);
    kept = same_block(before, after);
  }
  if (!kept) catcher_destroy(catcher);
  return kept;
}

void catcher_destroy(Catcher *catcher) {
  for (int i = catcher->count; i-- > 0;) DestroyWindow(catcher->windows[i]);
  catcher->count = 0;
  if (catcher->registered) UnregisterClassA(kClassName, catcher->module);
  catcher->registered = false;
}
