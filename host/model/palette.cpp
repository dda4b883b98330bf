#include "model/palette.h"

#include "abi/host_api.h"

namespace hvhost::palette {

Rgb color_for_code(int code) {
  constexpr int kRgbBit = 0x1000000;
  if (code & kRgbBit)
    return Rgb{static_cast<uint8_t>(code >> 16), static_cast<uint8_t>(code),
               static_cast<uint8_t>(code >> 8)};
  switch (code) {
    case LWP_BG: return kBackground;
    case LWP_NORMAL: return kNormalText;
    case LWP_HEADLINE: return kHeadline;
    case LWP_EDIT_SEL: return kEditSelection;
    default: return kUnknownCode;
  }
}

}  // namespace hvhost::palette
