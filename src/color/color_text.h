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

enum class ColorTextRead {
  kOk,
  kNotAColour,     // none of the forms below
  kBeyondEditors,  // a colour, but a number the editors would show does not fit an int
};

// Reads `size` bytes of text (no NUL needed; a NUL among them is a foreign
// byte). Accepted, with white space around it ignored:
//   #RGB, #RRGGBB, RRGGBB      hex digits in either case; #RGB doubles each
//   D D D                       three decimals, when any number has a point
//                               or an exponent ("1.0 0 0", "1e-1 0 0"), or
//                               when each is 0 or 1 ("1 0 0" is red): the
//                               host's floats, finite in single precision,
//                               channels trunc(D x 255)
//   R G B                       any other three integers, each 0..255
//   #RRGGBB, then F F F         two lines, as format_color_text writes: the
//                               floats (each with its point) are taken, as
//                               a request's are; when one of them is nan,
//                               inf or -inf, the hex code is
// Numbers are separated by spaces or tabs, or by one comma with optional
// spaces around it. Typed decimals whose channel (trunc(D x 255)) or
// saturation would not fit an int are kBeyondEditors. Anything else, more
// than kColorTextMaxBytes bytes, or a null text is kNotAColour. *out is
// written only on kOk.
ColorTextRead parse_color_text(const char *text, size_t size, ParsedColor *out);

// Writes "#RRGGBB\r\nF, F, F" into buf (at least kColorTextBufferBytes):
// the hex code of rgb clamped to 0..255, and the three floats in their
// shortest form that reads back to the same bits, always with a point
// ("1.0", "2.5e-07"); a NaN or an infinity is written as "nan", "inf" or
// "-inf". Returns the length without the NUL.
size_t format_color_text(const int32_t rgb[3], const float channel[3], char *buf);
