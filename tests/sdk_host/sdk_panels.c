/* "LWPanelServices": panels and controls that keep what the plug-in sets and
   call the plug-in's callbacks; drawing on panels is counted, not drawn. */
#include <limits.h>
#include <stdlib.h>

#include "sdk_internal.h"

static SdkOpenScript *open_script;

void sdk_set_open_script(SdkOpenScript *script) { open_script = script; }

/* ---- Drawing on panels ----------------------------------------------------------- */

const LWDisplayMetrics sdk_display = {1920, 1080, 96, 96, 1 << 24, 24, 12, 10};

static void d_pixel(LWPanelID id, int color, int x, int y) {
  (void)color, (void)x, (void)y;
  ++sdk_calls[C_PIXEL];
  sdk_panel_of(id, "drawPixel");
}
static void d_rgbpixel(LWPanelID id, int r, int g, int b, int x, int y) {
  (void)r, (void)g, (void)b, (void)x, (void)y;
  ++sdk_calls[C_RGBPIXEL];
  sdk_panel_of(id, "drawRGBPixel");
}
static void d_line(LWPanelID id, int color, int x, int y, int x2, int y2) {
  (void)color, (void)x, (void)y, (void)x2, (void)y2;
  ++sdk_calls[C_LINE];
  sdk_panel_of(id, "drawLine");
}
static void d_box(LWPanelID id, int color, int x, int y, int w, int h) {
  (void)color, (void)x, (void)y, (void)w, (void)h;
  ++sdk_calls[C_BOX];
  sdk_panel_of(id, "drawBox");
}
static void d_rgbbox(LWPanelID id, int r, int g, int b, int x, int y, int w, int h) {
  (void)x, (void)y, (void)w, (void)h;
  ++sdk_calls[C_RGBBOX];
  SdkPanel *p = sdk_panel_of(id, "drawRGBBox");
  if (p) p->last_rgb_box[0] = r, p->last_rgb_box[1] = g, p->last_rgb_box[2] = b;
}
static void d_border(LWPanelID id, int indent, int x, int y, int w, int h) {
  (void)indent, (void)x, (void)y, (void)w, (void)h;
  ++sdk_calls[C_BORDER];
  sdk_panel_of(id, "drawBorder");
}
static int d_textwidth(LWPanelID id, char *text) {
  ++sdk_calls[C_TEXTWIDTH];
  sdk_panel_of(id, "textWidth");
  if (!text) {
    sdk_fail("textWidth: null text");
    return 0;
  }
  return 6 * (int)strnlen(text, 1000);
}
static void d_text(LWPanelID id, char *text, int color, int x, int y) {
  (void)color, (void)x, (void)y;
  ++sdk_calls[C_TEXT];
  sdk_panel_of(id, "drawText");
  if (!text) sdk_fail("drawText: null text");
}
static const LWDisplayMetrics *d_metrics(void) {
  ++sdk_calls[C_METRICS];
  return &sdk_display;
}

static DrawFuncs draw_funcs = {d_pixel,  d_rgbpixel,  d_line, d_box,    d_rgbbox,
                               d_border, d_textwidth, d_text, d_metrics};

/* ---- Controls -------------------------------------------------------------------- */

/* Geometry the plug-in set may be anywhere in the int range. */
static int offset(int v, int by) {
  const long long r = (long long)v + by;
  return r > INT_MAX ? INT_MAX : r < INT_MIN ? INT_MIN : (int)r;
}

static int is_vector(const SdkControl *c) { return c->desc.type == LWT_VINT; }

/* Positions and sizes travel as the integer member, user data and callbacks
   as the pointer member, both with type 2; an editor's value as the int
   vector member, type 5. */
static int value_type_ok(const SdkControl *c, int tag, const LWValue *v, const char *slot) {
  const int want = tag == CTL_VALUE && is_vector(c) ? LWT_VINT : LWT_INTEGER;
  if (v->type == want) return 1;
  sdk_fail("%s of %s, tag %d: value type %d, expected %d", slot, c->type_name, tag, v->type, want);
  return 0;
}

static void ctl_draw(LWControlID id, int mode) {
  (void)mode;
  ++sdk_calls[C_CTL_DRAW];
  sdk_control_of(id, "control.draw");
}

static void ctl_get(LWControlID id, int tag, LWValue *value) {
  ++sdk_calls[C_CTL_GET];
  SdkControl *c = sdk_control_of(id, "control.get");
  if (!c) return;
  if (!value) {
    sdk_fail("control.get of %s, tag %d: null value", c->type_name, tag);
    return;
  }
  LWValue v;
  memcpy(&v, value, sizeof v); /* the whole union: a shorter record shows here */
  int iv = 0;
  switch (tag) {
    case CTL_X: iv = c->x; break;
    case CTL_Y: iv = c->y; break;
    case CTL_W: iv = c->w; break;
    case CTL_H: iv = c->h; break;
    case CTL_HOTX: iv = offset(c->x, 2); break; /* inside a 2-pixel frame */
    case CTL_HOTY: iv = offset(c->y, 2); break;
    case CTL_HOTW: iv = offset(c->w, -4); break;
    case CTL_HOTH: iv = offset(c->h, -4); break;
    case CTL_LABELWIDTH: iv = 0; break;
    case CTL_VALUE:
      if (!value_type_ok(c, tag, &v, "control.get")) return;
      if (is_vector(c)) {
        memcpy(value->ivec.val, c->value, sizeof c->value);
        value->ivec.defVal = 0; /* the host writes the whole member */
        return;
      }
      iv = c->value[0];
      break;
    case CTL_USERDATA:
    case CTL_USEREVENT:
      if (!value_type_ok(c, tag, &v, "control.get")) return;
      if (tag == CTL_USERDATA)
        value->ptr.ptr = c->user_data;
      else
        memcpy(&value->ptr.ptr, &c->event, sizeof value->ptr.ptr);
      return;
    default: return; /* not kept by this host: accepted, left as it is */
  }
  if (value_type_ok(c, tag, &v, "control.get")) value->intv.value = iv;
}

static void ctl_set(LWControlID id, int tag, LWValue *value) {
  ++sdk_calls[C_CTL_SET];
  SdkControl *c = sdk_control_of(id, "control.set");
  if (!c) return;
  if (!value) {
    sdk_fail("control.set of %s, tag %d: null value", c->type_name, tag);
    return;
  }
  LWValue v;
  memcpy(&v, value, sizeof v);
  switch (tag) {
    case CTL_X:
    case CTL_Y:
    case CTL_W:
    case CTL_H:
      if (!value_type_ok(c, tag, &v, "control.set")) return;
      *(tag == CTL_X ? &c->x : tag == CTL_Y ? &c->y : tag == CTL_W ? &c->w : &c->h) = v.intv.value;
      return;
    case CTL_VALUE:
      if (!value_type_ok(c, tag, &v, "control.set")) return;
      if (is_vector(c))
        memcpy(c->value, v.ivec.val, sizeof c->value);
      else
        c->value[0] = v.intv.value;
      ++c->value_sets;
      return;
    case CTL_USERDATA:
      if (value_type_ok(c, tag, &v, "control.set")) c->user_data = v.ptr.ptr;
      return;
    case CTL_USEREVENT:
      if (value_type_ok(c, tag, &v, "control.set")) AS_FN(v.ptr.ptr, c->event);
      return;
    default: return; /* accepted and ignored */
  }
}

/* ---- Panels ---------------------------------------------------------------------- */

void sdk_copy_text(char *dst, size_t size, const char *src) {
  if (!src) src = "";
  const size_t n = strnlen(src, size - 1);
  memcpy(dst, src, n);
  dst[n] = '\0';
}

static LWPanelID p_create(char *title, void *funcs) {
  ++sdk_calls[C_CREATE];
  if (funcs != &sdk_panel_funcs) sdk_fail("create: the second argument is not the services table");
  SdkPanel *p = calloc(1, sizeof *p);
  if (!p) sdk_fatal("out of memory");
  sdk_copy_text(p->title, sizeof p->title, title);
  p->w = 200, p->h = 100;
  p->next = sdk_panel_list;
  sdk_panel_list = p;
  return p;
}

void sdk_free_panel(SdkPanel *p) {
  while (p->controls) {
    SdkControl *c = p->controls;
    p->controls = c->next;
    free(c);
  }
  free(p);
}

static void p_destroy(LWPanelID id) {
  ++sdk_calls[C_DESTROY];
  for (SdkPanel **at = &sdk_panel_list; *at; at = &(*at)->next)
    if (*at == id) {
      SdkPanel *p = *at;
      if (p->is_open) {
        sdk_fail("destroy: the panel is open");
        return;
      }
      *at = p->next;
      sdk_free_panel(p);
      return;
    }
  sdk_fail("destroy: %p is not a panel of this host", id);
}

static int p_open(LWPanelID id, int flags) {
  ++sdk_calls[C_OPEN];
  SdkPanel *p = sdk_panel_of(id, "open");
  if (!p) return 0;
  if (p->is_open) {
    sdk_fail("open: the panel is already open");
    return 0;
  }
  if (!(flags & PANF_BLOCKING)) sdk_fail("open: flags 0x%x without blocking (1)", flags);
  p->is_open = 1;
  p->open_flags = flags;
  p->position_gets_after = 0;
  if (p->user_open) p->user_open(p, p->user_data);
  if (p->user_draw) p->user_draw(p, p->user_data, DR_RENDER);
  const int result = open_script ? open_script(p, flags) : 0;
  p->is_open = 0;
  p->position_sets = 0;
  if (p->user_close) p->user_close(p, p->user_data);
  return result;
}

static int p_handle(LWPanelID id, int flags) {
  (void)flags;
  ++sdk_calls[C_HANDLE];
  sdk_panel_of(id, "handle");
  return 0;
}

static void p_draw(LWPanelID id, int mode) {
  ++sdk_calls[C_DRAW];
  SdkPanel *p = sdk_panel_of(id, "draw");
  if (p && p->is_open && p->user_draw) p->user_draw(p, p->user_data, mode);
}

static void p_close(LWPanelID id) {
  ++sdk_calls[C_CLOSE];
  sdk_panel_of(id, "close");
}

static void p_get(LWPanelID id, int tag, void *value) {
  ++sdk_calls[C_GET];
  SdkPanel *p = sdk_panel_of(id, "get");
  if (!p) return;
  if (!value) {
    sdk_fail("get: tag %d with a null value", tag);
    return;
  }
  int *iv = value;
  switch (tag) {
    case PAN_X:
    case PAN_Y:
      *iv = tag == PAN_X ? p->x : p->y;
      if (!p->is_open) ++p->position_gets_after;
      break;
    case PAN_W: *iv = p->w; break;
    case PAN_H: *iv = p->h; break;
    case PAN_MOUSEX: *iv = p->mouse_x; break;
    case PAN_MOUSEY: *iv = p->mouse_y; break;
    case PAN_TITLE: *(char **)value = p->title; break;
    case PAN_USERDATA: *(void **)value = p->user_data; break;
    default: break; /* not kept by this host */
  }
}

static void p_set(LWPanelID id, int tag, void *value) {
  ++sdk_calls[C_SET];
  SdkPanel *p = sdk_panel_of(id, "set");
  if (!p) return;
  switch (tag) {
    case PAN_X:
    case PAN_Y:
    case PAN_W:
    case PAN_H:
      if (!value) {
        sdk_fail("set: tag %d with a null value", tag);
        return;
      }
      *(tag == PAN_X   ? &p->x
        : tag == PAN_Y ? &p->y
        : tag == PAN_W ? &p->w
                       : &p->h) = *(const int *)value;
      if (tag == PAN_X || tag == PAN_Y) ++p->position_sets;
      break;
    case PAN_TITLE: sdk_copy_text(p->title, sizeof p->title, value); break;
    case PAN_USERDATA: p->user_data = value; break;
    case PAN_USERDRAW: AS_FN(value, p->user_draw); break;
    case PAN_USEROPEN: AS_FN(value, p->user_open); break;
    case PAN_USERCLOSE: AS_FN(value, p->user_close); break;
    case PAN_USERKEYS: AS_FN(value, p->key_down); break;
    case PAN_USERKEYUPS: AS_FN(value, p->key_up); break;
    case PAN_MOUSEBUTTON: AS_FN(value, p->mouse_button); break;
    case PAN_MOUSEMOVE: AS_FN(value, p->mouse_move); break;
    default: break; /* TO_FRONT and the rest: accepted and ignored */
  }
}

static LWControl *p_add(LWPanelID id, char *type_name, LWPanControlDesc *desc, char *label) {
  (void)label;
  ++sdk_calls[C_ADD];
  SdkPanel *p = sdk_panel_of(id, "addControl");
  if (!p) return NULL;
  if (!type_name || !desc) {
    sdk_fail("addControl: null %s", type_name ? "description" : "type name");
    return NULL;
  }
  SdkControl *c = calloc(1, sizeof *c);
  if (!c) sdk_fatal("out of memory");
  sdk_copy_text(c->type_name, sizeof c->type_name, type_name);
  memcpy(&c->desc, desc, sizeof c->desc); /* the whole union */
  c->ctl = (LWControl){ctl_draw, ctl_get, ctl_set, c};
  const int area = c->desc.type == LWT_AREA && c->desc.area.width > 0;
  c->w = area ? c->desc.area.width : 120;
  c->h = area && c->desc.area.height > 0 ? c->desc.area.height : 20;
  c->panel = p;
  SdkControl **end = &p->controls; /* in the order added */
  while (*end) end = &(*end)->next;
  *end = c;
  return &c->ctl;
}

static LWControl *p_next(LWPanelID id, LWControlID after) {
  ++sdk_calls[C_NEXT];
  SdkPanel *p = sdk_panel_of(id, "nextControl");
  if (!p) return NULL;
  if (!after) return p->controls ? &p->controls->ctl : NULL;
  SdkControl *c = sdk_control_of(after, "nextControl");
  return c && c->next ? &c->next->ctl : NULL;
}

LWPanelFuncs sdk_panel_funcs = {p_create, p_destroy, p_open, p_handle,    p_draw, p_close,   p_get,
                                p_set,    p_add,     p_next, &draw_funcs, NULL,   sdk_global};
