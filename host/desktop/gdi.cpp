// The GDI calls a block read of the screen is made of (a memory DC, a
// 32-bit DIB section selected into it, BitBlt from the desktop's DC), and
// the asynchronous key state, as the simulated desktop serves them. Each is
// logged and counted as the other stand-ins are; a BitBlt from a window DC
// is a screen read and costs the thread its time.

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "desktop_state.h"

using namespace desktop_detail;

namespace {

template <typename H>
const char *name_of(H handle) {
  return object_name(from_handle(handle));
}

Bitmap *selected_bitmap(HDC hdc) {
  State &s = state();
  auto dc = s.memory_dcs.find(from_handle(hdc));
  if (dc == s.memory_dcs.end()) return nullptr;
  auto bm = s.bitmaps.find(dc->second.bitmap);
  return bm == s.bitmaps.end() ? nullptr : &bm->second;
}

// Where row y of a bitmap lies in its memory: bottom-up DIBs keep the last
// row first.
uint32_t &pixel_at(Bitmap &bm, int x, int y) {
  const int row = bm.bottom_up ? bm.height - 1 - y : y;
  return bm.bits[static_cast<size_t>(row) * static_cast<size_t>(bm.width) + static_cast<size_t>(x)];
}

// Copies the source rectangle (screen or bitmap) into dest; a screen read
// fails whole when a pixel of it cannot be read. Off-screen pixels read
// black; pixels outside either bitmap are not copied.
bool blit(Bitmap &dest, int x, int y, int w, int h, HDC source, int sx, int sy) {
  State &s = state();
  const bool screen = s.dcs.count(from_handle(source)) != 0;
  Bitmap *from = screen ? nullptr : selected_bitmap(source);
  if (!screen && from == nullptr) return false;
  if (screen) {
    charge_screen_read();
    // Unreadable pixels, when any were set, refuse the whole transfer.
    if (desktop_detail::any_pixel_unreadable())
      for (int64_t row = 0; row < h; ++row)
        for (int64_t col = 0; col < w; ++col) {
          const int64_t px = int64_t{sx} + col, py = int64_t{sy} + row;
          if (on_screen(px, py) && !pixel_readable(static_cast<int>(px), static_cast<int>(py)))
            return false;
        }
  }
  for (int64_t row = 0; row < h; ++row) {
    for (int64_t col = 0; col < w; ++col) {
      const int64_t dx = int64_t{x} + col, dy = int64_t{y} + row;
      if (dx < 0 || dy < 0 || dx >= dest.width || dy >= dest.height) continue;
      const int64_t px = int64_t{sx} + col, py = int64_t{sy} + row;
      uint32_t rgb = 0;
      if (screen) {
        if (on_screen(px, py)) rgb = compose(static_cast<int>(px), static_cast<int>(py));
      } else {
        if (px < 0 || py < 0 || px >= from->width || py >= from->height) continue;
        rgb = pixel_at(*from, static_cast<int>(px), static_cast<int>(py));
      }
      pixel_at(dest, static_cast<int>(dx), static_cast<int>(dy)) = rgb & 0xFFFFFFu;
    }
  }
  return true;
}

}  // namespace

namespace desktop_detail {

const char *object_name(uintptr_t value) {
  static char ring[8][24];
  static int next = 0;
  char *out = ring[next];
  next = (next + 1) % 8;
  const auto numbered = [&](uintptr_t base, const char *prefix) {
    if (value <= base || value >= base + kHandleRange) return false;
    std::snprintf(out, sizeof ring[0], "%s%lu", prefix, static_cast<unsigned long>(value - base));
    return true;
  };
  if (value == 0) {
    std::snprintf(out, sizeof ring[0], "null");
  } else if (value == kStockBitmap) {
    std::snprintf(out, sizeof ring[0], "stock");
  } else if (!numbered(kMemoryDcBase, "mdc") && !numbered(kBitmapBase, "bm") &&
             !numbered(kDcBase, "dc") && !numbered(kGlobalBase, "mem") &&
             !numbered(kMessageWindowBase, "msgwnd")) {
    std::snprintf(out, sizeof ring[0], "0x%lx", static_cast<unsigned long>(value));
  }
  return out;
}

}  // namespace desktop_detail

extern "C" {

SHORT WINAPI GetAsyncKeyState(int key) {
  State &s = state();
  Ticket t = begin_call(kGetAsyncKeyState);
  uint16_t result = 0;
  if (key >= 0 && key <= 255) {
    result =
        static_cast<uint16_t>((s.key_down[key] ? 0x8000u : 0u) | (s.key_pressed[key] ? 1u : 0u));
    s.key_pressed[key] = false;
  }
  end_call(t, {key}, result, "GetAsyncKeyState(0x%x) = 0x%04x", static_cast<unsigned>(key),
           static_cast<unsigned>(result));
  return static_cast<SHORT>(result);
}

HDC WINAPI CreateCompatibleDC(HDC hdc) {
  State &s = state();
  Ticket t = begin_call(kCreateCompatibleDC);
  HDC dc = nullptr;
  // Compatible with the screen (null) or with a DC the desktop made.
  const bool known =
      hdc == nullptr || s.dcs.count(from_handle(hdc)) || s.memory_dcs.count(from_handle(hdc));
  if (!s.fail_memory_dc.fire() && known) {
    dc = to_handle<HDC>(kMemoryDcBase + ++s.memory_dcs_made);
    s.memory_dcs[from_handle(dc)] = MemoryDc{};
  }
  end_call(t, {handle_int(hdc)}, handle_int(dc), "CreateCompatibleDC(%s) = %s", name_of(hdc),
           name_of(dc));
  return dc;
}

BOOL WINAPI DeleteDC(HDC hdc) {
  State &s = state();
  Ticket t = begin_call(kDeleteDC);
  BOOL ok = FALSE;
  auto it = s.memory_dcs.find(from_handle(hdc));
  if (it != s.memory_dcs.end()) {
    // The bitmap it held is free again, to be deleted.
    auto bm = s.bitmaps.find(it->second.bitmap);
    if (bm != s.bitmaps.end()) bm->second.selected_in = 0;
    s.memory_dcs.erase(it);
    ok = TRUE;
  }
  end_call(t, {handle_int(hdc)}, ok, "DeleteDC(%s) = %d", name_of(hdc), ok);
  return ok;
}

HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO *info, UINT usage, void **bits,
                                HANDLE section, DWORD offset) {
  State &s = state();
  Ticket t = begin_call(kCreateDIBSection);
  (void)offset;  // read only with a section
  HBITMAP bitmap = nullptr;
  const BITMAPINFOHEADER *h = info ? &info->bmiHeader : nullptr;
  // 32-bit uncompressed DIBs in the process's own memory only.
  const bool supported = h && h->biSize >= sizeof(BITMAPINFOHEADER) && h->biPlanes == 1 &&
                         h->biBitCount == 32 && h->biCompression == BI_RGB && h->biWidth >= 1 &&
                         h->biWidth <= DESKTOP_MAX_SIZE && h->biHeight != 0 &&
                         h->biHeight >= -DESKTOP_MAX_SIZE && h->biHeight <= DESKTOP_MAX_SIZE &&
                         usage == DIB_RGB_COLORS && section == nullptr;
  if (!s.fail_dib.fire() && supported) {
    const uintptr_t handle = kBitmapBase + ++s.bitmaps_made;
    Bitmap &bm = s.bitmaps[handle];
    bm.width = h->biWidth;
    bm.height = h->biHeight < 0 ? -h->biHeight : h->biHeight;
    bm.bottom_up = h->biHeight > 0;
    bm.bits.assign(static_cast<size_t>(bm.width) * static_cast<size_t>(bm.height), 0);
    bitmap = to_handle<HBITMAP>(handle);
  }
  if (bits) *bits = bitmap ? s.bitmaps[from_handle(bitmap)].bits.data() : nullptr;
  end_call(t, {handle_int(hdc), h ? h->biWidth : 0, h ? h->biHeight : 0}, handle_int(bitmap),
           "CreateDIBSection(%s, %ldx%ld, %u bits) = %s", name_of(hdc),
           static_cast<long>(h ? h->biWidth : 0), static_cast<long>(h ? h->biHeight : 0),
           h ? static_cast<unsigned>(h->biBitCount) : 0u, name_of(bitmap));
  return bitmap;
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ object) {
  State &s = state();
  Ticket t = begin_call(kSelectObject);
  HGDIOBJ previous = nullptr;
  auto dc = s.memory_dcs.find(from_handle(hdc));
  const uintptr_t wanted = from_handle(object);
  auto bm = s.bitmaps.find(wanted);
  // A bitmap goes into one DC at a time; the stock bitmap into any.
  const bool selectable =
      wanted == kStockBitmap || (bm != s.bitmaps.end() && bm->second.selected_in == 0);
  if (!s.fail_select.fire() && dc != s.memory_dcs.end() && selectable) {
    const uintptr_t old = dc->second.bitmap;
    if (auto it = s.bitmaps.find(old); it != s.bitmaps.end()) it->second.selected_in = 0;
    if (bm != s.bitmaps.end()) bm->second.selected_in = dc->first;
    dc->second.bitmap = wanted;
    previous = to_handle<HGDIOBJ>(old);
  }
  end_call(t, {handle_int(hdc), handle_int(object)}, handle_int(previous),
           "SelectObject(%s, %s) = %s", name_of(hdc), name_of(object), name_of(previous));
  return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
  State &s = state();
  Ticket t = begin_call(kDeleteObject);
  BOOL ok = FALSE;
  // A bitmap still selected into a DC is not deleted.
  auto bm = s.bitmaps.find(from_handle(object));
  if (bm != s.bitmaps.end() && bm->second.selected_in == 0) {
    s.bitmaps.erase(bm);
    ok = TRUE;
  }
  end_call(t, {handle_int(object)}, ok, "DeleteObject(%s) = %d", name_of(object), ok);
  return ok;
}

BOOL WINAPI BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int source_x,
                   int source_y, DWORD rop) {
  State &s = state();
  Ticket t = begin_call(kBitBlt);
  BOOL ok = FALSE;
  // Into a memory DC's bitmap, or into an own window's content through its
  // paint DC.
  Bitmap *to = selected_bitmap(dest);
  if (Window *w = to ? nullptr : paint_target(dest)) to = &w->surface;
  if (!s.fail_bitblt.fire() && to != nullptr && rop == SRCCOPY && width > 0 && height > 0 &&
      width <= DESKTOP_MAX_SIZE && height <= DESKTOP_MAX_SIZE) {
    ok = blit(*to, x, y, width, height, source, source_x, source_y) ? TRUE : FALSE;
  }
  end_call(t, {handle_int(dest), handle_int(source), width, height}, ok,
           "BitBlt(%s, %d, %d, %d, %d, %s, %d, %d) = %d", name_of(dest), x, y, width, height,
           name_of(source), source_x, source_y, ok);
  return ok;
}

BOOL WINAPI GdiFlush(void) {
  Ticket t = begin_call(kGdiFlush);
  end_call(t, {}, TRUE, "GdiFlush() = 1");
  return TRUE;
}

}  // extern "C"
