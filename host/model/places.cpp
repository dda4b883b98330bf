#include "model/places.h"

#include <cstdint>

namespace hvhost {

namespace {

bool is_field(const Rect &r) { return r.w == kFieldSide && r.h == kFieldSide; }
bool is_strip(const Rect &r) {
  return r.w > 0 && static_cast<int64_t>(r.h) >= static_cast<int64_t>(r.w) * kStripAspect;
}

std::optional<Rect> blitted(const Panel &panel, bool (*fits)(const Rect &)) {
  for (const PanelBlit &b : panel.blits())
    if (fits(b.area)) return b.area;
  return std::nullopt;
}

}  // namespace

std::optional<Rect> find_place(const Panel &panel, Place place) {
  switch (place) {
    case Place::kPanel: return Rect{0, 0, panel.width(), panel.height()};
    case Place::kField: return blitted(panel, is_field);
    case Place::kStrip: return blitted(panel, is_strip);
    case Place::kEyedropper:
      if (const Control *button = panel.find_control("ButtonControl")) return button->rect();
      return std::nullopt;
  }
  return std::nullopt;
}

std::string missing_place_message(Place place) {
  switch (place) {
    case Place::kField: return "no field (a 256 x 256 raster) on the open panel";
    case Place::kStrip: return "no strip (a tall narrow raster) on the open panel";
    case Place::kEyedropper: return "no eyedropper button on the open panel";
    case Place::kPanel: break;
  }
  return "no panel is open";
}

}  // namespace hvhost
