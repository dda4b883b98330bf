/* The conformance host's in-memory "LWPanelServices" and "RasterServices":
   panels and controls that record what the plug-in sets and calls, rasters
   as pixel arrays. Every handle the plug-in passes is checked; a call with a
   handle the host never gave out is a failure, not a crash. */
#ifndef SDK_HOST_SDK_SERVICES_H
#define SDK_HOST_SDK_SERVICES_H

#include "sdk_abi.h"

#define SDK_MAX_BLITS 8

typedef struct SdkRaster {
  int w, h;
  uint32_t *pixels; /* 0xRRGGBB, row-major */
  struct SdkRaster *next;
} SdkRaster;

typedef struct SdkControl {
  LWControl ctl; /* first: its address is the control's handle */
  char type_name[40];
  LWPanControlDesc desc;
  int x, y, w, h;
  int value[3];
  void *user_data;
  CtlEventFunc *event;
  int value_sets; /* control sets of the value, by the plug-in */
  struct SdkPanel *panel;
  struct SdkControl *next;
} SdkControl;

/* The last blit of one raster onto a panel. */
typedef struct {
  SdkRaster *raster;
  int dst_x, dst_y, w, h;
  int count;
} SdkBlit;

typedef struct SdkPanel {
  char title[128];
  int x, y, w, h;
  int mouse_x, mouse_y;
  void *user_data;
  PanDrawFunc *user_draw;
  PanHookFunc *user_open, *user_close;
  PanKeyFunc *key_down, *key_up;
  PanMouseFunc *mouse_button, *mouse_move;
  int is_open;
  int open_flags;
  int position_sets;       /* panel sets of X or Y since the last open returned */
  int position_gets_after; /* panel gets of X or Y since the last open returned */
  SdkBlit blits[SDK_MAX_BLITS];
  int blit_count;
  int last_rgb_box[3]; /* the colour of the last drawRGBBox on the panel */
  SdkControl *controls;
  struct SdkPanel *next;
} SdkPanel;

/* What `open` runs while the panel is open: the user's session. Its result
   is what open returns. */
typedef int SdkOpenScript(SdkPanel *panel, int flags);

extern LWPanelFuncs sdk_panel_funcs;
extern LWRasterFuncs sdk_raster_funcs;
extern const LWDisplayMetrics sdk_display;

void *sdk_global(const char *name, int use_mode);
/* Services looked up so far, by name (0 when never asked for). */
int sdk_lookups(const char *name);

void sdk_set_open_script(SdkOpenScript *script);
SdkPanel *sdk_panels(void);
SdkControl *sdk_find_control(SdkPanel *panel, const char *type_name);
/* The raster of a panel's blits whose size is w x h (0 for any), or whose
   height is at least four times its width when tall is set. */
const SdkBlit *sdk_find_blit(const SdkPanel *panel, int w, int h, int tall);
uint32_t sdk_raster_pixel(const SdkRaster *raster, int x, int y);

/* Counts of every slot called, printed as one line; their sum. */
void sdk_print_call_counts(void);
long sdk_total_calls(void);
void sdk_free_all(void);

/* Failures: each prints one line to stderr; sdk_fatal also exits. */
void sdk_fail(const char *fmt, ...);
void sdk_fatal(const char *fmt, ...);
int sdk_failures(void);

#endif /* SDK_HOST_SDK_SERVICES_H */
