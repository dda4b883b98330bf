// Single-precision floats as decimal text, both ways, without the C++
// library's conversions (their tables would be most of the module):
// a reader that rounds correctly, and a writer of the shortest text that
// this reader takes back to the same bits.
#pragma once

#include <stddef.h>

// The longest text read_float takes; longer is refused.
constexpr size_t kFloatTextMaxBytes = 256;
// Room for what write_float writes, its NUL included.
constexpr size_t kFloatTextBufferBytes = 24;

enum class FloatRead {
  kOk,
  kBad,         // not of the form below
  kOutOfRange,  // beyond the largest float, or a nonzero value that rounds to zero
};

// Reads exactly `size` bytes: an optional '-', digits with one point (digits
// on at least one side of it), and an optional exponent ('e' or 'E', an
// optional sign, digits). No '+' in front, no names (nan, inf), no hex, no
// white space. The value is rounded to the nearest float, ties to even.
// *out is written only on kOk.
FloatRead read_float(const char *text, size_t size, float *out);

// Writes v into buf (at least kFloatTextBufferBytes) as the fewest
// significant digits that read_float takes back to the same bits, always
// with a point: fixed ("0.25", "1.0") or scientific ("1.0e-45", "1.0e+20"),
// whichever is shorter, fixed on a tie. NaN is "nan", the infinities "inf"
// and "-inf". Returns the length without the NUL.
size_t write_float(float v, char *buf);
