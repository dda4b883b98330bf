#include "color/float_text.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <cmath>

namespace {

// ---- An unsigned integer of up to kBigWords 32-bit words ---------------------
// Enough for every value the reader meets: at most 256 digits (851 bits)
// shifted by at most 151 bits, or 10^301 shifted by 27 bits.
constexpr int kBigWords = 48;

struct Big {
  uint32_t w[kBigWords];  // least significant first
  int n;                  // words in use; w[n - 1] != 0 unless n == 0
};

void big_set(Big *b, uint32_t v) {
  b->n = v ? 1 : 0;
  b->w[0] = v;
}

// b = b * m + add. False when the result would not fit.
bool big_mul_add(Big *b, uint32_t m, uint32_t add) {
  uint64_t carry = add;
  for (int i = 0; i < b->n; ++i) {
    const uint64_t t = static_cast<uint64_t>(b->w[i]) * m + carry;
    b->w[i] = static_cast<uint32_t>(t);
    carry = t >> 32;
  }
  if (carry) {
    if (b->n == kBigWords) return false;
    b->w[b->n++] = static_cast<uint32_t>(carry);
  }
  return true;
}

int big_bits(const Big &b) {
  if (b.n == 0) return 0;
  int bits = (b.n - 1) * 32;
  for (uint32_t top = b.w[b.n - 1]; top; top >>= 1) ++bits;
  return bits;
}

// b <<= bits. False when the result would not fit.
bool big_shl(Big *b, int bits) {
  if (b->n == 0 || bits == 0) return true;
  const int words = bits / 32, rest = bits % 32;
  if ((big_bits(*b) + bits + 31) / 32 > kBigWords) return false;
  const int old_n = b->n;
  b->n = old_n + words + (rest ? 1 : 0);
  if (b->n > kBigWords) b->n = kBigWords;  // the top word is zero: checked above
  for (int i = b->n - 1; i >= 0; --i) {
    const int from = i - words;
    const uint32_t lo = from >= 0 && from < old_n ? b->w[from] : 0;
    const uint32_t lower = from - 1 >= 0 && from - 1 < old_n ? b->w[from - 1] : 0;
    b->w[i] = rest ? (lo << rest) | (lower >> (32 - rest)) : lo;
  }
  while (b->n > 0 && b->w[b->n - 1] == 0) --b->n;
  return true;
}

int big_cmp(const Big &a, const Big &b) {
  if (a.n != b.n) return a.n < b.n ? -1 : 1;
  for (int i = a.n - 1; i >= 0; --i)
    if (a.w[i] != b.w[i]) return a.w[i] < b.w[i] ? -1 : 1;
  return 0;
}

// a -= b, for a >= b.
void big_sub(Big *a, const Big &b) {
  int64_t borrow = 0;
  for (int i = 0; i < a->n; ++i) {
    int64_t t = static_cast<int64_t>(a->w[i]) - (i < b.n ? b.w[i] : 0) - borrow;
    borrow = t < 0;
    if (t < 0) t += int64_t{1} << 32;
    a->w[i] = static_cast<uint32_t>(t);
  }
  while (a->n > 0 && a->w[a->n - 1] == 0) --a->n;
}

// The float nearest num / den (ties to even) for num > 0; false when it is
// beyond the largest float or zero.
bool round_quotient(Big num, Big den, float *out) {
  // num / den lies in (2^(bl - 1), 2^(bl + 1)). Take q = floor(num / den /
  // 2^e) with e chosen so that q has at least two bits below the 24 kept,
  // and not below the subnormals' step 2^-149 by more than two bits.
  const int bl = big_bits(num) - big_bits(den);
  const int e = bl - 26 > -151 ? bl - 26 : -151;
  if (!(e < 0 ? big_shl(&num, -e) : big_shl(&den, e))) return false;
  // q < 2^27: restoring division, the divisor held at den * 2^26 while the
  // remainder doubles each step.
  if (!big_shl(&den, 26)) return false;
  uint32_t q = 0;
  for (int i = 0; i < 27; ++i) {
    q <<= 1;
    if (big_cmp(num, den) >= 0) {
      big_sub(&num, den);
      q |= 1;
    }
    if (!big_shl(&num, 1)) return false;
  }
  const bool sticky = num.n != 0;
  // Drop k >= 2 bits: down to 24 significant bits, or to the 2^-149 step.
  int q_bits = 0;
  for (uint32_t t = q; t; t >>= 1) ++q_bits;
  int k = q_bits - 24;
  if (k < -149 - e) k = -149 - e;
  uint32_t m = q >> k;
  const uint32_t dropped = q & ((uint32_t{1} << k) - 1), half = uint32_t{1} << (k - 1);
  if (dropped > half || (dropped == half && (sticky || (m & 1)))) ++m;
  int exp = e + k;  // value = m * 2^exp
  if (m == uint32_t{1} << 24) {
    m >>= 1;
    ++exp;
  }
  if (m == 0) return false;
  uint32_t bits;
  if (m < uint32_t{1} << 23) {
    bits = m;  // subnormal: exp is -149
  } else {
    const int biased = exp + 150;
    if (biased >= 255) return false;
    bits = (static_cast<uint32_t>(biased) << 23) | (m - (uint32_t{1} << 23));
  }
  memcpy(out, &bits, sizeof bits);
  return true;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// "%.*e" of the C runtime: msvcrt's on Windows, whose digits are exact to 17
// places; the writer checks each result by reading it back anyway.
int print_scientific(char *buf, size_t size, int decimals, double v) {
#ifdef _WIN32
  return _snprintf(buf, size, "%.*e", decimals, v);
#else
  return snprintf(buf, size, "%.*e", decimals, v);
#endif
}

// Of "d.ddde+XX" (any count of exponent digits, as msvcrt writes three):
// the significant digits without trailing zeros into digits, and the
// decimal exponent of the first. False on anything else.
bool split_scientific(const char *s, char digits[10], int *count, int *exp10) {
  int n = 0;
  if (!is_digit(*s)) return false;
  digits[n++] = *s++;
  if (*s == '.')
    for (++s; is_digit(*s); ++s)
      if (n < 9) digits[n++] = *s;
  if (*s != 'e' && *s != 'E') return false;
  ++s;
  const bool negative = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  if (!is_digit(*s)) return false;
  int x = 0;
  for (; is_digit(*s); ++s)
    if (x < 1000) x = x * 10 + (*s - '0');
  if (*s) return false;
  while (n > 1 && digits[n - 1] == '0') --n;
  *count = n;
  *exp10 = negative ? -x : x;
  return true;
}

// The text of +-0.d1d2..dn x 10^(exp10 + 1), laid out as the writer's
// contract says.
size_t lay_out(bool negative, const char *d, int n, int x, char *buf) {
  size_t len = 0;
  if (negative) buf[len++] = '-';
  const int ax = x < 0 ? -x : x;
  const int sci = n + (n > 1 ? 1 : 0) + 2 + (ax >= 100 ? 3 : 2);
  const int fixed = x >= n - 1 ? x + 1 : x >= 0 ? n + 1 : 2 + (-x - 1) + n;
  if (fixed <= sci) {
    if (x < 0) {
      buf[len++] = '0';
      buf[len++] = '.';
      for (int i = 0; i < -x - 1; ++i) buf[len++] = '0';
      for (int i = 0; i < n; ++i) buf[len++] = d[i];
    } else {
      for (int i = 0; i <= x; ++i) buf[len++] = i < n ? d[i] : '0';
      buf[len++] = '.';
      if (x >= n - 1) buf[len++] = '0';
      for (int i = x + 1; i < n; ++i) buf[len++] = d[i];
    }
  } else {
    buf[len++] = d[0];
    buf[len++] = '.';
    if (n == 1) buf[len++] = '0';
    for (int i = 1; i < n; ++i) buf[len++] = d[i];
    buf[len++] = 'e';
    buf[len++] = x < 0 ? '-' : '+';
    if (ax >= 100) buf[len++] = static_cast<char>('0' + ax / 100);
    buf[len++] = static_cast<char>('0' + ax / 10 % 10);
    buf[len++] = static_cast<char>('0' + ax % 10);
  }
  buf[len] = '\0';
  return len;
}

}  // namespace

FloatRead read_float(const char *text, size_t size, float *out) {
  if (!text || size == 0 || size > kFloatTextMaxBytes) return FloatRead::kBad;
  size_t i = 0;
  const bool negative = text[0] == '-';
  if (negative) ++i;
  // The significant digits (leading zeros skipped) make up `digits`; the
  // value is digits * 10^(exp10 - after_point).
  Big digits;
  big_set(&digits, 0);
  int count = 0, after_point = 0;
  bool point = false, any_digit = false;
  for (; i < size; ++i) {
    const char c = text[i];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (!is_digit(c)) break;
    any_digit = true;
    if (point) ++after_point;
    if (count == 0 && c == '0') continue;
    ++count;
    if (!big_mul_add(&digits, 10, static_cast<uint32_t>(c - '0'))) return FloatRead::kBad;
  }
  if (!any_digit) return FloatRead::kBad;
  int exp10 = 0;
  if (i < size && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    const bool exp_negative = i < size && text[i] == '-';
    if (i < size && (text[i] == '-' || text[i] == '+')) ++i;
    if (i == size || !is_digit(text[i])) return FloatRead::kBad;
    for (; i < size && is_digit(text[i]); ++i)
      if (exp10 < 100000) exp10 = exp10 * 10 + (text[i] - '0');
    if (exp_negative) exp10 = -exp10;
  }
  if (i != size) return FloatRead::kBad;
  if (count == 0) {
    *out = negative ? -0.0f : 0.0f;
    return FloatRead::kOk;
  }
  // value = digits * 10^p, its first digit's place 10^lead.
  const int p = exp10 - after_point;
  const int lead = p + count - 1;
  // 10^39 is beyond the largest float, 3.4e38; below 10^-46 rounds to zero
  // (half the smallest subnormal is 7.0e-46).
  if (lead > 38 || lead < -46) return FloatRead::kOutOfRange;
  Big den;
  big_set(&den, 1);
  for (int k = 0; k < (p < 0 ? -p : p); ++k)
    if (!big_mul_add(p < 0 ? &den : &digits, 10, 0)) return FloatRead::kOutOfRange;
  float v;
  if (!round_quotient(digits, den, &v)) return FloatRead::kOutOfRange;
  *out = negative ? -v : v;
  return FloatRead::kOk;
}

size_t write_float(float v, char *buf) {
  if (std::isnan(v)) {
    memcpy(buf, "nan", 4);
    return 3;
  }
  const bool negative = std::signbit(v);
  if (std::isinf(v)) {
    memcpy(buf, negative ? "-inf" : "inf", negative ? 5 : 4);
    return negative ? 4 : 3;
  }
  if (v == 0.0f) {
    const char d = '0';
    return lay_out(negative, &d, 1, 0, buf);
  }
  // The fewest digits, 1 to 9, whose text reads back to v: nine always do
  // when they are the nearest nine. Should the runtime print none that do,
  // the last try stands, and "nan" if it printed nothing usable: text that
  // is refused rather than a wrong colour.
  size_t len = 0;
  for (int n = 1; n <= 9; ++n) {
    char printed[40], d[10];
    int count = 0, x = 0;
    const int r =
        print_scientific(printed, sizeof printed, n - 1, std::fabs(static_cast<double>(v)));
    if (r <= 0 || r >= static_cast<int>(sizeof printed)) continue;
    if (!split_scientific(printed, d, &count, &x)) continue;
    len = lay_out(negative, d, count, x, buf);
    float back;
    if (read_float(buf, len, &back) == FloatRead::kOk && memcmp(&back, &v, sizeof v) == 0) break;
  }
  if (len == 0) {
    memcpy(buf, "nan", 4);
    len = 3;
  }
  return len;
}
