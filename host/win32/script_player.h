// Plays a script as a user's real input on Windows. Each action is resolved
// by the vocabulary into the user inputs it is made of, as in the headless
// host, and each input becomes events sent with SendInput at screen
// positions computed from the windows' positions (panel coordinates to the
// window's client area, to the screen); `wait` lets real time pass with the
// message loop running; `snapshot` is handed to the host, whose handler
// captures the window from the screen.
//
// One event is sent at a time, when the message queue is idle, and the next
// waits until the event has been taken in (a window handled it and the host
// got its action, or the low-level hook saw it). Every wait has a timeout
// that stops the script with a message naming the line and the event.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "input/vocabulary.h"

namespace hvwin {

class FrontEnd;

struct PlayerOptions {
  // Seconds one event may take to be taken in, and a window to appear or
  // come to the front, before the script stops.
  double timeout_s = 30.0;
};

class ScriptPlayer {
 public:
  // source: the script's file, which errors name (may be empty).
  ScriptPlayer(std::vector<hvhost::Action> actions, PlayerOptions options, std::string source = "");

  struct Step {
    enum Kind {
      kPoll,   // nothing to hand over yet: run the message loop for wait_ms
      kInput,  // deliver this input to the host
      kEnd,    // the script is over
      kError,  // the script cannot go on: error()
    };
    Kind kind = kPoll;
    DWORD wait_ms = 0;
    hvhost::UserInput input;  // kInput: the input
  };

  // Called by the front end whenever the host waits for input.
  Step advance(FrontEnd &fe);

  const std::string &error() const { return error_; }
  // An error of the current action: "FILE, line 3: MESSAGE (ok)".
  std::string error_for(const std::string &message) const;
  size_t remaining() const { return actions_.size(); }

  // Called after each event is sent, with its tag and the time it was sent
  // (QueryPerformanceCounter); for --bench.
  std::function<void(uint64_t tag, int64_t sent_at, bool move)> on_sent;

 private:
  // One input event and the condition that ends its wait.
  struct Event {
    enum Kind { kMouse, kKey } kind = kMouse;
    DWORD flags = 0;        // MOUSEEVENTF_* or KEYEVENTF_*
    POINT at{};             // kMouse with MOUSEEVENTF_MOVE: screen position
    WORD vk = 0;            // kKey
    DWORD mouse_data = 0;   // kMouse with MOUSEEVENTF_WHEEL: the wheel's delta
    WORD unicode = 0;       // kKey with KEYEVENTF_UNICODE
    HWND target = nullptr;  // the window that must be under `at` or in front
    bool warp = false;      // a move on the desktop: see wine_move_x_pointer_first
    std::string what;       // for messages: "press at 812,400"
    bool sent = false;
    uint64_t tag = 0;
    ULONGLONG deadline = 0;
  };

  // One action's inputs made into events: one function a kind of input, as
  // deliver() has one, defined with the window and pointer they share in
  // script_player.cpp alone.
  struct InputEvents;
  // The events of the action's inputs; false after fail() when it cannot
  // be played on the panels there are.
  bool queue_events(FrontEnd &fe, const hvhost::InputList &inputs);

  // The events an input is made of.
  void add_mouse_move(POINT at, HWND target, const std::string &what);
  void add_button(bool down, hvhost::MouseButton b, POINT at, HWND target, const std::string &what);
  void add_click(POINT at, HWND target, const std::string &what);
  // The key's press and release (either may be left out).
  void add_char(WORD code, HWND target, bool down = true, bool up = true);
  void add_key(WORD vk, bool up, HWND target, const std::string &what);
  void add_vk(WORD vk, HWND target, const std::string &what);
  // A key with qualifiers, its press or its release, by its virtual key
  // with theirs held around it; false (after fail) for a key that cannot
  // be typed so.
  bool add_held_key(const hvhost::KeyStroke &k, bool down, HWND target, const std::string &what);

  // What Wine needs that Windows does not (script_player.cpp, "Wine
  // workarounds"): where the pointer is before an action, and the real
  // pointer moved first for a move on the desktop.
  POINT wine_pointer_before_action() const;
  static void wine_move_x_pointer_first(const Event &e);

  Step fail(const std::string &message);
  bool send(FrontEnd &fe, Event &e);
  // The first queued event: sent once its window is ready, then waited for
  // until it is taken in. A step to return, or none when it was taken in
  // and the next may go.
  std::optional<Step> play_front_event(FrontEnd &fe, ULONGLONG now);
  // The next action resolved into its inputs and their events queued. A
  // step to return (a snapshot to hand over, an error), or none.
  std::optional<Step> start_next_action(FrontEnd &fe);

  std::deque<hvhost::Action> actions_;
  PlayerOptions options_;
  std::string source_;
  std::deque<Event> events_;
  hvhost::Action current_;  // the action the events came from
  std::optional<ULONGLONG> wait_until_;
  uint64_t next_tag_ = 1;
  std::optional<POINT> pointer_;  // where the last move sent put the pointer
  std::string error_;
};

// SendInput's absolute coordinates (0..65535 over the primary screen) for a
// screen pixel; the system maps them back to exactly that pixel.
LONG absolute_x(int x);
LONG absolute_y(int y);

}  // namespace hvwin
