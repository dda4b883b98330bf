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

// The places that are controls, by kind.
struct ControlPlace {
  Place place;
  ControlKind kind;
};
constexpr ControlPlace kControlPlaces[] = {
    {Place::kEyedropper, ControlKind::kButton},
    {Place::kRgbEditor, ControlKind::kMiniRgb},
    {Place::kHsvEditor, ControlKind::kMiniHsv},
};

}  // namespace

std::optional<ControlKind> place_control_kind(Place place) {
  for (const ControlPlace &c : kControlPlaces)
    if (c.place == place) return c.kind;
  return std::nullopt;
}

std::optional<FoundPlace> find_place(const Panel &panel, Place place) {
  const Rect whole{0, 0, panel.width(), panel.height()};
  if (const std::optional<ControlKind> kind = place_control_kind(place)) {
    Control *c = panel.find_control(*kind);
    if (!c) return std::nullopt;
    return FoundPlace{c->rect(), c};
  }
  std::optional<Rect> r;
  switch (place) {
    case Place::kPanel: r = whole; break;
    case Place::kField: r = blitted(panel, is_field); break;
    case Place::kStrip: r = blitted(panel, is_strip); break;
    case Place::kOkButton:
    case Place::kCancelButton:
      if (panel.has_ok_cancel()) r = whole;
      break;
    default: break;
  }
  if (!r) return std::nullopt;
  return FoundPlace{*r, nullptr};
}

}  // namespace hvhost
