// The places input goes to on a panel, found from what the plug-in made of
// the panel, not from where one plug-in happens to put them: the field is
// the first 256 x 256 raster it blitted onto the panel, the strip the first
// tall narrow one (at least four times as tall as wide), the eyedropper and
// the editors its first control of their kind, the OK and Cancel buttons
// the window's. The script's named places, the headless host's delivery and
// the windowed script player all find a place here.
#pragma once

#include <optional>

#include "common/place.h"
#include "model/objects.h"

namespace hvhost {

// Side of the field's raster, in pixels.
inline constexpr int kFieldSide = 256;
// A raster at least this many times as tall as wide is a strip.
inline constexpr int kStripAspect = 4;

// A place on a panel: its rectangle in panel coordinates (the whole client
// area for the panel itself and for the window's buttons, which lie outside
// it and count by being there), and the control that is the place, if one
// is.
struct FoundPlace {
  Rect rect;
  Control *control = nullptr;
};

// The place on the panel, or nothing when the panel has none.
std::optional<FoundPlace> find_place(const Panel &panel, Place place);

// The control kind a place is, if it is a control.
std::optional<ControlKind> place_control_kind(Place place);

}  // namespace hvhost
