#include "color/color_text.h"

#include <cmath>
#include <limits>
#include <string_view>

#include "color/color.h"
#include "color/float_text.h"

namespace {

using std::string_view;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The first n characters, n <= size: string_view::substr would bring the
// library's exceptions, and their strings, into the module.
string_view head(string_view s, size_t n) { return string_view(s.data(), n); }

string_view trim(string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool all_hex(string_view s) {
  for (char c : s)
    if (hex_value(c) < 0) return false;
  return true;
}

// #RGB, #RRGGBB or RRGGBB.
bool parse_hex(string_view s, int32_t rgb[3]) {
  const bool hash = !s.empty() && s.front() == '#';
  if (hash) s.remove_prefix(1);
  if (!all_hex(s) || !(s.size() == 6 || (hash && s.size() == 3))) return false;
  const size_t digits = s.size() / 3;
  for (size_t i = 0; i < 3; ++i) {
    const int hi = hex_value(s[i * digits]);
    rgb[i] = digits == 1 ? hi * 17 : hi * 16 + hex_value(s[i * digits + 1]);
  }
  return true;
}

bool is_digits(string_view t) {
  return !t.empty() && t.find_first_not_of("0123456789") == string_view::npos;
}

// Whether a token marks its line as decimals: a point or an exponent.
bool is_decimal(string_view t) { return t.find_first_of(".eE") != string_view::npos; }

// Digits alone as an int of 0..255.
bool parse_int(string_view t, int32_t *out) {
  if (!is_digits(t)) return false;
  int v = 0;
  for (char c : t)
    if ((v = v * 10 + (c - '0')) > 255) return false;
  *out = v;
  return true;
}

// One decimal in read_float's form (a sign, digits with a point, an
// optional exponent), the point optional here: "1", "1e5" read as "1.",
// "1.e5". `names`: "nan", "inf" and "-inf" too, as format_float writes
// them. No '+' in front, no hex floats.
bool parse_decimal(string_view t, float *f, bool names) {
  if (names && (t == "nan" || t == "inf" || t == "-inf")) {
    *f = t == "nan" ? std::numeric_limits<float>::quiet_NaN()
                    : (t == "inf" ? 1.0f : -1.0f) * std::numeric_limits<float>::infinity();
    return true;
  }
  char buf[kColorTextMaxBytes + 1];
  if (t.empty() || t.size() >= sizeof buf) return false;
  size_t n = 0;
  const size_t exponent = t.find_first_of("eE");
  const size_t mantissa = exponent == string_view::npos ? t.size() : exponent;
  for (size_t k = 0; k < t.size(); ++k) {
    if (k == mantissa && t.find('.') == string_view::npos) buf[n++] = '.';
    buf[n++] = t[k];
  }
  if (mantissa == t.size() && t.find('.') == string_view::npos) buf[n++] = '.';
  return read_float(buf, n, f) == FloatRead::kOk;
}

// Splits s into exactly three numbers, separated by blanks with at most one
// comma among them.
bool split_three(string_view s, string_view tokens[3]) {
  size_t n = 0;
  while (!s.empty()) {
    size_t end = 0;
    while (end < s.size() && !is_blank(s[end]) && s[end] != ',') ++end;
    if (n == 3) return false;
    tokens[n++] = head(s, end);
    s.remove_prefix(end);
    int commas = 0;
    while (!s.empty() && (is_blank(s.front()) || s.front() == ',')) {
      if (s.front() == ',' && ++commas > 1) return false;
      s.remove_prefix(1);
    }
    if (commas > 0 && s.empty()) return false;
  }
  return n == 3;
}

// Three numbers: decimals when any of them has a point or an exponent, or
// when all three are 0 or 1 (the host's own scale); integers 0..255
// otherwise. With `names`, decimals may be non-finite, and then their
// channels are left 0.
ColorTextRead parse_numbers(string_view s, ParsedColor *out, bool names = false) {
  string_view t[3];
  if (!split_three(s, t)) return ColorTextRead::kNotAColour;
  ParsedColor p = {};
  const bool unit =
      (t[0] == "0" || t[0] == "1") && (t[1] == "0" || t[1] == "1") && (t[2] == "0" || t[2] == "1");
  bool decimals = unit || names;
  for (const string_view &token : t) decimals = decimals || is_decimal(token);
  for (size_t k = 0; k < 3; ++k) {
    // What the picker copies always has its points.
    if (names && t[k].find('.') == string_view::npos && t[k] != "nan" && t[k] != "inf" &&
        t[k] != "-inf")
      return ColorTextRead::kNotAColour;
    const bool ok =
        decimals ? parse_decimal(t[k], &p.channel[k], names) : parse_int(t[k], &p.rgb[k]);
    if (!ok) return ColorTextRead::kNotAColour;
  }
  p.uses_floats = decimals;
  if (decimals)
    for (size_t k = 0; k < 3; ++k)
      p.rgb[k] = std::isfinite(p.channel[k]) ? channel_from_float(p.channel[k]) : 0;
  *out = p;
  return ColorTextRead::kOk;
}

// Whether every number the editors would show for a typed colour fits
// them: each channel's reading, and the saturation of those channels.
bool fits_editors(const ParsedColor &p) {
  if (!p.uses_floats) return true;
  for (float f : p.channel)
    if (!channel_fits(f)) return false;
  const ColorTriple rgb = {p.rgb[0], p.rgb[1], p.rgb[2]};
  return saturation_fits(&rgb);
}

}  // namespace

static char hex_digit(int v) { return "0123456789ABCDEF"[v & 15]; }

ColorTextRead parse_color_text(const char *text, size_t size, ParsedColor *out) {
  if (!text || size > kColorTextMaxBytes) return ColorTextRead::kNotAColour;
  const string_view s = trim(string_view(text, size));
  const size_t line_end = s.find('\n');
  if (line_end != string_view::npos) {
    // What the picker copies: the hex code, then the floats, taken as a
    // request's are (a channel beyond the editors loads as 0 or 255). A
    // colour with a non-finite float (the host may hand one) pastes back as
    // its hex code.
    int32_t rgb[3];
    ParsedColor p;
    if (!parse_hex(trim(head(s, line_end)), rgb) ||
        parse_numbers(trim(string_view(s.data() + line_end + 1, s.size() - line_end - 1)), &p,
                      true) != ColorTextRead::kOk)
      return ColorTextRead::kNotAColour;
    for (float f : p.channel)
      if (!std::isfinite(f)) {
        *out = {0, {rgb[0], rgb[1], rgb[2]}, {0.0f, 0.0f, 0.0f}};
        return ColorTextRead::kOk;
      }
    const ColorTriple loaded = channels_from_floats(p.channel);
    p.rgb[0] = loaded.a;
    p.rgb[1] = loaded.b;
    p.rgb[2] = loaded.c;
    *out = p;
    return ColorTextRead::kOk;
  }
  ParsedColor p = {};
  if (parse_hex(s, p.rgb)) {
    *out = p;
    return ColorTextRead::kOk;
  }
  const ColorTextRead read = parse_numbers(s, &p);
  if (read != ColorTextRead::kOk) return read;
  if (!fits_editors(p)) return ColorTextRead::kBeyondEditors;
  *out = p;
  return ColorTextRead::kOk;
}

// "#RRGGBB\r\n", two floats of at most kFloatTextBufferBytes - 1 with
// ", " after each, and the room write_float asks for the third.
static_assert(9 + 2 * (kFloatTextBufferBytes + 1) + kFloatTextBufferBytes <= kColorTextBufferBytes);

size_t format_color_text(const int32_t rgb[3], const float channel[3], char *buf) {
  size_t len = 0;
  buf[len++] = '#';
  for (int i = 0; i < 3; ++i) {
    const int32_t c = clamp_channel(rgb[i]);
    buf[len++] = hex_digit(c >> 4);
    buf[len++] = hex_digit(c);
  }
  buf[len++] = '\r';
  buf[len++] = '\n';
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      buf[len++] = ',';
      buf[len++] = ' ';
    }
    len += write_float(channel[i], buf + len);
  }
  buf[len] = '\0';
  return len;
}
