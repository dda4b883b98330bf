#include "win32/script_player.h"

#include <array>
#include <string>

#include "model/host.h"
#include "model/places.h"
#include "win32/front_end.h"

namespace hvwin {

using hvhost::Action;
using hvhost::action_spec;
using hvhost::ActionId;
using hvhost::ButtonAt;
using hvhost::DesktopButton;
using hvhost::EditValues;
using hvhost::KeyStroke;
using hvhost::MouseButton;
using hvhost::NoPayload;
using hvhost::Pause;
using hvhost::PointerAt;
using hvhost::UserInput;
using hvhost::WheelTurn;

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

bool ScriptPlayer::add_held_key(const KeyStroke &k, bool down, HWND target,
                                const std::string &what) {
  // A key with qualifiers is typed by its virtual key, as a user types it,
  // so that Windows makes of it what it makes of Ctrl+C; the qualifiers'
  // keys go down before its press and come up after its release. The
  // arrows are their virtual keys too.
  static const std::pair<int, WORD> kSpecial[] = {
      {LWDK_UP, VK_UP}, {LWDK_DOWN, VK_DOWN}, {LWDK_LEFT, VK_LEFT}, {LWDK_RIGHT, VK_RIGHT}};
  SHORT scan = k.code < 0x80 ? VkKeyScanA(static_cast<char>(k.code)) : -1;
  for (const auto &[code, vk] : kSpecial)
    if (k.code == code) scan = static_cast<SHORT>(vk);
  if (scan == -1 || (scan & 0x0600)) {
    fail("key code " + std::to_string(k.code) + " cannot be typed with ctrl+, shift+ or alt+");
    return false;
  }
  static const std::pair<int, WORD> kHeld[] = {{hvhost::kQualifierCtrl, VK_CONTROL},
                                               {hvhost::kQualifierShift, VK_SHIFT},
                                               {hvhost::kQualifierAlt, VK_MENU}};
  const WORD vk = static_cast<WORD>(scan & 0xFF);
  // A capital is typed with Shift.
  const int qualifiers = k.qualifiers | ((scan & 0x100) ? hvhost::kQualifierShift : 0);
  if (down) {
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

// ---- Wine workarounds ----------------------------------------------------------
// What Wine 8 needs that Windows does not, in one place; each is harmless on
// Windows.

// Where the pointer is before an action's events: where the last move this
// script sent put it, rather than GetCursorPos, which under Wine lags
// behind a SendInput move while a low-level hook is installed (see
// wine_move_x_pointer_first).
POINT ScriptPlayer::wine_pointer_before_action() const {
  POINT cursor{-1, -1};
  if (pointer_)
    cursor = *pointer_;
  else
    GetCursorPos(&cursor);
  return cursor;
}

// Wine 8 does not move the X pointer when SendInput moves the pointer
// while a low-level mouse hook is installed, and GetCursorPos reads the X
// pointer back once the pointer has rested for 100 ms: the magnifier would
// sample around the old place. For a pointer move on the desktop, setting
// the position first moves the X pointer too; it passes no hook, and the
// windows take only tagged input, so the plug-in still sees just the
// SendInput event. (In a panel window that would cost the window its move
// message: the SendInput move to where the pointer already is brings
// none.)
void ScriptPlayer::wine_move_x_pointer_first(const Event &e) {
  if (e.warp) SetCursorPos(e.at.x, e.at.y);
}

// ---- Steps: one function an input kind, mirroring deliver() ----------------------

// The kind's step with the payload it carries; an input made with another
// payload stops the script.
template <typename P>
bool ScriptPlayer::carried(bool (ScriptPlayer::*step)(Queueing &, const P &), Queueing &q,
                           const UserInput &in) {
  if (const P *payload = in.as<P>()) return (this->*step)(q, *payload);
  fail("an input without its payload");
  return false;
}

bool ScriptPlayer::no_window() {
  fail("no panel window is open");
  return false;
}

// A press must land on the window; a move or a release goes wherever the
// pointer is (the window holds the capture while a button is down).
bool ScriptPlayer::step_button(Queueing &q, const ButtonAt &b, bool down) {
  if (!q.w) return no_window();
  const POINT at = q.fe.panel_to_screen(*q.w, b.x, b.y);
  HWND target = down ? q.w->hwnd : nullptr;
  if (at.x != q.cursor.x || at.y != q.cursor.y) {
    add_mouse_move(at, target, q.what);
    q.cursor = at;
  }
  add_button(down, b.button, at, target, q.what);
  return true;
}

bool ScriptPlayer::step_press(Queueing &q, const ButtonAt &b) { return step_button(q, b, true); }

bool ScriptPlayer::step_release(Queueing &q, const ButtonAt &b) { return step_button(q, b, false); }

bool ScriptPlayer::step_move(Queueing &q, const PointerAt &m) {
  if (!q.w) return no_window();
  const POINT at = q.fe.panel_to_screen(*q.w, m.x, m.y);
  add_mouse_move(at, nullptr, q.what);
  q.cursor = at;
  return true;
}

// A key goes to the panel's window. Keys with qualifiers, and the arrows
// (no character carries the host's codes for them), are typed by their
// virtual keys; the others as the character.
bool ScriptPlayer::step_key(Queueing &q, const KeyStroke &k, bool down) {
  if (k.code <= 0 || k.code > 0xFFFF || (k.code >= 0xD800 && k.code <= 0xDFFF)) {
    fail("key code " + std::to_string(k.code) + " cannot be typed as one character");
    return false;
  }
  HWND target = q.w ? q.w->hwnd : nullptr;
  if (k.qualifiers || (k.code >= LWDK_LEFT && k.code <= LWDK_DOWN))
    return add_held_key(k, down, target, q.what);
  add_char(static_cast<WORD>(k.code), target, down, !down);
  return true;
}

bool ScriptPlayer::step_key_down(Queueing &q, const KeyStroke &k) { return step_key(q, k, true); }

bool ScriptPlayer::step_key_up(Queueing &q, const KeyStroke &k) { return step_key(q, k, false); }

// As a user types it: click the editor's first field, type each value, Tab
// to the next field, Enter. The editor is the place the kind's row needs.
bool ScriptPlayer::step_edit(Queueing &q, const EditValues &e) {
  if (!q.w) return no_window();
  const hvhost::Place editor = action_spec(q.kind).needs.value_or(hvhost::Place::kRgbEditor);
  const std::optional<hvhost::FoundPlace> found = hvhost::find_place(*q.w->panel, editor);
  if (!found || !found->control) {
    fail(hvhost::missing_place_message(editor));
    return false;
  }
  const hvhost::Rect f = found->control->editor_field(0);
  add_click(q.fe.panel_to_screen(*q.w, f.x + f.w / 2, f.y + f.h / 2), q.w->hwnd, q.what);
  for (size_t i = 0; i < e.values.size(); ++i) {
    for (char ch : std::to_string(e.values[i]))
      add_char(static_cast<WORD>(static_cast<unsigned char>(ch)), q.w->hwnd);
    add_vk(i + 1 < e.values.size() ? VK_TAB : VK_RETURN, q.w->hwnd, q.what);
  }
  return true;
}

// The window's OK or Cancel button clicked where the window drew it.
bool ScriptPlayer::step_window_button(Queueing &q, bool ok) {
  if (!q.w) return no_window();
  const std::optional<hvhost::Rect> &r = ok ? q.w->layout.ok : q.w->layout.cancel;
  if (!r) {
    fail(hvhost::missing_place_message(ok ? hvhost::Place::kOkButton
                                          : hvhost::Place::kCancelButton));
    return false;
  }
  add_click(q.fe.window_to_screen(*q.w, r->x + r->w / 2, r->y + r->h / 2), q.w->hwnd, q.what);
  return true;
}

bool ScriptPlayer::step_ok(Queueing &q, const NoPayload &) { return step_window_button(q, true); }

bool ScriptPlayer::step_cancel(Queueing &q, const NoPayload &) {
  return step_window_button(q, false);
}

bool ScriptPlayer::step_wait(Queueing &, const Pause &p) {
  wait_until_ = GetTickCount64() + static_cast<ULONGLONG>(std::max(p.ms, 0));
  return true;
}

bool ScriptPlayer::step_desktop_move(Queueing &q, const PointerAt &m) {
  add_mouse_move(POINT{m.x, m.y}, nullptr, q.what);
  events_.back().warp = true;
  q.cursor = POINT{m.x, m.y};
  return true;
}

bool ScriptPlayer::step_desktop_press(Queueing &q, const DesktopButton &b) {
  add_button(true, b.button, q.cursor, nullptr, q.what);
  return true;
}

bool ScriptPlayer::step_desktop_release(Queueing &q, const DesktopButton &b) {
  add_button(false, b.button, q.cursor, nullptr, q.what);
  return true;
}

// One wheel event of NOTCHES x WHEEL_DELTA at the pointer.
bool ScriptPlayer::step_desktop_wheel(Queueing &q, const WheelTurn &t) {
  Event e;
  e.kind = Event::kMouse;
  e.flags = MOUSEEVENTF_WHEEL;
  const int notches = std::clamp(t.notches, -32768 / WHEEL_DELTA, 32767 / WHEEL_DELTA);
  e.mouse_data = static_cast<DWORD>(notches * WHEEL_DELTA);
  e.at = q.cursor;
  e.what = q.what;
  events_.push_back(e);
  return true;
}

bool ScriptPlayer::queue_events(FrontEnd &fe, const hvhost::InputList &inputs) {
  fe.sync();
  Queueing q{fe, fe.innermost_window(), wine_pointer_before_action(), {}, ActionId::kWait};
  const std::string what = hvhost::describe(current_);
  for (size_t i = 0; i < inputs.size(); ++i) {
    const UserInput &in = inputs[i];
    // Whether the input needs a panel's window is its kind's row's to say;
    // the steps that use the window check for it all the same.
    if (!q.w && hvhost::needs_panel(in)) return no_window();
    q.kind = in.kind;
    q.what = inputs.size() > 2 && in.kind == ActionId::kMove ? what + ", step " + std::to_string(i)
                                                             : what;
    bool queued = true;
    switch (in.kind) {
      case ActionId::kPress: queued = carried(&ScriptPlayer::step_press, q, in); break;
      case ActionId::kRelease: queued = carried(&ScriptPlayer::step_release, q, in); break;
      case ActionId::kMove: queued = carried(&ScriptPlayer::step_move, q, in); break;
      case ActionId::kKeyDown: queued = carried(&ScriptPlayer::step_key_down, q, in); break;
      case ActionId::kKeyUp: queued = carried(&ScriptPlayer::step_key_up, q, in); break;
      case ActionId::kRgb:
      case ActionId::kHsv: queued = carried(&ScriptPlayer::step_edit, q, in); break;
      case ActionId::kOk: queued = carried(&ScriptPlayer::step_ok, q, in); break;
      case ActionId::kCancel: queued = carried(&ScriptPlayer::step_cancel, q, in); break;
      case ActionId::kWait: queued = carried(&ScriptPlayer::step_wait, q, in); break;
      case ActionId::kDesktopMove: queued = carried(&ScriptPlayer::step_desktop_move, q, in); break;
      case ActionId::kDesktopPress:
        queued = carried(&ScriptPlayer::step_desktop_press, q, in);
        break;
      case ActionId::kDesktopRelease:
        queued = carried(&ScriptPlayer::step_desktop_release, q, in);
        break;
      case ActionId::kDesktopWheel:
        queued = carried(&ScriptPlayer::step_desktop_wheel, q, in);
        break;
      case ActionId::kSnapshot:
        break;  // handed to the host by advance()
      // The real system's pen, touch and other programs are not the
      // script's to make.
      case ActionId::kDesktopWarp:
      case ActionId::kPenMove:
      case ActionId::kPenDown:
      case ActionId::kPenUp:
      case ActionId::kTouchDown:
      case ActionId::kTouchMove:
      case ActionId::kTouchUp:
        fail(std::string(action_spec(in.kind).word) +
             " needs the simulated desktop: run with --headless");
        queued = false;
        break;
      // Actions made of other inputs are never one input.
      case ActionId::kClick:
      case ActionId::kDrag:
      case ActionId::kKey:
        fail("not an input: " + std::string(action_spec(in.kind).word));
        queued = false;
        break;
    }
    if (!queued) return false;
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
  wine_move_x_pointer_first(e);
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
    if (inputs.size() == 1 && inputs[0].kind == ActionId::kSnapshot) {
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
