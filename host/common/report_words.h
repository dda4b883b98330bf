// What the report's writers and readers share: the words for its answers,
// printf into a string, and matching a text line's value against a pattern
// of literal text and fields.
#pragma once

#include <string>

#include "common/machine_report.h"

namespace hvhost::report {

// A figure past ten minutes is not a measurement.
inline constexpr double kMaxMs = 600000;
inline constexpr int kMaxMonitors = 16;
inline constexpr int kMaxSide = 16384;
inline constexpr long long kMaxCount = 1000000;

std::string printed(const char *format, ...) __attribute__((format(printf, 1, 2)));

// A line's value and its verdict, as written.
inline std::string with_verdict(const std::string &value, const std::string &verdict) {
  return value + " -- " + verdict;
}

const char *answer_word(Answer a);  // yes, no, unknown
bool answer_from(const std::string &word, Answer *out);
const char *under_word(UnderExcluded u);  // beneath, black, window, other, unknown
bool under_from(const std::string &word, UnderExcluded *out);

// The fields a value matched: %i a whole number with an optional sign (at
// most 10 digits), %f a decimal (at most 24 characters, 0..kMaxMs), %w a
// word of letters, digits and '-' (at most 32), %x a hexadecimal number
// (at most 8 digits), %% a percent sign. Nothing is converted that could
// overflow its type.
struct Fields {
  static constexpr int kMax = 12;
  long long ints[kMax] = {};
  double reals[kMax] = {};
  std::string words[kMax];
  int ni = 0, nr = 0, nw = 0;
};

// Whether `text` is the pattern, whole; *f holds the fields.
bool match(const char *pattern, const std::string &text, Fields *f);

// Whether the first n whole numbers are 0..INT_MAX, so that they are kept
// as read (a %i field may hold ten digits).
bool within_int(const Fields &f, int n);

// A cost as "median X UNIT, p95 Y UNIT over N WHAT", and read back from a
// pattern with %f, %f and %i in that order (N 0..kMaxCount, p95 >= median).
std::string cost_text(const ReadCost &c, const char *unit, const char *what);
bool cost_from(const std::string &value, const char *pattern, ReadCost *c);

}  // namespace hvhost::report
