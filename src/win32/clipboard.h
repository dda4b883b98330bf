// The Windows clipboard as text, and the Ctrl key's state, through the Win32
// seam.
#pragma once

#include <stddef.h>

// Puts `size` bytes of text (plus a NUL) on the clipboard as CF_TEXT,
// replacing what it held. False, with the clipboard unchanged, when it
// cannot be opened or the memory cannot be had.
bool clipboard_put_text(const char *text, size_t size);

// Copies the clipboard's CF_TEXT into buf (capacity bytes, at least 1) up to
// its NUL or the end of its memory, and NUL-terminates it. Returns the
// text's length, or -1 when there is no text, the clipboard cannot be
// opened, or the text does not fit in capacity - 1 bytes.
long clipboard_get_text(char *buf, size_t capacity);

// The user's sign that an action was refused: the default beep.
void refusal_beep(void);

// The Ctrl key is down, as the system's key state has it for this thread.
bool ctrl_key_down(void);
