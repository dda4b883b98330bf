/* A minimal ColorPicker plug-in, written against the host's interface alone:
   a panel with one RGB editor. Each edit is reported through the request's
   hot callback; OK writes the edited colour into the request. */
#include <string.h>

#include "abi/host_api.h"

#ifdef _WIN32
#define EXPORT __declspec(dllexport)
#else
#define EXPORT __attribute__((visibility("default")))
#endif

/* A request channel 0..1 as 0..255; NaN and out-of-range values are clamped. */
static int channel(float c) {
  const double v = (double)c * 255.0;
  return v >= 255.0 ? 255 : v > 0.0 ? (int)v : 0;
}

static void edited(LWControlID rgb, void *data) {
  LWColorPickLocal *request = data;
  LWValue v;
  memset(&v, 0, sizeof v);
  v.type = LWT_VINT;
  rgb->get(rgb, CTL_VALUE, &v);
  if (request && request->hotFunc)
    request->hotFunc(request->data, v.ivec.val[0] / 255.0f, v.ivec.val[1] / 255.0f,
                     v.ivec.val[2] / 255.0f);
}

static int activate(int version, GlobalFunc *global, void *local, void *serverData) {
  LWColorPickLocal *request = local;
  (void)serverData;
  if (version != LWCOLORPICK_VERSION) return AFUNC_BADVERSION;
  if (!request) return AFUNC_BADLOCAL;
  LWPanelFuncs *panels = global ? global(LWPANELFUNCS_GLOBAL, GFUSE_TRANSIENT) : NULL;
  if (!panels) return AFUNC_BADGLOBAL;

  LWPanelID panel = panels->create((char *)(request->title ? request->title : "Colour"), panels);
  LWPanControlDesc desc;
  memset(&desc, 0, sizeof desc);
  desc.type = LWT_VINT;
  LWControl *rgb = panel ? panels->addControl(panel, "MiniRGBControl", &desc, "RGB") : NULL;
  if (!rgb) {
    if (panel) panels->destroy(panel);
    return AFUNC_BADGLOBAL;
  }

  int size[2] = {220, 40};
  panels->set(panel, PAN_W, &size[0]);
  panels->set(panel, PAN_H, &size[1]);
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
  v.ptr.type = LWT_INTEGER;
  v.ptr.ptr = request;
  rgb->set(rgb, CTL_USERDATA, &v);
  LWCtlEventFunc *on_edit = edited;
  memcpy(&v.ptr.ptr, &on_edit, sizeof v.ptr.ptr); /* callbacks travel as pointers */
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
  panels->destroy(panel);
  return AFUNC_OK;
}

static char started;
static void *startup(void) { return &started; }
static void shutdown(void *token) { (void)token; }

static ServerTagInfo tags[] = {{"Minimal picker", 0}, {NULL, 0}};
static ServerRecord servers[] = {{LWCOLORPICK_HCLASS, "Minimal", activate, tags},
                                 {NULL, NULL, NULL, NULL}};

EXPORT ModuleDescriptor _mod_descrip = {MOD_SYSSYNC, MOD_SYSVER, MOD_MACHINE,
                                        startup,     shutdown,   servers};
