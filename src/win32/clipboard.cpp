#include "win32/clipboard.h"

#include <string.h>

#include "win32/win32.h"

// The owner the clipboard is opened for: the picker's window when the
// host's thread has it active. Data set while the clipboard is opened
// without an owner may be refused.
static HWND clipboard_owner(void) { return GetActiveWindow(); }

bool clipboard_put_text(const char *text, size_t size) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size + 1);
  if (!memory) return false;
  char *bytes = static_cast<char *>(GlobalLock(memory));
  if (!bytes) {
    GlobalFree(memory);
    return false;
  }
  memcpy(bytes, text, size);
  bytes[size] = '\0';
  GlobalUnlock(memory);
  if (!OpenClipboard(clipboard_owner())) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  // Once set, the memory is the clipboard's; only a refusal leaves it ours.
  const bool set = SetClipboardData(CF_TEXT, memory) != nullptr;
  if (!set) GlobalFree(memory);
  CloseClipboard();
  return set;
}

long clipboard_get_text(char *buf, size_t capacity) {
  if (!OpenClipboard(clipboard_owner())) return -1;
  long length = -1;
  // The clipboard owns this memory: it is read, never freed.
  HANDLE memory = GetClipboardData(CF_TEXT);
  const char *bytes = memory ? static_cast<const char *>(GlobalLock(memory)) : nullptr;
  if (bytes) {
    // Text put there by others need not end in a NUL within its memory.
    const size_t size = GlobalSize(memory);
    const void *nul = memchr(bytes, '\0', size < capacity ? size : capacity);
    const size_t n = nul ? static_cast<size_t>(static_cast<const char *>(nul) - bytes) : size;
    if (n < capacity) {
      memcpy(buf, bytes, n);
      buf[n] = '\0';
      length = static_cast<long>(n);
    }
    GlobalUnlock(memory);
  }
  CloseClipboard();
  return length;
}

bool ctrl_key_down(void) { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }
