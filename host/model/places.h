// The places a script names (field, strip, eyedropper) on a panel, found
// from what the plug-in made of the panel, not from where one plug-in
// happens to put them: the field is the first 256 x 256 raster it blitted
// onto the panel, the strip the first tall narrow one (at least four times
// as tall as wide), the eyedropper its first ButtonControl.
#pragma once

#include <optional>

#include "model/objects.h"

namespace hvhost {

// Side of the field's raster, in pixels.
inline constexpr int kFieldSide = 256;
// A raster at least this many times as tall as wide is a strip.
inline constexpr int kStripAspect = 4;

// The rectangles in panel coordinates of the field's raster, the strip's
// and the eyedropper button; nothing when the panel has none.
std::optional<Rect> find_field(const Panel &panel);
std::optional<Rect> find_strip(const Panel &panel);
std::optional<Rect> find_eyedropper(const Panel &panel);

}  // namespace hvhost
