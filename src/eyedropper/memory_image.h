// A 32-bit top-down DIB section selected into a memory DC: the screen
// block, the frozen picture and its loupe are each one.
#pragma once

#include <stdint.h>

#include "win32/win32.h"

struct MemoryImage {
  HDC dc;            // the memory DC; null when it could not be made
  HBITMAP bitmap;    // the section selected into it
  HGDIOBJ previous;  // what the DC held before
  uint32_t *bits;    // the section's pixels, 0x00RRGGBB, top-down
};

// Makes the DC and a width x height section, compatible with the desktop's
// DC. Returns false, having kept nothing, when any of them cannot be had.
bool memory_image_create(MemoryImage *image, HDC desktop_dc, int width, int height);
// Gives back what create made and clears the record; safe on one not made.
void memory_image_release(MemoryImage *image);
