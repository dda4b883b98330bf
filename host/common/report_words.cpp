#include "common/report_words.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace hvhost::report {

std::string printed(const char *format, ...) {
  char buf[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return buf;
}

const char *answer_word(Answer a) {
  return a == Answer::Yes ? "yes" : a == Answer::No ? "no" : "unknown";
}

bool answer_from(const std::string &word, Answer *out) {
  for (Answer a : {Answer::Unknown, Answer::Yes, Answer::No}) {
    if (word == answer_word(a)) {
      *out = a;
      return true;
    }
  }
  return false;
}

const char *under_word(UnderExcluded u) {
  switch (u) {
    case UnderExcluded::Beneath: return "beneath";
    case UnderExcluded::Black: return "black";
    case UnderExcluded::Window: return "window";
    case UnderExcluded::Other: return "other";
    case UnderExcluded::Unknown: break;
  }
  return "unknown";
}

bool under_from(const std::string &word, UnderExcluded *out) {
  for (UnderExcluded u : {UnderExcluded::Unknown, UnderExcluded::Beneath, UnderExcluded::Black,
                          UnderExcluded::Window, UnderExcluded::Other}) {
    if (word == under_word(u)) {
      *out = u;
      return true;
    }
  }
  return false;
}

namespace {

// Characters from `at` while `accept` holds, at most `most` + 1 of them.
template <typename Accept>
size_t span(const std::string &text, size_t at, size_t most, Accept accept) {
  size_t end = at;
  while (end < text.size() && end - at <= most && accept(static_cast<unsigned char>(text[end])))
    ++end;
  return end;
}

// One field of `kind` at *at; false when there is none, or it is too long.
bool field(char kind, const std::string &text, size_t *at, Fields *f) {
  const size_t start = *at;
  if (kind == '%') {
    if (start >= text.size() || text[start] != '%') return false;
    *at = start + 1;
    return true;
  }
  if (kind == 'i') {
    size_t digits = start;
    if (digits < text.size() && (text[digits] == '+' || text[digits] == '-')) ++digits;
    const size_t end = span(text, digits, 10, [](unsigned char c) { return std::isdigit(c); });
    if (end == digits || end - digits > 10 || f->ni >= Fields::kMax) return false;
    f->ints[f->ni++] = std::strtoll(text.substr(start, end - start).c_str(), nullptr, 10);
    *at = end;
    return true;
  }
  if (kind == 'x') {
    const size_t end = span(text, start, 8, [](unsigned char c) { return std::isxdigit(c); });
    if (end == start || end - start > 8 || f->ni >= Fields::kMax) return false;
    f->ints[f->ni++] = std::strtoll(text.substr(start, end - start).c_str(), nullptr, 16);
    *at = end;
    return true;
  }
  if (kind == 'f') {
    const size_t end =
        span(text, start, 24, [](unsigned char c) { return std::isdigit(c) || c == '.'; });
    if (end == start || end - start > 24 || f->nr >= Fields::kMax) return false;
    const std::string number = text.substr(start, end - start);
    char *stop = nullptr;
    const double v = std::strtod(number.c_str(), &stop);
    if (stop != number.c_str() + number.size() || !std::isfinite(v) || v > kMaxMs) return false;
    f->reals[f->nr++] = v;
    *at = end;
    return true;
  }
  if (kind == 'w') {
    const size_t end =
        span(text, start, 32, [](unsigned char c) { return std::isalnum(c) || c == '-'; });
    if (end == start || end - start > 32 || f->nw >= Fields::kMax) return false;
    f->words[f->nw++] = text.substr(start, end - start);
    *at = end;
    return true;
  }
  return false;
}

}  // namespace

bool match(const char *pattern, const std::string &text, Fields *f) {
  size_t at = 0;
  for (const char *p = pattern; *p; ++p) {
    if (*p == '%') {
      if (!field(*++p, text, &at, f)) return false;
    } else {
      if (at >= text.size() || text[at] != *p) return false;
      ++at;
    }
  }
  return at == text.size();
}

bool within_int(const Fields &f, int n) {
  for (int i = 0; i < n; ++i) {
    if (f.ints[i] < 0 || f.ints[i] > INT_MAX) return false;
  }
  return true;
}

std::string cost_text(const ReadCost &c, const char *unit, const char *what) {
  return printed("median %.3f %s, p95 %.3f %s over %d %s", c.median_ms, unit, c.p95_ms, unit,
                 c.count, what);
}

bool cost_from(const std::string &value, const char *pattern, ReadCost *c) {
  Fields f;
  if (!match(pattern, value, &f) || f.ints[0] < 0 || f.ints[0] > kMaxCount ||
      f.reals[1] < f.reals[0])
    return false;
  *c = ReadCost{f.reals[0], f.reals[1], static_cast<int>(f.ints[0])};
  return true;
}

}  // namespace hvhost::report
