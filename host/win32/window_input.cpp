// Window messages into the user's inputs for the host: presses, moves and releases in
// the client area, the title strip dragged, the OK and Cancel buttons,
// characters typed; and the editors' fields made editable as a user
// expects (click a field and type, Tab to the next, Enter to apply the
// three in one edit; or drag a field sideways).
#include <algorithm>
#include <cstdlib>

#include "session/windows_keys.h"
#include "win32/front_end.h"

namespace hvwin {

using hvhost::ActionId;
using hvhost::Control;
using hvhost::ControlKind;
using hvhost::MouseButton;
using hvhost::UserInput;

namespace {

// A press on an editor's field becomes a drag once the pointer has moved
// this far sideways.
constexpr int kFieldDragThreshold = 3;
// Longest text typed into an editor's field.
constexpr size_t kMaxFieldText = 9;

MouseButton button_of(UINT msg) {
  switch (msg) {
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: return MouseButton::kMiddle;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: return MouseButton::kRight;
    default: return MouseButton::kLeft;
  }
}

UserInput button(ActionId kind, int x, int y, MouseButton b) {
  return UserInput{kind, hvhost::ButtonAt{x, y, b}};
}

UserInput pointer(int x, int y) { return UserInput{ActionId::kMove, hvhost::PointerAt{x, y}}; }

UserInput key(ActionId kind, uint32_t code, int qualifiers) {
  return UserInput{kind, hvhost::KeyStroke{static_cast<int>(code), qualifiers}};
}

UserInput window_button(ActionId kind) { return UserInput{kind, hvhost::NoPayload{}}; }

// Ctrl, Shift and Alt as the message being handled found them, in the
// host's qualifier bits.
int held_qualifiers() {
  int qualifiers = 0;
  for (const hvhost::HostKey &k : hvhost::kQualifierKeys)
    if (GetKeyState(k.vk) < 0) qualifiers |= k.host;
  return qualifiers;
}

int lparam_x(LPARAM lp) { return static_cast<short>(LOWORD(lp)); }
int lparam_y(LPARAM lp) { return static_cast<short>(HIWORD(lp)); }

bool parse_field_text(const std::string &text, int *out) {
  if (text.empty() || text == "-") return false;
  char *end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0') return false;
  *out = static_cast<int>(std::clamp<long>(v, -1000000, 1000000));
  return true;
}

}  // namespace

void FrontEnd::edit_field(PanelWindow &w, Control &c, std::array<int, 3> value) {
  queue(w, UserInput{c.kind() == ControlKind::kMiniRgb ? ActionId::kRgb : ActionId::kHsv,
                     hvhost::EditValues{value}});
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
    if (w.press == Press::kPanel) queue(w, button(ActionId::kPress, px, py, b));
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
    queue(w, button(ActionId::kPress, px, py, b));
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
    case Press::kNone: queue(w, pointer(wx - w.layout.client.x, wy - w.layout.client.y)); return;
  }
}

void FrontEnd::mouse_up(PanelWindow &w, int wx, int wy, MouseButton b) {
  using Press = PanelWindow::Press;
  const Press press = w.press;
  if (press == Press::kNone) return;
  if (press == Press::kPanel) {
    queue(w, button(ActionId::kRelease, wx - w.layout.client.x, wy - w.layout.client.y, b));
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
      if (w.layout.ok->contains(wx, wy)) queue(w, window_button(ActionId::kOk));
      refresh(w, true);
      break;
    case Press::kCancel:
      if (w.layout.cancel->contains(wx, wy)) queue(w, window_button(ActionId::kCancel));
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

void FrontEnd::key_pressed(PanelWindow &w, WPARAM vk, uint32_t code) {
  // An auto-repeated press comes again without a release between.
  keys_down_.erase(std::remove_if(keys_down_.begin(), keys_down_.end(),
                                  [&](const HeldKey &k) { return k.vk == vk; }),
                   keys_down_.end());
  const int qualifiers = held_qualifiers();
  // Windows types Ctrl+letter as a control character (Ctrl+C is 3); the
  // host's key is the letter, with Ctrl among the qualifiers.
  if ((qualifiers & IQ_CTRL) && code >= 1 && code <= 26 && vk >= 'A' && vk <= 'Z')
    code = static_cast<uint32_t>(vk - 'A') + ((qualifiers & IQ_SHIFT) ? 'A' : 'a');
  keys_down_.push_back({vk, code, qualifiers});
  queue(w, key(ActionId::kKeyDown, code, qualifiers));
}

static uint32_t special_key_code(WPARAM vk) {
  return static_cast<uint32_t>(hvhost::host_of(hvhost::kArrowKeys, static_cast<int>(vk)));
}

void FrontEnd::char_typed(PanelWindow &w, uint32_t code) {
  if (!w.edit) {
    key_pressed(w, char_vk_, code);
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
                         [&](const HeldKey &k) { return k.vk == vk; });
  if (it == keys_down_.end()) return;
  const UserInput in = key(ActionId::kKeyUp, it->code, it->qualifiers);
  keys_down_.erase(it);
  queue(w, in);
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
    case WM_KEYDOWN:
      // The keys that type no character and that the host has codes for
      // (the arrows) go to the plug-in as those codes.
      if (takes_input && !w.edit && special_key_code(wp)) {
        key_pressed(w, wp, special_key_code(wp));
        return 0;
      }
      break;
    case WM_KEYUP:
      if (takes_input) key_released(w, wp);
      return 0;
    case WM_CLOSE:
      // The window's close (Alt+F4, the window manager): Cancel.
      if (takes_input) queue(w, window_button(ActionId::kCancel));
      return 0;
    case WM_MOUSEACTIVATE: return MA_ACTIVATE;
    default: break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace hvwin
