// PNG decoding for the simulated desktop's wallpaper, with libpng: the
// image's size is checked against the limits before anything is allocated,
// and the pixels are decoded straight into the buffer the desktop keeps.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace desktop_internal {

// Decodes size bytes of PNG at data into *pixels (rows of *width pixels,
// 0x00RRGGBB; an alpha channel is dropped). Returns false with *error set
// ("not a PNG file", "is 16384 x 16384 pixels; ...") and the outputs
// untouched when the data is not a PNG image within the limits.
bool decode_png_wallpaper(const void *data, size_t size, std::vector<uint32_t> *pixels, int *width,
                          int *height, std::string *error);

}  // namespace desktop_internal
