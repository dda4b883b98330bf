#include "model/text.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

// stb_easy_font is a header of static functions, some of which this file
// does not use.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include "stb_easy_font.h"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace hvhost {

namespace {

// stb_easy_font indexes its tables with (c - 32) and knows only printable
// ASCII, and it reads a newline as a line break: map everything else to '?'.
std::string printable(std::string_view text) {
  std::string s(text);
  for (char &c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u > 126) c = '?';
  }
  return s;
}

// One vertex as stb_easy_font writes it: x, y, z as floats, then RGBA.
struct Vertex {
  float x, y, z;
  unsigned char rgba[4];
};
static_assert(sizeof(Vertex) == 16, "stb_easy_font vertex layout");

}  // namespace

int text_width(std::string_view text) {
  std::string s = printable(text);
  return stb_easy_font_width(s.data());
}

void draw_text(Framebuffer &fb, int x, int y, std::string_view text, Rgb color) {
  if (text.empty()) return;
  std::string s = printable(text);
  // No glyph needs more than 12 quads of 4 vertices.
  std::vector<Vertex> quads(s.size() * 48 + 48);
  const int count = stb_easy_font_print(0.0f, 0.0f, s.data(), nullptr, quads.data(),
                                        static_cast<int>(quads.size() * sizeof(Vertex)));
  for (int q = 0; q < count; ++q) {
    // Each quad is an axis-aligned rectangle: vertices 0 and 2 are corners.
    const Vertex &a = quads[static_cast<size_t>(q) * 4];
    const Vertex &c = quads[static_cast<size_t>(q) * 4 + 2];
    const int x0 = static_cast<int>(std::lround(a.x));
    const int y0 = static_cast<int>(std::lround(a.y));
    const int x1 = static_cast<int>(std::lround(c.x));
    const int y1 = static_cast<int>(std::lround(c.y));
    const int64_t px = static_cast<int64_t>(x) + x0;
    const int64_t py = static_cast<int64_t>(y) + y0;
    if (px < INT32_MIN || px > INT32_MAX || py < INT32_MIN || py > INT32_MAX) continue;
    fb.fill_rect(static_cast<int>(px), static_cast<int>(py), x1 - x0, y1 - y0, color);
  }
}

void draw_text_clipped(Framebuffer &fb, int clip_x, int clip_y, int clip_w, int clip_h, int x,
                       int y, std::string_view text, Rgb color, Rgb background) {
  if (clip_w <= 0 || clip_h <= 0) return;
  Framebuffer tmp(clip_w, clip_h, background);
  draw_text(tmp, static_cast<int>(static_cast<int64_t>(x) - clip_x),
            static_cast<int>(static_cast<int64_t>(y) - clip_y), text, color);
  fb.blit(tmp, 0, 0, clip_x, clip_y, clip_w, clip_h);
}

}  // namespace hvhost
