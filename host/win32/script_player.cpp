// The script played as real input.
//
// Sections:
//   Coordinates       absolute_x(), absolute_y(): SendInput's scale
//   Events            add_mouse_move() ... add_held_key(): the events a step is made of
//   Wine workarounds  what Wine 8 needs that Windows does not, in one place
//   Input events      ScriptPlayer::InputEvents: one function an input kind, as deliver() has
//   Sending           send(): one event through SendInput
//   Playing           advance(): the next action, its events one at a time, their waits
#include "win32/script_player.h"

#include <array>
#include <optional>
#include <string>

#include "model/host.h"
#include "model/places.h"
#include "session/windows_keys.h"
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

// What is at a screen point, for a wait's message: the window's class and
// title, so that a window in the way can be named.
std::string window_at_text(POINT p) {
  HWND h = WindowFromPoint(p);
  if (!h) return "no window";
  char cls[64] = "", title[64] = "";
  GetClassNameA(h, cls, sizeof cls);
  GetWindowTextA(h, title, sizeof title);
  return std::string("a window of class ") + cls + " \"" + title + "\"";
}

int64_t now_counter() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

}  // namespace

// ---- Coordinates ---------------------------------------------------------------

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

// ---- Events --------------------------------------------------------------------

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
  SHORT scan = k.code < 0x80 ? VkKeyScanA(static_cast<char>(k.code)) : -1;
  if (const int arrow = hvhost::vk_of(hvhost::kArrowKeys, k.code)) scan = static_cast<SHORT>(arrow);
  if (scan == -1 || (scan & 0x0600)) {
    fail("key code " + std::to_string(k.code) + " cannot be typed with ctrl+, shift+ or alt+");
    return false;
  }
  const WORD vk = static_cast<WORD>(scan & 0xFF);
  // A capital is typed with Shift.
  const int qualifiers = k.qualifiers | ((scan & 0x100) ? IQ_SHIFT : 0);
  if (down) {
    for (const hvhost::HostKey &q : hvhost::kQualifierKeys)
      if (qualifiers & q.host) add_key(static_cast<WORD>(q.vk), false, target, what);
    add_key(vk, false, target, what);
  } else {
    add_key(vk, true, nullptr, what);
    for (const hvhost::HostKey &q : hvhost::kQualifierKeys)
      if (qualifiers & q.host) add_key(static_cast<WORD>(q.vk), true, nullptr, what);
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

// ---- Input events: one function an input kind, mirroring deliver() -------------

// What the functions making one action's inputs into events share: the
// player whose events they add, the panel's window they go to (null when none is open), where the
// pointer is, the input's kind and the words that name it in messages.
struct ScriptPlayer::InputEvents {
  ScriptPlayer &player;
  FrontEnd &fe;
  PanelWindow *w;
  POINT cursor;
  std::string what;
  ActionId kind = ActionId::kWait;

  bool press(const ButtonAt &b) { return button(b, true); }
  bool release(const ButtonAt &b) { return button(b, false); }

  bool move(const PointerAt &m) {
    if (!w) return no_window();
    const POINT at = fe.panel_to_screen(*w, m.x, m.y);
    player.add_mouse_move(at, nullptr, what);
    cursor = at;
    return true;
  }

  bool key_down(const KeyStroke &k) { return key(k, true); }
  bool key_up(const KeyStroke &k) { return key(k, false); }

  // As a user types it: click the editor's first field, type each value,
  // Tab to the next field, Enter. The editor is the place the kind's row
  // needs.
  bool edit(const EditValues &e) {
    if (!w) return no_window();
    if (unsized()) return false;
    const hvhost::Place editor =
        action_spec(kind).required_place.value_or(hvhost::Place::kRgbEditor);
    const std::optional<hvhost::FoundPlace> found = hvhost::find_place(*w->panel, editor);
    if (!found || !found->control) return failed(hvhost::missing_place_message(editor));
    const hvhost::Rect f = found->control->editor_field(0);
    player.add_click(fe.panel_to_screen(*w, f.x + f.w / 2, f.y + f.h / 2), w->hwnd, what);
    for (size_t i = 0; i < e.values.size(); ++i) {
      for (char ch : std::to_string(e.values[i]))
        player.add_char(static_cast<WORD>(static_cast<unsigned char>(ch)), w->hwnd);
      player.add_vk(i + 1 < e.values.size() ? VK_TAB : VK_RETURN, w->hwnd, what);
    }
    return true;
  }

  bool ok(const NoPayload &) { return window_button(true); }
  bool cancel(const NoPayload &) { return window_button(false); }

  bool wait(const Pause &p) {
    player.wait_until_ = GetTickCount64() + static_cast<ULONGLONG>(std::max(p.ms, 0));
    return true;
  }

  bool desktop_move(const PointerAt &m) {
    player.add_mouse_move(POINT{m.x, m.y}, nullptr, what);
    player.events_.back().warp = true;
    cursor = POINT{m.x, m.y};
    return true;
  }

  bool desktop_press(const DesktopButton &b) {
    player.add_button(true, b.button, cursor, nullptr, what);
    return true;
  }

  bool desktop_release(const DesktopButton &b) {
    player.add_button(false, b.button, cursor, nullptr, what);
    return true;
  }

  // One wheel event of NOTCHES x WHEEL_DELTA at the pointer.
  bool desktop_wheel(const WheelTurn &t) {
    Event e;
    e.kind = Event::kMouse;
    e.flags = MOUSEEVENTF_WHEEL;
    const int notches = std::clamp(t.notches, -32768 / WHEEL_DELTA, 32767 / WHEEL_DELTA);
    e.mouse_data = static_cast<DWORD>(notches * WHEEL_DELTA);
    e.at = cursor;
    e.what = what;
    player.events_.push_back(e);
    return true;
  }

  // ---- What the functions above share

  // A press must land on the window; a move or a release goes wherever the
  // pointer is (the window holds the capture while a button is down).
  bool button(const ButtonAt &b, bool down) {
    if (!w) return no_window();
    if (down && unsized()) return false;
    const POINT at = fe.panel_to_screen(*w, b.x, b.y);
    HWND target = down ? w->hwnd : nullptr;
    if (at.x != cursor.x || at.y != cursor.y) {
      player.add_mouse_move(at, target, what);
      cursor = at;
    }
    player.add_button(down, b.button, at, target, what);
    return true;
  }

  // A key goes to the panel's window. Keys with qualifiers, and the arrows
  // (no character carries the host's codes for them), are typed by their
  // virtual keys; so is Space, so that the key state has it as a typed one
  // does; the others as the character.
  bool key(const KeyStroke &k, bool down) {
    if (k.code <= 0 || k.code > 0xFFFF || (k.code >= 0xD800 && k.code <= 0xDFFF))
      return failed("key code " + std::to_string(k.code) + " cannot be typed as one character");
    HWND target = w ? w->hwnd : nullptr;
    if (k.qualifiers || hvhost::vk_of(hvhost::kArrowKeys, k.code) || k.code == ' ')
      return player.add_held_key(k, down, target, what);
    player.add_char(static_cast<WORD>(k.code), target, down, !down);
    return true;
  }

  // The window's OK or Cancel button clicked where the window drew it.
  bool window_button(bool is_ok) {
    if (!w) return no_window();
    const std::optional<hvhost::Rect> &r = is_ok ? w->layout.ok : w->layout.cancel;
    if (!r)
      return failed(hvhost::missing_place_message(is_ok ? hvhost::Place::kOkButton
                                                        : hvhost::Place::kCancelButton));
    player.add_click(fe.window_to_screen(*w, r->x + r->w / 2, r->y + r->h / 2), w->hwnd, what);
    return true;
  }

  bool failed(const std::string &message) {
    player.fail(message);
    return false;
  }
  bool no_window() { return failed("no panel window is open"); }
  // A press in a panel of no size would wait for a window that has no room
  // for it: the step fails at once.
  bool unsized() {
    if (w->panel->width() > 0 && w->panel->height() > 0) return false;
    failed("the panel has no size (PAN_W and PAN_H never set): its window has no room for this");
    return true;
  }

  // The kind's step with the payload it carries; an input made with
  // another payload stops the script.
  template <typename P>
  bool with_payload(bool (InputEvents::*step)(const P &), const UserInput &in) {
    if (const P *payload = in.as<P>()) return (this->*step)(*payload);
    return failed("an input without its payload");
  }

  // The input's events added, by its kind's function.
  bool add(const UserInput &in) {
    kind = in.kind;
    switch (in.kind) {
      case ActionId::kPress: return with_payload(&InputEvents::press, in);
      case ActionId::kRelease: return with_payload(&InputEvents::release, in);
      case ActionId::kMove: return with_payload(&InputEvents::move, in);
      case ActionId::kKeyDown: return with_payload(&InputEvents::key_down, in);
      case ActionId::kKeyUp: return with_payload(&InputEvents::key_up, in);
      case ActionId::kRgb:
      case ActionId::kHsv: return with_payload(&InputEvents::edit, in);
      case ActionId::kOk: return with_payload(&InputEvents::ok, in);
      case ActionId::kCancel: return with_payload(&InputEvents::cancel, in);
      case ActionId::kWait: return with_payload(&InputEvents::wait, in);
      case ActionId::kDesktopMove: return with_payload(&InputEvents::desktop_move, in);
      case ActionId::kDesktopPress: return with_payload(&InputEvents::desktop_press, in);
      case ActionId::kDesktopRelease: return with_payload(&InputEvents::desktop_release, in);
      case ActionId::kDesktopWheel: return with_payload(&InputEvents::desktop_wheel, in);
      case ActionId::kSnapshot:
        return true;  // handed to the host by advance()
      // The real system's pen, touch and other programs are not the
      // script's to make.
      case ActionId::kDesktopWarp:
      case ActionId::kPenMove:
      case ActionId::kPenDown:
      case ActionId::kPenUp:
      case ActionId::kTouchDown:
      case ActionId::kTouchMove:
      case ActionId::kTouchUp:
        return failed(std::string(action_spec(in.kind).word) +
                      " needs the simulated desktop: run with --headless");
      // Actions made of other inputs are never one input.
      case ActionId::kClick:
      case ActionId::kDrag:
      case ActionId::kKey: break;
    }
    return failed("not an input its kind can carry: " + std::string(action_spec(in.kind).word));
  }
};

bool ScriptPlayer::queue_events(FrontEnd &fe, const hvhost::InputList &inputs) {
  fe.sync();
  InputEvents input_events{*this, fe, fe.innermost_window(), wine_pointer_before_action(), {}};
  const std::string what = hvhost::describe(current_);
  for (size_t i = 0; i < inputs.size(); ++i) {
    const UserInput &in = inputs[i];
    // Whether the input needs a panel's window is its kind's row's to say;
    // the functions that use the window check for it all the same.
    if (!input_events.w && hvhost::needs_panel(in)) return input_events.no_window();
    input_events.what = inputs.size() > 2 && in.kind == ActionId::kMove
                            ? what + ", step " + std::to_string(i)
                            : what;
    if (!input_events.add(in)) return false;
  }
  return true;
}

// ---- Sending -------------------------------------------------------------------

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

// ---- Playing -------------------------------------------------------------------

std::optional<ScriptPlayer::Step> ScriptPlayer::play_front_event(FrontEnd &fe, ULONGLONG now) {
  const ULONGLONG timeout_ms = static_cast<ULONGLONG>(options_.timeout_s * 1000.0);
  const int timeout_s = static_cast<int>(options_.timeout_s);
  Step poll;
  poll.kind = Step::kPoll;
  poll.wait_ms = kPollMs;
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
                      (e.kind == Event::kMouse
                           ? "under the pointer (" + window_at_text(e.at) + " is there)"
                           : std::string("in front")) +
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
    return std::nullopt;
  }
  if (now > e.deadline)
    return fail("timed out after " + std::to_string(timeout_s) + " s waiting for the " + e.what +
                " to reach the host");
  return poll;
}

std::optional<ScriptPlayer::Step> ScriptPlayer::start_next_action(FrontEnd &fe) {
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
  return std::nullopt;
}

ScriptPlayer::Step ScriptPlayer::advance(FrontEnd &fe) {
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (!events_.empty()) {
      if (std::optional<Step> step = play_front_event(fe, now)) return *step;
      continue;
    }
    if (wait_until_) {
      if (now < *wait_until_) {
        Step poll;
        poll.kind = Step::kPoll;
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
    if (std::optional<Step> step = start_next_action(fe)) return *step;
  }
}

}  // namespace hvwin
