/* "RasterServices": rasters as arrays of 0xRRGGBB pixels, every drawing call
   clipped to the raster; blits onto panels are recorded per raster. */
#include <stdlib.h>

#include "sdk_internal.h"

/* Host colour codes: system palette entries and RGB-coded colours. */
static uint32_t color_of(int code) {
  if (code & 0x1000000) {
    const uint32_t r = ((unsigned)code >> 16) & 255, b = ((unsigned)code >> 8) & 255,
                   g = (unsigned)code & 255;
    return r << 16 | g << 8 | b;
  }
  switch (code) {
    case 4139: return 0x000000; /* normal text */
    case 4140: return 0xffffff; /* headline text */
    case 4146: return 0xffff99; /* edit selection */
    default: return 0x9a9a9a;   /* panel background and the rest */
  }
}

/* Clipped to the raster; coordinates anywhere in the int range. */
static void fill(SdkRaster *r, uint32_t c, long long x, long long y, long long w, long long h) {
  const long long x0 = x < 0 ? 0 : x, y0 = y < 0 ? 0 : y;
  const long long x1 = x + w > r->w ? r->w : x + w, y1 = y + h > r->h ? r->h : y + h;
  for (long long j = y0; j < y1; ++j)
    for (long long i = x0; i < x1; ++i) r->pixels[j * r->w + i] = c;
}

static void r_pixel(LWRasterID id, int color, int x, int y) {
  ++sdk_calls[C_R_PIXEL];
  SdkRaster *r = sdk_raster_of(id, "raster.drawPixel");
  if (r) fill(r, color_of(color), x, y, 1, 1);
}
static void r_rgbpixel(LWRasterID id, int red, int g, int b, int x, int y) {
  ++sdk_calls[C_R_RGBPIXEL];
  SdkRaster *r = sdk_raster_of(id, "raster.drawRGBPixel");
  if (r) fill(r, (uint32_t)(red & 255) << 16 | (uint32_t)(g & 255) << 8 | (b & 255), x, y, 1, 1);
}
static void r_line(LWRasterID id, int color, int x, int y, int x2, int y2) {
  ++sdk_calls[C_R_LINE];
  SdkRaster *r = sdk_raster_of(id, "raster.drawLine");
  if (!r) return;
  /* Horizontal and vertical lines are all that is drawn into rasters here;
     others are drawn as their bounding box's first row. */
  const int lx = x < x2 ? x : x2, ly = y < y2 ? y : y2;
  if (x == x2)
    fill(r, color_of(color), x, ly, 1, llabs((long long)y2 - y) + 1);
  else
    fill(r, color_of(color), lx, y, llabs((long long)x2 - x) + 1, 1);
}
static void r_box(LWRasterID id, int color, int x, int y, int w, int h) {
  ++sdk_calls[C_R_BOX];
  SdkRaster *r = sdk_raster_of(id, "raster.drawBox");
  if (r) fill(r, color_of(color), x, y, w, h);
}
static void r_rgbbox(LWRasterID id, int red, int g, int b, int x, int y, int w, int h) {
  ++sdk_calls[C_R_RGBBOX];
  SdkRaster *r = sdk_raster_of(id, "raster.drawRGBBox");
  if (r) fill(r, (uint32_t)(red & 255) << 16 | (uint32_t)(g & 255) << 8 | (b & 255), x, y, w, h);
}
static void r_erase(LWRasterID id, int x, int y, int w, int h) {
  ++sdk_calls[C_R_ERASE];
  SdkRaster *r = sdk_raster_of(id, "raster.eraseBox");
  if (r) fill(r, color_of(4138), x, y, w, h);
}
static void r_border(LWRasterID id, int indent, int x, int y, int w, int h) {
  (void)indent;
  ++sdk_calls[C_R_BORDER];
  SdkRaster *r = sdk_raster_of(id, "raster.drawBorder");
  if (!r) return;
  fill(r, 0x404040, x, y, w, 1);
  if (h == 0) return; /* a divider */
  fill(r, 0x404040, x, (long long)y + h - 1, w, 1);
  fill(r, 0x404040, x, y, 1, h);
  fill(r, 0x404040, (long long)x + w - 1, y, 1, h);
}
static void r_text(LWRasterID id, char *text, int color, int x, int y) {
  (void)color, (void)x, (void)y;
  ++sdk_calls[C_R_TEXT];
  sdk_raster_of(id, "raster.drawText");
  if (!text) sdk_fail("raster.drawText: null text");
}
static LWRasterID r_create(int w, int h, int flags) {
  (void)flags;
  ++sdk_calls[C_R_CREATE];
  if (w <= 0 || h <= 0 || w > 8192 || h > 8192) {
    sdk_fail("raster.create: size %d x %d", w, h);
    return NULL;
  }
  SdkRaster *r = calloc(1, sizeof *r);
  if (!r || !(r->pixels = calloc((size_t)w * (size_t)h, sizeof *r->pixels)))
    sdk_fatal("out of memory");
  r->w = w;
  r->h = h;
  r->next = sdk_raster_list;
  sdk_raster_list = r;
  return r;
}
static void r_destroy(LWRasterID id) {
  ++sdk_calls[C_R_DESTROY];
  for (SdkRaster **at = &sdk_raster_list; *at; at = &(*at)->next)
    if (*at == id) {
      SdkRaster *r = *at;
      *at = r->next;
      for (SdkPanel *p = sdk_panel_list; p; p = p->next) /* forget its blits */
        for (int i = 0; i < p->blit_count; ++i)
          if (p->blits[i].raster == r) p->blits[i--] = p->blits[--p->blit_count];
      free(r->pixels);
      free(r);
      return;
    }
  sdk_fail("raster.destroy: %p is not a raster of this host", id);
}
static void r_blitpanel(LWRasterID id, int sx, int sy, LWPanelID pid, int dx, int dy, int w,
                        int h) {
  ++sdk_calls[C_R_BLITPANEL];
  SdkRaster *r = sdk_raster_of(id, "raster.blitPanel");
  SdkPanel *p = sdk_panel_of(pid, "raster.blitPanel");
  if (!r || !p) return;
  if (sx < 0 || sy < 0 || w < 0 || h < 0 || (long long)sx + w > r->w || (long long)sy + h > r->h)
    sdk_fail("raster.blitPanel: source %d,%d %d x %d outside the %d x %d raster", sx, sy, w, h,
             r->w, r->h);
  int i = 0;
  while (i < p->blit_count && p->blits[i].raster != r) ++i;
  if (i == SDK_MAX_BLITS) {
    sdk_fail("raster.blitPanel: more than %d rasters", i);
    return;
  }
  if (i == p->blit_count) p->blits[p->blit_count++] = (SdkBlit){r, 0, 0, 0, 0, 0};
  SdkBlit *b = &p->blits[i];
  b->dst_x = dx, b->dst_y = dy, b->w = w, b->h = h;
  ++b->count;
}
static void r_blitraster(LWRasterID id, int sx, int sy, LWRasterID did, int dx, int dy, int w,
                         int h) {
  ++sdk_calls[C_R_BLITRASTER];
  SdkRaster *r = sdk_raster_of(id, "raster.blitRaster"),
            *d = sdk_raster_of(did, "raster.blitRaster");
  if (!r || !d) return;
  /* Only the part of the source that lies inside the raster is copied. */
  const long long i0 = sx < 0 ? -(long long)sx : 0, j0 = sy < 0 ? -(long long)sy : 0;
  const long long i1 = w < (long long)r->w - sx ? w : (long long)r->w - sx;
  const long long j1 = h < (long long)r->h - sy ? h : (long long)r->h - sy;
  for (long long j = j0; j < j1; ++j)
    for (long long i = i0; i < i1; ++i)
      fill(d, r->pixels[(sy + j) * r->w + sx + i], dx + i, dy + j, 1, 1);
}

uint32_t sdk_raster_pixel(const SdkRaster *r, int x, int y) {
  return x >= 0 && y >= 0 && x < r->w && y < r->h ? r->pixels[y * r->w + x] : 0;
}

LWRasterFuncs sdk_raster_funcs = {r_pixel,  r_rgbpixel, r_line,      r_box,
                                  r_rgbbox, r_erase,    r_border,    r_text,
                                  r_create, r_destroy,  r_blitpanel, r_blitraster};
