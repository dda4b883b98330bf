// PNG files made in memory, for tests of the wallpaper.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hvtest {

// The bytes of a PNG of w x h pixels, `channels` bytes each (1 grey,
// 3 RGB, 4 RGBA), rows one after the other.
std::string png_bytes(int w, int h, int channels, const std::vector<unsigned char> &pixels);

// The same PNG with the size in its header changed (and the header's
// checksum made right again): a file that claims any size.
std::string png_with_size(std::string png, uint32_t w, uint32_t h);

}  // namespace hvtest
