#include "win32/win32_audit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace hvwin {

namespace {

Win32Counts g_counts;
unsigned g_read_ms = 0;
BusyTime g_hook_busy, g_tick_busy;
HOOKPROC g_hook_proc = nullptr;
TIMERPROC g_timer_proc = nullptr;

using SetHookFn = HHOOK(WINAPI *)(int, HOOKPROC, HINSTANCE, DWORD);
using UnhookFn = BOOL(WINAPI *)(HHOOK);
using SetTimerFn = UINT_PTR(WINAPI *)(HWND, UINT_PTR, UINT, TIMERPROC);
using KillTimerFn = BOOL(WINAPI *)(HWND, UINT_PTR);
using GetWindowDCFn = HDC(WINAPI *)(HWND);
using ReleaseDCFn = int(WINAPI *)(HWND, HDC);
using GetPixelFn = COLORREF(WINAPI *)(HDC, int, int);
using BitBltFn = BOOL(WINAPI *)(HDC, int, int, int, int, HDC, int, int, DWORD);
using CreateWindowFn = HWND(WINAPI *)(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU,
                                      HINSTANCE, LPVOID);
using DestroyWindowFn = BOOL(WINAPI *)(HWND);
using SetWindowPosFn = BOOL(WINAPI *)(HWND, HWND, int, int, int, int, UINT);

SetHookFn real_set_hook = nullptr;
UnhookFn real_unhook = nullptr;
SetTimerFn real_set_timer = nullptr;
KillTimerFn real_kill_timer = nullptr;
GetWindowDCFn real_get_window_dc = nullptr;
ReleaseDCFn real_release_dc = nullptr;
GetPixelFn real_get_pixel = nullptr;
BitBltFn real_bitblt = nullptr;
CreateWindowFn real_create_window = nullptr;
DestroyWindowFn real_destroy_window = nullptr;
SetWindowPosFn real_set_window_pos = nullptr;

double now_ms() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return static_cast<double>(t.QuadPart) * 1e3 / static_cast<double>(f.QuadPart);
}

void add_busy(BusyTime *b, double ms) {
  ++b->calls;
  b->total_ms += ms;
  b->max_ms = std::max(b->max_ms, ms);
}

// The plug-in's procedures, timed: what they keep the thread from.
LRESULT CALLBACK timed_hook(int code, WPARAM w, LPARAM l) {
  const double t0 = now_ms();
  const LRESULT r = g_hook_proc(code, w, l);
  add_busy(&g_hook_busy, now_ms() - t0);
  return r;
}

void CALLBACK timed_timer(HWND hwnd, UINT message, UINT_PTR id, DWORD time) {
  const double t0 = now_ms();
  g_timer_proc(hwnd, message, id, time);
  add_busy(&g_tick_busy, now_ms() - t0);
}

// A screen DC's read waits as a composited desktop's does.
void screen_read_wait(HDC dc) {
  if (g_read_ms > 0 && GetObjectType(dc) != OBJ_MEMDC) Sleep(g_read_ms);
}

HHOOK WINAPI counted_set_hook(int id, HOOKPROC proc, HINSTANCE mod, DWORD thread) {
  // One procedure at a time: the plug-in installs one hook and, after a
  // loss, the same one again.
  if (proc) g_hook_proc = proc;
  HHOOK h = real_set_hook(id, proc ? timed_hook : proc, mod, thread);
  if (h) ++g_counts.hooks_set;
  return h;
}
BOOL WINAPI counted_unhook(HHOOK h) {
  const BOOL ok = real_unhook(h);
  if (ok) ++g_counts.hooks_removed;
  return ok;
}
UINT_PTR WINAPI counted_set_timer(HWND hwnd, UINT_PTR id, UINT ms, TIMERPROC proc) {
  if (proc) g_timer_proc = proc;
  const UINT_PTR t = real_set_timer(hwnd, id, ms, proc ? timed_timer : proc);
  if (t) ++g_counts.timers_set;
  return t;
}
BOOL WINAPI counted_kill_timer(HWND hwnd, UINT_PTR id) {
  const BOOL ok = real_kill_timer(hwnd, id);
  if (ok) ++g_counts.timers_killed;
  return ok;
}
HDC WINAPI counted_get_window_dc(HWND hwnd) {
  HDC dc = real_get_window_dc(hwnd);
  if (dc) ++g_counts.dcs_taken;
  return dc;
}
int WINAPI counted_release_dc(HWND hwnd, HDC dc) {
  const int r = real_release_dc(hwnd, dc);
  if (r) ++g_counts.dcs_released;
  return r;
}
COLORREF WINAPI counted_get_pixel(HDC dc, int x, int y) {
  ++g_counts.pixels_read;
  screen_read_wait(dc);
  return real_get_pixel(dc, x, y);
}
BOOL WINAPI counted_bitblt(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy,
                           DWORD rop) {
  if (GetObjectType(source) != OBJ_MEMDC) ++g_counts.blocks_read;
  screen_read_wait(source);
  return real_bitblt(dest, x, y, w, h, source, sx, sy, rop);
}

HWND WINAPI counted_create_window(DWORD ex_style, LPCSTR cls, LPCSTR name, DWORD style, int x,
                                  int y, int w, int h, HWND parent, HMENU menu, HINSTANCE inst,
                                  LPVOID param) {
  HWND hwnd = real_create_window(ex_style, cls, name, style, x, y, w, h, parent, menu, inst, param);
  if (hwnd) {
    ++g_counts.windows_made;
    if (style & WS_VISIBLE) ++g_counts.windows_shown;
  }
  return hwnd;
}
BOOL WINAPI counted_destroy_window(HWND hwnd) {
  const BOOL ok = real_destroy_window(hwnd);
  if (ok) ++g_counts.windows_destroyed;
  return ok;
}
BOOL WINAPI counted_set_window_pos(HWND hwnd, HWND after, int x, int y, int w, int h, UINT flags) {
  const BOOL ok = real_set_window_pos(hwnd, after, x, y, w, h, flags);
  if (ok && (flags & SWP_SHOWWINDOW)) ++g_counts.windows_shown;
  return ok;
}

struct Patch {
  const char *dll;
  const char *name;
  void **real;
  void *counted;
};

template <typename F>
void **slot(F *f) {
  return reinterpret_cast<void **>(f);
}

}  // namespace

bool audit_module_imports(HMODULE module, std::string *error) {
  const Patch patches[] = {
      {"user32.dll", "SetWindowsHookExA", slot(&real_set_hook),
       reinterpret_cast<void *>(&counted_set_hook)},
      {"user32.dll", "UnhookWindowsHookEx", slot(&real_unhook),
       reinterpret_cast<void *>(&counted_unhook)},
      {"user32.dll", "SetTimer", slot(&real_set_timer),
       reinterpret_cast<void *>(&counted_set_timer)},
      {"user32.dll", "KillTimer", slot(&real_kill_timer),
       reinterpret_cast<void *>(&counted_kill_timer)},
      {"user32.dll", "GetWindowDC", slot(&real_get_window_dc),
       reinterpret_cast<void *>(&counted_get_window_dc)},
      {"user32.dll", "ReleaseDC", slot(&real_release_dc),
       reinterpret_cast<void *>(&counted_release_dc)},
      {"gdi32.dll", "GetPixel", slot(&real_get_pixel),
       reinterpret_cast<void *>(&counted_get_pixel)},
      {"gdi32.dll", "BitBlt", slot(&real_bitblt), reinterpret_cast<void *>(&counted_bitblt)},
      {"user32.dll", "CreateWindowExA", slot(&real_create_window),
       reinterpret_cast<void *>(&counted_create_window)},
      {"user32.dll", "DestroyWindow", slot(&real_destroy_window),
       reinterpret_cast<void *>(&counted_destroy_window)},
      {"user32.dll", "SetWindowPos", slot(&real_set_window_pos),
       reinterpret_cast<void *>(&counted_set_window_pos)},
  };
  void *targets[sizeof patches / sizeof patches[0]] = {};
  for (size_t i = 0; i < sizeof patches / sizeof patches[0]; ++i) {
    HMODULE dll = LoadLibraryA(patches[i].dll);
    targets[i] = dll ? reinterpret_cast<void *>(GetProcAddress(dll, patches[i].name)) : nullptr;
    *patches[i].real = targets[i];
  }

  auto *base = reinterpret_cast<unsigned char *>(module);
  const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) {
    *error = "the module has no DOS header";
    return false;
  }
  const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) {
    *error = "the module imports nothing";
    return false;
  }
  int patched = 0;
  for (auto *d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress);
       d->Name != 0; ++d) {
    auto *iat = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->FirstThunk);
    for (; iat->u1.Function != 0; ++iat) {
      void *current = reinterpret_cast<void *>(iat->u1.Function);
      for (size_t i = 0; i < sizeof patches / sizeof patches[0]; ++i) {
        if (!targets[i] || current != targets[i]) continue;
        DWORD old = 0;
        VirtualProtect(&iat->u1.Function, sizeof iat->u1.Function, PAGE_READWRITE, &old);
        iat->u1.Function = reinterpret_cast<ULONG_PTR>(patches[i].counted);
        VirtualProtect(&iat->u1.Function, sizeof iat->u1.Function, old, &old);
        ++patched;
      }
    }
  }
  if (patched == 0) {
    *error = "none of the counted functions is in the module's import table";
    return false;
  }
  return true;
}

Win32Counts win32_counts() { return g_counts; }
void set_screen_read_cost(unsigned ms) { g_read_ms = ms; }
BusyTime hook_busy() { return g_hook_busy; }
BusyTime tick_busy() { return g_tick_busy; }

std::string format_busy() {
  const auto part = [](const char *name, const BusyTime &b) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s %llu calls mean %.2f ms max %.2f ms", name,
                  static_cast<unsigned long long>(b.calls),
                  b.calls ? b.total_ms / static_cast<double>(b.calls) : 0.0, b.max_ms);
    return std::string(buf);
  };
  return "busy " + part("hook", g_hook_busy) + " " + part("tick", g_tick_busy);
}

std::string format_counts(const Win32Counts &c) {
  return "win32 hooks " + std::to_string(c.hooks_live()) + " timers " +
         std::to_string(c.timers_live()) + " dcs " + std::to_string(c.dcs_live()) + " (set " +
         std::to_string(c.hooks_set) + "/" + std::to_string(c.hooks_removed) + " " +
         std::to_string(c.timers_set) + "/" + std::to_string(c.timers_killed) + " " +
         std::to_string(c.dcs_taken) + "/" + std::to_string(c.dcs_released) + ") pixels " +
         std::to_string(c.pixels_read) + " blocks " + std::to_string(c.blocks_read) + " windows " +
         std::to_string(c.windows_made) + "/" + std::to_string(c.windows_destroyed) + " shown " +
         std::to_string(c.windows_shown);
}

}  // namespace hvwin
