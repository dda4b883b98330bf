// What the plug-in's own windows show: WM_PAINT, sent when a shown window
// has something to paint and the thread's loop is free, BeginPaint's DC,
// which a BitBlt draws into the window's content, InvalidateRect; and the
// windows' properties, the class cursor and the extra information of the
// last input message.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "desktop_state.h"

using namespace desktop_detail;

namespace {

RECT clipped(const RECT &r, const Window &w) {
  return RECT{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, w.width),
              std::min(r.bottom, w.height)};
}

bool empty(const RECT &r) { return r.right <= r.left || r.bottom <= r.top; }

Window *own_window(HWND hwnd) {
  Window *w = find_window(from_handle(hwnd));
  return w && w->own ? w : nullptr;
}

}  // namespace

namespace desktop_detail {

Window *paint_target(HDC hdc) {
  auto it = state().paint_dcs.find(from_handle(hdc));
  return it == state().paint_dcs.end() ? nullptr : find_window(it->second);
}

void pump_paints() {
  State &s = state();
  if (s.stalled) return;
  // The procedure may make or destroy windows: handles first, then each
  // looked up again.
  std::vector<uintptr_t> due;
  for (const Window &w : s.windows)
    if (w.own && w.shown && w.dirty) due.push_back(w.handle);
  for (uintptr_t h : due) {
    const Window *w = find_window(h);
    if (w && w->dirty) send_message(h, WM_PAINT, 0, 0);
    // A procedure that did not paint leaves nothing to paint (Windows would
    // send WM_PAINT again; DefWindowProc validates).
    if (Window *left = find_window(h)) left->dirty = false;
  }
}

uint32_t window_content(const Window &w, int x, int y) {
  if (!w.painted) return 0;
  const int col = x - w.x, row = y - w.y;
  if (col < 0 || row < 0 || col >= w.surface.width || row >= w.surface.height) return 0;
  return w.surface.bits[static_cast<size_t>(row) * static_cast<size_t>(w.surface.width) +
                        static_cast<size_t>(col)];
}

}  // namespace desktop_detail

extern "C" {

HDC WINAPI BeginPaint(HWND hwnd, PAINTSTRUCT *paint) {
  State &s = state();
  Ticket t = begin_call(kBeginPaint);
  Window *w = own_window(hwnd);
  HDC dc = nullptr;
  if (!s.fail_begin_paint.fire() && w && paint) {
    if (w->surface.bits.empty()) {
      w->surface.width = w->width;
      w->surface.height = w->height;
      w->surface.bits.assign(static_cast<size_t>(w->width) * static_cast<size_t>(w->height), 0);
    }
    w->painted = true;
    dc = to_handle<HDC>(kPaintDcBase + ++s.paint_dcs_made);
    s.paint_dcs[from_handle(dc)] = w->handle;
    *paint = PAINTSTRUCT{};
    paint->hdc = dc;
    paint->rcPaint = w->dirty ? clipped(w->update, *w) : RECT{0, 0, 0, 0};
    w->dirty = false;
    w->update = RECT{};
  }
  end_call(t, {handle_int(hwnd)}, handle_int(dc), "BeginPaint(0x%lx) = 0x%lx",
           static_cast<unsigned long>(from_handle(hwnd)),
           static_cast<unsigned long>(from_handle(dc)));
  return dc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT *paint) {
  State &s = state();
  Ticket t = begin_call(kEndPaint);
  const BOOL ok = paint != nullptr && s.paint_dcs.erase(from_handle(paint->hdc)) == 1;
  end_call(t, {handle_int(hwnd)}, TRUE, "EndPaint(0x%lx) = %d",
           static_cast<unsigned long>(from_handle(hwnd)), ok);
  return TRUE;  // always nonzero, as documented
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT *rect, BOOL) {
  Ticket t = begin_call(kInvalidateRect);
  Window *w = own_window(hwnd);
  if (w) {
    const RECT r = clipped(rect ? *rect : RECT{0, 0, w->width, w->height}, *w);
    if (!empty(r)) {
      w->update =
          w->dirty ? RECT{std::min(w->update.left, r.left), std::min(w->update.top, r.top),
                          std::max(w->update.right, r.right), std::max(w->update.bottom, r.bottom)}
                   : r;
      w->dirty = true;
    }
  }
  const BOOL ok = w != nullptr;
  end_call(t, {handle_int(hwnd)}, ok, "InvalidateRect(0x%lx) = %d",
           static_cast<unsigned long>(from_handle(hwnd)), ok);
  return ok;
}

BOOL WINAPI SetPropA(HWND hwnd, LPCSTR name, HANDLE data) {
  Ticket t = begin_call(kSetPropA);
  Window *w = own_window(hwnd);
  const BOOL ok = !state().fail_set_prop.fire() && w != nullptr && name != nullptr;
  if (ok) w->props[name] = data;
  end_call(t, {handle_int(hwnd)}, ok, "SetPropA(0x%lx, \"%.32s\") = %d",
           static_cast<unsigned long>(from_handle(hwnd)), name ? name : "null", ok);
  return ok;
}

HANDLE WINAPI RemovePropA(HWND hwnd, LPCSTR name) {
  Ticket t = begin_call(kRemovePropA);
  Window *w = own_window(hwnd);
  HANDLE data = nullptr;
  if (w && name) {
    auto it = w->props.find(name);
    if (it != w->props.end()) {
      data = it->second;
      w->props.erase(it);
    }
  }
  end_call(t, {handle_int(hwnd)}, handle_int(data), "RemovePropA(0x%lx, \"%.32s\")",
           static_cast<unsigned long>(from_handle(hwnd)), name ? name : "null");
  return data;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  Ticket t = begin_call(kLoadCursorA);
  // The system's cursors only (no module); the crosshair is the one modelled.
  const uintptr_t h = instance == nullptr && name == IDC_CROSS ? kCrossCursor : 0;
  end_call(t, {as_int(reinterpret_cast<uintptr_t>(name))}, as_int(h), "LoadCursorA(%lu) = 0x%lx",
           static_cast<unsigned long>(reinterpret_cast<uintptr_t>(name)),
           static_cast<unsigned long>(h));
  return to_handle<HCURSOR>(h);
}

LPARAM WINAPI GetMessageExtraInfo(void) {
  Ticket t = begin_call(kGetMessageExtraInfo);
  const LPARAM extra = static_cast<LPARAM>(state().message_extra);
  end_call(t, {}, extra, "GetMessageExtraInfo() = 0x%lx", static_cast<unsigned long>(extra));
  return extra;
}

void desktop_set_message_extra_info(uintptr_t extra) { state().message_extra = extra; }

int desktop_own_windows_with_prop(const char *name) {
  if (name == nullptr) return 0;
  const std::vector<Window> &ws = state().windows;
  return static_cast<int>(std::count_if(
      ws.begin(), ws.end(), [name](const Window &w) { return w.own && w.props.count(name) != 0; }));
}

void desktop_pump_messages(void) { pump_paints(); }

void desktop_set_thread_stalled(int stalled) { state().stalled = stalled != 0; }

}  // extern "C"
