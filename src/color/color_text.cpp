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

enum class Number { kBad, kInt, kFloat };

// One number: digits alone are an int of 0..255; with a point, a float.
// `names`: "nan", "inf" and "-inf" are floats too, as format_float
// writes them.
Number parse_number(string_view t, int32_t *i, float *f, bool names) {
  if (t.empty()) return Number::kBad;
  if (names && (t == "nan" || t == "inf" || t == "-inf")) {
    *f = t == "nan" ? std::numeric_limits<float>::quiet_NaN()
                    : (t == "inf" ? 1.0f : -1.0f) * std::numeric_limits<float>::infinity();
    return Number::kFloat;
  }
  if (t.find_first_not_of("0123456789") == string_view::npos) {
    int v = 0;
    for (char c : t)
      if ((v = v * 10 + (c - '0')) > 255) return Number::kBad;
    *i = v;
    return Number::kInt;
  }
  // A sign, digits with one point, and an optional exponent (read_float's
  // form): no names (nan, inf), no hex floats, no '+' in front.
  float v = 0.0f;
  if (t.find('.') == string_view::npos || read_float(t.data(), t.size(), &v) != FloatRead::kOk)
    return Number::kBad;
  *f = v;
  return Number::kFloat;
}

// Three numbers of one kind; with `names`, floats may be non-finite, and
// then their channels are left 0.
bool parse_numbers(string_view s, ParsedColor *out, bool names = false) {
  string_view tokens[3];
  size_t n = 0;
  while (!s.empty()) {
    size_t end = 0;
    while (end < s.size() && !is_blank(s[end]) && s[end] != ',') ++end;
    if (n == 3) return false;
    tokens[n++] = head(s, end);
    s.remove_prefix(end);
    // The separator: blanks with at most one comma among them.
    int commas = 0;
    while (!s.empty() && (is_blank(s.front()) || s.front() == ',')) {
      if (s.front() == ',' && ++commas > 1) return false;
      s.remove_prefix(1);
    }
    if (commas > 0 && s.empty()) return false;
  }
  if (n != 3) return false;
  ParsedColor p = {};
  Number kinds[3];
  for (size_t k = 0; k < 3; ++k)
    kinds[k] = parse_number(tokens[k], &p.rgb[k], &p.channel[k], names);
  if (kinds[0] == Number::kBad || kinds[1] != kinds[0] || kinds[2] != kinds[0]) return false;
  p.uses_floats = kinds[0] == Number::kFloat;
  if (p.uses_floats)
    for (size_t k = 0; k < 3; ++k)
      p.rgb[k] = std::isfinite(p.channel[k]) ? channel_from_float(p.channel[k]) : 0;
  *out = p;
  return true;
}

char hex_digit(int v) { return "0123456789ABCDEF"[v & 15]; }

}  // namespace

bool parse_color_text(const char *text, size_t size, ParsedColor *out) {
  if (!text || size > kColorTextMaxBytes) return false;
  const string_view s = trim(string_view(text, size));
  const size_t line_end = s.find('\n');
  if (line_end != string_view::npos) {
    // What the picker copies: the hex code, then the floats. A colour
    // with a non-finite float (the host may hand one) pastes back as its
    // hex code.
    int32_t rgb[3];
    ParsedColor p;
    if (!parse_hex(trim(head(s, line_end)), rgb) ||
        !parse_numbers(trim(string_view(s.data() + line_end + 1, s.size() - line_end - 1)), &p,
                       true) ||
        !p.uses_floats)
      return false;
    for (float f : p.channel)
      if (!std::isfinite(f)) {
        *out = {0, {rgb[0], rgb[1], rgb[2]}, {0.0f, 0.0f, 0.0f}};
        return true;
      }
    *out = p;
    return true;
  }
  ParsedColor p = {};
  if (parse_hex(s, p.rgb)) {
    *out = p;
    return true;
  }
  return parse_numbers(s, out);
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
