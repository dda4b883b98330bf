// The binary interface between the plug-in and its host: the module
// descriptor, the colour request, the global lookup, and the panel and
// raster function tables with their attribute codes. Plug-in and reference
// host both include this file; nothing else knows the layout.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- Module descriptor --------------------------------------------------

#define HOST_MODULE_SYNC 0x04121994u
#define HOST_SYSTEM_VERSION 3u
#define HOST_MACHINE_CODE 0x300u
#define HOST_COLORPICK_VERSION 4
#define HOST_COLORPICK_CLASS "ColorPicker"

typedef void *(*GlobalFunc)(const char *name, int use_mode);
typedef int (*ActivateFunc)(int version, GlobalFunc global, void *local, void *server_data);

typedef struct ServerTagInfo {
  const char *string;
  uint32_t tag;
} ServerTagInfo;

typedef struct ServerRecord {
  const char *class_name;
  const char *name;
  ActivateFunc activate;
  const ServerTagInfo *tags;
} ServerRecord;

typedef struct ModuleDescriptor {
  uint32_t sync_word;
  uint32_t system_version;
  uint32_t machine;
  void *(*startup)(void);
  void (*shutdown)(void *token);
  const ServerRecord *servers;
} ModuleDescriptor;

// ---- Colour request ------------------------------------------------------

typedef void (*HotColorFunc)(void *data, float red, float green, float blue);

typedef struct ColorRequest {
  int result;
  const char *title;
  float red, green, blue;
  void *hot_data;
  HotColorFunc hot_func;
} ColorRequest;

// ---- Handles and value records ------------------------------------------

typedef struct HostPanel *PanelID;
typedef struct HostRaster *RasterID;
typedef struct HostControl HostControl;

#define VALUE_TYPE_INT 2
#define VALUE_TYPE_IVEC 5

// Control values travel as one of these records; the leading type tag tells
// the host which one it was handed.
typedef struct IntValue {
  int32_t type;  // VALUE_TYPE_INT
  int32_t intv;
  void *ptr;
} IntValue;

typedef struct IntVectorValue {
  int32_t type;  // VALUE_TYPE_IVEC
  int32_t val[3];
} IntVectorValue;

typedef struct ControlDesc {
  int32_t type;
  int32_t width;
  int32_t height;
} ControlDesc;

// A control handle carries its own accessors. `value` points at an
// IntValue or IntVectorValue.
struct HostControl {
  void (*get)(HostControl *control, int attribute, void *value);
  void (*set)(HostControl *control, int attribute, void *value);
  void *host_data;
};

// ---- Callbacks the plug-in registers ------------------------------------

typedef void (*PanelDrawFunc)(PanelID panel, void *user_data, int mode);
typedef void (*PanelOpenedFunc)(PanelID panel, void *user_data);
typedef void (*PanelMouseFunc)(PanelID panel, void *user_data, int flags, int x, int y);
typedef void (*PanelKeyFunc)(PanelID panel, void *user_data, uint32_t key);
typedef void (*PanelNotifyFunc)(PanelID panel, void *user_data);
typedef void (*ControlEventFunc)(HostControl *control, void *user_data);

// ---- "LWPanelServices" ---------------------------------------------------

#define PANEL_SERVICES_NAME "LWPanelServices"
#define RASTER_SERVICES_NAME "RasterServices"

typedef struct PanelFuncs {
  PanelID (*create)(const char *title, struct PanelFuncs *self);
  void (*destroy)(PanelID panel);
  int (*open)(PanelID panel, int flags);
  void (*draw)(PanelID panel, int mode);
  void (*close)(PanelID panel);
  // Ints travel as a pointer to the int; titles, callbacks and user data as
  // the pointer itself.
  void (*get)(PanelID panel, int attribute, void *value);
  void (*set)(PanelID panel, int attribute, void *value);
  HostControl *(*add_control)(PanelID panel, const char *type_name, ControlDesc *desc,
                              const char *label);
  void (*draw_rgb_box)(PanelID panel, int r, int g, int b, int x, int y, int w, int h);
  void (*draw_border)(PanelID panel, int indent, int x, int y, int w, int h);
  // Points at ints whose first two are the display's width and height.
  const int *(*display_metrics)(void);
} PanelFuncs;

// Panel attributes.
#define PAN_X 0
#define PAN_Y 1
#define PAN_W 2
#define PAN_H 3
#define PAN_DRAW_FUNC 7
#define PAN_OPENED_FUNC 9
#define PAN_TITLE 11
#define PAN_USER_DATA 12
#define PAN_NOTIFY_FUNC 13
#define PAN_MOUSE_BUTTON_FUNC 15
#define PAN_MOUSE_MOVE_FUNC 16
#define PAN_KEY_FUNC 21
#define PAN_AFTER_EYEDROPPER 23

// Control attributes.
#define CTL_X 0
#define CTL_Y 1
#define CTL_W 2
#define CTL_H 3
#define CTL_VALUE 4
#define CTL_INNER_X 5
#define CTL_INNER_Y 6
#define CTL_HOTX 7
#define CTL_HOTY 8
#define CTL_EVENT_FUNC 14
#define CTL_USER_DATA 16

// Control type codes written into ControlDesc.
#define CTL_TYPE_DRAWN 19
#define CTL_TYPE_EDITOR 5

// Panel open flags.
#define PANF_BLOCKING 0x01
#define PANF_OK_CANCEL 0x02
#define PANF_NO_BUTTONS 0x40
#define PICKER_OPEN_FLAGS (PANF_BLOCKING | PANF_OK_CANCEL)
#define SPOIT_OPEN_FLAGS (PANF_BLOCKING | PANF_NO_BUTTONS)

// Panel draw modes.
#define DRAW_MODE_NONE 0
#define DRAW_MODE_REDRAW 3

// Mouse flags.
#define MOUSE_LEFT 0x20
#define MOUSE_RIGHT 0x40
#define MOUSE_DOWN 0x80

// Host colour codes.
#define HOST_COLOR_BLACK 0x102B
#define HOST_COLOR_WHITE 0x102C
#define HOST_COLOR_LIGHT_GREY 0x1032

// ---- "RasterServices" ----------------------------------------------------

typedef struct RasterFuncs {
  RasterID (*create)(int w, int h, int flags);
  void (*destroy)(RasterID raster);
  void (*pixel)(RasterID raster, int color_code, int x, int y);
  void (*rgb_pixel)(RasterID raster, int r, int g, int b, int x, int y);
  void (*rgb_box)(RasterID raster, int r, int g, int b, int x, int y, int w, int h);
  void (*erase_box)(RasterID raster, int x, int y, int w, int h);
  void (*blit)(RasterID raster, int src_x, int src_y, PanelID panel, int x, int y, int w,
               int h);
} RasterFuncs;

#ifdef __cplusplus
}
#endif
