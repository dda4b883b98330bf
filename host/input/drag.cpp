#include "input/drag.h"

#include <algorithm>
#include <cstdint>

namespace hvhost {

namespace {

int saturate(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

DragSteps::DragSteps(const Action &drag, std::array<int, 2> from, std::array<int, 2> to)
    : drag_(drag), from_(from), to_(to), moves_(std::max(drag.steps, 1)) {}

Action DragSteps::operator[](int i) const {
  Action a;
  if (i <= 0) {
    a = Action::press(from_[0], from_[1], drag_.button);
  } else if (i > moves_) {
    a = Action::release(to_[0], to_[1], drag_.button);
  } else {
    const auto along = [&](size_t k) {
      return saturate(from_[k] + (static_cast<int64_t>(to_[k]) - from_[k]) * i / moves_);
    };
    a = Action::move(along(0), along(1));
  }
  a.line = drag_.line;
  return a;
}

}  // namespace hvhost
