#include "eyedropper/keys.h"

bool nudge_for_key(LWDualKey key, int qualifiers, int *dx, int *dy) {
  static const struct {
    LWDualKey key;
    int dx, dy;
  } kArrows[] = {{LWDK_UP, 0, -1}, {LWDK_DOWN, 0, 1}, {LWDK_LEFT, -1, 0}, {LWDK_RIGHT, 1, 0}};
  const int step = (qualifiers & IQ_SHIFT) ? kNudgeShiftStep : kNudgeStep;
  for (const auto &a : kArrows)
    if (a.key == key) {
      *dx = a.dx * step;
      *dy = a.dy * step;
      return true;
    }
  return false;
}
