// The mouse's buttons, named alike by the script's actions (input/) and the
// host's entry points (model/), neither of which sees the other.
#pragma once

namespace hvhost {

enum class MouseButton { kLeft, kRight, kMiddle };

}  // namespace hvhost
