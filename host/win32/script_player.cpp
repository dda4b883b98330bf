#include "win32/script_player.h"

#include <array>
#include <string>

#include "input/drag.h"
#include "model/host.h"
#include "model/places.h"
#include "win32/front_end.h"

namespace hvwin {

using hvhost::Action;
using hvhost::ActionKind;
using hvhost::MouseButton;

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

ScriptPlayer::ScriptPlayer(std::vector<Action> actions, PlayerOptions options)
    : actions_(std::make_move_iterator(actions.begin()), std::make_move_iterator(actions.end())),
      options_(options) {}

ScriptPlayer::Step ScriptPlayer::fail(const std::string &message) {
  const std::string line = current_.line > 0 ? "line " + std::to_string(current_.line) + ": " : "";
  error_ = line + message + " (" + hvhost::describe(current_) + ")";
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

bool ScriptPlayer::expand(FrontEnd &fe, const Action &a) {
  hvhost::Host &host = fe.host();
  fe.sync();
  PanelWindow *w = fe.innermost_window();
  // Where the last event this script sent left the pointer (GetCursorPos
  // can lag behind under Wine, see send()).
  POINT cursor{-1, -1};
  if (pointer_)
    cursor = *pointer_;
  else
    GetCursorPos(&cursor);
  const auto need_window = [&]() {
    if (w) return true;
    fail("no panel window is open");
    return false;
  };
  // Panel coordinates of a point given relative to a named place.
  const auto panel_point = [&](hvhost::Place place, int x, int y, std::array<int, 2> *out) {
    const std::optional<std::array<int, 2>> p = host.place_point(place, x, y);
    if (!p) {
      fail(hvhost::missing_place_message(place));
      return false;
    }
    *out = *p;
    return true;
  };
  const std::string what = hvhost::describe(a);

  // A press, move or release at panel point (x, y), sent from where the
  // pointer is.
  const auto add_mouse = [&](const Action &m, int x, int y, const std::string &what_step) {
    const POINT s = fe.panel_to_screen(*w, x, y);
    // A press must land on the window; a move or a release goes wherever
    // the pointer is (the window holds the capture while a button is down).
    HWND target = m.kind == ActionKind::kPress ? w->hwnd : nullptr;
    if (m.kind == ActionKind::kMove || s.x != cursor.x || s.y != cursor.y) {
      add_mouse_move(s, target, what_step);
      cursor = s;
    }
    if (m.kind != ActionKind::kMove)
      add_button(m.kind == ActionKind::kPress, m.button, s, target, what_step);
  };

  switch (a.kind) {
    case ActionKind::kPress:
    case ActionKind::kRelease:
    case ActionKind::kMove: {
      std::array<int, 2> p;
      if (!need_window() || !panel_point(a.place, a.x, a.y, &p)) return false;
      add_mouse(a, p[0], p[1], what);
      return true;
    }
    case ActionKind::kDrag: {
      std::array<int, 2> p1, p2;
      if (!need_window() || !panel_point(a.place, a.x, a.y, &p1) ||
          !panel_point(a.place, a.x2, a.y2, &p2))
        return false;
      const hvhost::DragSteps steps(a, p1, p2);
      for (int i = 0; i < steps.size(); ++i) {
        const Action step = steps[i];
        const bool move = step.kind == ActionKind::kMove;
        add_mouse(step, step.x, step.y, move ? what + ", step " + std::to_string(i) : what);
      }
      return true;
    }
    case ActionKind::kKey:
    case ActionKind::kKeyDown:
    case ActionKind::kKeyUp:
      if (a.kind != ActionKind::kKeyUp && !need_window()) return false;
      if (a.key <= 0 || a.key > 0xFFFF || (a.key >= 0xD800 && a.key <= 0xDFFF)) {
        fail("key code " + std::to_string(a.key) + " cannot be typed as one character");
        return false;
      }
      add_char(static_cast<WORD>(a.key), w ? w->hwnd : nullptr, a.kind != ActionKind::kKeyUp,
               a.kind != ActionKind::kKeyDown);
      return true;
    case ActionKind::kEditRgb:
    case ActionKind::kEditHsv: {
      if (!need_window()) return false;
      const bool rgb = a.kind == ActionKind::kEditRgb;
      const hvhost::Control *c = w->panel->find_control(rgb ? "MiniRGBControl" : "MiniHSVControl");
      if (!c) {
        fail(rgb ? "no RGB editor on the open panel" : "no HSV editor on the open panel");
        return false;
      }
      // As a user types it: click the first field, type each value, Tab to
      // the next field, Enter.
      const hvhost::Rect f = c->editor_field(0);
      add_click(fe.panel_to_screen(*w, f.x + f.w / 2, f.y + f.h / 2), w->hwnd, what);
      for (int i = 0; i < 3; ++i) {
        for (char ch : std::to_string(a.values[static_cast<size_t>(i)]))
          add_char(static_cast<WORD>(static_cast<unsigned char>(ch)), w->hwnd);
        add_vk(i < 2 ? VK_TAB : VK_RETURN, w->hwnd, what);
      }
      return true;
    }
    case ActionKind::kClickEyedropper: {
      std::array<int, 2> p;
      if (!need_window() || !panel_point(hvhost::Place::kEyedropper, 0, 0, &p)) return false;
      add_click(fe.panel_to_screen(*w, p[0], p[1]), w->hwnd, what);
      return true;
    }
    case ActionKind::kOk:
    case ActionKind::kCancel: {
      if (!need_window()) return false;
      const std::optional<hvhost::Rect> &r =
          a.kind == ActionKind::kOk ? w->layout.ok : w->layout.cancel;
      if (r) {
        add_click(fe.window_to_screen(*w, r->x + r->w / 2, r->y + r->h / 2), w->hwnd, what);
        return true;
      }
      // As in the headless host: a panel without the button cannot be
      // closed this way.
      fail(a.kind == ActionKind::kOk ? "the open panel has no OK button"
                                     : "the open panel has no Cancel button");
      return false;
    }
    case ActionKind::kWait:
      wait_until_ = GetTickCount64() + static_cast<ULONGLONG>(std::max(a.ms, 0));
      return true;
    case ActionKind::kDesktopMove:
      add_mouse_move(POINT{a.x, a.y}, nullptr, what);
      events_.back().warp = true;
      return true;
    case ActionKind::kDesktopPress:
    case ActionKind::kDesktopRelease:
      add_button(a.kind == ActionKind::kDesktopPress, a.button, cursor, nullptr, what);
      return true;
    case ActionKind::kSnapshot: return true;  // handed to the host by advance()
  }
  fail("this action cannot be played");
  return false;
}

bool ScriptPlayer::send(FrontEnd &, Event &e) {
  INPUT in{};
  e.tag = kInputTagBase | next_tag_++;
  if (e.kind == Event::kMouse) {
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = e.flags;
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
    if (current_.kind == ActionKind::kSnapshot) {
      Step s;
      s.kind = Step::kAction;
      s.action = current_;
      return s;
    }
    if (!expand(fe, current_)) {
      Step s;
      s.kind = Step::kError;
      return s;
    }
  }
}

}  // namespace hvwin
