/* What the conformance host's service files share: the objects handed out,
   the handle checks and the count of every slot called. */
#ifndef SDK_HOST_SDK_INTERNAL_H
#define SDK_HOST_SDK_INTERNAL_H

#include <stddef.h>
#include <string.h>

#include "sdk_services.h"

#define SDK_SLOTS(X)                   \
  X(LOOKUP, "lookup")                  \
  X(CREATE, "create")                  \
  X(DESTROY, "destroy")                \
  X(OPEN, "open")                      \
  X(HANDLE, "handle")                  \
  X(DRAW, "draw")                      \
  X(CLOSE, "close")                    \
  X(GET, "get")                        \
  X(SET, "set")                        \
  X(ADD, "addControl")                 \
  X(NEXT, "nextControl")               \
  X(PIXEL, "drawPixel")                \
  X(RGBPIXEL, "drawRGBPixel")          \
  X(LINE, "drawLine")                  \
  X(BOX, "drawBox")                    \
  X(RGBBOX, "drawRGBBox")              \
  X(BORDER, "drawBorder")              \
  X(TEXTWIDTH, "textWidth")            \
  X(TEXT, "drawText")                  \
  X(METRICS, "dispMetrics")            \
  X(CTL_DRAW, "control.draw")          \
  X(CTL_GET, "control.get")            \
  X(CTL_SET, "control.set")            \
  X(R_PIXEL, "raster.drawPixel")       \
  X(R_RGBPIXEL, "raster.drawRGBPixel") \
  X(R_LINE, "raster.drawLine")         \
  X(R_BOX, "raster.drawBox")           \
  X(R_RGBBOX, "raster.drawRGBBox")     \
  X(R_ERASE, "raster.eraseBox")        \
  X(R_BORDER, "raster.drawBorder")     \
  X(R_TEXT, "raster.drawText")         \
  X(R_CREATE, "raster.create")         \
  X(R_DESTROY, "raster.destroy")       \
  X(R_BLITPANEL, "raster.blitPanel")   \
  X(R_BLITRASTER, "raster.blitRaster")

enum {
#define SDK_SLOT_ID(id, name) C_##id,
  SDK_SLOTS(SDK_SLOT_ID) C_COUNT
#undef SDK_SLOT_ID
};
extern long sdk_calls[C_COUNT];

extern SdkPanel *sdk_panel_list;
extern SdkRaster *sdk_raster_list;

/* The object behind a handle, or null after a failure naming the slot. */
SdkPanel *sdk_panel_of(LWPanelID id, const char *slot);
SdkRaster *sdk_raster_of(LWRasterID id, const char *slot);
SdkControl *sdk_control_of(LWControlID id, const char *slot);

void sdk_copy_text(char *dst, size_t size, const char *src);
void sdk_free_panel(SdkPanel *p);

/* Callbacks travel as object pointers in this interface. */
#define AS_FN(ptr, out)               \
  do {                                \
    void *p_ = (ptr);                 \
    memcpy(&(out), &p_, sizeof(out)); \
  } while (0)

#endif /* SDK_HOST_SDK_INTERNAL_H */
