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

std::optional<Rect> find_field(const Panel &panel) { return blitted(panel, is_field); }
std::optional<Rect> find_strip(const Panel &panel) { return blitted(panel, is_strip); }
std::optional<Rect> find_eyedropper(const Panel &panel) {
  if (const Control *button = panel.find_control("ButtonControl")) return button->rect();
  return std::nullopt;
}

}  // namespace hvhost
