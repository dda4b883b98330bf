// The panels' windows: one for each open panel, made, composed, kept in
// step with the host and taken down (the other parts of FrontEnd:
// message_pump.cpp, window_input.cpp, capture.cpp).
#include "win32/front_end.h"

#include <algorithm>

#include "model/palette.h"
#include "model/text.h"

namespace hvwin {

using hvhost::Framebuffer;
using hvhost::Panel;
using hvhost::Rect;
using hvhost::Rgb;

namespace {

// A field being typed in.
constexpr Rgb kEditFill{240, 240, 226};
constexpr Rgb kEditText{16, 16, 20};
constexpr Rgb kEditSelect{64, 110, 200};
constexpr Rgb kEditSelectText{250, 250, 250};

}  // namespace

LRESULT CALLBACK FrontEnd::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    const auto *cs = reinterpret_cast<const CREATESTRUCTA *>(lp);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    if (auto *w = static_cast<PanelWindow *>(cs->lpCreateParams)) w->hwnd = hwnd;
  }
  auto *w = reinterpret_cast<PanelWindow *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (w && current_) return current_->handle(*w, msg, wp, lp);
  return DefWindowProcA(hwnd, msg, wp, lp);
}

FrontEnd::FrontEnd(hvhost::Host &host, std::ostream &out, FrontEndOptions options)
    : host_(host), out_(out), options_(options) {
  current_ = this;
}

FrontEnd::~FrontEnd() {
  for (auto &w : windows_) destroy_window(*w);
  windows_.clear();
  if (mouse_hook_) UnhookWindowsHookEx(mouse_hook_);
  if (key_hook_) UnhookWindowsHookEx(key_hook_);
  if (current_ == this) current_ = nullptr;
}

bool FrontEnd::init(std::string *error) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = window_proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpszClassName = kPanelWindowClass;
  if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    *error =
        "cannot register the panel window class (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  return true;
}

// ---- Windows ---------------------------------------------------------------

PanelWindow *FrontEnd::window_of(const Panel *panel) {
  for (auto &w : windows_)
    if (w->panel == panel) return w.get();
  return nullptr;
}

PanelWindow *FrontEnd::innermost_window() {
  Panel *p = host_.innermost_panel();
  return p ? window_of(p) : nullptr;
}

POINT FrontEnd::window_to_screen(const PanelWindow &w, int wx, int wy) const {
  return POINT{w.x + wx, w.y + wy};
}

POINT FrontEnd::panel_to_screen(const PanelWindow &w, int px, int py) const {
  return window_to_screen(w, w.layout.client.x + px, w.layout.client.y + py);
}

void FrontEnd::report(const std::string &line) {
  if (options_.report_windows) out_ << line << std::endl;
}

void FrontEnd::compose(PanelWindow &w) {
  w.layout = hvhost::window_layout(*w.panel);
  w.image = hvhost::compose_window(*w.panel);
  Framebuffer &fb = w.image;
  // What the host does not draw: buttons held down and a field being typed.
  const auto sunken = [&](const Rect &r) {
    fb.fill_rect(r.x, r.y, r.w, r.h, hvhost::palette::kButtonPressed);
    fb.bevel(r.x, r.y, r.w, r.h, hvhost::palette::kBevelDark, hvhost::palette::kBevelLight);
    const char *label = &r == &*w.layout.ok ? "OK" : "Cancel";
    hvhost::draw_text(fb, r.x + (r.w - hvhost::text_width(label)) / 2 + 1,
                      r.y + (r.h - hvhost::kTextHeight) / 2 + 1, label, hvhost::palette::kText);
  };
  if (w.press == PanelWindow::Press::kOk && w.layout.ok) sunken(*w.layout.ok);
  if (w.press == PanelWindow::Press::kCancel && w.layout.cancel) sunken(*w.layout.cancel);
  if (w.edit) {
    // The field being typed in, and the values typed into the others (Tab
    // keeps them until Enter applies the three).
    for (int i = 0; i < 3; ++i) {
      const bool typing = i == w.edit->field;
      const int pending = w.edit->pending[static_cast<size_t>(i)];
      if (!typing && pending == w.edit->control->value()[static_cast<size_t>(i)]) continue;
      const std::string text = typing ? w.edit->text : std::to_string(pending);
      const Rect f = w.edit->control->editor_field(i);
      const Rect box{w.layout.client.x + f.x, w.layout.client.y + f.y, f.w, f.h};
      fb.fill_rect(box.x, box.y, box.w, box.h, kEditFill);
      fb.frame(box.x, box.y, box.w, box.h, kEditSelect);
      const int tw = hvhost::text_width(text);
      const int tx = box.x + box.w - 5 - tw;
      if (typing && w.edit->replace && !text.empty()) {
        fb.fill_rect(tx - 1, box.y + 3, tw + 2, box.h - 6, kEditSelect);
        hvhost::draw_text(fb, tx, box.y + 6, text, kEditSelectText);
      } else {
        hvhost::draw_text(fb, tx, box.y + 6, text, kEditText);
        if (typing) fb.fill_rect(box.x + box.w - 4, box.y + 3, 1, box.h - 6, kEditText);  // caret
      }
    }
  }
  w.bmi = {};
  w.bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  w.bmi.bmiHeader.biWidth = fb.width();
  w.bmi.bmiHeader.biHeight = -fb.height();  // top-down rows, as the framebuffer keeps them
  w.bmi.bmiHeader.biPlanes = 1;
  w.bmi.bmiHeader.biBitCount = 32;
  w.bmi.bmiHeader.biCompression = BI_RGB;
  ++w.image_serial;
}

void FrontEnd::refresh(PanelWindow &w, bool force) {
  const Panel &p = *w.panel;
  const bool title_changed = p.title() != w.shown_title;
  const bool changed = force || title_changed || p.framebuffer().revision() != w.shown_revision ||
                       p.open_flags() != w.shown_flags || w.image.width() == 0;
  if (changed) {
    const int old_w = w.image.width(), old_h = w.image.height();
    compose(w);
    w.shown_revision = p.framebuffer().revision();
    w.shown_flags = p.open_flags();
    if (w.image.width() != old_w || w.image.height() != old_h) {
      w.moving = true;
      SetWindowPos(w.hwnd, nullptr, 0, 0, w.image.width(), w.image.height(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      w.moving = false;
    }
    InvalidateRect(w.hwnd, nullptr, FALSE);
  }
  if (title_changed) {
    w.shown_title = p.title();
    SetWindowTextA(w.hwnd, w.shown_title.c_str());
    report("window title " + w.shown_title);
  }
  // The plug-in placed the panel elsewhere (attributes 0 and 1).
  if (p.x() != w.x || p.y() != w.y) {
    w.moving = true;
    SetWindowPos(w.hwnd, nullptr, p.x(), p.y(), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    w.moving = false;
    w.x = p.x();
    w.y = p.y();
  }
}

void FrontEnd::create_window(Panel &panel, PanelWindow *owner) {
  auto w = std::make_unique<PanelWindow>();
  w->panel = &panel;
  w->generation = panel.times_opened();
  w->x = panel.x();
  w->y = panel.y();
  w->shown_title = panel.title();
  compose(*w);
  w->shown_revision = panel.framebuffer().revision();
  w->shown_flags = panel.open_flags();
  w->shown_raises = panel.times_raised();
  w->moving = true;
  // The outermost panel is an application window (taskbar, window manager);
  // a panel opened over it is an owned popup of the window below.
  HWND hwnd =
      CreateWindowExA(owner ? 0 : WS_EX_APPWINDOW, kPanelWindowClass, panel.title().c_str(),
                      WS_POPUP | WS_CLIPSIBLINGS, w->x, w->y, w->image.width(), w->image.height(),
                      owner ? owner->hwnd : nullptr, nullptr, GetModuleHandleA(nullptr), w.get());
  w->moving = false;
  if (!hwnd) {
    error_ = "cannot create the window of panel \"" + panel.title() + "\" (error " +
             std::to_string(GetLastError()) + "); is there a display?";
    ended_ = true;
    return;
  }
  w->hwnd = hwnd;
  PanelWindow &ref = *w;
  windows_.push_back(std::move(w));
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  report("window open " + std::to_string(ref.x) + " " + std::to_string(ref.y) + " " +
         panel.title());
  note_layout(panel);
}

// A window that cannot show its panel as laid out is said at once, not
// only in the problems at the end: the person or script at the window
// would otherwise wait on controls it does not show.
void FrontEnd::note_layout(const Panel &panel) {
  std::ostream *notes = options_.notes;
  if (options_.end_at_unsized_panel && (panel.width() <= 0 || panel.height() <= 0)) {
    if (notes)
      *notes << "note: --strict: the run ends at the window of panel \"" << panel.title()
             << "\", which has no size" << std::endl;
    ended_ = true;
    ended_at_unsized_panel_ = true;
    return;
  }
  if (notes)
    for (const std::string &p : hvhost::layout_problems(panel))
      *notes << "note: problem: " << p << std::endl;
}

void FrontEnd::destroy_window(PanelWindow &w) {
  if (!w.hwnd) return;
  HWND h = w.hwnd;
  SetWindowLongPtrA(h, GWLP_USERDATA, 0);
  w.hwnd = nullptr;
  if (GetCapture() == h) ReleaseCapture();
  DestroyWindow(h);
  if (foreground_ == h) foreground_ = nullptr;
  report("window close " + w.shown_title);
}

void FrontEnd::sync() {
  const std::vector<Panel *> open = host_.open_panels();
  // Windows whose panel closed (or closed and opened again) go.
  for (size_t i = windows_.size(); i-- > 0;) {
    PanelWindow &w = *windows_[i];
    const bool still = std::find(open.begin(), open.end(), w.panel) != open.end() &&
                       host_.panel(w.panel->id()) == w.panel &&
                       w.panel->times_opened() == w.generation;
    if (!still) {
      destroy_window(w);
      windows_.erase(windows_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  bool created = false;
  PanelWindow *below = nullptr;
  for (Panel *p : open) {
    PanelWindow *w = window_of(p);
    if (!w && !ended_) {
      create_window(*p, below);
      w = window_of(p);
      created = created || w != nullptr;
    }
    if (w) below = w;
  }
  for (auto &w : windows_) refresh(*w, false);
  for (auto &w : windows_)
    if (w->panel->times_raised() != w->shown_raises) raise(*w);

  // Only the innermost modal panel takes input; the others wait under it.
  PanelWindow *top = innermost_window();
  for (auto &w : windows_) {
    const bool enable = !top || w.get() == top;
    if ((IsWindowEnabled(w->hwnd) != FALSE) != enable) EnableWindow(w->hwnd, enable);
  }
  if (top && foreground_ != top->hwnd) {
    foreground_ = top->hwnd;
    SetForegroundWindow(top->hwnd);
    SetFocus(top->hwnd);
  }
  if (created && player_) watch_input();
}

void FrontEnd::raise(PanelWindow &w) {
  w.shown_raises = w.panel->times_raised();
  SetWindowPos(w.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  // The window that takes input is also the one that gets the keyboard.
  if (&w == innermost_window()) {
    SetForegroundWindow(w.hwnd);
    SetFocus(w.hwnd);
    foreground_ = w.hwnd;
  }
}

}  // namespace hvwin
