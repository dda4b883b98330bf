#include "session/action_feed.h"

#include <algorithm>

#include "model/places.h"

namespace hvhost {

std::optional<PlaceRect> HostPlaces::find(Place place) const {
  const Panel *p = host_.innermost_panel();
  if (!p) return std::nullopt;
  std::optional<Rect> r;
  switch (place) {
    case Place::kPanel: r = Rect{0, 0, p->width(), p->height()}; break;
    case Place::kField: r = find_field(*p); break;
    case Place::kStrip: r = find_strip(*p); break;
    case Place::kEyedropper: r = find_eyedropper(*p); break;
    case Place::kRgbEditor:
    case Place::kHsvEditor:
      if (const Control *c =
              p->find_control(place == Place::kRgbEditor ? "MiniRGBControl" : "MiniHSVControl"))
        r = c->rect();
      break;
    // The window's buttons are outside the panel: their presence is what
    // counts.
    case Place::kOkButton:
    case Place::kCancelButton:
      if (p->has_ok_cancel()) r = Rect{0, 0, p->width(), p->height()};
      break;
  }
  if (!r) return std::nullopt;
  return PlaceRect{r->x, r->y, r->w, r->h};
}

bool deliver(Host &host, const UserInput &in, std::string *error) {
  Panel *p = host.innermost_panel();
  const auto missing = [&](Place place) {
    *error = missing_place_message(place);
    return false;
  };
  // Whether the input needs a panel is its action's row's to say.
  if (in.needs_panel && !p) return missing(Place::kPanel);
  switch (in.kind) {
    case UserInput::kWait:
      host.advance_time(static_cast<uint32_t>(std::max(in.code, 0)));
      return true;
    case UserInput::kDesktopMove: host.desktop().pointer_move(in.x, in.y); return true;
    case UserInput::kDesktopPress: host.desktop().pointer_press(in.button); return true;
    case UserInput::kDesktopRelease: host.desktop().pointer_release(in.button); return true;
    case UserInput::kDesktopWheel: host.desktop().wheel_turn(in.values[0]); return true;
    default: break;
  }
  // A panel's input made outside the vocabulary without a panel.
  if (!p) return missing(Place::kPanel);
  switch (in.kind) {
    case UserInput::kPress: return host.mouse_press(in.x, in.y, in.button);
    case UserInput::kMove: return host.mouse_move(in.x, in.y);
    case UserInput::kRelease: return host.mouse_release(in.x, in.y, in.button);
    case UserInput::kKeyDown: return host.key_down(static_cast<uint32_t>(in.code), in.qualifiers);
    case UserInput::kKeyUp: return host.key_up(static_cast<uint32_t>(in.code), in.qualifiers);
    case UserInput::kEditRgb:
    case UserInput::kEditHsv: {
      const bool rgb = in.kind == UserInput::kEditRgb;
      Control *c = p->find_control(rgb ? "MiniRGBControl" : "MiniHSVControl");
      if (!c) return missing(rgb ? Place::kRgbEditor : Place::kHsvEditor);
      return host.edit_control(*c, in.values);
    }
    // A panel opened without the buttons (the magnifier) cannot be closed
    // this way.
    case UserInput::kOk: return p->has_ok_cancel() ? host.accept() : missing(Place::kOkButton);
    case UserInput::kCancel:
      return p->has_ok_cancel() ? host.cancel() : missing(Place::kCancelButton);
    case UserInput::kSnapshot: return host.snapshot(*p, in.name, error);
    default: break;
  }
  return true;
}

bool ActionFeed::feed(Host &host) {
  if (!pending_.empty() && host.innermost_panel() != target_) pending_.clear();
  while (pending_.empty()) {
    std::optional<Action> a = next_action(host);
    if (!a) return false;
    current_ = std::move(*a);
    InputList inputs;
    std::string error;
    if (!resolve(current_, HostPlaces(host), &inputs, &error)) {
      host.stop_input(action_error(current_, error, source_));
      return true;
    }
    pending_.assign(inputs.begin(), inputs.end());
    target_ = host.innermost_panel();
  }
  const UserInput in = std::move(pending_.front());
  pending_.pop_front();
  std::string error;
  if (!deliver(host, in, &error)) host.stop_input(action_error(current_, error, source_));
  return true;
}

ActionQueue::ActionQueue(std::vector<Action> actions)
    : actions_(std::make_move_iterator(actions.begin()), std::make_move_iterator(actions.end())) {}

std::optional<Action> ActionQueue::next_action(Host &) {
  if (actions_.empty()) return std::nullopt;
  Action a = std::move(actions_.front());
  actions_.pop_front();
  return a;
}

std::optional<Action> CallbackDriver::next_action(Host &host) {
  if (ended_ || !f_) return std::nullopt;
  std::optional<Action> a = f_(host);
  if (!a) ended_ = true;
  return a;
}

}  // namespace hvhost
