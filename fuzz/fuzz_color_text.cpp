// libFuzzer harness: the picker's reading of clipboard text, under ASan +
// UBSan. The bytes are first read as one decimal: what read_float takes is
// what strtof reads, to the bit, and what it finds out of range strtof
// makes infinite or zero. Then they are read as the clipboard's text. Whatever is accepted
// has channels the host can take, and its floats are finite and give those
// channels; what the picker would copy back of an accepted colour reads
// again to the same channels and the same float bits.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <cmath>

#include "color/color.h"
#include "color/color_text.h"
#include "color/float_text.h"

namespace {

[[noreturn]] void fail(const char *what) {
  fprintf(stderr, "fuzz_color_text: invariant broken: %s\n", what);
  abort();
}

// The decimal reader against the C library's.
void check_against_strtof(const uint8_t *data, size_t size) {
  if (size > kFloatTextMaxBytes) return;
  char text[kFloatTextMaxBytes + 1];
  memcpy(text, data, size);
  text[size] = '\0';
  float got = 0.0f;
  const FloatRead r = read_float(text, size, &got);
  if (r == FloatRead::kBad) return;
  if (memchr(text, '\0', size)) fail("read_float took a NUL");
  char *end = nullptr;
  const float want = strtof(text, &end);
  if (end != text + size) fail("read_float took what strtof stops short of");
  if (r == FloatRead::kOk && memcmp(&got, &want, sizeof got) != 0) fail("read_float is not strtof");
  if (r == FloatRead::kOutOfRange && !std::isinf(want) && want != 0.0f)
    fail("read_float refused a value strtof found in range");
  if (r == FloatRead::kOk) {
    char again[kFloatTextBufferBytes];
    const size_t n = write_float(got, again);
    float back = 0.0f;
    if (read_float(again, n, &back) != FloatRead::kOk || memcmp(&back, &got, sizeof got) != 0)
      fail("written float not read back");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  check_against_strtof(data, size);
  ParsedColor got;
  if (parse_color_text(reinterpret_cast<const char *>(data), size, &got) != ColorTextRead::kOk)
    return 0;
  if (size > kColorTextMaxBytes) fail("text over the limit accepted");
  const ColorTriple rgb = {got.rgb[0], got.rgb[1], got.rgb[2]};
  if (!saturation_fits(&rgb)) fail("a saturation the HSV editor cannot show");
  for (int i = 0; i < 3; ++i) {
    if (got.uses_floats) {
      if (!std::isfinite(got.channel[i])) fail("a float that is not finite");
      if (got.rgb[i] != channel_from_float(got.channel[i]) && got.rgb[i] != 0)
        fail("a channel not its float's");
      if (!channel_fits(got.channel[i]) && got.rgb[i] != 0 && got.rgb[i] != 255)
        fail("a channel beyond the editors not loaded as 0 or 255");
    } else if (got.rgb[i] < 0 || got.rgb[i] > 255) {
      fail("an int channel outside 0..255");
    }
  }
  float floats[3];
  for (int i = 0; i < 3; ++i)
    floats[i] = got.uses_floats ? got.channel[i] : channel_to_float(got.rgb[i]);
  char text[kColorTextBufferBytes];
  const size_t n = format_color_text(got.rgb, floats, text);
  if (n >= sizeof text || text[n] != '\0') fail("copied text overruns its buffer");
  ParsedColor back;
  if (parse_color_text(text, n, &back) != ColorTextRead::kOk || !back.uses_floats)
    fail("copied text not read back");
  if (memcmp(back.channel, floats, sizeof floats) != 0) fail("copied floats changed bits");
  return 0;
}
