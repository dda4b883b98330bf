#include "common/quote.h"

#include <cstdio>

namespace hvhost {

namespace {

void append_escaped(std::string &out, std::string_view text) {
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\\': out += "\\\\"; continue;
      case '\t': out += "\\t"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\v': out += "\\v"; continue;
      case '\f': out += "\\f"; continue;
      case '\0': out += "\\0"; continue;
      default: break;
    }
    if (c >= 0x20 && c < 0x7F) {
      out += ch;
    } else {
      char buf[5];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
}

std::string shown(std::string_view text, size_t max_bytes, bool quotes) {
  const bool cut = text.size() > max_bytes;
  std::string out;
  if (quotes) out += '\'';
  append_escaped(out, cut ? text.substr(0, max_bytes) : text);
  if (cut) out += "...";
  if (quotes) out += '\'';
  if (cut) out += " (" + std::to_string(text.size()) + " bytes)";
  return out;
}

}  // namespace

std::string escaped_text(std::string_view text, size_t max_bytes) {
  return shown(text, max_bytes, false);
}

std::string quoted_text(std::string_view text, size_t max_bytes) {
  return shown(text, max_bytes, true);
}

}  // namespace hvhost
