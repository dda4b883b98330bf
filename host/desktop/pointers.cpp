// Pen and touch on the simulated desktop, and another program moving the
// pointer. Pointer messages go to the window under the pen or finger (the
// one contact began on while in contact); only where that window leaves them
// to DefWindowProc is mouse input made from them, and only that input reaches
// the hooks and moves the cursor.

#include <cstdint>

#include "desktop_state.h"

using namespace desktop_detail;

namespace {

UINT pointer_message(int action) {
  switch (action) {
    case DESKTOP_POINTER_DOWN: return WM_POINTERDOWN;
    case DESKTOP_POINTER_UP: return WM_POINTERUP;
  }
  return WM_POINTERUPDATE;
}

const char *action_name(int action) {
  switch (action) {
    case DESKTOP_POINTER_DOWN: return "down";
    case DESKTOP_POINTER_UP: return "up";
  }
  return "move";
}

// Sends the pointer message to `to` (0: the desktop). Returns whether the
// window left it to DefWindowProc, so that mouse input is made from it.
bool pointer_to_window(uintptr_t to, UINT message) {
  State &s = state();
  Window *w = find_window(to);
  if (w == nullptr) return true;  // the desktop's own DefWindowProc
  if (!w->own) {
    ++w->input.pointer_messages;
    if (w->kind == DESKTOP_WINDOW_DEFAULT) return true;
    // It handles the contact itself: the tap is its own, and so is the
    // activation.
    if (message == WM_POINTERDOWN) {
      ++w->input.button_presses;
      ++w->input.activations;
    }
    return false;
  }
  if (message == WM_POINTERDOWN) {
    const bool no_activate = (w->ex_style & WS_EX_NOACTIVATE) != 0;
    if (send_message(to, WM_POINTERACTIVATE, 0, 0) == PA_ACTIVATE && !no_activate)
      ++s.own_activations;
  }
  const uint64_t before = s.default_pointer;
  send_message(to, message, 0, 0);
  return s.default_pointer != before;
}

// Press-and-hold stays on unless an own window turns it off.
bool press_and_hold(uintptr_t to) {
  const Window *w = find_window(to);
  if (w == nullptr || !w->own) return true;
  return !(send_message(to, WM_TABLET_QUERYSYSTEMGESTURESTATUS, 0, 0) &
           TABLET_DISABLE_PRESSANDHOLD);
}

}  // namespace

extern "C" {

int desktop_pointer_event(int kind, int action, int x, int y) {
  State &s = state();
  if ((kind != DESKTOP_PEN && kind != DESKTOP_TOUCH) ||
      (action != DESKTOP_POINTER_MOVE && action != DESKTOP_POINTER_DOWN &&
       action != DESKTOP_POINTER_UP)) {
    return 0;
  }
  const bool touch = kind == DESKTOP_TOUCH;
  Ticket t = begin_call(touch ? kTouchInput : kPenInput);
  end_call(t, {action, x, y}, 0, "desktop:%s_input(%s, %d, %d)", touch ? "touch" : "pen",
           action_name(action), x, y);
  Contact &c = s.contacts[kind];
  // A finger does not hover; a lift needs a contact.
  if ((touch && !c.down && action == DESKTOP_POINTER_MOVE) ||
      (!c.down && action == DESKTOP_POINTER_UP) || (c.down && action == DESKTOP_POINTER_DOWN)) {
    return 0;
  }
  const uintptr_t to = c.down && find_window(c.target) ? c.target : window_at(x, y);
  const bool made = pointer_to_window(to, pointer_message(action));
  if (action == DESKTOP_POINTER_DOWN) c = Contact{true, to, false};
  if (!made) {
    if (action == DESKTOP_POINTER_UP) c = Contact{};
    return 0;
  }
  const DWORD flags = LLMHF_INJECTED;
  const uintptr_t extra = touch ? DESKTOP_TOUCH_EXTRA_INFO : DESKTOP_PEN_EXTRA_INFO;
  int events = 0;
  const auto send = [&](UINT message) {
    ++events;
    Ticket m = begin_call(kMouseToHooks);
    end_call(m, {static_cast<intptr_t>(message), x, y}, 0,
             "desktop:mouse_to_hooks(0x%x, %d, %d, from %s)", message, x, y,
             touch ? "touch" : "pen");
    mouse_input(message, x, y, flags, extra, &to);
  };
  switch (action) {
    case DESKTOP_POINTER_MOVE:
      if (!c.held) send(WM_MOUSEMOVE);
      break;
    case DESKTOP_POINTER_DOWN:
      // The state is set before the query: the window may send input back.
      s.contacts[kind].held = touch && press_and_hold(to);
      if (!s.contacts[kind].held) {
        send(WM_MOUSEMOVE);
        send(WM_LBUTTONDOWN);
      }
      break;
    case DESKTOP_POINTER_UP: {
      const bool held = c.held;
      c = Contact{};
      send(WM_MOUSEMOVE);
      if (held) send(WM_LBUTTONDOWN);
      send(WM_LBUTTONUP);
      break;
    }
  }
  return events;
}

void desktop_warp_pointer(int x, int y) {
  Ticket t = begin_call(kCursorMovedByAnotherProgram);
  desktop_set_cursor(x, y);
  int cx = 0, cy = 0;
  desktop_cursor(&cx, &cy);
  end_call(t, {x, y}, 0, "desktop:cursor_moved_by_another_program(%d, %d) (%d, %d)", x, y, cx, cy);
}

}  // extern "C"
