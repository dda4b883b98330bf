#include "eyedropper/memory_image.h"

bool memory_image_create(MemoryImage *image, HDC desktop_dc, int width, int height) {
  *image = {};
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down: row 0 first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  image->dc = CreateCompatibleDC(desktop_dc);
  if (image->dc)
    image->bitmap = CreateDIBSection(desktop_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (image->bitmap && bits) image->previous = SelectObject(image->dc, image->bitmap);
  if (!image->previous) {
    memory_image_release(image);
    return false;
  }
  image->bits = static_cast<uint32_t *>(bits);
  return true;
}

void memory_image_release(MemoryImage *image) {
  // The DC's own bitmap goes back in, and the DC goes before the section:
  // a section still selected into a DC is not deleted, and deleting the DC
  // lets it go even when putting the old bitmap back failed.
  if (image->previous) SelectObject(image->dc, image->previous);
  if (image->dc) DeleteDC(image->dc);
  if (image->bitmap) DeleteObject(image->bitmap);
  *image = {};
}
