// The named places of a script (field, strip, eyedropper) on a panel, found
// from what the plug-in made of the panel, not from where one plug-in
// happens to put them: the field is the first 256 x 256 raster it blitted
// onto the panel, the strip the first tall narrow one (at least four times
// as tall as wide), the eyedropper its first ButtonControl.
#pragma once

#include <optional>
#include <string>

#include "input/action.h"
#include "model/objects.h"

namespace hvhost {

// Side of the field's raster, in pixels.
inline constexpr int kFieldSide = 256;
// A raster at least this many times as tall as wide is a strip.
inline constexpr int kStripAspect = 4;

// The place's rectangle in panel coordinates: the raster's, the button's,
// or the whole client area for Place::kPanel; nothing when the panel has
// no such place.
std::optional<Rect> find_place(const Panel &panel, Place place);

// Why a point cannot be found: "no field (a 256 x 256 raster) on the open
// panel".
std::string missing_place_message(Place place);

}  // namespace hvhost
