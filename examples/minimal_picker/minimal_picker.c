/* The smallest ColorPicker plug-in that works (docs/writing-a-picker.md): a
   panel with one RGB editor. Each edit goes to the request's hot callback;
   OK writes the edited colour into the request. Written against the host's
   interface alone; the numbered notes are the guide's. */
#include <string.h>

#include "host_api.h"

#ifdef _WIN32
#define EXPORT __declspec(dllexport)
#else
#define EXPORT __attribute__((visibility("default")))
#endif

/* A request channel 0..1 as 0..255, rounded; NaN and out-of-range clamped. */
static int channel(float c) {
  const double v = (double)c * 255.0 + 0.5;
  return v >= 255.0 ? 255 : v > 0.0 ? (int)v : 0;
}

/* (3) Every value travels as a whole LWValue: integers and pointers as its
   integer type, the editor's three values as an int vector. */
static void edited(LWControlID rgb, void *data) {
  LWColorPickLocal *request = data;
  LWValue v;
  memset(&v, 0, sizeof v);
  v.type = LWT_VINT;
  rgb->get(rgb, CTL_VALUE, &v);
  if (request->hotFunc)
    request->hotFunc(request->data, v.ivec.val[0] / 255.0f, v.ivec.val[1] / 255.0f,
                     v.ivec.val[2] / 255.0f);
}

static int activate(int version, GlobalFunc *global, void *local, void *serverData) {
  LWColorPickLocal *request = local;
  (void)serverData;
  if (version != LWCOLORPICK_VERSION) return AFUNC_BADVERSION; /* (6) before anything else */
  if (!request) return AFUNC_BADLOCAL;
  LWPanelFuncs *panels = global(LWPANELFUNCS_GLOBAL, GFUSE_TRANSIENT);
  if (!panels) return AFUNC_BADGLOBAL;
  LWPanelID panel = panels->create((char *)(request->title ? request->title : "Colour"), panels);
  LWPanControlDesc desc; /* (4) a control type the host knows */
  memset(&desc, 0, sizeof desc);
  desc.type = LWT_VINT;
  LWControl *rgb = panel ? panels->addControl(panel, "MiniRGBControl", &desc, "RGB") : NULL;
  if (!rgb) {
    if (panel) panels->destroy(panel);
    return AFUNC_BADGLOBAL;
  }
  int w = 220, h = 40; /* (5) a panel has no size until it is set */
  panels->set(panel, PAN_W, &w);
  panels->set(panel, PAN_H, &h);
  LWValue v;
  memset(&v, 0, sizeof v);
  v.intv.type = LWT_INTEGER;
  v.intv.value = 10;
  rgb->set(rgb, CTL_X, &v);
  rgb->set(rgb, CTL_Y, &v);
  v.ivec.type = LWT_VINT;
  v.ivec.val[0] = channel(request->red);
  v.ivec.val[1] = channel(request->green);
  v.ivec.val[2] = channel(request->blue);
  rgb->set(rgb, CTL_VALUE, &v);
  memset(&v, 0, sizeof v);
  v.ptr.type = LWT_INTEGER; /* (3) user data and callbacks: pointers */
  v.ptr.ptr = request;
  rgb->set(rgb, CTL_USERDATA, &v);
  LWCtlEventFunc *on_edit = edited;
  memcpy(&v.ptr.ptr, &on_edit, sizeof v.ptr.ptr);
  rgb->set(rgb, CTL_USEREVENT, &v);

  request->result = panels->open(panel, PANF_BLOCKING | PANF_CANCEL);
  if (request->result) {
    memset(&v, 0, sizeof v);
    v.type = LWT_VINT;
    rgb->get(rgb, CTL_VALUE, &v);
    request->red = v.ivec.val[0] / 255.0f;
    request->green = v.ivec.val[1] / 255.0f;
    request->blue = v.ivec.val[2] / 255.0f;
  }
  panels->destroy(panel); /* (7) the request ends here: no hot callback after it */
  return AFUNC_OK;
}

/* (2) The server list ends with a null row. */
static ServerTagInfo tags[] = {{"Minimal picker", 0}, {NULL, 0}};
static ServerRecord servers[] = {{LWCOLORPICK_HCLASS, "Minimal", activate, tags},
                                 {NULL, NULL, NULL, NULL}};

static char started;
static void *startup(void) { return &started; } /* null would mean it failed */
static void shutdown(void *token) { (void)token; }

/* (1) What the host looks up by name. */
EXPORT ModuleDescriptor _mod_descrip = {MOD_SYSSYNC, MOD_SYSVER, MOD_MACHINE,
                                        startup,     shutdown,   servers};
