#include "model/framebuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace hvhost {

namespace {

int clamp_extent(int v) { return std::clamp(v, 0, kMaxImageExtent); }

// The part of [pos, pos + len) that lies inside [0, limit), in 64 bits so
// that no int arguments can overflow. Returns false when nothing is left.
bool clip_span(int64_t pos, int64_t len, int64_t limit, int64_t *lo, int64_t *hi) {
  *lo = std::max<int64_t>(pos, 0);
  *hi = std::min<int64_t>(pos + len, limit);
  return *lo < *hi;
}

// Sets n pixels from p on to v: the first one by hand, the rest by copies
// that double each time. A 304 x 340 erase is 17 copies; an instrumented
// build (the fuzzers, the sanitizer tests) checks each copy once rather
// than each pixel.
void fill_pixels(uint32_t *p, size_t n, uint32_t v) {
  if (n == 0) return;
  p[0] = v;
  for (size_t done = 1; done < n;) {
    const size_t step = std::min(done, n - done);
    std::memcpy(p + done, p, step * sizeof(uint32_t));
    done += step;
  }
}

}  // namespace

std::ostream &operator<<(std::ostream &out, Rgb c) {
  return out << "(" << int{c.r} << ", " << int{c.g} << ", " << int{c.b} << ")";
}

Framebuffer::Framebuffer(int width, int height, Rgb fill) { resize(width, height, fill); }

void Framebuffer::resize(int width, int height, Rgb fill) {
  width_ = clamp_extent(width);
  height_ = clamp_extent(height);
  // resize keeps the storage when the size is unchanged (a window composed
  // again into its cached image).
  pixels_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
  fill_pixels(pixels_.data(), pixels_.size(), fill.packed());
  ++revision_;
}

void Framebuffer::erase(Rgb background) {
  fill_pixels(pixels_.data(), pixels_.size(), background.packed());
  ++revision_;
}

void Framebuffer::fill_rect(int x, int y, int w, int h, Rgb c) { fill_area(x, y, w, h, c); }

void Framebuffer::fill_area(int64_t x, int64_t y, int64_t w, int64_t h, Rgb c) {
  int64_t x0, x1, y0, y1;
  if (w <= 0 || h <= 0) return;
  if (!clip_span(x, w, width_, &x0, &x1) || !clip_span(y, h, height_, &y0, &y1)) return;
  // The first row is filled, the others copied from it. Most boxes are one
  // short row (the strip's 256 colour rows), which a plain fill does fastest.
  const size_t count = static_cast<size_t>(x1 - x0);
  uint32_t *const first = pixels_.data() + y0 * width_ + x0;
  const uint32_t p = c.packed();
  if (count == 1) {  // a frame's or a bevel's column
    for (int64_t row = y0; row < y1; ++row) pixels_[row * width_ + x0] = p;
  } else {
    std::fill(first, first + count, p);
    for (int64_t row = y0 + 1; row < y1; ++row)
      std::memcpy(pixels_.data() + row * width_ + x0, first, count * sizeof(uint32_t));
  }
  ++revision_;
}

void Framebuffer::line(int x, int y, int x2, int y2, Rgb c) {
  // Ends far outside the image are first brought to its border (plus one
  // pixel), so that the walk below takes at most a few thousand steps.
  double ax = x, ay = y, bx = x2, by = y2;
  constexpr double kNear = 2.0 * kMaxImageExtent;
  const auto far = [&](double v) { return v < -kNear || v > kNear; };
  if (far(ax) || far(ay) || far(bx) || far(by)) {
    // Liang-Barsky clipping to [-1, width] x [-1, height].
    const double dx = bx - ax, dy = by - ay;
    double t0 = 0.0, t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {ax + 1.0, width_ - ax, ay + 1.0, height_ - ay};
    for (int i = 0; i < 4; ++i) {
      if (p[i] == 0.0) {
        if (q[i] < 0.0) return;
        continue;
      }
      const double t = q[i] / p[i];
      if (p[i] < 0.0)
        t0 = std::max(t0, t);
      else
        t1 = std::min(t1, t);
      if (t0 > t1) return;
    }
    const double sx = ax, sy = ay;
    ax = sx + t0 * dx, ay = sy + t0 * dy;
    bx = sx + t1 * dx, by = sy + t1 * dy;
  }
  // Bresenham between the (now near) ends.
  int64_t px = std::llround(ax), py = std::llround(ay);
  const int64_t ex = std::llround(bx), ey = std::llround(by);
  const int64_t dx = ex > px ? ex - px : px - ex, dy = -(ey > py ? ey - py : py - ey);
  const int64_t sx = px < ex ? 1 : -1, sy = py < ey ? 1 : -1;
  int64_t err = dx + dy;
  const uint32_t packed = c.packed();
  bool changed = false;
  for (;;) {
    if (px >= 0 && py >= 0 && px < width_ && py < height_) {
      pixels_[static_cast<size_t>(py) * width_ + static_cast<size_t>(px)] = packed;
      changed = true;
    }
    if (px == ex && py == ey) break;
    const int64_t e2 = 2 * err;
    if (e2 >= dy) err += dy, px += sx;
    if (e2 <= dx) err += dx, py += sy;
  }
  if (changed) ++revision_;
}

void Framebuffer::frame(int x, int y, int w, int h, Rgb c) { bevel(x, y, w, h, c, c); }

void Framebuffer::bevel(int x, int y, int w, int h, Rgb top_left, Rgb bottom_right) {
  if (w <= 0 || h <= 0) return;
  // 64-bit positions: the far edges of a rectangle near INT_MAX do not fit
  // an int.
  const int64_t x0 = x, y0 = y, right = x0 + w - 1, bottom = y0 + h - 1;
  fill_area(x0, y0, w, 1, top_left);
  fill_area(x0, y0, 1, h, top_left);
  if (w > 1 && h > 1) {
    fill_area(x0 + 1, bottom, w - 1, 1, bottom_right);
    fill_area(right, y0 + 1, 1, h - 1, bottom_right);
  }
}

void Framebuffer::blit(const Framebuffer &src, int src_x, int src_y, int x, int y, int w, int h) {
  if (w <= 0 || h <= 0) return;
  // Clip the source rectangle to the source image, then shift the
  // destination by the same amount and clip it to this image.
  int64_t sx0, sx1, sy0, sy1;
  if (!clip_span(src_x, w, src.width_, &sx0, &sx1) || !clip_span(src_y, h, src.height_, &sy0, &sy1))
    return;
  const int64_t dx = static_cast<int64_t>(x) - src_x;
  const int64_t dy = static_cast<int64_t>(y) - src_y;
  int64_t x0, x1, y0, y1;
  if (!clip_span(sx0 + dx, sx1 - sx0, width_, &x0, &x1) ||
      !clip_span(sy0 + dy, sy1 - sy0, height_, &y0, &y1))
    return;
  const size_t count = static_cast<size_t>(x1 - x0);
  const auto copy_row = [&](int64_t row) {
    const uint32_t *from = src.pixels_.data() + (row - dy) * src.width_ + (x0 - dx);
    std::memmove(pixels_.data() + row * width_ + x0, from, count * sizeof(uint32_t));
  };
  // Row order matters only when copying within one image.
  if (&src == this && dy > 0) {
    for (int64_t row = y1 - 1; row >= y0; --row) copy_row(row);
  } else {
    for (int64_t row = y0; row < y1; ++row) copy_row(row);
  }
  ++revision_;
}

int Framebuffer::count(Rgb c, int x, int y, int w, int h) const {
  int64_t x0, x1, y0, y1;
  if (w <= 0 || h <= 0) return 0;
  if (!clip_span(x, w, width_, &x0, &x1) || !clip_span(y, h, height_, &y0, &y1)) return 0;
  const uint32_t p = c.packed();
  int n = 0;
  for (int64_t row = y0; row < y1; ++row)
    for (int64_t col = x0; col < x1; ++col) n += pixels_[row * width_ + col] == p;
  return n;
}

}  // namespace hvhost
