#include "png_wallpaper.h"

#include <png.h>

#include <cstring>
#include <new>

#include "desktop.h"

namespace desktop_internal {

namespace {

// Frees libpng's state on every way out.
struct ImageGuard {
  png_image *image;
  ~ImageGuard() { png_image_free(image); }
};

std::string SizeProblem(png_uint_32 width, png_uint_32 height) {
  const uint64_t pixels = uint64_t{width} * height;
  if (width >= 1 && height >= 1 && width <= DESKTOP_MAX_SIZE && height <= DESKTOP_MAX_SIZE &&
      pixels <= DESKTOP_MAX_WALLPAPER_PIXELS)
    return {};
  return "is " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels; a wallpaper may have at most " + std::to_string(DESKTOP_MAX_WALLPAPER_PIXELS) +
         " pixels (8192 x 8192) and " + std::to_string(DESKTOP_MAX_SIZE) + " a side";
}

}  // namespace

bool decode_png_wallpaper(const void *data, size_t size, std::vector<uint32_t> *pixels, int *width,
                          int *height, std::string *error) {
  if (data == nullptr || size == 0) {
    *error = "is empty";
    return false;
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  ImageGuard guard{&image};
  if (!png_image_begin_read_from_memory(&image, data, size)) {
    *error = std::string("is not a PNG image libpng can read: ") + image.message;
    return false;
  }
  const std::string problem = SizeProblem(image.width, image.height);
  if (!problem.empty()) {
    *error = problem;
    return false;
  }
  // Four bytes a pixel, B G R A, decoded into the final buffer and turned
  // into 0x00RRGGBB words in place. 16-bit files without colour-space
  // information count as sRGB, as 8-bit ones do.
  image.format = PNG_FORMAT_BGRA;
  image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
  std::vector<uint32_t> out;
  try {
    out.resize(size_t{image.width} * image.height);
  } catch (const std::bad_alloc &) {
    *error = "needs more memory than there is: " + std::to_string(image.width) + " x " +
             std::to_string(image.height) + " pixels";
    return false;
  }
  if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr)) {
    *error = std::string("cannot be decoded: ") + image.message;
    return false;
  }
  for (uint32_t &p : out) {
    unsigned char bgra[4];
    std::memcpy(bgra, &p, 4);
    p = uint32_t{bgra[2]} << 16 | uint32_t{bgra[1]} << 8 | bgra[0];
  }
  *pixels = std::move(out);
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  return true;
}

}  // namespace desktop_internal
