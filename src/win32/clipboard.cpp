#include "win32/clipboard.h"

#include <string.h>

#include "win32/win32.h"

// The clipboard takes data only from an owner window (opened for none,
// EmptyClipboard leaves it without an owner and SetClipboardData fails),
// and no window of the host's need be active when the picker's key comes.
// So the copy makes a window of its own for the while: message-only (never
// shown, never hit), of the system's STATIC class. The text stays on the
// clipboard once its owner is gone.
static HWND owner_window_create(void) {
  return CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

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
  HWND owner = owner_window_create();
  if (!owner || !OpenClipboard(owner)) {
    GlobalFree(memory);
    if (owner) DestroyWindow(owner);
    return false;
  }
  EmptyClipboard();
  // Once set, the memory is the clipboard's; only a refusal leaves it ours.
  const bool set = SetClipboardData(CF_TEXT, memory) != nullptr;
  if (!set) GlobalFree(memory);
  CloseClipboard();
  DestroyWindow(owner);
  return set;
}

long clipboard_get_text(char *buf, size_t capacity) {
  // Reading needs no owner.
  if (!OpenClipboard(nullptr)) return -1;
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

void refusal_beep(void) { MessageBeep(MB_OK); }

bool ctrl_key_down(void) { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }
