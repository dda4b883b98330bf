#include "input/action.h"

namespace hvhost {

namespace {

Action make(ActionKind kind) {
  Action a;
  a.kind = kind;
  return a;
}

Action mouse(ActionKind kind, Place p, int x, int y, MouseButton b) {
  Action a = make(kind);
  a.place = p;
  a.x = x;
  a.y = y;
  a.button = b;
  return a;
}

const char *place_word(Place p) {
  switch (p) {
    case Place::kPanel: return "";
    case Place::kField: return "field ";
    case Place::kStrip: return "strip ";
    case Place::kEyedropper: return "eyedropper";
  }
  return "";
}

const char *button_word(MouseButton b) {
  switch (b) {
    case MouseButton::kLeft: return "left";
    case MouseButton::kRight: return "right";
    case MouseButton::kMiddle: return "middle";
  }
  return "?";
}

std::string mouse_text(const char *verb, const Action &a, bool with_button) {
  std::string s = verb;
  s += ' ';
  s += place_word(a.place);
  if (a.place != Place::kEyedropper) s += std::to_string(a.x) + " " + std::to_string(a.y);
  if (with_button && a.button != MouseButton::kLeft) s += std::string(" ") + button_word(a.button);
  return s;
}

}  // namespace

Action Action::press(int x, int y, MouseButton b) { return press(Place::kPanel, x, y, b); }
Action Action::press(Place p, int x, int y, MouseButton b) {
  return mouse(ActionKind::kPress, p, x, y, b);
}
Action Action::move(int x, int y) { return move(Place::kPanel, x, y); }
Action Action::move(Place p, int x, int y) {
  return mouse(ActionKind::kMove, p, x, y, MouseButton::kLeft);
}
Action Action::release(int x, int y, MouseButton b) { return release(Place::kPanel, x, y, b); }
Action Action::release(Place p, int x, int y, MouseButton b) {
  return mouse(ActionKind::kRelease, p, x, y, b);
}
Action Action::drag(Place p, int x1, int y1, int x2, int y2, int steps) {
  Action a = mouse(ActionKind::kDrag, p, x1, y1, MouseButton::kLeft);
  a.x2 = x2;
  a.y2 = y2;
  a.steps = steps;
  return a;
}
Action Action::key_press(int code) {
  Action a = make(ActionKind::kKey);
  a.key = code;
  return a;
}
Action Action::key_down(int code) {
  Action a = key_press(code);
  a.kind = ActionKind::kKeyDown;
  return a;
}
Action Action::key_up(int code) {
  Action a = key_press(code);
  a.kind = ActionKind::kKeyUp;
  return a;
}
Action Action::rgb(int r, int g, int b) {
  Action a = make(ActionKind::kEditRgb);
  a.values = {r, g, b};
  return a;
}
Action Action::hsv(int h, int s, int v) {
  Action a = make(ActionKind::kEditHsv);
  a.values = {h, s, v};
  return a;
}
Action Action::click_eyedropper() { return make(ActionKind::kClickEyedropper); }
Action Action::ok() { return make(ActionKind::kOk); }
Action Action::cancel() { return make(ActionKind::kCancel); }
Action Action::wait(int ms) {
  Action a = make(ActionKind::kWait);
  a.ms = ms;
  return a;
}
Action Action::desktop_move(int x, int y) {
  Action a = make(ActionKind::kDesktopMove);
  a.x = x;
  a.y = y;
  return a;
}
Action Action::desktop_press(MouseButton b) {
  Action a = make(ActionKind::kDesktopPress);
  a.button = b;
  return a;
}
Action Action::desktop_release(MouseButton b) {
  Action a = make(ActionKind::kDesktopRelease);
  a.button = b;
  return a;
}
Action Action::snapshot(std::string name) {
  Action a = make(ActionKind::kSnapshot);
  a.name = std::move(name);
  return a;
}

std::string describe(const Action &a) {
  const auto triple = [&](const char *verb) {
    return std::string(verb) + " " + std::to_string(a.values[0]) + " " +
           std::to_string(a.values[1]) + " " + std::to_string(a.values[2]);
  };
  switch (a.kind) {
    case ActionKind::kPress: return mouse_text("press", a, true);
    case ActionKind::kMove: return mouse_text("move", a, false);
    case ActionKind::kRelease: return mouse_text("release", a, true);
    case ActionKind::kDrag:
      return std::string("drag ") + place_word(a.place) + std::to_string(a.x) + " " +
             std::to_string(a.y) + " " + std::to_string(a.x2) + " " + std::to_string(a.y2) + " " +
             std::to_string(a.steps);
    case ActionKind::kKey: return "key " + std::to_string(a.key);
    case ActionKind::kKeyDown: return "key down " + std::to_string(a.key);
    case ActionKind::kKeyUp: return "key up " + std::to_string(a.key);
    case ActionKind::kEditRgb: return triple("rgb");
    case ActionKind::kEditHsv: return triple("hsv");
    case ActionKind::kClickEyedropper: return "click eyedropper";
    case ActionKind::kOk: return "ok";
    case ActionKind::kCancel: return "cancel";
    case ActionKind::kWait: return "wait " + std::to_string(a.ms);
    case ActionKind::kDesktopMove:
      return "desktop move " + std::to_string(a.x) + " " + std::to_string(a.y);
    case ActionKind::kDesktopPress: return std::string("desktop press ") + button_word(a.button);
    case ActionKind::kDesktopRelease:
      return std::string("desktop release ") + button_word(a.button);
    case ActionKind::kSnapshot: return "snapshot " + a.name;
  }
  return "?";
}

ActionQueue::ActionQueue(std::vector<Action> actions)
    : actions_(std::make_move_iterator(actions.begin()), std::make_move_iterator(actions.end())) {}

std::optional<Action> ActionQueue::next(Host &) {
  if (actions_.empty()) return std::nullopt;
  Action a = std::move(actions_.front());
  actions_.pop_front();
  return a;
}

std::optional<Action> CallbackDriver::next(Host &host) {
  if (ended_ || !f_) return std::nullopt;
  std::optional<Action> a = f_(host);
  if (!a) ended_ = true;
  return a;
}

void DesktopInput::pointer_move(int, int) {}
void DesktopInput::pointer_press(MouseButton) {}
void DesktopInput::pointer_release(MouseButton) {}
void DesktopInput::time_passed(uint32_t, uint64_t) {}

}  // namespace hvhost
