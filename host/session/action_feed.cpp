#include "session/action_feed.h"

#include <algorithm>

#include "model/places.h"

namespace hvhost {

std::optional<PlaceRect> HostPlaces::find(Place place) const {
  const Panel *p = host_.innermost_panel();
  if (!p) return std::nullopt;
  const std::optional<FoundPlace> found = find_place(*p, place);
  if (!found) return std::nullopt;
  return PlaceRect{found->rect.x, found->rect.y, found->rect.w, found->rect.h};
}

// ---- Delivery: one function an input kind, each given its payload ----------

namespace {

bool press(Host &host, const ButtonAt &b) { return host.mouse_press(b.x, b.y, b.button); }
bool release(Host &host, const ButtonAt &b) { return host.mouse_release(b.x, b.y, b.button); }
bool move(Host &host, const PointerAt &p) { return host.mouse_move(p.x, p.y); }
bool key_down(Host &host, const KeyStroke &k) {
  return host.key_down(static_cast<uint32_t>(k.code), k.qualifiers);
}
bool key_up(Host &host, const KeyStroke &k) {
  return host.key_up(static_cast<uint32_t>(k.code), k.qualifiers);
}
bool wait(Host &host, const Pause &w) {
  host.advance_time(static_cast<uint32_t>(std::max(w.ms, 0)));
  return true;
}
bool desktop_move(Host &host, const PointerAt &p) {
  host.desktop().pointer_move(p.x, p.y);
  return true;
}
bool desktop_press(Host &host, const DesktopButton &b) {
  host.desktop().pointer_press(b.button);
  return true;
}
bool desktop_release(Host &host, const DesktopButton &b) {
  host.desktop().pointer_release(b.button);
  return true;
}
bool desktop_warp(Host &host, const PointerAt &p) {
  host.desktop().pointer_warp(p.x, p.y);
  return true;
}
bool desktop_wheel(Host &host, const WheelTurn &w) {
  host.desktop().wheel_turn(w.notches);
  return true;
}

// The kind's delivery with the payload it carries; an input made with
// another payload is refused.
template <typename P>
bool with_payload(bool (*deliver_kind)(Host &, const P &), Host &host, const UserInput &in,
                  std::string *error) {
  if (const P *payload = in.as<P>()) return deliver_kind(host, *payload);
  *error = "an input without its payload";
  return false;
}

}  // namespace

bool deliver(Host &host, const UserInput &in, std::string *error) {
  Panel *p = host.innermost_panel();
  const auto missing = [&](Place place) {
    *error = missing_place_message(place);
    return false;
  };
  // Whether the input needs a panel, and which place on it, is its kind's
  // row's to say.
  const ActionSpec &row = action_spec(in.kind);
  // Actions made of other inputs are never one input.
  if (!row.payload) {
    *error = "not an input its kind can carry: " + std::string(row.word);
    return false;
  }
  Control *at = nullptr;
  if (row.required_place) {
    if (!p) return missing(Place::kPanel);
    const std::optional<FoundPlace> place = find_place(*p, *row.required_place);
    if (!place) return missing(*row.required_place);
    at = place->control;
  }
  switch (in.kind) {
    case ActionId::kPress: return with_payload(press, host, in, error);
    case ActionId::kRelease: return with_payload(release, host, in, error);
    case ActionId::kMove: return with_payload(move, host, in, error);
    case ActionId::kKeyDown: return with_payload(key_down, host, in, error);
    case ActionId::kKeyUp: return with_payload(key_up, host, in, error);
    case ActionId::kRgb:
    case ActionId::kHsv:
      if (const EditValues *e = in.as<EditValues>(); e && at)
        return host.edit_control(*at, e->values);
      break;
    case ActionId::kOk: return host.accept();
    case ActionId::kCancel: return host.cancel();
    case ActionId::kWait: return with_payload(wait, host, in, error);
    case ActionId::kDesktopMove: return with_payload(desktop_move, host, in, error);
    case ActionId::kDesktopPress: return with_payload(desktop_press, host, in, error);
    case ActionId::kDesktopRelease: return with_payload(desktop_release, host, in, error);
    case ActionId::kDesktopWheel: return with_payload(desktop_wheel, host, in, error);
    case ActionId::kDesktopWarp: return with_payload(desktop_warp, host, in, error);
    case ActionId::kPenMove:
    case ActionId::kPenDown:
    case ActionId::kPenUp:
    case ActionId::kTouchDown:
    case ActionId::kTouchMove:
    case ActionId::kTouchUp:
      if (const PointerAt *at_point = in.as<PointerAt>()) {
        using C = DesktopInput::Contact;
        const ActionId k = in.kind;
        const C contact = k == ActionId::kPenDown || k == ActionId::kTouchDown ? C::kDown
                          : k == ActionId::kPenUp || k == ActionId::kTouchUp   ? C::kUp
                                                                               : C::kMove;
        const bool pen =
            k == ActionId::kPenMove || k == ActionId::kPenDown || k == ActionId::kPenUp;
        host.desktop().pen_or_touch(pen, contact, at_point->x, at_point->y);
        return true;
      }
      break;
    case ActionId::kSnapshot:
      if (const SnapshotName *n = in.as<SnapshotName>()) return host.snapshot(*p, n->name, error);
      break;
    case ActionId::kClick:
    case ActionId::kDrag:
    case ActionId::kKey: break;
  }
  *error = "an input without its payload";
  return false;
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
