/* The conformance host's shared state: failures, call counts, the objects
   handed out and the global lookup. */
#include "sdk_services.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "sdk_internal.h"

/* ---- Failures and call counts ------------------------------------------------ */

static int failures;

static void vreport(const char *fmt, va_list ap) {
  fputs("sdk_host: FAIL: ", stderr);
  vfprintf(stderr, fmt, ap);
  fputc('\n', stderr);
  fflush(stderr);
  ++failures;
}

void sdk_fail(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vreport(fmt, ap);
  va_end(ap);
}

void sdk_fatal(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vreport(fmt, ap);
  va_end(ap);
  exit(1);
}

int sdk_failures(void) { return failures; }

long sdk_calls[C_COUNT];

long sdk_total_calls(void) {
  long n = 0;
  for (int i = 0; i < C_COUNT; ++i) n += sdk_calls[i];
  return n;
}

void sdk_print_call_counts(void) {
#define SDK_SLOT_NAME(id, name) name,
  static const char *const names[C_COUNT] = {SDK_SLOTS(SDK_SLOT_NAME)};
#undef SDK_SLOT_NAME
  printf("calls:");
  for (int i = 0; i < C_COUNT; ++i)
    if (sdk_calls[i]) printf(" %s %ld", names[i], sdk_calls[i]);
  printf("\n");
}

/* ---- Objects ------------------------------------------------------------------ */

SdkPanel *sdk_panel_list;
SdkRaster *sdk_raster_list;

SdkPanel *sdk_panels(void) { return sdk_panel_list; }

SdkPanel *sdk_panel_of(LWPanelID id, const char *slot) {
  for (SdkPanel *p = sdk_panel_list; p; p = p->next)
    if (p == id) return p;
  sdk_fail("%s: %p is not a panel of this host", slot, id);
  return NULL;
}

SdkRaster *sdk_raster_of(LWRasterID id, const char *slot) {
  for (SdkRaster *r = sdk_raster_list; r; r = r->next)
    if (r == id) return r;
  sdk_fail("%s: %p is not a raster of this host", slot, id);
  return NULL;
}

SdkControl *sdk_control_of(LWControlID id, const char *slot) {
  for (SdkPanel *p = sdk_panel_list; p; p = p->next)
    for (SdkControl *c = p->controls; c; c = c->next)
      if (&c->ctl == id) return c;
  sdk_fail("%s: %p is not a control of this host", slot, (void *)id);
  return NULL;
}

SdkControl *sdk_find_control(SdkPanel *panel, const char *type_name) {
  for (SdkControl *c = panel->controls; c; c = c->next)
    if (strcmp(c->type_name, type_name) == 0) return c;
  return NULL;
}

const SdkBlit *sdk_find_blit(const SdkPanel *panel, int w, int h, int tall) {
  for (int i = 0; i < panel->blit_count; ++i) {
    const SdkRaster *r = panel->blits[i].raster;
    if (tall ? r->h >= 4 * r->w : (r->w == w && r->h == h)) return &panel->blits[i];
  }
  return NULL;
}

/* ---- The global lookup ------------------------------------------------------------ */

#define MAX_NAMES 32
static struct {
  char name[64];
  int count;
} looked_up[MAX_NAMES];

void *sdk_global(const char *name, int use_mode) {
  ++sdk_calls[C_LOOKUP];
  if (!name) {
    sdk_fail("global: null service name");
    return NULL;
  }
  if (use_mode < 0 || use_mode > 2) sdk_fail("global(\"%s\"): use mode %d", name, use_mode);
  for (int i = 0; i < MAX_NAMES; ++i) {
    if (looked_up[i].name[0] && strcmp(looked_up[i].name, name) != 0) continue;
    sdk_copy_text(looked_up[i].name, sizeof looked_up[i].name, name);
    ++looked_up[i].count;
    break;
  }
  if (strcmp(name, "LWPanelServices") == 0) return &sdk_panel_funcs;
  if (strcmp(name, "RasterServices") == 0) return &sdk_raster_funcs;
  return NULL;
}

int sdk_lookups(const char *name) {
  for (int i = 0; i < MAX_NAMES; ++i)
    if (strcmp(looked_up[i].name, name) == 0) return looked_up[i].count;
  return 0;
}

void sdk_free_all(void) {
  while (sdk_panel_list) {
    SdkPanel *p = sdk_panel_list;
    sdk_panel_list = p->next;
    sdk_free_panel(p);
  }
  while (sdk_raster_list) {
    SdkRaster *r = sdk_raster_list;
    sdk_raster_list = r->next;
    free(r->pixels);
    free(r);
  }
}
