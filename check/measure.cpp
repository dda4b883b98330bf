#include "check/measure.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "eyedropper/desktop_space.h"
#include "eyedropper/screen_block.h"

namespace hvcheck {

namespace {

// Each cost is sampled until this many reads or this much time (shared
// out when there are more than five monitors), whichever comes first, and
// at least kMinReads times.
constexpr int kMaxReads = 200;
constexpr int kMinReads = 10;
constexpr double kReadBudgetS = 0.4;
constexpr int kSide = kSampleBlockSide;      // the known-colour window: one pixel a cell
constexpr uint32_t kCoverColour = 0xFF00FF;  // the excluded window: magenta
constexpr ULONG_PTR kProbeTag = 0x48564348;  // "HVCH": the probe's dwExtraInfo
constexpr int kProbes = 20;

template <typename Fn>
Fn proc(HMODULE module, const char *name) {
  if (!module) return nullptr;
  FARPROC p = GetProcAddress(module, name);
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(p));
}

HMODULE user32() { return GetModuleHandleA("user32.dll"); }

// The known colours: cell (col, row) is 0x00RRGGBB.
uint32_t known_colour(int col, int row) {
  return static_cast<uint32_t>(col * 17) << 16 | static_cast<uint32_t>(row * 17) << 8 |
         static_cast<uint32_t>(0x40 + (col + row) * 6);
}

uint32_t from_colorref(COLORREF c) { return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); }

// A top-most, non-activating window of kSide x kSide pixels showing either
// the known colours or one solid colour.
struct ColourWindow {
  HWND hwnd = nullptr;
  bool solid = false;
  uint32_t colour = 0;
};

LRESULT CALLBACK colour_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    const auto *w = reinterpret_cast<const ColourWindow *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    uint32_t pixels[kSide * kSide];
    for (int row = 0; row < kSide; ++row)
      for (int col = 0; col < kSide; ++col)
        pixels[row * kSide + col] = w && w->solid ? w->colour : known_colour(col, row);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kSide;
    info.bmiHeader.biHeight = -kSide;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, kSide, kSide, 0, 0, 0, kSide, pixels, &info, DIB_RGB_COLORS);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

const wchar_t *colour_class() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = colour_window_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"HuevaneCheckColours";
    registered = RegisterClassW(&wc) != 0;
  }
  return L"HuevaneCheckColours";
}

bool show(ColourWindow *w, int x, int y) {
  w->hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, colour_class(),
                            L"huevane-check", WS_POPUP, x, y, kSide, kSide, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (!w->hwnd) return false;
  SetWindowLongPtrW(w->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
  ShowWindow(w->hwnd, SW_SHOWNOACTIVATE);
  UpdateWindow(w->hwnd);
  return true;
}

void close(ColourWindow *w) {
  if (w->hwnd) DestroyWindow(w->hwnd);
  w->hwnd = nullptr;
  pump();
}

// The window's rectangle as the screen has it: a window the system placed
// elsewhere (kept on a monitor, scaled) is not where the colours are read.
bool placed_at(HWND hwnd, int x, int y) {
  RECT r;
  return GetWindowRect(hwnd, &r) && r.left == x && r.top == y && r.right - r.left == kSide &&
         r.bottom - r.top == kSide;
}

hvhost::UnderExcluded classify(const uint32_t *read, int n, const uint32_t *beneath) {
  bool all_beneath = true, all_black = true, all_window = true;
  for (int i = 0; i < n; ++i) {
    all_beneath = all_beneath && read[i] == beneath[i];
    all_black = all_black && read[i] == 0;
    all_window = all_window && read[i] == kCoverColour;
  }
  return all_beneath  ? hvhost::UnderExcluded::Beneath
         : all_black  ? hvhost::UnderExcluded::Black
         : all_window ? hvhost::UnderExcluded::Window
                      : hvhost::UnderExcluded::Other;
}

}  // namespace

void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void settle() {
  pump();
  using DwmFlushFn = HRESULT(WINAPI *)(void);
  static HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
  if (auto flush = proc<DwmFlushFn>(dwm, "DwmFlush")) {
    flush();
    flush();
  }
  Sleep(100);
  pump();
}

double now_s() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

hvhost::ReadCost summarize_ms(std::vector<double> s) {
  hvhost::ReadCost c;
  if (s.empty()) return c;
  std::sort(s.begin(), s.end());
  c.median_ms = s[s.size() / 2];
  c.p95_ms = s[std::min(s.size() - 1, s.size() * 95 / 100)];
  c.count = static_cast<int>(s.size());
  return c;
}

void measure_system(hvhost::MachineReport *r) {
  struct VersionInfo {
    ULONG size, major, minor, build, platform;
    WCHAR service_pack[128];
  } v = {};
  v.size = sizeof v;
  using RtlGetVersionFn = LONG(WINAPI *)(VersionInfo *);
  if (auto get = proc<RtlGetVersionFn>(GetModuleHandleA("ntdll.dll"), "RtlGetVersion");
      get && get(&v) == 0) {
    r->windows_major = static_cast<int>(v.major);
    r->windows_minor = static_cast<int>(v.minor);
    r->windows_build = static_cast<int>(v.build);
  }
  using DwmEnabledFn = HRESULT(WINAPI *)(BOOL *);
  HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
  BOOL on = FALSE;
  if (auto enabled = proc<DwmEnabledFn>(dwm, "DwmIsCompositionEnabled");
      enabled && enabled(&on) == S_OK)
    r->compositor = on ? hvhost::Answer::Yes : hvhost::Answer::No;

  // The thread's context before any switch is the process's default.
  using GetContextFn = DPI_AWARENESS_CONTEXT(WINAPI *)(void);
  using AwarenessFn = int(WINAPI *)(DPI_AWARENESS_CONTEXT);
  using EqualFn = BOOL(WINAPI *)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT);
  auto get_context = proc<GetContextFn>(user32(), "GetThreadDpiAwarenessContext");
  auto awareness = proc<AwarenessFn>(user32(), "GetAwarenessFromDpiAwarenessContext");
  auto equal = proc<EqualFn>(user32(), "AreDpiAwarenessContextsEqual");
  if (get_context && awareness) {
    DPI_AWARENESS_CONTEXT c = get_context();
    static const char *const kNames[] = {"unaware", "system", "per-monitor"};
    const int a = awareness(c);
    if (a >= 0 && a <= 2) r->process_dpi = kNames[a];
    if (a == 2 && equal && equal(c, DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2))
      r->process_dpi = "per-monitor-v2";
  }
  if (SetThreadDpiContextFn set = dpi_context_function()) {
    DPI_AWARENESS_CONTEXT previous = set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    r->dpi_v2 = previous ? hvhost::Answer::Yes : hvhost::Answer::No;
    if (previous) set(previous);
    previous = set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    r->dpi_v1 = previous ? hvhost::Answer::Yes : hvhost::Answer::No;
    if (previous) set(previous);
  } else {
    r->dpi_v2 = r->dpi_v1 = hvhost::Answer::No;
  }
}

namespace {

struct MonitorFound {
  RECT rect;
  bool primary;
  int scale;
};

BOOL CALLBACK add_monitor(HMONITOR monitor, HDC, RECT *, LPARAM data) {
  auto *found = reinterpret_cast<std::vector<MonitorFound> *>(data);
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(monitor, &info)) return TRUE;
  int scale = 100;
  using DpiForMonitorFn = HRESULT(WINAPI *)(HMONITOR, int, UINT *, UINT *);
  static HMODULE shcore = LoadLibraryW(L"shcore.dll");
  UINT dx = 0, dy = 0;
  if (auto dpi = proc<DpiForMonitorFn>(shcore, "GetDpiForMonitor");
      dpi && dpi(monitor, 0, &dx, &dy) == S_OK && dx > 0) {
    scale = static_cast<int>((dx * 100 + 48) / 96);
  } else if (HDC screen = GetDC(nullptr)) {
    scale = (GetDeviceCaps(screen, LOGPIXELSX) * 100 + 48) / 96;
    ReleaseDC(nullptr, screen);
  }
  found->push_back(
      {info.rcMonitor, (info.dwFlags & MONITORINFOF_PRIMARY) != 0, std::clamp(scale, 100, 500)});
  return found->size() < 16;
}

}  // namespace

void measure_monitors(hvhost::MachineReport *r) {
  std::vector<MonitorFound> found;
  EnumDisplayMonitors(nullptr, nullptr, add_monitor, reinterpret_cast<LPARAM>(&found));
  std::stable_sort(found.begin(), found.end(), [](const MonitorFound &a, const MonitorFound &b) {
    return a.primary > b.primary;
  });
  if (found.empty()) {
    found.push_back(
        {{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, true, 100});
  }
  for (const MonitorFound &m : found) {
    hvhost::ReportMonitor rm;
    rm.x = m.rect.left;
    rm.y = m.rect.top;
    rm.width = std::clamp(static_cast<int>(m.rect.right - m.rect.left), 1, 16384);
    rm.height = std::clamp(static_cast<int>(m.rect.bottom - m.rect.top), 1, 16384);
    rm.scale = m.scale;
    r->monitors.push_back(rm);
  }
}

void measure_hook_timeout(hvhost::MachineReport *r) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &key) ==
      ERROR_SUCCESS) {
    BYTE data[64] = {};
    DWORD type = 0, size = sizeof data - sizeof(WCHAR);
    if (RegQueryValueExW(key, L"LowLevelHooksTimeout", nullptr, &type, data, &size) ==
        ERROR_SUCCESS) {
      if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD v;
        std::memcpy(&v, data, sizeof v);
        r->hook_timeout_set_ms = v;
      } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        const auto *text = reinterpret_cast<const wchar_t *>(data);
        long long v = 0;
        int digits = 0;
        for (; digits < 10 && text[digits] >= L'0' && text[digits] <= L'9'; ++digits)
          v = v * 10 + (text[digits] - L'0');
        if (digits > 0) r->hook_timeout_set_ms = v;
      }
    }
    RegCloseKey(key);
  }
  // Not set: 300 ms, by public measurements (Microsoft does not say). From
  // Windows 10 1709 (build 16299) the system allows at most 1000 ms.
  long long in_force = r->hook_timeout_set_ms >= 0 ? r->hook_timeout_set_ms : 300;
  const bool capped =
      r->windows_major > 10 || (r->windows_major == 10 && r->windows_build >= 16299);
  if (capped && in_force > 1000) in_force = 1000;
  r->hook_timeout_ms = static_cast<int>(std::clamp<long long>(in_force, 1, 60000));
}

void measure_reads(hvhost::MachineReport *r) {
  HWND desktop = GetDesktopWindow();
  HDC dc = GetWindowDC(desktop);
  MonitorList list;
  monitor_list_read(&list, desktop);
  ScreenBlock block;
  const bool have_block = dc && screen_block_create(&block, dc);
  static SampleBlock read;
  // Many monitors share the time: the whole check stays within seconds.
  const double budget_s = std::min(kReadBudgetS, 2.0 / static_cast<double>(r->monitors.size()));
  for (hvhost::ReportMonitor &m : r->monitors) {
    const int cx = m.x + m.width / 2, cy = m.y + m.height / 2;
    // The costs, on the monitor's middle.
    std::vector<double> pixel_ms, block_ms;
    double start = now_s();
    while (dc && static_cast<int>(pixel_ms.size()) < kMaxReads &&
           (static_cast<int>(pixel_ms.size()) < kMinReads || now_s() - start < budget_s)) {
      const double t0 = now_s();
      const COLORREF c = GetPixel(dc, cx, cy);
      const double t1 = now_s();
      if (c == CLR_INVALID) break;
      pixel_ms.push_back((t1 - t0) * 1e3);
    }
    start = now_s();
    while (have_block && static_cast<int>(block_ms.size()) < kMaxReads &&
           (static_cast<int>(block_ms.size()) < kMinReads || now_s() - start < budget_s)) {
      const double t0 = now_s();
      screen_block_read(block, dc, list, POINT{cx, cy}, 1, &read);
      block_ms.push_back((now_s() - t0) * 1e3);
    }
    m.getpixel = summarize_ms(pixel_ms);
    m.block = summarize_ms(block_ms);

    // Known colours: the block against GetPixel against what was drawn.
    // Where a read costs milliseconds, GetPixel reads a 5 x 5 lattice of
    // the cells (edges, middle and between) rather than all 225.
    ColourWindow w;
    const int x = cx - kSampleBlockCentre, y = cy - kSampleBlockCentre;
    if (!dc || !have_block || !show(&w, x, y)) continue;
    settle();
    if (placed_at(w.hwnd, x, y)) {
      screen_block_read(block, dc, list, POINT{cx, cy}, 1, &read);
      const bool dear = m.getpixel.median_ms > 2;
      m.cells = m.block_equal = m.drawn_equal = 0;
      for (int row = 0; row < kSide; ++row) {
        for (int col = 0; col < kSide; ++col) {
          const auto on_lattice = [](int i) {
            return i == 0 || i == 3 || i == 7 || i == 11 || i == 14;
          };
          if (dear && !(on_lattice(row) && on_lattice(col))) continue;
          const uint32_t pixel = from_colorref(GetPixel(dc, x + col, y + row));
          const int i = row * kSide + col;
          const uint32_t cell = read.readable[i] ? read.rgb[i] : 0xFFFFFFFFu;
          ++m.cells;
          if (cell == pixel) ++m.block_equal;
          if (cell == pixel && pixel == known_colour(col, row)) ++m.drawn_equal;
        }
      }
    }
    close(&w);
  }
  if (have_block) screen_block_release(&block);
  if (dc) ReleaseDC(desktop, dc);
}

void measure_capture_exclusion(hvhost::MachineReport *r) {
  const hvhost::ReportMonitor &primary = r->monitors.front();
  const int x = primary.width / 2 - kSide * 3, y = primary.height / 2 - kSide * 3;
  ColourWindow beneath, cover;
  cover.solid = true;
  cover.colour = kCoverColour;
  if (!show(&beneath, x, y) || !show(&cover, x, y)) {
    close(&cover);
    close(&beneath);
    return;
  }
  using SetAffinityFn = BOOL(WINAPI *)(HWND, DWORD);
  using GetAffinityFn = BOOL(WINAPI *)(HWND, DWORD *);
  auto set = proc<SetAffinityFn>(user32(), "SetWindowDisplayAffinity");
  auto get = proc<GetAffinityFn>(user32(), "GetWindowDisplayAffinity");
  r->exclusion_set =
      set && set(cover.hwnd, WDA_EXCLUDEFROMCAPTURE) ? hvhost::Answer::Yes : hvhost::Answer::No;
  DWORD affinity = 0;
  if (get && get(cover.hwnd, &affinity)) r->exclusion_readback = affinity;
  settle();

  HWND desktop = GetDesktopWindow();
  HDC dc = GetWindowDC(desktop);
  MonitorList list;
  monitor_list_read(&list, desktop);
  ScreenBlock block;
  if (dc && placed_at(cover.hwnd, x, y) && placed_at(beneath.hwnd, x, y) &&
      screen_block_create(&block, dc)) {
    // Five cells by GetPixel (corners and centre), every cell by the block.
    static const int kCells[][2] = {{0, 0}, {14, 0}, {7, 7}, {0, 14}, {14, 14}};
    uint32_t pixels[5], expected[5];
    for (int i = 0; i < 5; ++i) {
      pixels[i] = from_colorref(GetPixel(dc, x + kCells[i][0], y + kCells[i][1]));
      expected[i] = known_colour(kCells[i][0], kCells[i][1]);
    }
    r->exclusion_getpixel = classify(pixels, 5, expected);
    static SampleBlock read;
    screen_block_read(block, dc, list, POINT{x + kSampleBlockCentre, y + kSampleBlockCentre}, 1,
                      &read);
    uint32_t all[kSide * kSide];
    for (int row = 0; row < kSide; ++row)
      for (int col = 0; col < kSide; ++col) all[row * kSide + col] = known_colour(col, row);
    r->exclusion_block = classify(read.rgb, kSide * kSide, all);
    screen_block_release(&block);
  }
  if (dc) ReleaseDC(desktop, dc);
  close(&cover);
  close(&beneath);
}

namespace {

// The probe's hook thread and what it saw.
struct ProbeState {
  HANDLE seen = nullptr;        // set when a tagged move arrives
  volatile double seen_at = 0;  // when, in now_s()
  std::vector<double> cost_us;  // time inside the hook, every event
  DWORD thread = 0;
  HANDLE ready = nullptr;
  bool hooked = false;
  POINT last_point = {};
};
ProbeState *g_probe = nullptr;

LRESULT CALLBACK probe_hook(int code, WPARAM wp, LPARAM lp) {
  const double t0 = now_s();
  // What the eyedropper's hook does on a move: note the point and go on.
  if (code == HC_ACTION && g_probe) {
    const auto *info = reinterpret_cast<const MSLLHOOKSTRUCT *>(lp);
    g_probe->last_point = info->pt;
    if (wp == WM_MOUSEMOVE && info->dwExtraInfo == kProbeTag) {
      g_probe->seen_at = t0;
      SetEvent(g_probe->seen);
    }
  }
  const LRESULT result = CallNextHookEx(nullptr, code, wp, lp);
  if (g_probe && g_probe->cost_us.size() < 10000) g_probe->cost_us.push_back((now_s() - t0) * 1e6);
  return result;
}

DWORD WINAPI probe_thread(void *data) {
  auto *state = static_cast<ProbeState *>(data);
  HHOOK hook = SetWindowsHookExW(WH_MOUSE_LL, probe_hook, GetModuleHandleW(nullptr), 0);
  state->hooked = hook != nullptr;
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue, before `ready`
  SetEvent(state->ready);
  while (hook && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  if (hook) UnhookWindowsHookEx(hook);
  return 0;
}

}  // namespace

void measure_hook_probe(hvhost::MachineReport *r) {
  ProbeState state;
  state.seen = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  state.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  state.cost_us.reserve(10000);
  g_probe = &state;
  HANDLE thread = CreateThread(nullptr, 0, probe_thread, &state, 0, &state.thread);
  if (thread) WaitForSingleObject(state.ready, 2000);
  std::vector<double> latency;
  int missed_in_a_row = 0;
  for (int i = 0; thread && state.hooked && i < kProbes && missed_in_a_row < 3; ++i) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_MOVE;  // relative, zero distance: the pointer stays
    in.mi.dwExtraInfo = kProbeTag;
    ResetEvent(state.seen);
    const double t0 = now_s();
    ++r->probes;
    if (SendInput(1, &in, sizeof in) == 1 &&
        WaitForSingleObject(state.seen, 500) == WAIT_OBJECT_0) {
      ++r->probes_seen;
      latency.push_back((state.seen_at - t0) * 1e3);
      missed_in_a_row = 0;
    } else {
      ++missed_in_a_row;
    }
    Sleep(5);
  }
  if (thread) {
    PostThreadMessageW(state.thread, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, 2000);
    CloseHandle(thread);
  }
  g_probe = nullptr;
  r->probe_latency = summarize_ms(latency);
  std::vector<double> cost = state.cost_us;  // microseconds, summarized alike
  r->hook_cost_us = summarize_ms(cost);
  CloseHandle(state.seen);
  CloseHandle(state.ready);
}

namespace {

bool open_clipboard(HWND owner) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(20);
  }
  return false;
}

HGLOBAL copy_global(const void *data, size_t size) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
  if (!h) return nullptr;
  if (void *p = GlobalLock(h)) {
    if (size) std::memcpy(p, data, size);
    GlobalUnlock(h);
    return h;
  }
  GlobalFree(h);
  return nullptr;
}

bool set_private(UINT format) {
  static const char kData[] = "huevane-check";
  HGLOBAL h = copy_global(kData, sizeof kData);
  if (!h) return false;
  if (SetClipboardData(format, h)) return true;
  GlobalFree(h);
  return false;
}

}  // namespace

void measure_clipboard(hvhost::MachineReport *r, HWND owner) {
  const UINT format = RegisterClipboardFormatW(L"Huevane check probe");
  if (!format || !open_clipboard(owner)) return;
  // What is there now, kept to be put back: text alone, or nothing.
  std::string text;
  bool had_text = false, keepable = true;
  for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) {
    if (f == CF_UNICODETEXT) {
      HANDLE h = GetClipboardData(CF_UNICODETEXT);
      const void *p = h ? GlobalLock(h) : nullptr;
      if (!p) {
        keepable = false;
        break;
      }
      text.assign(static_cast<const char *>(p), GlobalSize(h));
      GlobalUnlock(h);
      had_text = true;
    } else if (f != CF_TEXT && f != CF_OEMTEXT && f != CF_LOCALE) {
      keepable = false;
    }
  }
  if (!keepable) {
    CloseClipboard();
    return;
  }
  // Opened for a window: data set after emptying it is taken.
  r->clipboard_own_window =
      EmptyClipboard() && set_private(format) ? hvhost::Answer::Yes : hvhost::Answer::No;
  CloseClipboard();
  // Opened without an owner: data set after emptying it is refused.
  if (open_clipboard(nullptr)) {
    r->clipboard_no_owner_refused =
        EmptyClipboard() && !set_private(format) ? hvhost::Answer::Yes : hvhost::Answer::No;
    CloseClipboard();
  }
  // Back as it was.
  if (open_clipboard(owner)) {
    EmptyClipboard();
    if (had_text) {
      if (HGLOBAL h = copy_global(text.data(), text.size());
          h && !SetClipboardData(CF_UNICODETEXT, h))
        GlobalFree(h);
    }
    CloseClipboard();
  }
}

void measure_pointer_devices(hvhost::MachineReport *r) {
  using DevicesFn = BOOL(WINAPI *)(UINT32 *, POINTER_DEVICE_INFO *);
  using InPointerFn = BOOL(WINAPI *)(void);
  if (auto devices = proc<DevicesFn>(user32(), "GetPointerDevices")) {
    UINT32 count = 0;
    if (devices(&count, nullptr) && count > 0 && count < 64) {
      std::vector<POINTER_DEVICE_INFO> list(count);
      if (devices(&count, list.data())) {
        for (UINT32 i = 0; i < count && i < list.size(); ++i) {
          const auto type = list[i].pointerDeviceType;
          if (type == POINTER_DEVICE_TYPE_INTEGRATED_PEN ||
              type == POINTER_DEVICE_TYPE_EXTERNAL_PEN)
            ++r->pens;
          else if (type == POINTER_DEVICE_TYPE_TOUCH)
            ++r->touches;
        }
      }
    }
  } else {
    // Before Windows 8: the digitizer's flags.
    const int digitizer = GetSystemMetrics(SM_DIGITIZER);
    r->pens = (digitizer & (NID_INTEGRATED_PEN | NID_EXTERNAL_PEN)) ? 1 : 0;
    r->touches = (digitizer & (NID_INTEGRATED_TOUCH | NID_EXTERNAL_TOUCH)) ? 1 : 0;
  }
  if (auto in_pointer = proc<InPointerFn>(user32(), "IsMouseInPointerEnabled"))
    r->mouse_in_pointer = in_pointer() ? hvhost::Answer::Yes : hvhost::Answer::No;
}

}  // namespace hvcheck
