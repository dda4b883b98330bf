// The host's binary layout, pinned field by field: every size and offset
// below is the host's published number for Windows x64, typed in from the
// host's interface description rather than derived from our header. A slot
// out of place, a record too short or a signature changed fails the build,
// native and mingw alike.
#include <stddef.h>

#include <type_traits>

#include "abi/host_api.h"

#define AT(record, field, offset) \
  static_assert(offsetof(record, field) == (offset), #record "." #field " at " #offset)
#define SIZE(record, bytes) static_assert(sizeof(record) == (bytes), #record " is " #bytes " bytes")
#define SLOT(record, field, ...) \
  static_assert(std::is_same<decltype(record::field), __VA_ARGS__>::value, #record "." #field)

// The target's basic widths: LLP64 on Windows, LP64 natively; both have
// 4-byte int and 8-byte pointers, which is all the layout depends on.
static_assert(sizeof(int) == 4 && sizeof(unsigned) == 4, "int is 4 bytes");
static_assert(sizeof(void *) == 8 && sizeof(void (*)()) == 8, "pointers are 8 bytes");
static_assert(sizeof(double) == 8 && sizeof(float) == 4, "double 8, float 4");

// ---- Module entry ---------------------------------------------------------
SIZE(ModuleDescriptor, 40);
AT(ModuleDescriptor, sysSync, 0);
AT(ModuleDescriptor, sysVersion, 4);
AT(ModuleDescriptor, sysMachine, 8);
AT(ModuleDescriptor, startup, 16);
AT(ModuleDescriptor, shutdown, 24);
AT(ModuleDescriptor, serverDefs, 32);
SLOT(ModuleDescriptor, startup, void *(*)(void));
SLOT(ModuleDescriptor, shutdown, void (*)(void *));
SLOT(ModuleDescriptor, serverDefs, ServerRecord *);

SIZE(ServerRecord, 32);
AT(ServerRecord, className, 0);
AT(ServerRecord, name, 8);
AT(ServerRecord, activate, 16);
AT(ServerRecord, tagInfo, 24);
SLOT(ServerRecord, activate, int (*)(int, void *(*)(const char *, int), void *, void *));

SIZE(ServerTagInfo, 16);
AT(ServerTagInfo, string, 0);
AT(ServerTagInfo, tag, 8);
static_assert(sizeof(ServerTagInfo::tag) == 4, "tag is 32 bits");

SIZE(LWColorPickLocal, 48);
AT(LWColorPickLocal, result, 0);
AT(LWColorPickLocal, title, 8);
AT(LWColorPickLocal, red, 16);
AT(LWColorPickLocal, green, 20);
AT(LWColorPickLocal, blue, 24);
AT(LWColorPickLocal, data, 32);
AT(LWColorPickLocal, hotFunc, 40);
SLOT(LWColorPickLocal, result, int);
SLOT(LWColorPickLocal, red, float);
SLOT(LWColorPickLocal, hotFunc, void (*)(void *, float, float, float));
SIZE(LWColorPickLocal6, 56);
AT(LWColorPickLocal6, colorSpace, 48);

// ---- "LWPanelServices" ----------------------------------------------------
SIZE(LWPanelFuncs, 104);
AT(LWPanelFuncs, create, 0);
AT(LWPanelFuncs, destroy, 8);
AT(LWPanelFuncs, open, 16);
AT(LWPanelFuncs, handle, 24);
AT(LWPanelFuncs, draw, 32);
AT(LWPanelFuncs, close, 40);
AT(LWPanelFuncs, get, 48);
AT(LWPanelFuncs, set, 56);
AT(LWPanelFuncs, addControl, 64);
AT(LWPanelFuncs, nextControl, 72);
AT(LWPanelFuncs, drawFuncs, 80);
AT(LWPanelFuncs, user_data, 88);
AT(LWPanelFuncs, globalFun, 96);
SLOT(LWPanelFuncs, create, void *(*)(char *, void *));
SLOT(LWPanelFuncs, destroy, void (*)(void *));
SLOT(LWPanelFuncs, open, int (*)(void *, int));
SLOT(LWPanelFuncs, handle, int (*)(void *, int));
SLOT(LWPanelFuncs, draw, void (*)(void *, int));
SLOT(LWPanelFuncs, close, void (*)(void *));
SLOT(LWPanelFuncs, get, void (*)(void *, int, void *));
SLOT(LWPanelFuncs, set, void (*)(void *, int, void *));
SLOT(LWPanelFuncs, addControl, LWControl *(*)(void *, char *, LWPanControlDesc *, char *));
SLOT(LWPanelFuncs, nextControl, LWControl *(*)(void *, LWControl *));
SLOT(LWPanelFuncs, drawFuncs, DrawFuncs *);
SLOT(LWPanelFuncs, user_data, void *);
SLOT(LWPanelFuncs, globalFun, void *(*)(const char *, int));

SIZE(DrawFuncs, 72);
AT(DrawFuncs, drawPixel, 0);
AT(DrawFuncs, drawRGBPixel, 8);
AT(DrawFuncs, drawLine, 16);
AT(DrawFuncs, drawBox, 24);
AT(DrawFuncs, drawRGBBox, 32);
AT(DrawFuncs, drawBorder, 40);
AT(DrawFuncs, textWidth, 48);
AT(DrawFuncs, drawText, 56);
AT(DrawFuncs, dispMetrics, 64);
SLOT(DrawFuncs, drawPixel, void (*)(void *, int, int, int));
SLOT(DrawFuncs, drawRGBPixel, void (*)(void *, int, int, int, int, int));
SLOT(DrawFuncs, drawLine, void (*)(void *, int, int, int, int, int));
SLOT(DrawFuncs, drawBox, void (*)(void *, int, int, int, int, int));
SLOT(DrawFuncs, drawRGBBox, void (*)(void *, int, int, int, int, int, int, int));
SLOT(DrawFuncs, drawBorder, void (*)(void *, int, int, int, int, int));
SLOT(DrawFuncs, textWidth, int (*)(void *, char *));
SLOT(DrawFuncs, drawText, void (*)(void *, char *, int, int, int));
SLOT(DrawFuncs, dispMetrics, const LWDisplayMetrics *(*)(void));

SIZE(LWDisplayMetrics, 32);
AT(LWDisplayMetrics, width, 0);
AT(LWDisplayMetrics, height, 4);
AT(LWDisplayMetrics, pixX, 8);
AT(LWDisplayMetrics, pixY, 12);
AT(LWDisplayMetrics, maxColors, 16);
AT(LWDisplayMetrics, depth, 20);
AT(LWDisplayMetrics, textHeight, 24);
AT(LWDisplayMetrics, textAscent, 28);

// ---- Controls and values --------------------------------------------------
SIZE(LWControl, 32);
AT(LWControl, draw, 0);
AT(LWControl, get, 8);
AT(LWControl, set, 16);
AT(LWControl, priv_data, 24);
SLOT(LWControl, draw, void (*)(LWControl *, int));
SLOT(LWControl, get, void (*)(LWControl *, int, LWValue *));
SLOT(LWControl, set, void (*)(LWControl *, int, LWValue *));
static_assert(std::is_same<LWControlID, LWControl *>::value, "a control ID is its record");

SIZE(LWValue, 40);
static_assert(alignof(LWValue) == 8, "LWValue is 8-aligned");
AT(LWValue, type, 0);
AT(LWValue, intv.type, 0);
AT(LWValue, intv.value, 4);
AT(LWValue, intv.defVal, 8);
SIZE(LWValInt, 12);
AT(LWValue, ivec.val, 4);
AT(LWValue, ivec.val[1], 8);
AT(LWValue, ivec.val[2], 12);
AT(LWValue, ivec.defVal, 16);
SIZE(LWValIVector, 20);
AT(LWValue, ptr.ptr, 8);
SIZE(LWValPointer, 16);
AT(LWValue, str.buf, 8);
AT(LWValue, str.bufLen, 16);
SIZE(LWValString, 24);
AT(LWValue, flt.value, 8);
AT(LWValue, flt.defVal, 16);
SIZE(LWValFloat, 24);
AT(LWValue, fvec.val, 8);
AT(LWValue, fvec.val[1], 16);
AT(LWValue, fvec.val[2], 24);
AT(LWValue, fvec.defVal, 32);
SIZE(LWValFVector, 40);
AT(LWValue, cust.val, 4);
SIZE(LWValCustom, 20);

SIZE(LWPanControlDesc, 48);
static_assert(alignof(LWPanControlDesc) == 8, "LWPanControlDesc is 8-aligned");
AT(LWPanControlDesc, type, 0);
AT(LWPanControlDesc, area.type, 0);
AT(LWPanControlDesc, area.width, 4);
AT(LWPanControlDesc, area.height, 8);

// ---- Callbacks the plug-in registers ---------------------------------------
static_assert(std::is_same<LWPanDrawFunc, void(void *, void *, int)>::value, "panel tag 7");
static_assert(std::is_same<LWPanHookFunc, void(void *, void *)>::value, "panel tags 8, 9, 10");
static_assert(std::is_same<LWPanKeyFunc, int(void *, void *, unsigned short)>::value,
              "panel tags 13, 21 return int");
static_assert(std::is_same<LWPanMouseFunc, void(void *, void *, int, int, int)>::value,
              "panel tags 15, 16");
static_assert(std::is_same<LWCtlEventFunc, void(LWControl *, void *)>::value, "control tag 14");

// ---- "RasterServices" -----------------------------------------------------
SIZE(LWRasterFuncs, 96);
AT(LWRasterFuncs, drawPixel, 0);
AT(LWRasterFuncs, drawRGBPixel, 8);
AT(LWRasterFuncs, drawLine, 16);
AT(LWRasterFuncs, drawBox, 24);
AT(LWRasterFuncs, drawRGBBox, 32);
AT(LWRasterFuncs, eraseBox, 40);
AT(LWRasterFuncs, drawBorder, 48);
AT(LWRasterFuncs, drawText, 56);
AT(LWRasterFuncs, create, 64);
AT(LWRasterFuncs, destroy, 72);
AT(LWRasterFuncs, blitPanel, 80);
AT(LWRasterFuncs, blitRaster, 88);
SLOT(LWRasterFuncs, drawPixel, void (*)(void *, int, int, int));
SLOT(LWRasterFuncs, drawRGBPixel, void (*)(void *, int, int, int, int, int));
SLOT(LWRasterFuncs, drawLine, void (*)(void *, int, int, int, int, int));
SLOT(LWRasterFuncs, drawBox, void (*)(void *, int, int, int, int, int));
SLOT(LWRasterFuncs, drawRGBBox, void (*)(void *, int, int, int, int, int, int, int));
SLOT(LWRasterFuncs, eraseBox, void (*)(void *, int, int, int, int));
SLOT(LWRasterFuncs, drawBorder, void (*)(void *, int, int, int, int, int));
SLOT(LWRasterFuncs, drawText, void (*)(void *, char *, int, int, int));
SLOT(LWRasterFuncs, create, void *(*)(int, int, int));
SLOT(LWRasterFuncs, destroy, void (*)(void *));
SLOT(LWRasterFuncs, blitPanel, void (*)(void *, int, int, void *, int, int, int, int));
SLOT(LWRasterFuncs, blitRaster, void (*)(void *, int, int, void *, int, int, int, int));

// ---- Tags, flags and codes --------------------------------------------------
static_assert(PAN_USERDRAW == 7 && PAN_USEROPEN == 9 && PAN_TITLE == 11 && PAN_USERDATA == 12,
              "panel tags");
static_assert(PAN_USERKEYS == 13 && PAN_MOUSEBUTTON == 15 && PAN_MOUSEMOVE == 16, "panel tags");
static_assert(PAN_USERKEYUPS == 21 && PAN_TO_FRONT == 23 && PAN_MOUSEWHEEL == 24, "panel tags");
static_assert(CTL_VALUE == 4 && CTL_HOTX == 5 && CTL_HOTY == 6 && CTL_HOTW == 7 && CTL_HOTH == 8,
              "control tags");
static_assert(CTL_USEREVENT == 14 && CTL_USERDATA == 16 && CTL_MOUSEBUTTON == 22, "control tags");
static_assert(LWT_INTEGER == 2 && LWT_VINT == 5 && LWT_AREA == 19 && LWT_POINTER == 23, "types");
static_assert(IQ_CTRL == 1 && IQ_SHIFT == 2 && IQ_ALT == 4 && IQ_CONSTRAIN == 8 && IQ_ADJUST == 16,
              "qualifier bits (mouse events and panel tag 22)");
static_assert(MOUSE_LEFT == 0x20 && MOUSE_MID == 0x40 && MOUSE_RIGHT == 0x60 && MOUSE_DOWN == 0x80,
              "mouse qualifiers");
static_assert(PANF_BLOCKING == 1 && PANF_CANCEL == 2 && PANF_NOBUTT == 64, "open flags");
static_assert(DR_ERASE == 0 && DR_RENDER == 1 && DR_REFRESH == 3, "draw modes");
static_assert(LWP_NONE == 4136 && LWP_NORMAL == 0x102B && LWP_HEADLINE == 0x102C &&
                  LWP_EDIT_SEL == 0x1032,
              "colour codes");
static_assert(LWDK_LEFT == 0x1010 && LWDK_RIGHT == 0x1011 && LWDK_UP == 0x1012 &&
                  LWDK_DOWN == 0x1013 && LWDK_RETURN == 0x1022,
              "arrow and Return key codes");
static_assert(RGB_(1, 2, 3) == 0x1010302, "an RGB colour code is r, b, g with bit 24");
static_assert(AFUNC_OK == 0 && AFUNC_BADVERSION == 1 && AFUNC_BADGLOBAL == 2 &&
                  AFUNC_BADLOCAL == 3 && AFUNC_BADAPP == 4,
              "activation results");
static_assert(MOD_SYSSYNC == 0x04121994u && LWCOLORPICK_VERSION == 4, "module entry");
