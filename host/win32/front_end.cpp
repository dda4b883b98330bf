#include "win32/front_end.h"

#include <algorithm>
#include <cstdlib>

#include "model/palette.h"
#include "model/text.h"
#include "win32/script_player.h"

namespace hvwin {

using hvhost::Action;
using hvhost::Control;
using hvhost::ControlKind;
using hvhost::Framebuffer;
using hvhost::MouseButton;
using hvhost::Panel;
using hvhost::Rect;
using hvhost::Rgb;

namespace {

// The one front end of the process: window procedures and low-level hooks
// have no context argument.
FrontEnd *g_front_end = nullptr;

// A press on an editor's field becomes a drag once the pointer has moved
// this far sideways.
constexpr int kFieldDragThreshold = 3;
// Longest text typed into an editor's field.
constexpr size_t kMaxFieldText = 9;

constexpr Rgb kEditFill{240, 240, 226};
constexpr Rgb kEditText{16, 16, 20};
constexpr Rgb kEditSelect{64, 110, 200};
constexpr Rgb kEditSelectText{250, 250, 250};

bool is_mouse_message(UINT m) { return m >= WM_MOUSEFIRST && m <= WM_MOUSELAST; }
bool is_key_message(UINT m) { return m >= WM_KEYFIRST && m <= WM_KEYLAST; }

MouseButton button_of(UINT msg) {
  switch (msg) {
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: return MouseButton::kMiddle;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: return MouseButton::kRight;
    default: return MouseButton::kLeft;
  }
}

int lparam_x(LPARAM lp) { return static_cast<short>(LOWORD(lp)); }
int lparam_y(LPARAM lp) { return static_cast<short>(HIWORD(lp)); }

LRESULT CALLBACK panel_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    const auto *cs = reinterpret_cast<const CREATESTRUCTA *>(lp);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    if (auto *w = static_cast<PanelWindow *>(cs->lpCreateParams)) w->hwnd = hwnd;
  }
  auto *w = reinterpret_cast<PanelWindow *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (w && g_front_end) return g_front_end->handle(*w, msg, wp, lp);
  return DefWindowProcA(hwnd, msg, wp, lp);
}

bool parse_field_text(const std::string &text, int *out) {
  if (text.empty() || text == "-") return false;
  char *end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0') return false;
  *out = static_cast<int>(std::clamp<long>(v, -1000000, 1000000));
  return true;
}

}  // namespace

FrontEnd::FrontEnd(hvhost::Host &host, std::ostream &out, FrontEndOptions options)
    : host_(host), out_(out), options_(options) {
  g_front_end = this;
}

FrontEnd::~FrontEnd() {
  for (auto &w : windows_) destroy_window(*w);
  windows_.clear();
  if (mouse_hook_) UnhookWindowsHookEx(mouse_hook_);
  if (key_hook_) UnhookWindowsHookEx(key_hook_);
  if (g_front_end == this) g_front_end = nullptr;
}

bool FrontEnd::init(std::string *error) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = panel_window_proc;
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
    const Rect f = w.edit->control->editor_field(w.edit->field);
    const Rect box{w.layout.client.x + f.x, w.layout.client.y + f.y, f.w, f.h};
    fb.fill_rect(box.x, box.y, box.w, box.h, kEditFill);
    fb.frame(box.x, box.y, box.w, box.h, kEditSelect);
    const int tw = hvhost::text_width(w.edit->text);
    const int tx = box.x + box.w - 5 - tw;
    if (w.edit->replace && !w.edit->text.empty()) {
      fb.fill_rect(tx - 1, box.y + 3, tw + 2, box.h - 6, kEditSelect);
      hvhost::draw_text(fb, tx, box.y + 6, w.edit->text, kEditSelectText);
    } else {
      hvhost::draw_text(fb, tx, box.y + 6, w.edit->text, kEditText);
      fb.fill_rect(box.x + box.w - 4, box.y + 3, 1, box.h - 6, kEditText);  // caret
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

// ---- Input -------------------------------------------------------------------

void FrontEnd::queue(const PanelWindow &w, Action a) {
  actions_.push_back(Queued{std::move(a), w.panel, current_tag_});
}

void FrontEnd::finish_input(uint64_t tag) {
  if (is_input_tag(tag)) done_tag_ = std::max(done_tag_, tag);
}

std::optional<Action> FrontEnd::pop_action() {
  while (!actions_.empty()) {
    Queued q = std::move(actions_.front());
    actions_.pop_front();
    finish_input(q.tag);
    // Input for a window that no longer takes it (its panel closed, or a
    // nested panel opened over it meanwhile) is dropped.
    if (q.panel == host_.innermost_panel()) return std::move(q.action);
  }
  return std::nullopt;
}

bool FrontEnd::idle() const {
  const DWORD busy = HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE | QS_PAINT));
  return busy == 0 && actions_.empty();
}

bool FrontEnd::input_done(uint64_t tag) const {
  return (done_tag_ >= tag || hook_tag_ >= tag) && idle();
}

bool FrontEnd::accepts_input() const { return !ended_; }

LRESULT CALLBACK FrontEnd::mouse_hook_proc(int code, WPARAM wp, LPARAM lp) {
  // The rest of the chain (the plug-in's hook among it) runs first, so a tag
  // seen here has been through every hook.
  const LRESULT r = CallNextHookEx(nullptr, code, wp, lp);
  if (code == HC_ACTION && g_front_end) {
    const auto *event = reinterpret_cast<const MSLLHOOKSTRUCT *>(lp);
    if (is_input_tag(event->dwExtraInfo) && event->dwExtraInfo >= g_front_end->hook_tag_) {
      g_front_end->hook_tag_ = event->dwExtraInfo;
      g_front_end->hook_point_ = event->pt;
    }
  }
  return r;
}

LRESULT CALLBACK FrontEnd::key_hook_proc(int code, WPARAM wp, LPARAM lp) {
  const LRESULT r = CallNextHookEx(nullptr, code, wp, lp);
  if (code == HC_ACTION && g_front_end) {
    const uint64_t info = reinterpret_cast<const KBDLLHOOKSTRUCT *>(lp)->dwExtraInfo;
    if (is_input_tag(info)) g_front_end->hook_tag_ = std::max(g_front_end->hook_tag_, info);
  }
  return r;
}

void FrontEnd::watch_input() {
  if (mouse_hook_) UnhookWindowsHookEx(mouse_hook_);
  if (key_hook_) UnhookWindowsHookEx(key_hook_);
  HINSTANCE self = GetModuleHandleA(nullptr);
  mouse_hook_ = SetWindowsHookExA(WH_MOUSE_LL, mouse_hook_proc, self, 0);
  key_hook_ = SetWindowsHookExA(WH_KEYBOARD_LL, key_hook_proc, self, 0);
}

bool FrontEnd::pump(DWORD ms) {
  // No PeekMessage before the wait: it would run a pending hook call (a sent
  // message) and then block with the hook's effect unseen. The wait returns
  // for sent messages too, and the loop below runs them.
  if (ms > 0) MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  // Hooks and sent messages run inside PeekMessage without a message coming
  // out of it, and may have closed a panel: the host's loop looks again.
  yield_ = true;
  MSG msg;
  bool handled = false;
  while (actions_.empty() && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    handled = true;
    if (msg.message == WM_QUIT) {
      ended_ = true;
      break;
    }
    uint64_t tag = 0;
    const bool input = is_mouse_message(msg.message) || is_key_message(msg.message);
    if (input) {
      tag = static_cast<uint64_t>(GetMessageExtraInfo());
      if ((msg.message == WM_CHAR || msg.message == WM_SYSCHAR) && !is_input_tag(tag)) {
        tag = char_tag_;
        char_tag_ = 0;
      }
      if (options_.tagged_input_only && !is_input_tag(tag)) continue;
    }
    current_tag_ = is_input_tag(tag) ? tag : 0;
    const size_t queued = actions_.size();
    TranslateMessage(&msg);
    bool char_follows = false;
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
      MSG peek;
      char_follows = PeekMessageA(&peek, msg.hwnd, WM_CHAR, WM_SYSDEADCHAR, PM_NOREMOVE) != 0;
      if (char_follows) {
        char_tag_ = current_tag_;
        char_vk_ = msg.wParam;
      }
    }
    if (msg.message == WM_TIMER && !msg.hwnd && on_thread_timer) {
      LARGE_INTEGER t0, t1, f;
      QueryPerformanceCounter(&t0);
      DispatchMessageA(&msg);
      QueryPerformanceCounter(&t1);
      QueryPerformanceFrequency(&f);
      on_thread_timer(static_cast<double>(t1.QuadPart - t0.QuadPart) /
                      static_cast<double>(f.QuadPart));
    } else {
      DispatchMessageA(&msg);
    }
    if (current_tag_ && actions_.size() == queued && !char_follows) finish_input(current_tag_);
    current_tag_ = 0;
  }
  return handled;
}

std::optional<Action> FrontEnd::next(hvhost::Host &) {
  for (;;) {
    sync();
    if (std::optional<Action> a = pop_action()) return a;
    if (yield_) {
      yield_ = false;
      return Action::wait(0);
    }
    if (ended_) return std::nullopt;
    DWORD wait = INFINITE;
    if (player_) {
      if (!idle()) {
        wait = 0;
      } else {
        ScriptPlayer::Step s = player_->advance(*this);
        switch (s.kind) {
          case ScriptPlayer::Step::kAction: return s.action;
          case ScriptPlayer::Step::kEnd: ended_ = true; return std::nullopt;
          case ScriptPlayer::Step::kError:
            error_ = player_->error();
            ended_ = true;
            return std::nullopt;
          case ScriptPlayer::Step::kPoll: wait = s.wait_ms; break;
        }
      }
    }
    pump(wait);
  }
}

// ---- Window messages -------------------------------------------------------

void FrontEnd::edit_field(PanelWindow &w, Control &c, std::array<int, 3> value) {
  queue(w, c.kind() == ControlKind::kMiniRgb ? Action::rgb(value[0], value[1], value[2])
                                             : Action::hsv(value[0], value[1], value[2]));
}

void FrontEnd::end_edit(PanelWindow &w, bool apply) {
  if (!w.edit) return;
  PanelWindow::FieldEdit e = *w.edit;
  w.edit.reset();
  if (apply) {
    parse_field_text(e.text, &e.pending[static_cast<size_t>(e.field)]);
    edit_field(w, *e.control, e.pending);
  }
  refresh(w, true);
}

void FrontEnd::mouse_down(PanelWindow &w, int wx, int wy, MouseButton b) {
  using Press = PanelWindow::Press;
  const int px = wx - w.layout.client.x, py = wy - w.layout.client.y;
  if (w.press != Press::kNone) {
    // A second button while one is held goes where the first went.
    if (w.press == Press::kPanel) queue(w, Action::press(px, py, b));
    return;
  }
  Control *c = b == MouseButton::kLeft ? w.panel->control_at(px, py) : nullptr;
  int field = -1;
  if (c && c->is_editor())
    for (int i = 0; i < 3; ++i)
      if (c->editor_field(i).contains(px, py)) field = i;
  if (w.edit && (c != w.edit->control || field != w.edit->field)) end_edit(w, true);
  if (w.edit) return;  // a click into the field being typed in

  if (b == MouseButton::kLeft && w.layout.title.contains(wx, wy)) {
    w.press = Press::kTitle;
  } else if (b == MouseButton::kLeft && w.layout.ok && w.layout.ok->contains(wx, wy)) {
    w.press = Press::kOk;
    refresh(w, true);
  } else if (b == MouseButton::kLeft && w.layout.cancel && w.layout.cancel->contains(wx, wy)) {
    w.press = Press::kCancel;
    refresh(w, true);
  } else if (field >= 0) {
    w.press = Press::kField;
    w.field_control = c;
    w.field_index = field;
    w.press_x = wx;
    w.press_y = wy;
    w.press_value = c->value()[static_cast<size_t>(field)];
    w.field_value = w.press_value;
    w.field_dragging = false;
  } else if (w.layout.client.contains(wx, wy)) {
    w.press = Press::kPanel;
    queue(w, Action::press(px, py, b));
  } else {
    return;
  }
  w.press_x = wx;
  w.press_y = wy;
  SetCapture(w.hwnd);
}

void FrontEnd::mouse_move(PanelWindow &w, int wx, int wy) {
  using Press = PanelWindow::Press;
  switch (w.press) {
    case Press::kTitle: {
      // The window follows the pointer; the panel's position follows the
      // window (WM_WINDOWPOSCHANGED).
      SetWindowPos(w.hwnd, nullptr, w.x + wx - w.press_x, w.y + wy - w.press_y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return;
    }
    case Press::kField: {
      const int dx = wx - w.press_x;
      if (!w.field_dragging && std::abs(dx) < kFieldDragThreshold) return;
      w.field_dragging = true;
      const int v = std::clamp(w.press_value + dx, hvhost::kEditorMin, hvhost::kEditorMax);
      if (v == w.field_value) return;
      w.field_value = v;
      std::array<int, 3> value = w.field_control->value();
      value[static_cast<size_t>(w.field_index)] = v;
      edit_field(w, *w.field_control, value);
      return;
    }
    case Press::kOk:
    case Press::kCancel: return;
    case Press::kPanel:
    case Press::kNone:
      queue(w, Action::move(wx - w.layout.client.x, wy - w.layout.client.y));
      return;
  }
}

void FrontEnd::mouse_up(PanelWindow &w, int wx, int wy, MouseButton b) {
  using Press = PanelWindow::Press;
  const Press press = w.press;
  if (press == Press::kNone) return;
  if (press == Press::kPanel) {
    queue(w, Action::release(wx - w.layout.client.x, wy - w.layout.client.y, b));
    // All buttons up ends the press.
    bool other_held = false;
    for (const auto &[button, vk] :
         {std::pair{MouseButton::kLeft, VK_LBUTTON}, std::pair{MouseButton::kMiddle, VK_MBUTTON},
          std::pair{MouseButton::kRight, VK_RBUTTON}})
      if (button != b && (GetKeyState(vk) & 0x8000) != 0) other_held = true;
    if (other_held) return;
  } else if (b != MouseButton::kLeft) {
    return;
  }
  w.press = Press::kNone;
  if (GetCapture() == w.hwnd) ReleaseCapture();
  switch (press) {
    case Press::kOk:
      if (w.layout.ok->contains(wx, wy)) queue(w, Action::ok());
      refresh(w, true);
      break;
    case Press::kCancel:
      if (w.layout.cancel->contains(wx, wy)) queue(w, Action::cancel());
      refresh(w, true);
      break;
    case Press::kField:
      if (!w.field_dragging) {
        // A click: type into the field; the text starts selected.
        PanelWindow::FieldEdit e;
        e.control = w.field_control;
        e.field = w.field_index;
        e.pending = w.field_control->value();
        e.text = std::to_string(e.pending[static_cast<size_t>(e.field)]);
        w.edit = e;
        refresh(w, true);
      }
      break;
    default: break;
  }
}

void FrontEnd::char_typed(PanelWindow &w, uint32_t code) {
  if (!w.edit) {
    // An auto-repeated press comes again without a release between.
    keys_down_.erase(std::remove_if(keys_down_.begin(), keys_down_.end(),
                                    [&](const auto &k) { return k.first == char_vk_; }),
                     keys_down_.end());
    keys_down_.emplace_back(char_vk_, code);
    queue(w, Action::key_down(static_cast<int>(code)));
    return;
  }
  PanelWindow::FieldEdit &e = *w.edit;
  const bool digit = code >= '0' && code <= '9';
  if (digit || (code == '-' && (e.replace || e.text.empty()))) {
    if (e.replace) e.text.clear();
    e.replace = false;
    if (e.text.size() < kMaxFieldText) e.text.push_back(static_cast<char>(code));
  } else if (code == VK_BACK) {
    if (e.replace)
      e.text.clear();
    else if (!e.text.empty())
      e.text.pop_back();
    e.replace = false;
  } else if (code == '\t') {
    parse_field_text(e.text, &e.pending[static_cast<size_t>(e.field)]);
    e.field = (e.field + 1) % 3;
    e.text = std::to_string(e.pending[static_cast<size_t>(e.field)]);
    e.replace = true;
  } else if (code == '\r') {
    end_edit(w, true);
    return;
  } else if (code == 0x1B) {
    end_edit(w, false);
    return;
  }
  refresh(w, true);
}

void FrontEnd::key_released(PanelWindow &w, WPARAM vk) {
  auto it = std::find_if(keys_down_.begin(), keys_down_.end(),
                         [&](const auto &k) { return k.first == vk; });
  if (it == keys_down_.end()) return;
  const uint32_t code = it->second;
  keys_down_.erase(it);
  queue(w, Action::key_up(static_cast<int>(code)));
}

LRESULT FrontEnd::handle(PanelWindow &w, UINT msg, WPARAM wp, LPARAM lp) {
  HWND hwnd = w.hwnd ? w.hwnd : nullptr;
  const bool takes_input = w.panel == host_.innermost_panel() && accepts_input();
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      SetDIBitsToDevice(
          dc, 0, 0, static_cast<DWORD>(w.image.width()), static_cast<DWORD>(w.image.height()), 0, 0,
          0, static_cast<UINT>(w.image.height()), w.image.pixels().data(), &w.bmi, DIB_RGB_COLORS);
      EndPaint(hwnd, &ps);
      w.painted_serial = w.image_serial;
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_WINDOWPOSCHANGED: {
      const auto *pos = reinterpret_cast<const WINDOWPOS *>(lp);
      if (!(pos->flags & SWP_NOMOVE) && (pos->x != w.x || pos->y != w.y)) {
        w.x = pos->x;
        w.y = pos->y;
        // Moved by the user: the plug-in reads the new position back.
        if (!w.moving) host_.move_panel(*w.panel, w.x, w.y);
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN:
      if (takes_input) mouse_down(w, lparam_x(lp), lparam_y(lp), button_of(msg));
      return 0;
    case WM_MOUSEMOVE:
      if (takes_input) mouse_move(w, lparam_x(lp), lparam_y(lp));
      return 0;
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
    case WM_RBUTTONUP:
      if (takes_input) mouse_up(w, lparam_x(lp), lparam_y(lp), button_of(msg));
      return 0;
    case WM_CAPTURECHANGED:
      // Capture taken away mid-press (another window came up): the press
      // ends where it is, without a click.
      if (reinterpret_cast<HWND>(lp) != hwnd && w.press != PanelWindow::Press::kNone &&
          w.press != PanelWindow::Press::kPanel) {
        w.press = PanelWindow::Press::kNone;
        refresh(w, true);
      }
      return 0;
    case WM_CHAR:
      if (takes_input) char_typed(w, static_cast<uint32_t>(wp));
      return 0;
    case WM_KEYUP:
      if (takes_input) key_released(w, wp);
      return 0;
    case WM_CLOSE:
      // The window's close (Alt+F4, the window manager): Cancel.
      if (takes_input) queue(w, Action::cancel());
      return 0;
    case WM_MOUSEACTIVATE: return MA_ACTIVATE;
    default: break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// ---- Screen capture --------------------------------------------------------

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
