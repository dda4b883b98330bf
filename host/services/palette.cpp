#include "services/palette.h"

#include "abi/host_api.h"

namespace hvhost::palette {

Rgb color_for_code(int code) {
  switch (code) {
    case HOST_COLOR_BLACK: return Rgb{0, 0, 0};
    case HOST_COLOR_WHITE: return Rgb{255, 255, 255};
    case HOST_COLOR_LIGHT_GREY: return Rgb{200, 200, 200};
    default: return kUnknownCode;
  }
}

}  // namespace hvhost::palette
