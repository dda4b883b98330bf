#include "win32/script_player.h"

#include <array>
#include <string>

#include "model/host.h"
#include "win32/front_end.h"

namespace hvwin {

using hvhost::Action;
using hvhost::MouseButton;
using hvhost::UserInput;

namespace {

// How often a wait looks at its condition when no message wakes it.
constexpr DWORD kPollMs = 10;

std::string at_text(POINT p) { return std::to_string(p.x) + "," + std::to_string(p.y); }

int screen_extent(int index) { return std::max(GetSystemMetrics(index), 1); }

int64_t now_counter() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

}  // namespace

// The system maps an absolute coordinate a to pixel a * extent / 65536
// (rounded down); the smallest a that maps to x is the ceiling below.
LONG absolute_x(int x) {
  const int64_t w = screen_extent(SM_CXSCREEN);
  return static_cast<LONG>((static_cast<int64_t>(x) * 65536 + w - 1) / w);
}

LONG absolute_y(int y) {
  const int64_t h = screen_extent(SM_CYSCREEN);
  return static_cast<LONG>((static_cast<int64_t>(y) * 65536 + h - 1) / h);
}

ScriptPlayer::ScriptPlayer(std::vector<Action> actions, PlayerOptions options, std::string source)
    : actions_(std::make_move_iterator(actions.begin()), std::make_move_iterator(actions.end())),
      options_(options),
      source_(std::move(source)) {}

std::string ScriptPlayer::error_for(const std::string &message) const {
  return hvhost::action_error(current_, message, source_);
}

ScriptPlayer::Step ScriptPlayer::fail(const std::string &message) {
  error_ = error_for(message);
  events_.clear();
  Step s;
  s.kind = Step::kError;
  return s;
}

void ScriptPlayer::add_mouse_move(POINT at, HWND target, const std::string &what) {
  Event e;
  e.kind = Event::kMouse;
  e.flags = MOUSEEVENTF_MOVE;
  e.at = at;
  e.target = target;
  e.what = what + " (pointer to " + at_text(at) + ")";
  events_.push_back(e);
}

void ScriptPlayer::add_button(bool down, MouseButton b, POINT at, HWND target,
                              const std::string &what) {
  Event e;
  e.kind = Event::kMouse;
  switch (b) {
    case MouseButton::kLeft: e.flags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP; break;
    case MouseButton::kMiddle:
      e.flags = down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP;
      break;
    case MouseButton::kRight: e.flags = down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP; break;
  }
  e.at = at;
  e.target = target;
  e.what = what + (down ? " (button down at " : " (button up at ") + at_text(at) + ")";
  events_.push_back(e);
}

void ScriptPlayer::add_click(POINT at, HWND target, const std::string &what) {
  add_mouse_move(at, target, what);
  add_button(true, MouseButton::kLeft, at, target, what);
  add_button(false, MouseButton::kLeft, at, target, what);
}

void ScriptPlayer::add_char(WORD code, HWND target, bool down, bool up) {
  for (bool release : {false, true}) {
    if (!(release ? up : down)) continue;
    Event e;
    e.kind = Event::kKey;
    e.flags = KEYEVENTF_UNICODE | (release ? KEYEVENTF_KEYUP : 0);
    e.unicode = code;
    e.target = release ? nullptr : target;  // the key goes up wherever focus went
    e.what =
        std::string("character ") + std::to_string(code) + (release ? " (key up)" : " (key down)");
    events_.push_back(e);
  }
}

void ScriptPlayer::add_key(WORD vk, bool up, HWND target, const std::string &what) {
  Event e;
  e.kind = Event::kKey;
  e.flags = up ? KEYEVENTF_KEYUP : 0;
  e.vk = vk;
  e.target = target;
  e.what = what + (up ? " (key up)" : " (key down)");
  events_.push_back(e);
}

void ScriptPlayer::add_vk(WORD vk, HWND target, const std::string &what) {
  add_key(vk, false, target, what);
  add_key(vk, true, nullptr, what);
}

bool ScriptPlayer::add_held_key(const UserInput &in, HWND target, const std::string &what) {
  // A key with qualifiers is typed by its virtual key, as a user types it,
  // so that Windows makes of it what it makes of Ctrl+C; the qualifiers'
  // keys go down before its press and come up after its release. The
  // arrows are their virtual keys too.
  static const std::pair<int, WORD> kSpecial[] = {
      {LWDK_UP, VK_UP}, {LWDK_DOWN, VK_DOWN}, {LWDK_LEFT, VK_LEFT}, {LWDK_RIGHT, VK_RIGHT}};
  SHORT scan = in.code < 0x80 ? VkKeyScanA(static_cast<char>(in.code)) : -1;
  for (const auto &[code, vk] : kSpecial)
    if (in.code == code) scan = static_cast<SHORT>(vk);
  if (scan == -1 || (scan & 0x0600)) {
    fail("key code " + std::to_string(in.code) + " cannot be typed with ctrl+, shift+ or alt+");
    return false;
  }
  static const std::pair<int, WORD> kHeld[] = {{hvhost::kQualifierCtrl, VK_CONTROL},
                                               {hvhost::kQualifierShift, VK_SHIFT},
                                               {hvhost::kQualifierAlt, VK_MENU}};
  const WORD vk = static_cast<WORD>(scan & 0xFF);
  // A capital is typed with Shift.
  const int qualifiers = in.qualifiers | ((scan & 0x100) ? hvhost::kQualifierShift : 0);
  if (in.kind == UserInput::kKeyDown) {
    for (const auto &[bit, held] : kHeld)
      if (qualifiers & bit) add_key(held, false, target, what);
    add_key(vk, false, target, what);
  } else {
    add_key(vk, true, nullptr, what);
    for (const auto &[bit, held] : kHeld)
      if (qualifiers & bit) add_key(held, true, nullptr, what);
  }
  return true;
}

bool ScriptPlayer::queue_events(FrontEnd &fe, const hvhost::InputList &inputs) {
  fe.sync();
  PanelWindow *w = fe.innermost_window();
  // Where the last event this script sent left the pointer (GetCursorPos
  // can lag behind under Wine, see send()).
  POINT cursor{-1, -1};
  if (pointer_)
    cursor = *pointer_;
  else
    GetCursorPos(&cursor);
  const std::string what = hvhost::describe(current_);
  const auto no_window = [this] {
    fail("no panel window is open");
    return false;
  };
  for (size_t i = 0; i < inputs.size(); ++i) {
    const UserInput &in = inputs[i];
    // Whether the input needs a panel's window is its action's row's to say;
    // the cases that use the window check for it all the same.
    if (!w && in.needs_panel) return no_window();
    const std::string what_step = inputs.size() > 2 && in.kind == UserInput::kMove
                                      ? what + ", step " + std::to_string(i)
                                      : what;
    switch (in.kind) {
      case UserInput::kPress:
      case UserInput::kMove:
      case UserInput::kRelease: {
        // A press must land on the window; a move or a release goes
        // wherever the pointer is (the window holds the capture while a
        // button is down).
        if (!w) return no_window();
        const POINT at = fe.panel_to_screen(*w, in.x, in.y);
        HWND target = in.kind == UserInput::kPress ? w->hwnd : nullptr;
        if (in.kind == UserInput::kMove || at.x != cursor.x || at.y != cursor.y) {
          add_mouse_move(at, target, what_step);
          cursor = at;
        }
        if (in.kind != UserInput::kMove)
          add_button(in.kind == UserInput::kPress, in.button, at, target, what_step);
        break;
      }
      case UserInput::kKeyDown:
      case UserInput::kKeyUp:
        if (in.code <= 0 || in.code > 0xFFFF || (in.code >= 0xD800 && in.code <= 0xDFFF)) {
          fail("key code " + std::to_string(in.code) + " cannot be typed as one character");
          return false;
        }
        // Keys with qualifiers, and the arrows (no character carries the
        // host's codes for them), are typed by their virtual keys; so is
        // Space, so that the key state has it as a typed one does.
        if (in.qualifiers || (in.code >= LWDK_LEFT && in.code <= LWDK_DOWN) || in.code == ' ') {
          if (!add_held_key(in, w ? w->hwnd : nullptr, what)) return false;
          break;
        }
        add_char(static_cast<WORD>(in.code), w ? w->hwnd : nullptr, in.kind == UserInput::kKeyDown,
                 in.kind == UserInput::kKeyUp);
        break;
      case UserInput::kEditRgb:
      case UserInput::kEditHsv: {
        // As a user types it: click the first field, type each value, Tab
        // to the next field, Enter.
        if (!w) return no_window();
        const hvhost::Control *c = w->panel->find_control(
            in.kind == UserInput::kEditRgb ? "MiniRGBControl" : "MiniHSVControl");
        if (!c) {
          fail(hvhost::missing_place_message(in.kind == UserInput::kEditRgb
                                                 ? hvhost::Place::kRgbEditor
                                                 : hvhost::Place::kHsvEditor));
          return false;
        }
        const hvhost::Rect f = c->editor_field(0);
        add_click(fe.panel_to_screen(*w, f.x + f.w / 2, f.y + f.h / 2), w->hwnd, what);
        for (size_t k = 0; k < 3; ++k) {
          for (char ch : std::to_string(in.values[k]))
            add_char(static_cast<WORD>(static_cast<unsigned char>(ch)), w->hwnd);
          add_vk(k < 2 ? VK_TAB : VK_RETURN, w->hwnd, what);
        }
        break;
      }
      case UserInput::kOk:
      case UserInput::kCancel: {
        const bool ok = in.kind == UserInput::kOk;
        if (!w) return no_window();
        const std::optional<hvhost::Rect> &r = ok ? w->layout.ok : w->layout.cancel;
        if (!r) {
          fail(hvhost::missing_place_message(ok ? hvhost::Place::kOkButton
                                                : hvhost::Place::kCancelButton));
          return false;
        }
        add_click(fe.window_to_screen(*w, r->x + r->w / 2, r->y + r->h / 2), w->hwnd, what);
        break;
      }
      case UserInput::kWait:
        wait_until_ = GetTickCount64() + static_cast<ULONGLONG>(std::max(in.code, 0));
        break;
      case UserInput::kDesktopMove:
        add_mouse_move(POINT{in.x, in.y}, nullptr, what);
        events_.back().warp = true;
        cursor = POINT{in.x, in.y};
        break;
      case UserInput::kDesktopPress:
      case UserInput::kDesktopRelease:
        add_button(in.kind == UserInput::kDesktopPress, in.button, cursor, nullptr, what);
        break;
      case UserInput::kDesktopWheel: {
        Event e;
        e.kind = Event::kMouse;
        e.flags = MOUSEEVENTF_WHEEL;
        const int notches = std::clamp(in.values[0], -32768 / WHEEL_DELTA, 32767 / WHEEL_DELTA);
        e.mouse_data = static_cast<DWORD>(notches * WHEEL_DELTA);
        e.at = cursor;
        e.what = what;
        events_.push_back(e);
        break;
      }
      case UserInput::kSnapshot: break;  // handed to the host by advance()
    }
  }
  return true;
}

bool ScriptPlayer::send(FrontEnd &, Event &e) {
  INPUT in{};
  e.tag = kInputTagBase | next_tag_++;
  if (e.kind == Event::kMouse) {
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = e.flags;
    in.mi.mouseData = e.mouse_data;
    if (e.flags & MOUSEEVENTF_MOVE) {
      in.mi.dwFlags |= MOUSEEVENTF_ABSOLUTE;
      in.mi.dx = absolute_x(e.at.x);
      in.mi.dy = absolute_y(e.at.y);
    }
    in.mi.dwExtraInfo = static_cast<ULONG_PTR>(e.tag);
  } else {
    in.type = INPUT_KEYBOARD;
    in.ki.dwFlags = e.flags;
    in.ki.wVk = e.vk;
    in.ki.wScan = (e.flags & KEYEVENTF_UNICODE)
                      ? e.unicode
                      : static_cast<WORD>(MapVirtualKeyA(e.vk, MAPVK_VK_TO_VSC));
    in.ki.dwExtraInfo = static_cast<ULONG_PTR>(e.tag);
  }
  // Wine 8 does not move the X pointer when SendInput moves the pointer
  // while a low-level mouse hook is installed, and GetCursorPos reads the X
  // pointer back once the pointer has rested for 100 ms: the magnifier would
  // sample around the old place. For a pointer move on the desktop, setting
  // the position first moves the X pointer too; it passes no hook, and the
  // windows take only tagged input, so the plug-in still sees just the
  // SendInput event. (In a panel window that would cost the window its
  // move message: the SendInput move to where the pointer already is brings
  // none.)
  if (e.warp) SetCursorPos(e.at.x, e.at.y);
  const int64_t sent_at = now_counter();
  if (SendInput(1, &in, sizeof in) != 1) return false;
  if (e.kind == Event::kMouse && (e.flags & MOUSEEVENTF_MOVE)) pointer_ = e.at;
  if (on_sent) on_sent(e.tag, sent_at, e.kind == Event::kMouse && e.flags == MOUSEEVENTF_MOVE);
  return true;
}

ScriptPlayer::Step ScriptPlayer::advance(FrontEnd &fe) {
  const ULONGLONG timeout_ms = static_cast<ULONGLONG>(options_.timeout_s * 1000.0);
  const int timeout_s = static_cast<int>(options_.timeout_s);
  Step poll;
  poll.kind = Step::kPoll;
  poll.wait_ms = kPollMs;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (!events_.empty()) {
      Event &e = events_.front();
      if (!e.sent) {
        if (e.deadline == 0) e.deadline = now + timeout_ms;
        // The window the event is meant for must be there to take it: under
        // the pointer's target for the mouse, in front for keys.
        if (e.target) {
          if (!IsWindow(e.target)) return fail("the window for the " + e.what + " is gone");
          bool ready;
          if (e.kind == Event::kMouse) {
            ready = WindowFromPoint(e.at) == e.target;
          } else {
            ready = GetForegroundWindow() == e.target;
            if (!ready) SetForegroundWindow(e.target);
          }
          if (!ready) {
            if (now > e.deadline)
              return fail("after " + std::to_string(timeout_s) + " s the window is still not " +
                          (e.kind == Event::kMouse ? "under the pointer" : "in front") +
                          " for the " + e.what);
            return poll;
          }
        }
        if (!send(fe, e))
          return fail("SendInput failed (error " + std::to_string(GetLastError()) + ") for the " +
                      e.what);
        e.sent = true;
        e.deadline = now + timeout_ms;
        poll.wait_ms = 0;
        return poll;
      }
      if (fe.input_done(e.tag)) {
        if (e.kind == Event::kMouse && (e.flags & MOUSEEVENTF_MOVE)) {
          const POINT c = fe.hook_point();
          if (fe.hook_tag() == e.tag && (c.x != e.at.x || c.y != e.at.y))
            return fail("the pointer went to " + at_text(c) + " instead of " + at_text(e.at) +
                        " for the " + e.what);
        }
        events_.pop_front();
        continue;
      }
      if (now > e.deadline)
        return fail("timed out after " + std::to_string(timeout_s) + " s waiting for the " +
                    e.what + " to reach the host");
      return poll;
    }
    if (wait_until_) {
      if (now < *wait_until_) {
        poll.wait_ms = static_cast<DWORD>(*wait_until_ - now);
        return poll;
      }
      wait_until_.reset();
      continue;
    }
    if (actions_.empty()) {
      Step end;
      end.kind = Step::kEnd;
      return end;
    }
    current_ = std::move(actions_.front());
    actions_.pop_front();
    hvhost::InputList inputs;
    std::string why;
    if (!hvhost::resolve(current_, hvhost::HostPlaces(fe.host()), &inputs, &why)) return fail(why);
    if (inputs.size() == 1 && inputs[0].kind == UserInput::kSnapshot) {
      Step s;
      s.kind = Step::kInput;
      s.input = inputs[0];
      return s;
    }
    if (!queue_events(fe, inputs)) {
      Step s;
      s.kind = Step::kError;
      return s;
    }
  }
}

}  // namespace hvwin
