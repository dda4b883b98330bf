#include "eyedropper/loupe.h"

#include <string.h>

namespace {

constexpr uint32_t kBackground = 0x202020;
constexpr uint32_t kInk = 0xF0F0F0;

// A 5 x 7 glyph a character, one row a byte, the leftmost pixel in bit 4.
struct Glyph {
  char c;
  uint8_t rows[kLoupeGlyphHeight];
};
constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {',', {0x00, 0x00, 0x00, 0x00, 0x06, 0x04, 0x08}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'x', {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}},
};

const Glyph *glyph_of(char c) {
  for (const Glyph &g : kGlyphs)
    if (g.c == c) return &g;
  return nullptr;
}

void fill(uint32_t *bits, int x, int y, int w, int h, uint32_t rgb) {
  for (int row = y; row < y + h; ++row)
    for (int col = x; col < x + w; ++col) bits[row * kLoupeWidth + col] = rgb;
}

void write_line(uint32_t *bits, int y, const char *text) {
  int x = kLoupeBorder + 1;
  for (const char *c = text; *c && x + kLoupeGlyphWidth <= kLoupeWidth - kLoupeBorder; ++c) {
    if (const Glyph *g = glyph_of(*c)) {
      for (int row = 0; row < kLoupeGlyphHeight; ++row)
        for (int col = 0; col < kLoupeGlyphWidth; ++col)
          if (g->rows[row] & (0x10 >> col)) bits[(y + row) * kLoupeWidth + x + col] = kInk;
    }
    x += kLoupeGlyphWidth + 1;
  }
}

}  // namespace

void loupe_compose(uint32_t *bits, const SampleBlock &block, const char *line1, const char *line2) {
  fill(bits, 0, 0, kLoupeWidth, kLoupeHeight, kBackground);
  for (int row = 0; row < kSampleBlockSide; ++row)
    for (int col = 0; col < kSampleBlockSide; ++col)
      fill(bits, kLoupeBorder + col * kLoupeCellSize, kLoupeBorder + row * kLoupeCellSize,
           kLoupeCellSize, kLoupeCellSize, block.rgb[row * kSampleBlockSide + col] & 0xFFFFFFu);
  // The centre cell's frame in its inverse, its own colour inside.
  const uint32_t centre = block.rgb[kSampleBlockCentre * kSampleBlockSide + kSampleBlockCentre];
  const int at = kLoupeBorder + kSampleBlockCentre * kLoupeCellSize;
  fill(bits, at, at, kLoupeCellSize, kLoupeCellSize, ~centre & 0xFFFFFFu);
  fill(bits, at + 1, at + 1, kLoupeCellSize - 2, kLoupeCellSize - 2, centre & 0xFFFFFFu);
  const int text_top = kLoupeWidth + 1;
  write_line(bits, text_top, line1 ? line1 : "");
  write_line(bits, text_top + kLoupeLineHeight, line2 ? line2 : "");
}

POINT loupe_place(POINT pointer, const RECT &monitor) {
  const long long px = pointer.x, py = pointer.y;
  long long x = px + kLoupeGap, y = py + kLoupeGap;
  if (x + kLoupeWidth > monitor.right) x = px - kLoupeGap - kLoupeWidth;
  if (y + kLoupeHeight > monitor.bottom) y = py - kLoupeGap - kLoupeHeight;
  const auto held = [](long long v) {
    return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
  };
  return {held(x), held(y)};
}
