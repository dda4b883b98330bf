// User text in messages: at most a few dozen bytes of it, with every byte
// that would not show (control characters, bytes outside ASCII such as a
// byte-order mark) written as an escape, so "ok\f" is not mistaken for "ok"
// and a 10 MB token does not become a 10 MB message.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hvhost {

// Bytes of user text a message shows before it cuts the text short.
inline constexpr size_t kQuotedBytes = 40;

// The text with printable ASCII as it is, a backslash as "\\", tab, line
// feed, carriage return, vertical tab, form feed and NUL as "\t", "\n", "\r",
// "\v", "\f", "\0" and any other byte as "\xNN". Longer text shows its first
// max_bytes bytes followed by "... (N bytes)".
std::string escaped_text(std::string_view text, size_t max_bytes = kQuotedBytes);

// The same in single quotes: 'ok\f', 'aaaa...' (10485760 bytes).
std::string quoted_text(std::string_view text, size_t max_bytes = kQuotedBytes);

}  // namespace hvhost
