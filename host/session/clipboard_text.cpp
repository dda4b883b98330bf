#include "session/clipboard_text.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "desktop.h"
#endif

namespace hvhost {

namespace {

constexpr size_t kMaxShownBytes = size_t{64} << 10;

std::string up_to_nul(const char *bytes, size_t size) {
  size = std::min(size, kMaxShownBytes);
  const void *nul = std::memchr(bytes, '\0', size);
  return std::string(bytes, nul ? static_cast<const char *>(nul) - bytes : size);
}

}  // namespace

#ifdef _WIN32

bool set_clipboard_text(const std::string &text) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (!memory) return false;
  if (void *p = GlobalLock(memory)) {
    std::memcpy(p, text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
  }
  // Opened without an owner, the clipboard may refuse data after
  // EmptyClipboard; the host's console window owns it when there is one.
  bool set = false;
  if (OpenClipboard(GetConsoleWindow())) {
    EmptyClipboard();
    set = SetClipboardData(CF_TEXT, memory) != nullptr;
    CloseClipboard();
  }
  if (!set) GlobalFree(memory);
  return set;
}

std::optional<std::string> clipboard_text() {
  if (!OpenClipboard(nullptr)) return std::nullopt;
  std::optional<std::string> text;
  HANDLE memory = GetClipboardData(CF_TEXT);
  if (const char *p = memory ? static_cast<const char *>(GlobalLock(memory)) : nullptr) {
    text = up_to_nul(p, GlobalSize(memory));
    GlobalUnlock(memory);
  }
  CloseClipboard();
  return text;
}

#else

bool set_clipboard_text(const std::string &text) {
  return desktop_set_clipboard(text.c_str(), text.size() + 1) != 0;
}

std::optional<std::string> clipboard_text() {
  const char *bytes = nullptr;
  size_t size = 0;
  if (!desktop_clipboard(&bytes, &size)) return std::nullopt;
  return up_to_nul(bytes, size);
}

#endif

}  // namespace hvhost
