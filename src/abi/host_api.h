/* The host's binary interface, record for record and slot for slot as the
   host is compiled against it (Windows x64, LLP64): the module descriptor,
   the colour request, the global lookup, the "LWPanelServices" and
   "RasterServices" tables, controls, value records, tags, flags and codes.
   The plug-in, both reference hosts and every test module include this file;
   it is plain C so that C modules can too. */
#ifndef HUEVANE_ABI_HOST_API_H
#define HUEVANE_ABI_HOST_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Module entry ------------------------------------------------------- */

#define MOD_SYSSYNC 0x04121994u /* ModuleDescriptor.sysSync */
#define MOD_SYSVER 3u           /* ModuleDescriptor.sysVersion */
#define MOD_MACHINE 0x300u      /* ModuleDescriptor.sysMachine */

#define LWCOLORPICK_HCLASS "ColorPicker"
#define LWCOLORPICK_VERSION 4
/* The newest ColorPicker version of current hosts; they offer it first and
   step down on AFUNC_BADVERSION. Huevane serves 4 only. */
#define LWCOLORPICK_VERSION_NEWEST 6

/* Use modes of the global lookup. */
#define GFUSE_TRANSIENT 0
#define GFUSE_ACQUIRE 1
#define GFUSE_RELEASE 2

/* Activation results; any nonzero result means "not served". */
#define AFUNC_OK 0         /* served */
#define AFUNC_BADVERSION 1 /* the class version is not the plug-in's */
#define AFUNC_BADGLOBAL 2  /* a global service the plug-in needs is missing */
#define AFUNC_BADLOCAL 3   /* the request record is unusable */
#define AFUNC_BADAPP 4     /* the host application cannot support the plug-in */

typedef void *GlobalFunc(const char *serviceName, int useMode);
typedef int ActivateFunc(int version, GlobalFunc *global, void *local, void *serverData);

typedef struct st_ServerTagInfo {
  const char *string;
  uint32_t tag;
} ServerTagInfo;

typedef struct st_ServerRecord {
  const char *className;
  const char *name;
  ActivateFunc *activate;
  ServerTagInfo *tagInfo;
} ServerRecord;

typedef struct st_ModuleDescriptor {
  uint32_t sysSync;
  uint32_t sysVersion;
  uint32_t sysMachine;
  void *(*startup)(void);
  void (*shutdown)(void *serverData);
  ServerRecord *serverDefs;
} ModuleDescriptor;

/* The colour request, class version 4. */
typedef void LWHotColorFunc(void *data, float r, float g, float b);

typedef struct st_LWColorPickLocal {
  int result; /* written: nonzero when the user accepted */
  const char *title;
  float red, green, blue;
  void *data;
  LWHotColorFunc *hotFunc;
} LWColorPickLocal;

/* The colour request of class version 6: version 4's record, then the colour
   space the host works in (UTF-8); the picker does its own correction. */
typedef struct st_LWColorPickLocal6 {
  LWColorPickLocal v4;
  const char *colorSpace;
} LWColorPickLocal6;

/* ---- Handles -------------------------------------------------------------- */

typedef void *LWPanelID;
typedef struct st_LWControl *LWControlID;
typedef void *LWRasterID;
typedef uint16_t LWDualKey;

/* ---- Values and control descriptions --------------------------------------- */

typedef int LWType;
#define LWT_NULL 0
#define LWT_STRING 1
#define LWT_INTEGER 2
#define LWT_FLOAT 3
#define LWT_DISTANCE 4
#define LWT_VINT 5
#define LWT_VFLOAT 6
#define LWT_VDIST 7
#define LWT_BOOLEAN 8
#define LWT_CHOICE 9
#define LWT_SURFACE 10
#define LWT_FONT 11
#define LWT_TEXT 12
#define LWT_LAYERS 13
#define LWT_CUSTOM 14
#define LWT_RANGE 15
#define LWT_LWITEM 16
#define LWT_PERCENT 17
#define LWT_POPUP 18
#define LWT_AREA 19
#define LWT_XPANEL 20
#define LWT_TREE 21
#define LWT_MLIST 22
#define LWT_POINTER 23

typedef struct st_LWValString {
  LWType type;
  char *buf;
  int bufLen;
} LWValString;

typedef struct st_LWValInt {
  LWType type;
  int value;
  int defVal;
} LWValInt;

typedef struct st_LWValFloat {
  LWType type;
  double value;
  double defVal;
} LWValFloat;

typedef struct st_LWValIVector {
  LWType type;
  int val[3];
  int defVal;
} LWValIVector;

typedef struct st_LWValFVector {
  LWType type;
  double val[3];
  double defVal;
} LWValFVector;

typedef struct st_LWValPointer {
  LWType type;
  void *ptr;
} LWValPointer;

typedef struct st_LWValCustom {
  LWType type;
  int val[4];
} LWValCustom;

/* Every value record handed to the host is the whole union: the host may
   write any field of the member it is given. */
typedef union un_LWValue {
  LWType type;
  LWValString str;
  LWValInt intv;
  LWValFloat flt;
  LWValIVector ivec;
  LWValFVector fvec;
  LWValPointer ptr;
  LWValCustom cust;
} LWValue;

typedef struct st_LWAreaDesc {
  LWType type;
  int width, height;
} LWAreaDesc;

/* The description addControl reads; only the area member is used here, the
   rest of the union's 48 bytes belongs to members of other control kinds. */
typedef union un_LWPanControlDesc {
  LWType type;
  LWAreaDesc area;
  void *whole_[6];
} LWPanControlDesc;

/* ---- Controls ------------------------------------------------------------- */

typedef struct st_LWControl {
  void (*draw)(LWControlID control, int mode);
  void (*get)(LWControlID control, int tag, LWValue *value);
  void (*set)(LWControlID control, int tag, LWValue *value);
  void *priv_data;
} LWControl;

/* ---- Callbacks the plug-in registers --------------------------------------- */

typedef void LWPanDrawFunc(LWPanelID panel, void *userData, int mode);
typedef void LWPanHookFunc(LWPanelID panel, void *userData);
typedef int LWPanKeyFunc(LWPanelID panel, void *userData, LWDualKey key);
typedef void LWPanMouseFunc(LWPanelID panel, void *userData, int qualifiers, int x, int y);
typedef void LWCtlEventFunc(LWControlID control, void *userData);

/* ---- "LWPanelServices" ------------------------------------------------------ */

#define LWPANELFUNCS_GLOBAL "LWPanelServices"
#define LWRASTERFUNCS_GLOBAL "RasterServices"
#define LWPANELS_API_VERSION 20

typedef struct st_LWDisplayMetrics {
  int width, height;
  int pixX, pixY;
  int maxColors, depth;
  int textHeight, textAscent;
} LWDisplayMetrics;

typedef struct st_DrawFuncs {
  void (*drawPixel)(LWPanelID panel, int color, int x, int y);
  void (*drawRGBPixel)(LWPanelID panel, int r, int g, int b, int x, int y);
  void (*drawLine)(LWPanelID panel, int color, int x, int y, int x2, int y2);
  void (*drawBox)(LWPanelID panel, int color, int x, int y, int w, int h);
  void (*drawRGBBox)(LWPanelID panel, int r, int g, int b, int x, int y, int w, int h);
  void (*drawBorder)(LWPanelID panel, int indent, int x, int y, int w, int h);
  int (*textWidth)(LWPanelID panel, char *text);
  void (*drawText)(LWPanelID panel, char *text, int color, int x, int y);
  const LWDisplayMetrics *(*dispMetrics)(void);
} DrawFuncs;

typedef struct st_LWPanelFuncs {
  LWPanelID (*create)(char *title, void *panelFuncs);
  void (*destroy)(LWPanelID panel);
  int (*open)(LWPanelID panel, int flags);
  int (*handle)(LWPanelID panel, int eventFlags);
  void (*draw)(LWPanelID panel, int mode);
  void (*close)(LWPanelID panel);
  /* Integer attributes travel as a pointer to an int; the title, callbacks
     and user data as the pointer itself. */
  void (*get)(LWPanelID panel, int tag, void *value);
  void (*set)(LWPanelID panel, int tag, void *value);
  LWControl *(*addControl)(LWPanelID panel, char *typeName, LWPanControlDesc *desc, char *label);
  LWControl *(*nextControl)(LWPanelID panel, LWControlID control);
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
#define PAN_FLAGS 6
#define PAN_USERDRAW 7     /* LWPanDrawFunc */
#define PAN_USERACTIVATE 8 /* LWPanHookFunc */
#define PAN_USEROPEN 9     /* LWPanHookFunc, once the panel is open */
#define PAN_USERCLOSE 10   /* LWPanHookFunc */
#define PAN_TITLE 11
#define PAN_USERDATA 12
#define PAN_USERKEYS 13 /* LWPanKeyFunc, on a key press */
#define PAN_LWINSTANCE 14
#define PAN_MOUSEBUTTON 15 /* LWPanMouseFunc, on a button press and release */
#define PAN_MOUSEMOVE 16   /* LWPanMouseFunc, on a move while a button is held */
#define PAN_PANFUN 17
#define PAN_VERSION 18
#define PAN_RESULT 19
#define PAN_HOSTDISPLAY 20
#define PAN_USERKEYUPS 21 /* LWPanKeyFunc, on a key release */
#define PAN_QUALIFIERS 22
#define PAN_TO_FRONT 23 /* raises the panel; set with a null value */
#define PAN_MOUSEWHEEL 24

/* Control tags. */
#define CTL_X 0
#define CTL_Y 1
#define CTL_W 2
#define CTL_H 3
#define CTL_VALUE 4
#define CTL_HOTX 5 /* the inner drawing area, without the label */
#define CTL_HOTY 6
#define CTL_HOTW 7
#define CTL_HOTH 8
#define CTL_LABELWIDTH 9
#define CTL_MOUSEX 10
#define CTL_MOUSEY 11
#define CTL_FLAGS 12
#define CTL_USERDRAW 13
#define CTL_USEREVENT 14 /* LWCtlEventFunc */
#define CTL_LABEL 15
#define CTL_USERDATA 16
#define CTL_PANEL 17
#define CTL_PANFUN 18
#define CTL_RANGEMIN 19
#define CTL_RANGEMAX 20
#define CTL_ACTIVATE 21
#define CTL_MOUSEBUTTON 22

/* Panel open flags. */
#define PANF_BLOCKING 1     /* open returns when the panel closes */
#define PANF_CANCEL 2       /* an OK and a Cancel button */
#define PANF_FRAME 4        /* a window frame */
#define PANF_MOUSETRAP 8    /* mouse events outside controls reach the panel */
#define PANF_PASSALLKEYS 16 /* Enter and Esc go to the panel */
#define PANF_ABORT 32       /* Abort instead of Continue */
#define PANF_NOBUTT 64      /* no buttons */
#define PANF_RESIZE 128     /* resizable */

/* Draw modes. */
#define DR_ERASE 0
#define DR_RENDER 1
#define DR_GHOST 2
#define DR_REFRESH 3

/* Mouse qualifiers. A right press sets both button bits, so the left button
   is 0x20 set and 0x40 clear. */
#define IQ_CTRL 1
#define IQ_SHIFT 2
#define IQ_ALT 4
#define IQ_CONSTRAIN 8
#define IQ_ADJUST 16
#define MOUSE_LEFT 0x20
#define MOUSE_MID 0x40
#define MOUSE_RIGHT 0x60
#define MOUSE_DOWN 0x80

/* Keys: printable keys are their character codes; special keys from 0x1001. */
#define LWDK_F1 0x1001
#define LWDK_F12 0x100C
/* The arrows, in the order the host's panel header names them. */
#define LWDK_LEFT 0x1010
#define LWDK_RIGHT 0x1011
#define LWDK_UP 0x1012
#define LWDK_DOWN 0x1013
#define LWDK_RETURN 0x1022

/* Colour codes: system palette entry i, or an RGB colour with bit 24 set. */
#define SYSTEM_Ic(i) (4136 + (i))
#define LWP_NONE SYSTEM_Ic(0)
#define LWP_INVERT SYSTEM_Ic(1)
#define LWP_BG SYSTEM_Ic(2)
#define LWP_NORMAL SYSTEM_Ic(3)    /* normal text, black by default */
#define LWP_HEADLINE SYSTEM_Ic(4)  /* headline text, white by default */
#define LWP_EDIT_SEL SYSTEM_Ic(10) /* edit selection, light yellow by default */
#define RGB_(r, g, b) ((int)(((r) << 16) | ((b) << 8) | (g) | 0x1000000))

/* ---- "RasterServices" ------------------------------------------------------- */

typedef struct st_LWRasterFuncs {
  void (*drawPixel)(LWRasterID raster, int color, int x, int y);
  void (*drawRGBPixel)(LWRasterID raster, int r, int g, int b, int x, int y);
  void (*drawLine)(LWRasterID raster, int color, int x, int y, int x2, int y2);
  void (*drawBox)(LWRasterID raster, int color, int x, int y, int w, int h);
  void (*drawRGBBox)(LWRasterID raster, int r, int g, int b, int x, int y, int w, int h);
  void (*eraseBox)(LWRasterID raster, int x, int y, int w, int h);
  void (*drawBorder)(LWRasterID raster, int indent, int x, int y, int w, int h);
  void (*drawText)(LWRasterID raster, char *text, int color, int x, int y);
  LWRasterID (*create)(int w, int h, int flags);
  void (*destroy)(LWRasterID raster);
  void (*blitPanel)(LWRasterID raster, int srcX, int srcY, LWPanelID panel, int dstX, int dstY,
                    int w, int h);
  void (*blitRaster)(LWRasterID raster, int srcX, int srcY, LWRasterID dest, int dstX, int dstY,
                     int w, int h);
} LWRasterFuncs;

#ifdef __cplusplus
}
#endif

#endif /* HUEVANE_ABI_HOST_API_H */
