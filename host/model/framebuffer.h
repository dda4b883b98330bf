// An RGB image in memory: the pixels of a host panel, a raster or a
// composed window. Every drawing operation clips to the image, so any int
// coordinates and sizes are safe.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

namespace hvhost {

struct Rgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;

  // 0x00RRGGBB.
  constexpr uint32_t packed() const {
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
  }
  static constexpr Rgb from_packed(uint32_t p) {
    return Rgb{static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
               static_cast<uint8_t>(p)};
  }
  // Channel values outside 0..255 are clamped.
  static constexpr Rgb clamped(int r, int g, int b) {
    return Rgb{clamp_channel(r), clamp_channel(g), clamp_channel(b)};
  }
  static constexpr uint8_t clamp_channel(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }

  friend constexpr bool operator==(Rgb x, Rgb y) { return x.r == y.r && x.g == y.g && x.b == y.b; }
  friend constexpr bool operator!=(Rgb x, Rgb y) { return !(x == y); }
};

std::ostream &operator<<(std::ostream &out, Rgb c);

// Largest width or height the host allocates for a panel or raster.
inline constexpr int kMaxImageExtent = 4096;

class Framebuffer {
 public:
  Framebuffer() = default;
  // Sizes are clamped to 0..kMaxImageExtent.
  Framebuffer(int width, int height, Rgb fill = {});

  int width() const { return width_; }
  int height() const { return height_; }
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  // Discards the content; sizes are clamped as in the constructor.
  void resize(int width, int height, Rgb fill);

  // Black outside the image.
  Rgb pixel(int x, int y) const {
    if (!contains(x, y)) return Rgb{};
    return Rgb::from_packed(pixels_[static_cast<size_t>(y) * width_ + x]);
  }
  // Ignored outside the image.
  void set_pixel(int x, int y, Rgb c) {
    if (!contains(x, y)) return;
    pixels_[static_cast<size_t>(y) * width_ + x] = c.packed();
    ++revision_;
  }

  void erase(Rgb background);
  void fill_rect(int x, int y, int w, int h, Rgb c);
  // A one-pixel line from (x, y) to (x2, y2), both ends included.
  void line(int x, int y, int x2, int y2, Rgb c);
  // A one-pixel frame exactly on the outline of the rectangle.
  void frame(int x, int y, int w, int h, Rgb c);
  // A one-pixel bevel on the outline: `top_left` along the top row and left
  // column, `bottom_right` along the rest of the bottom row and right column.
  void bevel(int x, int y, int w, int h, Rgb top_left, Rgb bottom_right);
  // Copies the w x h rectangle at (src_x, src_y) of src to (x, y), clipped
  // to both images. src may be this image.
  void blit(const Framebuffer &src, int src_x, int src_y, int x, int y, int w, int h);

  // Rows of width() pixels, each 0x00RRGGBB.
  const std::vector<uint32_t> &pixels() const { return pixels_; }
  // Bumped by every change, so a front end can tell when to repaint.
  uint64_t revision() const { return revision_; }
  // Pixels equal to c inside the rectangle (clipped); for tests.
  int count(Rgb c, int x, int y, int w, int h) const;

 private:
  void fill_area(int64_t x, int64_t y, int64_t w, int64_t h, Rgb c);

  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
  uint64_t revision_ = 0;
};

}  // namespace hvhost
