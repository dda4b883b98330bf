// The simulated desktop's clipboard, the global memory its data lives in,
// and the keyboard's key state: the Win32 functions of the stand-in for
// them, and their part of the control interface.

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "desktop_state.h"

using namespace desktop_detail;

namespace {

inline constexpr size_t kMaxClipboardBytes = size_t{1} << 20;
// Bytes GlobalAlloc leaves in a block it does not clear, so that reading
// what was never written shows.
inline constexpr char kUnwritten = static_cast<char>(0xCD);

struct Block {
  std::vector<char> bytes;
  int locks = 0;
};

struct Clipboard {
  std::map<uintptr_t, Block> blocks;  // live global memory
  uintptr_t blocks_made = 0;
  bool open = false;
  HWND opened_for = nullptr;
  bool owner_lost = false;              // emptied while opened without an owner
  bool none_active = false;             // GetActiveWindow answers null
  std::set<uintptr_t> message_windows;  // alive
  uintptr_t message_windows_made = 0;
  uintptr_t text = 0;  // the CF_TEXT block, which the clipboard owns; 0: none
  int misuse = 0;
  FailCountdown fail_open, fail_alloc, fail_set;
};

Clipboard &board() {
  static Clipboard c;
  return c;
}

Block *block(uintptr_t handle) {
  auto it = board().blocks.find(handle);
  return it == board().blocks.end() ? nullptr : &it->second;
}

void drop_text() {
  Clipboard &c = board();
  if (c.text) c.blocks.erase(c.text);
  c.text = 0;
}

}  // namespace

namespace desktop_detail {

void clipboard_reset() { board() = Clipboard{}; }

bool clipboard_fail_call(int point, int nth) {
  Clipboard &c = board();
  switch (point) {
    case DESKTOP_FAIL_OPEN_CLIPBOARD: c.fail_open.arm(nth); return true;
    case DESKTOP_FAIL_GLOBAL_ALLOC: c.fail_alloc.arm(nth); return true;
    case DESKTOP_FAIL_SET_CLIPBOARD: c.fail_set.arm(nth); return true;
  }
  return false;
}

bool clipboard_fail_pending(int point, int *pending) {
  Clipboard &c = board();
  switch (point) {
    case DESKTOP_FAIL_OPEN_CLIPBOARD: *pending = c.fail_open.pending(); return true;
    case DESKTOP_FAIL_GLOBAL_ALLOC: *pending = c.fail_alloc.pending(); return true;
    case DESKTOP_FAIL_SET_CLIPBOARD: *pending = c.fail_set.pending(); return true;
  }
  return false;
}

}  // namespace desktop_detail

// Message-only windows, which CreateWindowExA and DestroyWindow
// (windows.cpp) hand here.
namespace desktop_detail {

HWND create_message_window(DWORD ex_style, LPCSTR class_name, DWORD style, HWND parent) {
  Clipboard &c = board();
  Ticket t = begin_call(kCreateWindowExA);
  // Only message-only windows of a system class are made here.
  const bool ok = parent == HWND_MESSAGE && class_name && std::strcmp(class_name, "STATIC") == 0 &&
                  c.message_windows.size() < 64;
  const uintptr_t h = ok ? kMessageWindowBase + ++c.message_windows_made : 0;
  if (ok) c.message_windows.insert(h);
  end_call(t, {static_cast<intptr_t>(ex_style), static_cast<intptr_t>(style)}, as_int(h),
           "CreateWindowExA(0x%lx, \"%.24s\", 0x%lx, parent %s) = %s",
           static_cast<unsigned long>(ex_style), class_name ? class_name : "null",
           static_cast<unsigned long>(style), parent == HWND_MESSAGE ? "message" : "other",
           object_name(h));
  return to_handle<HWND>(h);
}

bool is_message_window(uintptr_t h) { return board().message_windows.count(h) == 1; }

BOOL destroy_message_window(HWND hwnd) {
  Clipboard &c = board();
  Ticket t = begin_call(kDestroyWindow);
  const uintptr_t h = from_handle(hwnd);
  const BOOL ok = c.message_windows.erase(h) == 1;
  end_call(t, {as_int(h)}, ok, "DestroyWindow(%s) = %d", object_name(h), ok);
  return ok;
}

}  // namespace desktop_detail

extern "C" {

HWND WINAPI GetActiveWindow(void) {
  Ticket t = begin_call(kGetActiveWindow);
  HWND active = board().none_active ? nullptr : DESKTOP_ACTIVE_WINDOW;
  end_call(t, {}, handle_int(active), "GetActiveWindow() = %s", active ? "panel" : "null");
  return active;
}

BOOL WINAPI OpenClipboard(HWND owner) {
  Clipboard &c = board();
  Ticket t = begin_call(kOpenClipboard);
  // The owner is null, the host's panel, or a live window of the
  // plug-in's; any other handle is refused, as Windows refuses a window
  // that is not there.
  const uintptr_t h = from_handle(owner);
  const bool owner_ok = !owner || owner == DESKTOP_ACTIVE_WINDOW || c.message_windows.count(h) == 1;
  const BOOL ok = owner_ok && !c.open && !c.fail_open.fire();
  if (ok) {
    c.open = true;
    c.opened_for = owner;
  }
  end_call(t, {handle_int(owner)}, ok, "OpenClipboard(%s) = %d",
           !owner                           ? "null"
           : owner == DESKTOP_ACTIVE_WINDOW ? "panel"
                                            : object_name(h),
           ok);
  return ok;
}

BOOL WINAPI CloseClipboard(void) {
  Clipboard &c = board();
  Ticket t = begin_call(kCloseClipboard);
  const BOOL ok = c.open;
  c.open = false;
  end_call(t, {}, ok, "CloseClipboard() = %d", ok);
  return ok;
}

BOOL WINAPI EmptyClipboard(void) {
  Clipboard &c = board();
  Ticket t = begin_call(kEmptyClipboard);
  const BOOL ok = c.open;
  if (ok) {
    drop_text();
    c.owner_lost = c.opened_for == nullptr;
  }
  end_call(t, {}, ok, "EmptyClipboard() = %d", ok);
  return ok;
}

HANDLE WINAPI GetClipboardData(UINT format) {
  Clipboard &c = board();
  Ticket t = begin_call(kGetClipboardData);
  const uintptr_t h = c.open && format == CF_TEXT ? c.text : 0;
  end_call(t, {static_cast<intptr_t>(format)}, as_int(h), "GetClipboardData(%u) = %s", format,
           object_name(h));
  return to_handle<HANDLE>(h);
}

HANDLE WINAPI SetClipboardData(UINT format, HANDLE memory) {
  Clipboard &c = board();
  Ticket t = begin_call(kSetClipboardData);
  const uintptr_t h = from_handle(memory);
  const bool ok =
      c.open && !c.owner_lost && format == CF_TEXT && block(h) && h != c.text && !c.fail_set.fire();
  if (ok) {
    drop_text();
    c.text = h;
  }
  end_call(t, {static_cast<intptr_t>(format), as_int(h)}, ok ? as_int(h) : 0,
           "SetClipboardData(%u, %s) = %s", format, object_name(h), ok ? object_name(h) : "null");
  return ok ? memory : nullptr;
}

SHORT WINAPI GetKeyState(int virtual_key) {
  Ticket t = begin_call(kGetKeyState);
  const bool down = virtual_key >= 0 && virtual_key < 256 && state().key_down[virtual_key];
  const SHORT state = down ? static_cast<SHORT>(-32768) : 0;
  end_call(t, {virtual_key}, state, "GetKeyState(0x%x) = %d", static_cast<unsigned>(virtual_key),
           state);
  return state;
}

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
  Clipboard &c = board();
  Ticket t = begin_call(kGlobalAlloc);
  uintptr_t h = 0;
  if (bytes <= kMaxClipboardBytes && !c.fail_alloc.fire()) {
    h = kGlobalBase + ++c.blocks_made;
    c.blocks[h].bytes.assign(bytes, kUnwritten);
  }
  end_call(t, {static_cast<intptr_t>(flags), static_cast<intptr_t>(bytes)}, as_int(h),
           "GlobalAlloc(0x%x, %zu) = %s", flags, bytes, object_name(h));
  return to_handle<HGLOBAL>(h);
}

LPVOID WINAPI GlobalLock(HGLOBAL memory) {
  Ticket t = begin_call(kGlobalLock);
  Block *b = block(from_handle(memory));
  char *p = nullptr;
  if (b) {
    ++b->locks;
    p = b->bytes.data();
  }
  end_call(t, {handle_int(memory)}, reinterpret_cast<intptr_t>(p), "GlobalLock(%s) = %s",
           object_name(from_handle(memory)), p ? "bytes" : "null");
  return p;
}

BOOL WINAPI GlobalUnlock(HGLOBAL memory) {
  Ticket t = begin_call(kGlobalUnlock);
  Block *b = block(from_handle(memory));
  if (b && b->locks > 0) --b->locks;
  const BOOL still_locked = b && b->locks > 0;
  end_call(t, {handle_int(memory)}, still_locked, "GlobalUnlock(%s) = %d",
           object_name(from_handle(memory)), still_locked);
  return still_locked;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL memory) {
  Clipboard &c = board();
  Ticket t = begin_call(kGlobalFree);
  const uintptr_t h = from_handle(memory);
  const bool ok = block(h) && h != c.text;
  if (ok)
    c.blocks.erase(h);
  else
    ++c.misuse;
  end_call(t, {as_int(h)}, ok ? 0 : as_int(h), "GlobalFree(%s) = %s", object_name(h),
           ok ? "null" : object_name(h));
  return ok ? nullptr : memory;
}

BOOL WINAPI MessageBeep(UINT type) {
  Ticket t = begin_call(kMessageBeep);
  end_call(t, {static_cast<intptr_t>(type)}, 1, "MessageBeep(0x%x) = 1", type);
  return 1;
}

SIZE_T WINAPI GlobalSize(HGLOBAL memory) {
  Ticket t = begin_call(kGlobalSize);
  Block *b = block(from_handle(memory));
  const size_t size = b ? b->bytes.size() : 0;
  end_call(t, {handle_int(memory)}, static_cast<intptr_t>(size), "GlobalSize(%s) = %zu",
           object_name(from_handle(memory)), size);
  return size;
}

void desktop_set_no_active_window(int none) { board().none_active = none != 0; }

int desktop_message_windows(void) { return static_cast<int>(board().message_windows.size()); }

int desktop_set_clipboard(const void *bytes, size_t size) {
  Clipboard &c = board();
  if (bytes && size > kMaxClipboardBytes) return 0;
  drop_text();
  if (!bytes) return 1;
  c.text = kGlobalBase + ++c.blocks_made;
  std::vector<char> &v = c.blocks[c.text].bytes;
  v.assign(static_cast<const char *>(bytes), static_cast<const char *>(bytes) + size);
  return 1;
}

int desktop_clipboard(const char **bytes, size_t *size) {
  Block *b = board().text ? block(board().text) : nullptr;
  if (!b) return 0;
  *bytes = b->bytes.data();
  *size = b->bytes.size();
  return 1;
}

int desktop_clipboard_open(void) { return board().open ? 1 : 0; }

int desktop_outstanding_globals(void) {
  const Clipboard &c = board();
  return static_cast<int>(c.blocks.size()) - (c.text ? 1 : 0);
}

int desktop_global_misuse(void) { return board().misuse; }

}  // extern "C"
