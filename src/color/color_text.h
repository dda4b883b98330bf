// Colours as text: what the picker puts on the clipboard and what it takes
// from it. Free functions over plain buffers; no allocation.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The longest text the picker reads, in bytes; longer text is refused.
constexpr size_t kColorTextMaxBytes = 256;
// Room for what format_color_text writes, its NUL included.
constexpr size_t kColorTextBufferBytes = 96;

// A colour read from text: channels as ints, and when the text gave the
// host's own floats (uses_floats), those floats exactly as written.
struct ParsedColor {
  int uses_floats;
  int32_t rgb[3];
  float channel[3];
};

// Reads `size` bytes of text (no NUL needed; a NUL among them is a foreign
// byte). Accepted, with white space around it ignored:
//   #RGB, #RRGGBB, RRGGBB      hex digits in either case; #RGB doubles each
//   R G B                       three integers 0..255
//   F F F                       three decimals with a point (an exponent may
//                               follow), finite in single precision: the
//                               host's floats, channels trunc(F x 255)
//   #RRGGBB, then F F F         two lines, as format_color_text writes: the
//                               floats are taken; when one of them is nan,
//                               inf or -inf, the hex code is
// Numbers are separated by spaces or tabs, or by one comma with optional
// spaces around it. Anything else, more than kColorTextMaxBytes bytes, or a
// null text returns false and leaves *out unchanged.
bool parse_color_text(const char *text, size_t size, ParsedColor *out);

// Writes "#RRGGBB\r\nF, F, F" into buf (at least kColorTextBufferBytes):
// the hex code of rgb clamped to 0..255, and the three floats in their
// shortest form that reads back to the same bits, always with a point
// ("1.0", "2.5e-07"); a NaN or an infinity is written as "nan", "inf" or
// "-inf". Returns the length without the NUL.
size_t format_color_text(const int32_t rgb[3], const float channel[3], char *buf);
