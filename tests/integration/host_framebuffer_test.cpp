// The host's framebuffer: clipping must hold for every int argument.
#include <gtest/gtest.h>

#include <climits>

#include "model/framebuffer.h"
#include "model/text.h"

namespace {

using hvhost::Framebuffer;
using hvhost::Rgb;

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};

const int kExtremes[] = {INT_MIN, INT_MIN + 1, -100000, -1,     0,           1,
                         5,       9,           10,      100000, INT_MAX - 1, INT_MAX};

TEST(Framebuffer, PixelIgnoresEveryPositionOutsideTheImage) {
  Framebuffer fb(10, 6, kBlue);
  for (int x : kExtremes)
    for (int y : kExtremes) {
      fb.set_pixel(x, y, kRed);
      const bool inside = x >= 0 && x < 10 && y >= 0 && y < 6;
      EXPECT_EQ(fb.pixel(x, y), inside ? kRed : Rgb{}) << x << "," << y;
    }
  // Only (0..9, 0..5) from the list above: x in {0,1,5,9}, y in {0,1,5}.
  EXPECT_EQ(fb.count(kRed, 0, 0, 10, 6), 4 * 3);
}

TEST(Framebuffer, FillRectClipsForAnyRectangle) {
  for (int x : kExtremes)
    for (int w : kExtremes) {
      Framebuffer fb(10, 6, kBlue);
      fb.fill_rect(x, 2, w, 3, kRed);
      fb.frame(x, 2, w, 3, kRed);
      Framebuffer other(10, 6, kBlue);
      other.bevel(2, x, 3, w, kRed, kBlue);
      other.bevel(x, w, x, w, kRed, kBlue);
      // Expected row coverage of [x, x + w) within 0..9, in 64 bits.
      const long long lo = std::max<long long>(x, 0);
      const long long hi = std::min<long long>(static_cast<long long>(x) + w, 10);
      const int expected = w > 0 && hi > lo ? static_cast<int>(hi - lo) : 0;
      EXPECT_EQ(fb.count(kRed, 0, 3, 10, 1), expected) << x << " w " << w;
    }
}

// Fills copy rows and double their copies: every width and height around
// the powers of two, and one-pixel columns (frames), set exactly their
// rectangle; erase and a resize to the same size set every pixel.
TEST(Framebuffer, FillsSetExactlyTheirRectangleAtEverySize) {
  for (int w = 1; w <= 17; ++w)
    for (int h = 1; h <= 3; ++h) {
      Framebuffer fb(20, 5, kBlue);
      fb.fill_rect(2, 1, w, h, kRed);
      EXPECT_EQ(fb.count(kRed, 2, 1, w, h), w * h) << w << "x" << h;
      EXPECT_EQ(fb.count(kRed, 0, 0, 20, 5), w * h) << w << "x" << h;
      Framebuffer image(w, h, kRed);
      image.set_pixel(w - 1, h - 1, kBlue);
      image.erase(kBlue);
      EXPECT_EQ(image.count(kBlue, 0, 0, w, h), w * h) << w << "x" << h;
      image.set_pixel(0, 0, kRed);
      image.resize(w, h, kBlue);
      EXPECT_EQ(image.count(kBlue, 0, 0, w, h), w * h) << w << "x" << h;
    }
}

TEST(Framebuffer, LineDrawsBothEndsAndClipsForAnyEnds) {
  Framebuffer fb(10, 6, kBlue);
  fb.line(1, 0, 6, 5, kRed);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(fb.pixel(1 + i, i), kRed) << i;
  EXPECT_EQ(fb.count(kRed, 0, 0, 10, 6), 6);
  // Ends far outside: only the part over the image, the same pixels as the
  // unclipped line would give.
  Framebuffer diagonal(10, 6, kBlue);
  diagonal.line(-100000, -100000, 100000, 100000, kRed);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(diagonal.pixel(i, i), kRed) << i;
  EXPECT_EQ(diagonal.count(kRed, 0, 0, 10, 6), 6);
  for (int a : kExtremes)
    for (int b : kExtremes) {
      // A row: exactly the overlap of [min, max] with 0..9.
      Framebuffer row(10, 6, kBlue);
      row.line(a, 2, b, 2, kRed);
      const long long lo = std::max<long long>(std::min(a, b), 0);
      const long long hi = std::min<long long>(std::max(a, b), 9);
      EXPECT_EQ(row.count(kRed, 0, 0, 10, 6), hi >= lo ? hi - lo + 1 : 0) << a << " " << b;
      for (int c : kExtremes) row.line(a, b, c, a, kRed);  // anything: no harm
    }
}

TEST(Framebuffer, BlitCopiesOnlyTheOverlapOfBothImages) {
  Framebuffer src(4, 4, kRed);
  src.set_pixel(3, 3, kBlue);
  Framebuffer dst(6, 5, Rgb{1, 1, 1});
  dst.blit(src, 2, 2, 4, 3, 10, 10);  // source 2x2 from (2,2), destination clipped to 2x2
  EXPECT_EQ(dst.count(kRed, 0, 0, 6, 5), 3);
  EXPECT_EQ(dst.pixel(5, 4), kBlue);
  EXPECT_EQ(dst.pixel(3, 3), (Rgb{1, 1, 1}));
  dst.blit(src, -2, -2, 0, 0, 4, 4);  // source clipped: (0,0) lands at (2,2)
  EXPECT_EQ(dst.pixel(2, 2), kRed);
  EXPECT_EQ(dst.pixel(1, 1), (Rgb{1, 1, 1}));
  for (int a : kExtremes)
    for (int b : kExtremes) {
      Framebuffer d(6, 5);
      d.blit(src, a, b, b, a, a, b);
      d.blit(src, 0, 0, a, b, INT_MAX, INT_MAX);
      d.blit(d, a, 0, 0, b, 3, 3);
    }
}

TEST(Framebuffer, BlitWithinOneImageHandlesOverlap) {
  Framebuffer fb(4, 4);
  for (int y = 0; y < 4; ++y) fb.fill_rect(0, y, 4, 1, Rgb{static_cast<uint8_t>(y), 0, 0});
  fb.blit(fb, 0, 0, 0, 1, 4, 3);  // shift down by one
  EXPECT_EQ(fb.pixel(0, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(fb.pixel(0, 1), (Rgb{0, 0, 0}));
  EXPECT_EQ(fb.pixel(0, 2), (Rgb{1, 0, 0}));
  EXPECT_EQ(fb.pixel(0, 3), (Rgb{2, 0, 0}));
}

TEST(Framebuffer, ChannelsAreClampedWhenStored) {
  EXPECT_EQ(Rgb::clamped(-5, 300, 128), (Rgb{0, 255, 128}));
  EXPECT_EQ(Rgb::clamped(INT_MIN, INT_MAX, 0), (Rgb{0, 255, 0}));
}

TEST(Framebuffer, TextStaysInsideItsClipAndSurvivesAnyBytes) {
  Framebuffer fb(40, 12, kBlue);
  hvhost::draw_text_clipped(fb, 2, 2, 10, 8, 0, 2, "WWWWWWWW", kRed, kBlue);
  EXPECT_GT(fb.count(kRed, 2, 2, 10, 8), 0);
  EXPECT_EQ(fb.count(kRed, 12, 0, 28, 12), 0);
  EXPECT_EQ(fb.count(kRed, 0, 0, 2, 12), 0);
  std::string bytes;
  for (int c = 1; c < 256; ++c) bytes += static_cast<char>(c);
  hvhost::draw_text(fb, INT_MAX - 3, INT_MIN, bytes, kRed);
  hvhost::draw_text(fb, -3, 0, bytes, kRed);
  EXPECT_GT(hvhost::text_width(bytes), 0);
}

}  // namespace
