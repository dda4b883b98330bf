// The clipboard's text as the front ends preset and show it: the system's
// on Windows, the simulated desktop's elsewhere.
#pragma once

#include <optional>
#include <string>

namespace hvhost {

// Puts text (a NUL is added) on the clipboard as CF_TEXT; false when the
// clipboard cannot be opened or set.
bool set_clipboard_text(const std::string &text);
// The clipboard's CF_TEXT up to its NUL (at most 64 KiB), or nothing when it
// holds no text or cannot be opened.
std::optional<std::string> clipboard_text();

}  // namespace hvhost
