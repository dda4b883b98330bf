// Snapshots in the windowed host: the panel's window copied from the
// screen, once the screen shows what the window was last given to paint.
#include "session/crash_report.h"
#include "win32/front_end.h"

namespace hvwin {

using hvhost::Framebuffer;
using hvhost::Panel;
using hvhost::Rgb;

namespace {

bool grab_screen(int x, int y, int w, int h, Framebuffer *out) {
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = w;
  bmi.bmiHeader.biHeight = -h;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bmp && bits;
  if (ok) {
    HGDIOBJ old = SelectObject(mem, bmp);
    ok = BitBlt(mem, 0, 0, w, h, screen, x, y, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(mem, old);
    if (ok) {
      *out = Framebuffer(w, h);
      const auto *px = static_cast<const uint32_t *>(bits);
      for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col)
          out->set_pixel(col, row, Rgb::from_packed(px[row * w + col] & 0xFFFFFF));
    }
  }
  if (bmp) DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace

bool FrontEnd::capture(const Panel &panel, Framebuffer *out, std::string *error) {
  sync();
  PanelWindow *w = window_of(&panel);
  if (!w) {
    *error = "the panel \"" + panel.title() + "\" has no window to capture";
    return false;
  }
  refresh(*w, false);
  RedrawWindow(w->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  const ULONGLONG deadline =
      GetTickCount64() + static_cast<ULONGLONG>(options_.snapshot_timeout_s * 1000.0);
  // The wait for the screen is the host's time, not the plug-in's.
  struct HostWaits {
    HostWaits() { hvhost::note_host_waiting(true); }
    ~HostWaits() { hvhost::note_host_waiting(false); }
  } host_waits;
  for (;;) {
    Framebuffer shot;
    if (!grab_screen(w->x, w->y, w->image.width(), w->image.height(), &shot)) {
      *error = "cannot copy the screen (BitBlt failed)";
      return false;
    }
    if (shot.pixels() == w->image.pixels()) {
      *out = std::move(shot);
      return true;
    }
    if (GetTickCount64() > deadline) {
      *error = "the screen did not show the window of \"" + panel.title() + "\" within " +
               std::to_string(static_cast<int>(options_.snapshot_timeout_s)) + " s";
      return false;
    }
    // Waiting lets the window system bring the painted window to the screen;
    // no message is taken out of the queue meanwhile.
    MsgWaitForMultipleObjectsEx(0, nullptr, 10, 0, 0);
  }
}

}  // namespace hvwin
