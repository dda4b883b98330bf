#include "color/color_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>
#include <system_error>

#include "color/color.h"

namespace {

using std::string_view;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_blank(char c) { return c == ' ' || c == '\t'; }

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
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size() || v > 255) return Number::kBad;
    *i = v;
    return Number::kInt;
  }
  // A sign, digits with one point, and an optional exponent: no names
  // (nan, inf), no hex floats.
  if (t.find('.') == string_view::npos ||
      t.find_first_not_of("0123456789.eE+-") != string_view::npos || t.front() == '+')
    return Number::kBad;
  float v = 0.0f;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(v)) return Number::kBad;
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
    tokens[n++] = s.substr(0, end);
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

size_t format_float(float v, char *buf, size_t room) {
  if (std::isnan(v)) return static_cast<size_t>(std::snprintf(buf, room, "nan"));
  if (std::isinf(v)) return static_cast<size_t>(std::snprintf(buf, room, v < 0 ? "-inf" : "inf"));
  const auto r = std::to_chars(buf, buf + room, v);
  size_t len = static_cast<size_t>(r.ptr - buf);
  string_view s(buf, len);
  if (s.find('.') == string_view::npos) {
    // "1" is read back as an int, so a point goes in before any exponent.
    const size_t at = std::min(s.find('e'), len);
    std::memmove(buf + at + 2, buf + at, len - at);
    buf[at] = '.';
    buf[at + 1] = '0';
    len += 2;
  }
  return len;
}

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
    if (!parse_hex(trim(s.substr(0, line_end)), rgb) ||
        !parse_numbers(trim(s.substr(line_end + 1)), &p, true) || !p.uses_floats)
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

size_t format_color_text(const int32_t rgb[3], const float channel[3], char *buf) {
  size_t len = static_cast<size_t>(std::snprintf(
      buf, kColorTextBufferBytes, "#%02X%02X%02X\r\n", static_cast<unsigned>(clamp_channel(rgb[0])),
      static_cast<unsigned>(clamp_channel(rgb[1])), static_cast<unsigned>(clamp_channel(rgb[2]))));
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      buf[len++] = ',';
      buf[len++] = ' ';
    }
    // The shortest float is at most 15 characters; with ".0", 17.
    len += format_float(channel[i], buf + len, kColorTextBufferBytes - len - 1);
  }
  buf[len] = '\0';
  return len;
}
