// Windows on the simulated desktop: other programs' windows that input lands
// on, and the plug-in's own (RegisterClassA, CreateWindowExA and the rest),
// stacked in z-order, hit-tested, and shown in screen reads as their display
// affinity and layered alpha say.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "desktop_state.h"

using namespace desktop_detail;

namespace {

const char *window_label(uintptr_t h) {
  static char ring[4][24];
  static int next = 0;
  char *out = ring[next];
  next = (next + 1) % 4;
  if (h == 0) {
    std::snprintf(out, sizeof ring[0], "null");
  } else if (h > kOwnWindowBase && h < kOwnWindowBase + kHandleRange) {
    std::snprintf(out, sizeof ring[0], "wnd%lu", static_cast<unsigned long>(h - kOwnWindowBase));
  } else {
    std::snprintf(out, sizeof ring[0], "0x%lx", static_cast<unsigned long>(h));
  }
  return out;
}

bool contains(const Window &w, int64_t x, int64_t y) {
  return x >= w.x && y >= w.y && x < int64_t{w.x} + w.width && y < int64_t{w.y} + w.height;
}

// Shown on screen: a layered window only once its attributes are set.
bool visible(const Window &w) {
  return w.shown && (!(w.ex_style & WS_EX_LAYERED) || w.layered_set);
}

bool topmost(const Window &w) { return (w.ex_style & WS_EX_TOPMOST) != 0; }

// Into the z-order: a top-most window on top of all, another on top of the
// windows that are not top-most.
void insert_window(Window w) {
  std::vector<Window> &ws = state().windows;
  auto at = topmost(w)
                ? ws.begin()
                : std::find_if(ws.begin(), ws.end(), [](const Window &o) { return !topmost(o); });
  ws.insert(at, std::move(w));
}

bool valid_extent(int width, int height) {
  return width >= 1 && height >= 1 && width <= DESKTOP_MAX_SIZE && height <= DESKTOP_MAX_SIZE;
}

BOOL WINAPI set_display_affinity(HWND hwnd, DWORD affinity) {
  State &s = state();
  Ticket t = begin_call(kSetWindowDisplayAffinity);
  Window *w = find_window(from_handle(hwnd));
  const bool known =
      affinity == WDA_NONE || affinity == WDA_MONITOR || affinity == WDA_EXCLUDEFROMCAPTURE;
  const BOOL ok = w != nullptr && w->own && known && s.compositor &&
                  s.affinity_support != DESKTOP_AFFINITY_STUB;
  if (ok) {
    // Before Windows 10 2004 the exclusion is taken as WDA_MONITOR.
    w->affinity =
        affinity == WDA_EXCLUDEFROMCAPTURE && s.affinity_support == DESKTOP_AFFINITY_MONITOR_ONLY
            ? WDA_MONITOR
            : affinity;
  }
  end_call(t, {handle_int(hwnd), static_cast<intptr_t>(affinity)}, ok,
           "SetWindowDisplayAffinity(%s, 0x%lx) = %d", window_label(from_handle(hwnd)),
           static_cast<unsigned long>(affinity), ok);
  return ok;
}

BOOL WINAPI get_display_affinity(HWND hwnd, DWORD *affinity) {
  Ticket t = begin_call(kGetWindowDisplayAffinity);
  const Window *w = find_window(from_handle(hwnd));
  const BOOL ok = w != nullptr && w->own && affinity != nullptr;
  if (ok) *affinity = w->affinity;
  const unsigned long held = ok ? static_cast<unsigned long>(w->affinity) : 0;
  end_call(t, {handle_int(hwnd)}, ok, "GetWindowDisplayAffinity(%s) = %d 0x%lx",
           window_label(from_handle(hwnd)), ok, held);
  return ok;
}

}  // namespace

namespace desktop_detail {

Window *find_window(uintptr_t handle) {
  if (handle == 0) return nullptr;
  for (Window &w : state().windows) {
    if (w.handle == handle) return &w;
  }
  return nullptr;
}

uintptr_t window_at(int64_t x, int64_t y) {
  for (const Window &w : state().windows) {
    if (!visible(w) || !contains(w, x, y)) continue;
    if (w.own &&
        ((w.ex_style & WS_EX_TRANSPARENT) || ((w.ex_style & WS_EX_LAYERED) && w.alpha == 0))) {
      continue;
    }
    return w.handle;
  }
  return 0;
}

LRESULT send_message(uintptr_t handle, UINT message, WPARAM wparam, LPARAM lparam) {
  const Window *w = find_window(handle);
  if (w == nullptr || !w->own || w->proc == nullptr) return 0;
  // The procedure may destroy the window: nothing of it is held across.
  const WNDPROC proc = w->proc;
  return proc(to_handle<HWND>(handle), message, wparam, lparam);
}

void deliver_button(uintptr_t to, UINT message, int x, int y) {
  const bool down =
      message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
  Window *w = find_window(to);
  if (w == nullptr) return;
  if (!w->own) {
    if (down) {
      ++w->input.button_presses;
      ++w->input.activations;
    }
    return;
  }
  const bool no_activate = (w->ex_style & WS_EX_NOACTIVATE) != 0;
  if (down) {
    const LRESULT answer = send_message(to, WM_MOUSEACTIVATE, 0, 0);
    if (!no_activate && (answer == MA_ACTIVATE || answer == 2 /* MA_ACTIVATEANDEAT */))
      ++state().own_activations;
  }
  // The client point in the low and high words, as mouse messages carry it.
  const auto word = [](int64_t v) { return static_cast<uintptr_t>(static_cast<uint16_t>(v)); };
  const LPARAM at = static_cast<LPARAM>(word(int64_t{x} - w->x) | word(int64_t{y} - w->y) << 16);
  send_message(to, message, 0, at);
}

uint32_t capture_layer(int x, int y, uint32_t rgb) {
  const std::vector<Window> &ws = state().windows;
  for (auto it = ws.rbegin(); it != ws.rend(); ++it) {
    const Window &w = *it;
    if (!w.own || !visible(w) || !contains(w, x, y)) continue;
    if (w.affinity == WDA_EXCLUDEFROMCAPTURE &&
        state().affinity_support != DESKTOP_AFFINITY_NOT_IN_GDI)
      continue;
    if (w.affinity == WDA_MONITOR) {
      rgb = 0;
      continue;
    }
    if (!(w.ex_style & WS_EX_LAYERED)) {
      rgb = window_content(w, x, y);
      continue;
    }
    // Its black content over what lies under it, at its alpha.
    const uint32_t keep = 255u - w.alpha;
    const uint32_t r = ((rgb >> 16) & 0xFFu) * keep / 255u;
    const uint32_t g = ((rgb >> 8) & 0xFFu) * keep / 255u;
    const uint32_t b = (rgb & 0xFFu) * keep / 255u;
    rgb = r << 16 | g << 8 | b;
  }
  return rgb;
}

FARPROC display_affinity_proc(const char *name) {
  if (state().affinity_support == DESKTOP_AFFINITY_MISSING || name == nullptr) return nullptr;
  if (std::string(name) == "SetWindowDisplayAffinity")
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&set_display_affinity));
  if (std::string(name) == "GetWindowDisplayAffinity")
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&get_display_affinity));
  return nullptr;
}

void windows_reset() {
  State &s = state();
  s.windows.clear();
  s.classes.clear();
  s.own_windows_made = 0;
  s.foreign_windows_made = 0;
  s.own_activations = 0;
  s.affinity_support = DESKTOP_AFFINITY_EXCLUDE;
  s.compositor = true;
  for (Contact &c : s.contacts) c = Contact{};
  s.default_pointer = 0;
  s.paint_dcs.clear();
  s.paint_dcs_made = 0;
  s.message_extra = 0;
  s.stalled = false;
  s.fail_register_class = s.fail_create_window = FailCountdown{};
  s.fail_set_prop = s.fail_begin_paint = FailCountdown{};
}

}  // namespace desktop_detail

extern "C" {

int desktop_add_window(int x, int y, int width, int height, int kind) {
  State &s = state();
  if ((kind != DESKTOP_WINDOW_POINTER && kind != DESKTOP_WINDOW_DEFAULT) ||
      !valid_extent(width, height) || s.foreign_windows_made >= DESKTOP_MAX_WINDOWS) {
    return 0;
  }
  Window w;
  w.handle = kForeignWindowBase + static_cast<uintptr_t>(++s.foreign_windows_made);
  w.kind = kind;
  w.x = x;
  w.y = y;
  w.width = width;
  w.height = height;
  w.shown = true;
  insert_window(std::move(w));
  return s.foreign_windows_made;
}

int desktop_window_input(int n, DesktopWindowInput *out) {
  const Window *w = n > 0 ? find_window(kForeignWindowBase + static_cast<uintptr_t>(n)) : nullptr;
  if (w == nullptr || out == nullptr) return 0;
  *out = w->input;
  return 1;
}

int desktop_own_windows(void) {
  const std::vector<Window> &ws = state().windows;
  return static_cast<int>(
      std::count_if(ws.begin(), ws.end(), [](const Window &w) { return w.own; }));
}

int desktop_own_classes(void) { return static_cast<int>(state().classes.size()); }
int desktop_own_activations(void) { return state().own_activations; }

void desktop_set_affinity_support(int support) {
  if (support >= DESKTOP_AFFINITY_EXCLUDE && support <= DESKTOP_AFFINITY_NOT_IN_GDI)
    state().affinity_support = support;
}

void desktop_set_compositor(int on) { state().compositor = on != 0; }

ATOM WINAPI RegisterClassA(const WNDCLASSA *wc) {
  State &s = state();
  Ticket t = begin_call(kRegisterClassA);
  ATOM atom = 0;
  const char *name = wc ? wc->lpszClassName : nullptr;
  if (!s.fail_register_class.fire() && wc != nullptr && wc->lpfnWndProc != nullptr &&
      name != nullptr && !s.classes.count(name)) {
    s.classes[name] = wc->lpfnWndProc;
    atom = static_cast<ATOM>(0xC000 + s.classes.size());
  }
  end_call(t, {}, atom, "RegisterClassA(\"%.40s\") = 0x%x", name ? name : "null", atom);
  return atom;
}

// As documented, a class is kept while windows of it exist.
BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE) {
  State &s = state();
  Ticket t = begin_call(kUnregisterClassA);
  BOOL ok = FALSE;
  if (name != nullptr && s.classes.count(name) &&
      std::none_of(s.windows.begin(), s.windows.end(),
                   [name](const Window &w) { return w.own && w.class_name == name; })) {
    s.classes.erase(name);
    ok = TRUE;
  }
  end_call(t, {}, ok, "UnregisterClassA(\"%.40s\") = %d", name ? name : "null", ok);
  return ok;
}

// Coordinates are physical, as a per-monitor-aware thread gives them.
HWND WINAPI CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU, HINSTANCE, LPVOID) {
  if (parent == HWND_MESSAGE) return create_message_window(ex_style, class_name, style, parent);
  State &s = state();
  Ticket t = begin_call(kCreateWindowExA);
  uintptr_t handle = 0;
  auto cls = class_name ? s.classes.find(class_name) : s.classes.end();
  if (!s.fail_create_window.fire() && cls != s.classes.end() && valid_extent(width, height)) {
    Window w;
    handle = kOwnWindowBase + ++s.own_windows_made;
    w.handle = handle;
    w.own = true;
    w.x = x;
    w.y = y;
    w.width = width;
    w.height = height;
    w.ex_style = ex_style;
    w.proc = cls->second;
    w.class_name = cls->first;
    w.shown = (style & WS_VISIBLE) != 0;
    insert_window(std::move(w));
  }
  end_call(t, {static_cast<intptr_t>(ex_style), x, y}, as_int(handle),
           "CreateWindowExA(0x%lx, \"%.24s\", 0x%lx, %d, %d, %d, %d) = %s",
           static_cast<unsigned long>(ex_style), class_name ? class_name : "null",
           static_cast<unsigned long>(style), x, y, width, height, window_label(handle));
  return to_handle<HWND>(handle);
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
  if (is_message_window(from_handle(hwnd))) return destroy_message_window(hwnd);
  State &s = state();
  Ticket t = begin_call(kDestroyWindow);
  const uintptr_t h = from_handle(hwnd);
  auto it = std::find_if(s.windows.begin(), s.windows.end(),
                         [h](const Window &w) { return w.own && w.handle == h; });
  const BOOL ok = it != s.windows.end();
  if (ok) {
    // Its paint DCs go with it.
    for (auto dc = s.paint_dcs.begin(); dc != s.paint_dcs.end();)
      dc = dc->second == h ? s.paint_dcs.erase(dc) : std::next(dc);
    s.windows.erase(it);
  }
  end_call(t, {handle_int(hwnd)}, ok, "DestroyWindow(%s) = %d", window_label(h), ok);
  return ok;
}

// The default answers: pointer messages become mouse input (pointers.cpp
// counts them), a press activates.
LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
  State &s = state();
  Ticket t = begin_call(kDefWindowProcA);
  LRESULT result = 0;
  switch (message) {
    case WM_POINTERUPDATE:
    case WM_POINTERDOWN:
    case WM_POINTERUP: ++s.default_pointer; break;
    case WM_MOUSEACTIVATE: result = MA_ACTIVATE; break;
    case WM_POINTERACTIVATE: result = PA_ACTIVATE; break;
  }
  end_call(t, {handle_int(hwnd), static_cast<intptr_t>(message)}, result,
           "DefWindowProcA(%s, 0x%x, 0x%lx) = %ld", window_label(from_handle(hwnd)), message,
           static_cast<unsigned long>(wparam), static_cast<long>(result));
  return result;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND after, int x, int y, int width, int height, UINT flags) {
  State &s = state();
  Ticket t = begin_call(kSetWindowPos);
  const uintptr_t h = from_handle(hwnd);
  auto it = std::find_if(s.windows.begin(), s.windows.end(),
                         [h](const Window &w) { return w.own && w.handle == h; });
  BOOL ok = it != s.windows.end() && ((flags & SWP_NOSIZE) || valid_extent(width, height));
  if (ok) {
    Window w = *it;
    if (!(flags & SWP_NOMOVE)) {
      w.x = x;
      w.y = y;
    }
    if (!(flags & SWP_NOSIZE)) {
      w.width = width;
      w.height = height;
    }
    if ((flags & SWP_SHOWWINDOW) && !w.shown) {
      // A window shown has all of itself to paint.
      w.dirty = true;
      w.update = RECT{0, 0, w.width, w.height};
    }
    if (flags & SWP_SHOWWINDOW) w.shown = true;
    if (flags & SWP_HIDEWINDOW) w.shown = false;
    if (!(flags & SWP_NOZORDER)) {
      // Only to the top of its band, and into the top-most band.
      if (after == HWND_TOPMOST) w.ex_style |= WS_EX_TOPMOST;
      s.windows.erase(it);
      insert_window(std::move(w));
    } else {
      *it = std::move(w);
    }
  }
  end_call(t, {handle_int(hwnd), x, y}, ok, "SetWindowPos(%s, %ld, %d, %d, %d, %d, 0x%x) = %d",
           window_label(h), static_cast<long>(handle_int(after)), x, y, width, height, flags, ok);
  return ok;
}

BOOL WINAPI SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags) {
  Ticket t = begin_call(kSetLayeredWindowAttributes);
  Window *w = find_window(from_handle(hwnd));
  const BOOL ok = w != nullptr && w->own && (w->ex_style & WS_EX_LAYERED);
  if (ok) {
    w->layered_set = true;
    w->alpha = (flags & LWA_ALPHA) ? alpha : 255;
  }
  end_call(t, {handle_int(hwnd), static_cast<intptr_t>(key), alpha}, ok,
           "SetLayeredWindowAttributes(%s, 0x%lx, %u, 0x%lx) = %d", window_label(from_handle(hwnd)),
           static_cast<unsigned long>(key), alpha, static_cast<unsigned long>(flags), ok);
  return ok;
}

}  // extern "C"
