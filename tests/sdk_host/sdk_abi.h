/* The host's records and tables as its published plug-in interface gives
   them (Windows x64; the same widths natively on LP64), typed in on their own
   so that this host shares nothing with the plug-in's headers. Every size and
   offset is asserted below, in the native and in the Windows build. */
#ifndef SDK_HOST_SDK_ABI_H
#define SDK_HOST_SDK_ABI_H

#include <stddef.h>
#include <stdint.h>

/* ---- Module entry ---------------------------------------------------------- */

#define SDK_SYS_SYNC 0x04121994u
#define SDK_COLORPICK_CLASS "ColorPicker"
#define SDK_COLORPICK_VERSION 4 /* the version whose request is below */
#define SDK_COLORPICK_NEWEST 6  /* what current hosts offer first */

typedef void *GlobalFunc(const char *serviceName, int useMode);
typedef int ActivateFunc(int version, GlobalFunc *global, void *local, void *serverData);

typedef struct {
  const char *string;
  uint32_t tag;
} ServerTagInfo;

typedef struct {
  const char *className;
  const char *name;
  ActivateFunc *activate;
  ServerTagInfo *tagInfo;
} ServerRecord;

typedef struct {
  uint32_t sysSync;
  uint32_t sysVersion;
  uint32_t sysMachine;
  void *(*startup)(void);
  void (*shutdown)(void *);
  ServerRecord *serverDefs;
} ModuleDescriptor;

typedef struct {
  int result;
  const char *title;
  float red, green, blue;
  void *data;
  void (*hotFunc)(void *data, float r, float g, float b);
} LWColorPickLocal;

/* Version 6: the same record, then the host's colour space (UTF-8). */
typedef struct {
  LWColorPickLocal v4;
  const char *colorSpace;
} LWColorPickLocal6;

/* ---- Values, descriptions, controls ---------------------------------------- */

typedef void *LWPanelID;
typedef struct LWControl LWControl;
typedef LWControl *LWControlID;
typedef void *LWRasterID;

typedef union {
  int type;
  struct {
    int type;
    int value;
    int defVal;
  } intv;
  struct {
    int type;
    int val[3];
    int defVal;
  } ivec;
  struct {
    int type;
    void *ptr;
  } ptr;
  struct {
    int type;
    char *buf;
    int bufLen;
  } str;
  struct {
    int type;
    double value;
    double defVal;
  } flt;
  struct {
    int type;
    double val[3];
    double defVal;
  } fvec;
  struct {
    int type;
    int val[4];
  } cust;
} LWValue;

typedef union {
  int type;
  struct {
    int type;
    int width, height;
  } area;
  void *whole_[6];
} LWPanControlDesc;

struct LWControl {
  void (*draw)(LWControlID, int mode);
  void (*get)(LWControlID, int tag, LWValue *);
  void (*set)(LWControlID, int tag, LWValue *);
  void *priv_data;
};

#define LWT_INTEGER 2
#define LWT_VINT 5
#define LWT_AREA 19

/* ---- "LWPanelServices" and its drawing table -------------------------------- */

typedef struct {
  int width, height, pixX, pixY, maxColors, depth, textHeight, textAscent;
} LWDisplayMetrics;

typedef struct {
  void (*drawPixel)(LWPanelID, int color, int x, int y);
  void (*drawRGBPixel)(LWPanelID, int r, int g, int b, int x, int y);
  void (*drawLine)(LWPanelID, int color, int x, int y, int x2, int y2);
  void (*drawBox)(LWPanelID, int color, int x, int y, int w, int h);
  void (*drawRGBBox)(LWPanelID, int r, int g, int b, int x, int y, int w, int h);
  void (*drawBorder)(LWPanelID, int indent, int x, int y, int w, int h);
  int (*textWidth)(LWPanelID, char *text);
  void (*drawText)(LWPanelID, char *text, int color, int x, int y);
  const LWDisplayMetrics *(*dispMetrics)(void);
} DrawFuncs;

typedef struct {
  LWPanelID (*create)(char *title, void *panelFuncs);
  void (*destroy)(LWPanelID);
  int (*open)(LWPanelID, int flags);
  int (*handle)(LWPanelID, int eventFlags);
  void (*draw)(LWPanelID, int mode);
  void (*close)(LWPanelID);
  void (*get)(LWPanelID, int tag, void *value);
  void (*set)(LWPanelID, int tag, void *value);
  LWControl *(*addControl)(LWPanelID, char *typeName, LWPanControlDesc *desc, char *label);
  LWControl *(*nextControl)(LWPanelID, LWControlID);
  DrawFuncs *drawFuncs;
  void *user_data;
  GlobalFunc *globalFun;
} LWPanelFuncs;

/* Panel tags. */
#define PAN_X 0
#define PAN_Y 1
#define PAN_W 2
#define PAN_H 3
#define PAN_MOUSEX 4
#define PAN_MOUSEY 5
#define PAN_USERDRAW 7
#define PAN_USERACTIVATE 8
#define PAN_USEROPEN 9
#define PAN_USERCLOSE 10
#define PAN_TITLE 11
#define PAN_USERDATA 12
#define PAN_USERKEYS 13
#define PAN_MOUSEBUTTON 15
#define PAN_MOUSEMOVE 16
#define PAN_USERKEYUPS 21
#define PAN_TO_FRONT 23

/* Control tags. */
#define CTL_X 0
#define CTL_Y 1
#define CTL_W 2
#define CTL_H 3
#define CTL_VALUE 4
#define CTL_HOTX 5
#define CTL_HOTY 6
#define CTL_HOTW 7
#define CTL_HOTH 8
#define CTL_LABELWIDTH 9
#define CTL_USERDRAW 13
#define CTL_USEREVENT 14
#define CTL_USERDATA 16

#define PANF_BLOCKING 1
#define DR_RENDER 1

/* Mouse qualifiers. */
#define SDK_MOUSE_LEFT 0x20
#define SDK_MOUSE_DOWN 0x80

/* Callbacks registered by the plug-in. */
typedef void PanDrawFunc(LWPanelID, void *userData, int mode);
typedef void PanHookFunc(LWPanelID, void *userData);
typedef int PanKeyFunc(LWPanelID, void *userData, unsigned short key);
typedef void PanMouseFunc(LWPanelID, void *userData, int qualifiers, int x, int y);
typedef void CtlEventFunc(LWControlID, void *userData);

/* ---- "RasterServices" ------------------------------------------------------- */

typedef struct {
  void (*drawPixel)(LWRasterID, int color, int x, int y);
  void (*drawRGBPixel)(LWRasterID, int r, int g, int b, int x, int y);
  void (*drawLine)(LWRasterID, int color, int x, int y, int x2, int y2);
  void (*drawBox)(LWRasterID, int color, int x, int y, int w, int h);
  void (*drawRGBBox)(LWRasterID, int r, int g, int b, int x, int y, int w, int h);
  void (*eraseBox)(LWRasterID, int x, int y, int w, int h);
  void (*drawBorder)(LWRasterID, int indent, int x, int y, int w, int h);
  void (*drawText)(LWRasterID, char *text, int color, int x, int y);
  LWRasterID (*create)(int w, int h, int flags);
  void (*destroy)(LWRasterID);
  void (*blitPanel)(LWRasterID, int srcX, int srcY, LWPanelID, int dstX, int dstY, int w, int h);
  void (*blitRaster)(LWRasterID, int srcX, int srcY, LWRasterID dest, int dstX, int dstY, int w,
                     int h);
} LWRasterFuncs;

/* ---- The published sizes and offsets ----------------------------------------- */

#define SDK_AT(type, field, offset) \
  _Static_assert(offsetof(type, field) == (offset), #type "." #field " at " #offset)
#define SDK_SIZE(type, bytes) _Static_assert(sizeof(type) == (bytes), #type " is " #bytes)

SDK_SIZE(ModuleDescriptor, 40);
SDK_AT(ModuleDescriptor, startup, 16);
SDK_AT(ModuleDescriptor, serverDefs, 32);
SDK_SIZE(ServerRecord, 32);
SDK_AT(ServerRecord, activate, 16);
SDK_AT(ServerRecord, tagInfo, 24);
SDK_SIZE(ServerTagInfo, 16);
SDK_AT(ServerTagInfo, tag, 8);
SDK_SIZE(LWColorPickLocal, 48);
SDK_AT(LWColorPickLocal, title, 8);
SDK_AT(LWColorPickLocal, red, 16);
SDK_AT(LWColorPickLocal, blue, 24);
SDK_AT(LWColorPickLocal, data, 32);
SDK_AT(LWColorPickLocal, hotFunc, 40);
SDK_SIZE(LWColorPickLocal6, 56);
SDK_AT(LWColorPickLocal6, colorSpace, 48);

SDK_SIZE(LWPanelFuncs, 104);
SDK_AT(LWPanelFuncs, open, 16);
SDK_AT(LWPanelFuncs, handle, 24);
SDK_AT(LWPanelFuncs, draw, 32);
SDK_AT(LWPanelFuncs, get, 48);
SDK_AT(LWPanelFuncs, set, 56);
SDK_AT(LWPanelFuncs, addControl, 64);
SDK_AT(LWPanelFuncs, nextControl, 72);
SDK_AT(LWPanelFuncs, drawFuncs, 80);
SDK_AT(LWPanelFuncs, user_data, 88);
SDK_AT(LWPanelFuncs, globalFun, 96);
SDK_SIZE(DrawFuncs, 72);
SDK_AT(DrawFuncs, drawRGBBox, 32);
SDK_AT(DrawFuncs, textWidth, 48);
SDK_AT(DrawFuncs, dispMetrics, 64);
SDK_SIZE(LWDisplayMetrics, 32);

SDK_SIZE(LWControl, 32);
SDK_AT(LWControl, draw, 0);
SDK_AT(LWControl, get, 8);
SDK_AT(LWControl, set, 16);
SDK_AT(LWControl, priv_data, 24);
SDK_SIZE(LWValue, 40);
SDK_AT(LWValue, intv.defVal, 8);
SDK_AT(LWValue, ivec.val[2], 12);
SDK_AT(LWValue, ivec.defVal, 16);
SDK_AT(LWValue, ptr.ptr, 8);
SDK_AT(LWValue, str.bufLen, 16);
SDK_AT(LWValue, fvec.defVal, 32);
SDK_SIZE(LWPanControlDesc, 48);
SDK_AT(LWPanControlDesc, area.height, 8);

SDK_SIZE(LWRasterFuncs, 96);
SDK_AT(LWRasterFuncs, eraseBox, 40);
SDK_AT(LWRasterFuncs, drawText, 56);
SDK_AT(LWRasterFuncs, create, 64);
SDK_AT(LWRasterFuncs, blitPanel, 80);
SDK_AT(LWRasterFuncs, blitRaster, 88);

#endif /* SDK_HOST_SDK_ABI_H */
