#include "support/png_bytes.h"

#include <stb/stb_image_write.h>

namespace hvtest {

namespace {

void append(void *context, void *data, int size) {
  static_cast<std::string *>(context)->append(static_cast<const char *>(data),
                                              static_cast<size_t>(size));
}

uint32_t crc32(const unsigned char *p, size_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

}  // namespace

std::string png_bytes(int w, int h, int channels, const std::vector<unsigned char> &pixels) {
  std::string out;
  stbi_write_png_to_func(append, &out, w, h, channels, pixels.data(), w * channels);
  return out;
}

std::string png_with_size(std::string png, uint32_t w, uint32_t h) {
  const auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) png[at + i] = static_cast<char>(v >> (24 - 8 * i));
  };
  // Signature (8), header length and type (8), then width and height; the
  // checksum covers the type and the 13 data bytes.
  put(16, w);
  put(20, h);
  put(29, crc32(reinterpret_cast<const unsigned char *>(png.data()) + 12, 17));
  return png;
}

}  // namespace hvtest
