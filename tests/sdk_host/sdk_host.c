/* sdk_host: a host for ColorPicker plug-ins built only on the host's
   published interface (sdk_abi.h), to show that a module runs in a host that
   shares no header with it.

     sdk_host [--basic] [--server NAME] [--class-version N] [--timeout SECONDS]
              MODULE

   It loads MODULE, checks its descriptor, finds the ColorPicker server and
   makes two colour requests; its blocking `open` plays the user's part by
   calling the callbacks the plug-in registered. The first request is
   accepted, the second cancelled. Every hot callback and each request's
   final colour is checked against what the events imply.

   Without --basic the module is taken to be the Huevane picker: a field drag
   and a strip drag (found from the rasters it blits: the 256 x 256 one is the
   hue-saturation field, the tall narrow one the value strip), an edit of the
   RGB editor, keys, the position the user left the panel at, which the
   second request must open at, Huevane's own conversions (a channel is
   truncated to 0..255, one hot callback an event) and a null request, which
   it must refuse. With --basic only what the host's interface asks of any
   picker with a MiniRGBControl is checked: the editor shows the requested
   colour to within one step of 255 (truncated or rounded), every hot
   callback carries the request's data, the last after an edit and the
   accepted colour are the edited values to within one step, and Cancel
   answers result 0.

   A crash in the module (a fatal signal, or on Windows an exception nobody
   caught) is a failure too: "sdk_host: FAIL: the plug-in crashed: ..." and
   exit status 1, on Windows with the faulting module, offset and function;
   so is a step (the startup, a request, the shutdown) that takes longer
   than --timeout (1..3600 s, default 30, the windowed reference host's).
   Each request's record is its own and is poisoned once the request ends:
   a hot callback through it or a write to it (a kept request pointer) is a
   failure. Lines go out unbuffered, in order on one pipe.

   It prints what it saw (the descriptor, the servers, each activation and
   each request's outcome), a FAIL line on stderr for each failed check, and
   last "sdk_host: all checks passed" or "sdk_host: N check(s) failed".

   Each activation offers the class versions as the host does: 6, then 5,
   then 4, the next one only when the answer is 1 (wrong version), each
   attempt printed. A refusal must come before anything else: no lookup, no
   call, no hot callback, the request untouched. Huevane must be served at 4.
   --class-version N offers N alone.

   Exit status: 0 all checks passed, 1 a check failed, 2 bad usage. */
#include <math.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include "sdk_crash.h"
#include "sdk_services.h"

#define MAX_HOT 256
#define MAX_ROWS 64 /* server and tag tables are not read past this many rows */

static struct {
  int basic;
  int pinned_version;              /* --class-version, or 0 */
  unsigned timeout_s;              /* --timeout: the most one step may take */
  const LWColorPickLocal *request; /* the request being served */
  float hot[MAX_HOT][3];
  int hot_count;
  int hot_at_open; /* hot callbacks before the panel opened */
  int moved_x, moved_y;
  float asked[3]; /* the colour the request being served came with */
} S;

/* Each request's record and hot data are its own (the stack could give
   both requests one address): a pointer kept from the first is not the
   second's. Once a request has ended its record is poisoned (ended_record):
   a hot callback through it, or a write to it, is a failure. */
static LWColorPickLocal6 records[2];
static char hot_tokens[2];
static const char *hot_data; /* the open request's hot data */

static void hot_callback(void *data, float r, float g, float b) {
  if (!hot_data || data != hot_data)
    sdk_fail("hot callback: data %p, not the open request's %p", data, (const void *)hot_data);
  if (S.hot_count < MAX_HOT) {
    S.hot[S.hot_count][0] = r, S.hot[S.hot_count][1] = g, S.hot[S.hot_count][2] = b;
  }
  ++S.hot_count;
}

/* ---- What the events imply ---------------------------------------------------- */

/* A request channel as the picker takes it in, and a picker value of
   channel i as it goes out: the request's own float while the value is still
   the one that float came in as (so a colour nobody changed comes back
   exactly), else v / 255. */
static int channel_in(float c) { return (int)((double)c * 255.0); }
static float channel_out(int i, int v) {
  return v == channel_in(S.asked[i]) ? S.asked[i] : (float)v / 255.0f;
}

/* The picker's HSV to RGB: hue 0..255 spans 0..359 degrees; double
   arithmetic, truncated. Predicts the colour a field or strip event gives. */
static void hsv_to_rgb(int h, int s, int v, int rgb[3]) {
  if (s == 0) {
    rgb[0] = rgb[1] = rgb[2] = v;
    return;
  }
  const double hf = h / 255.0 * 359.0 / 60.0;
  const int i = (int)floor(hf);
  const double f = hf - i, sd = s / 255.0;
  const int p = (int)((1.0 - sd) * v), q = (int)((1.0 - sd * f) * v);
  const int t = (int)((1.0 - (1.0 - f) * sd) * v);
  const int sectors[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
  memcpy(rgb, sectors[i < 0 ? 0 : i > 5 ? 5 : i], sizeof sectors[0]);
}

static int max3(int a, int b, int c) { return a > b ? (a > c ? a : c) : (b > c ? b : c); }

/* ---- Checks --------------------------------------------------------------------- */

/* --basic: a channel within one step of v / 255, however the picker
   converts; Huevane's own rule otherwise. */
static int near_value(float got, int v) { return fabs((double)got * 255.0 - v) <= 1.0; }

static int same_color(const float got[3], int r, int g, int b) {
  if (S.basic) return near_value(got[0], r) && near_value(got[1], g) && near_value(got[2], b);
  return got[0] == channel_out(0, r) && got[1] == channel_out(1, g) && got[2] == channel_out(2, b);
}

/* A value the editor shows for request channel c: truncated, or with
   --basic also rounded. */
static int shows_channel(int shown, float c) {
  if (!S.basic) return shown == channel_in(c);
  return fabs((double)c * 255.0 - shown) < 1.0;
}

/* Exactly one hot callback since `before`, with (r, g, b) as they go out;
   --basic: any number, the last (if any) with (r, g, b). */
static void expect_hot(int before, int r, int g, int b, const char *what) {
  if (S.basic) {
    if (S.hot_count == before) return;
    const int last = S.hot_count - 1;
    if (last < MAX_HOT && !same_color(S.hot[last], r, g, b))
      sdk_fail("%s: the last hot callback %.9g %.9g %.9g, expected the values (%d, %d, %d)", what,
               S.hot[last][0], S.hot[last][1], S.hot[last][2], r, g, b);
    return;
  }
  if (S.hot_count != before + 1) {
    sdk_fail("%s: %d hot callbacks, expected 1", what, S.hot_count - before);
    return;
  }
  if (before >= MAX_HOT) return;
  const float *got = S.hot[before];
  if (!same_color(got, r, g, b))
    sdk_fail("%s: hot callback %.9g %.9g %.9g, expected the values (%d, %d, %d)", what, got[0],
             got[1], got[2], r, g, b);
}

static void expect_no_hot(int before, const char *what) {
  if (!S.basic && S.hot_count != before)
    sdk_fail("%s: %d hot callbacks, expected none", what, S.hot_count - before);
}

static void expect_value(const SdkControl *c, int a, int b, int d, const char *what) {
  if (c->value[0] != a || c->value[1] != b || c->value[2] != d)
    sdk_fail("%s: %s shows (%d, %d, %d), expected (%d, %d, %d)", what, c->type_name, c->value[0],
             c->value[1], c->value[2], a, b, d);
}

/* The swatch: the last RGB box drawn on the panel shows the current colour. */
static void expect_swatch(const SdkPanel *p, const int rgb[3], const char *what) {
  const int *box = p->last_rgb_box;
  if (box[0] != rgb[0] || box[1] != rgb[1] || box[2] != rgb[2])
    sdk_fail("%s: the last RGB box on the panel is (%d, %d, %d), expected (%d, %d, %d)", what,
             box[0], box[1], box[2], rgb[0], rgb[1], rgb[2]);
}

static SdkControl *require_control(SdkPanel *p, const char *type_name) {
  SdkControl *c = sdk_find_control(p, type_name);
  if (!c) sdk_fatal("the plug-in added no %s to its panel", type_name);
  return c;
}

/* ---- The user's side: events through the plug-in's callbacks ----------------- */

static void mouse(SdkPanel *p, int tag, int qualifiers, int x, int y) {
  PanMouseFunc *f = tag == PAN_MOUSEBUTTON ? p->mouse_button : p->mouse_move;
  if (!f) sdk_fatal("the plug-in registered no mouse callback for panel tag %d", tag);
  p->mouse_x = x, p->mouse_y = y;
  f(p, p->user_data, qualifiers, x, y);
}

/* A left-button drag through the points local[0..n-1], in the coordinates
   of the area the plug-in blitted at `area`. Each press and move must give exactly one hot
   callback, the colour `expect` computes for the point; the release none. */
typedef void Expectation(int lx, int ly, int hsv[3]);

static void drag(SdkPanel *p, const SdkBlit *area, const int (*local)[2], int n,
                 Expectation *expect, const char *what) {
  SdkControl *hsv_editor = require_control(p, "MiniHSVControl");
  SdkControl *rgb_editor = require_control(p, "MiniRGBControl");
  char label[96];
  for (int i = 0; i < n; ++i) {
    const int lx = local[i][0], ly = local[i][1], before = S.hot_count;
    mouse(p, i == 0 ? PAN_MOUSEBUTTON : PAN_MOUSEMOVE, SDK_MOUSE_DOWN | SDK_MOUSE_LEFT,
          area->dst_x + lx, area->dst_y + ly);
    int hsv[3], rgb[3];
    expect(lx, ly, hsv);
    hsv_to_rgb(hsv[0], hsv[1], hsv[2], rgb);
    snprintf(label, sizeof label, "%s, %s at local (%d, %d)", what, i ? "move" : "press", lx, ly);
    expect_hot(before, rgb[0], rgb[1], rgb[2], label);
    expect_value(hsv_editor, hsv[0], hsv[1], hsv[2], label);
    expect_value(rgb_editor, rgb[0], rgb[1], rgb[2], label);
    expect_swatch(p, rgb, label);
  }
  const int before = S.hot_count;
  mouse(p, PAN_MOUSEBUTTON, SDK_MOUSE_LEFT, area->dst_x + local[n - 1][0],
        area->dst_y + local[n - 1][1]);
  snprintf(label, sizeof label, "%s, release", what);
  expect_no_hot(before, label);
}

/* The field gives hue = local x and saturation = 255 - local y; the strip
   value = 255 - local y. The rest comes from the HSV editor before the drag. */
static int held_hsv[3];
static void field_expect(int lx, int ly, int hsv[3]) {
  hsv[0] = lx, hsv[1] = 255 - ly, hsv[2] = held_hsv[2];
}
static void strip_expect(int lx, int ly, int hsv[3]) {
  (void)lx;
  hsv[0] = held_hsv[0], hsv[1] = held_hsv[1], hsv[2] = 255 - ly;
}

static void field_drag(SdkPanel *p, const int (*local)[2], int n) {
  const SdkBlit *field = sdk_find_blit(p, 256, 256, 0);
  if (!field) sdk_fatal("the plug-in blitted no 256 x 256 raster (the hue-saturation field)");
  memcpy(held_hsv, require_control(p, "MiniHSVControl")->value, sizeof held_hsv);
  drag(p, field, local, n, field_expect, "field drag");
  /* The crosshair's black outline: 7 pixels above its centre. */
  const int cx = local[n - 1][0], cy = local[n - 1][1];
  if (sdk_raster_pixel(field->raster, cx, cy - 7) != 0)
    sdk_fail("field drag: no crosshair outline at (%d, %d) in the field", cx, cy - 7);
}

static void strip_drag(SdkPanel *p, const int (*local)[2], int n) {
  const SdkBlit *strip = sdk_find_blit(p, 0, 0, 1);
  if (!strip) sdk_fatal("the plug-in blitted no tall narrow raster (the value strip)");
  memcpy(held_hsv, require_control(p, "MiniHSVControl")->value, sizeof held_hsv);
  drag(p, strip, local, n, strip_expect, "strip drag");
  /* One arrow, in the marker column right of the colour column: its middle
     row is black where the drag ended and cleared where it began. */
  const int first = local[0][1], last = local[n - 1][1];
  if (sdk_raster_pixel(strip->raster, strip->w - 5, last) != 0 ||
      sdk_raster_pixel(strip->raster, strip->w - 5, first) == 0)
    sdk_fail("strip drag: the value arrow is not at row %d alone", last);
  /* The colour column runs from full value (a channel at 255) to black. */
  const uint32_t top = sdk_raster_pixel(strip->raster, 0, 0);
  const uint32_t bottom = sdk_raster_pixel(strip->raster, 0, 255);
  if (((top >> 16) != 255 && ((top >> 8) & 255) != 255 && (top & 255) != 255) || bottom != 0)
    sdk_fail("strip drag: the colour column runs from %06x to %06x", (unsigned)top,
             (unsigned)bottom);
}

/* The user types (r, g, b) into the RGB editor: the host changes its value
   and calls its event callback. */
static void rgb_edit(SdkPanel *p, int r, int g, int b) {
  SdkControl *c = require_control(p, "MiniRGBControl");
  if (!c->event) sdk_fatal("the MiniRGBControl has no event callback (control tag 14)");
  c->value[0] = r, c->value[1] = g, c->value[2] = b;
  const int before = S.hot_count;
  c->event(&c->ctl, c->user_data);
  expect_hot(before, r, g, b, "RGB edit");
  expect_value(c, r, g, b, "RGB edit");
  if (!S.basic) {
    const SdkControl *hsv = require_control(p, "MiniHSVControl");
    if (hsv->value[2] != max3(r, g, b))
      sdk_fail("RGB edit: the HSV editor's value is %d, expected %d", hsv->value[2], max3(r, g, b));
  }
}

/* Presses and releases of keys that start nothing: 'x' and F1. */
static void keys(SdkPanel *p) {
  if (!p->key_down || !p->key_up) {
    if (!S.basic) sdk_fail("no key-down (panel tag 13) or key-up (tag 21) callback");
    return;
  }
  const unsigned short codes[2] = {'x', 0x1001};
  for (int i = 0; i < 2; ++i) {
    const int before = S.hot_count;
    const int down = p->key_down(p, p->user_data, codes[i]);
    const int up = p->key_up(p, p->user_data, codes[i]);
    if (!S.basic && (down != 0 || up != 0))
      sdk_fail("key 0x%x: the key callbacks returned %d and %d, expected 0", codes[i], down, up);
    expect_no_hot(before, "a key that starts nothing");
  }
}

/* ---- The requests ----------------------------------------------------------------- */

/* What every open checks first: the title, and the RGB editor showing the
   requested colour (and Huevane's HSV editor its value, the largest channel). */
static void check_opened(SdkPanel *p) {
  S.hot_at_open = S.hot_count;
  const LWColorPickLocal *q = S.request;
  if (!S.basic && strcmp(p->title, q->title) != 0)
    sdk_fail("the panel's title is \"%s\", expected \"%s\"", p->title, q->title);
  const int r = channel_in(q->red), g = channel_in(q->green), b = channel_in(q->blue);
  const SdkControl *rgb = require_control(p, "MiniRGBControl");
  if (!shows_channel(rgb->value[0], q->red) || !shows_channel(rgb->value[1], q->green) ||
      !shows_channel(rgb->value[2], q->blue))
    sdk_fail("on opening: MiniRGBControl shows (%d, %d, %d), expected (%d, %d, %d)%s",
             rgb->value[0], rgb->value[1], rgb->value[2], r, g, b,
             S.basic ? " or those rounded" : "");
  if (!S.basic && require_control(p, "MiniHSVControl")->value[2] != max3(r, g, b))
    sdk_fail("on opening: the HSV editor's value is not %d", max3(r, g, b));
}

/* First request: drags, an edit, keys, the user moves the panel, OK. */
static int accept_script(SdkPanel *p, int flags) {
  check_opened(p);
  if (!S.basic) {
    if (!(flags & 2)) sdk_fail("open flags 0x%x: no OK and Cancel buttons (2)", flags);
    /* Opened for the first time: centred on the display. */
    const long long cx = ((long long)sdk_display.width - p->w) / 2;
    const long long cy = ((long long)sdk_display.height - p->h) / 2;
    if (p->position_sets < 2 || p->x != cx || p->y != cy)
      sdk_fail("first open at %d, %d (%d position sets), expected the centre %d, %d", p->x, p->y,
               p->position_sets, (int)cx, (int)cy);
    /* The crosshair (opened colour 0.8, 0.5, 0.3) is far from the field's
       left corners, which show full red at the top and white at the bottom. */
    const SdkBlit *field = sdk_find_blit(p, 256, 256, 0);
    if (field && (sdk_raster_pixel(field->raster, 0, 0) != 0xff0000 ||
                  sdk_raster_pixel(field->raster, 0, 255) != 0xffffff))
      sdk_fail("the field's corners are %06x and %06x, expected ff0000 and ffffff",
               (unsigned)sdk_raster_pixel(field->raster, 0, 0),
               (unsigned)sdk_raster_pixel(field->raster, 0, 255));
    static const int field_path[][2] = {{40, 55}, {60, 67}, {80, 80}, {100, 92}, {120, 105}};
    field_drag(p, field_path, 5);
    static const int strip_path[][2] = {{10, 75}, {10, 95}, {12, 115}, {9, 135}};
    strip_drag(p, strip_path, 4);
  }
  rgb_edit(p, 30, 200, 90);
  keys(p);
  /* The user drags the window elsewhere; the host reports that position. */
  p->x = p->x < 0 ? p->x + 37 : p->x - 37;
  p->y = p->y < 0 ? p->y + 21 : p->y - 21;
  S.moved_x = p->x, S.moved_y = p->y;
  return 1;
}

/* Second request: opens where the first was left; a change, then Cancel. */
static int cancel_script(SdkPanel *p, int flags) {
  (void)flags;
  check_opened(p);
  if (S.basic) {
    rgb_edit(p, 10, 20, 30);
    return 0;
  }
  if (p->position_sets < 2 || p->x != S.moved_x || p->y != S.moved_y)
    sdk_fail(
        "second open at %d, %d (%d position sets), expected where the user left the "
        "first: %d, %d",
        p->x, p->y, p->position_sets, S.moved_x, S.moved_y);
  static const int field_path[][2] = {{200, 155}, {190, 175}, {180, 195}};
  field_drag(p, field_path, 3);
  return 0;
}

static int same_request(const LWColorPickLocal *a, const LWColorPickLocal *b) {
  return a->result == b->result && a->title == b->title && a->red == b->red &&
         a->green == b->green && a->blue == b->blue && a->data == b->data &&
         a->hotFunc == b->hotFunc;
}

/* Offers the versions newest first, stepping down on 1; returns the last
   answer and writes the version it was given for into *version. */
static int offer_versions(ActivateFunc *activate, LWColorPickLocal6 *q, int *version) {
  const int first = S.pinned_version ? S.pinned_version : SDK_COLORPICK_NEWEST;
  const int last = S.pinned_version ? S.pinned_version : SDK_COLORPICK_VERSION;
  int status = 1;
  for (*version = first; *version >= last; --*version) {
    const long calls = sdk_total_calls();
    const int hot = S.hot_count;
    const LWColorPickLocal before = q->v4;
    status = activate(*version, sdk_global, q, NULL);
    printf("activate: class version %d: %d\n", *version, status);
    if (status != 1) break;
    if (sdk_total_calls() != calls || S.hot_count != hot || !same_request(&before, &q->v4))
      sdk_fail(
          "class version %d was refused after the plug-in had called the host or changed "
          "the request",
          *version);
  }
  return status;
}

/* ---- Ended requests' records --------------------------------------------------- */

static const char ended_text[] = "(the record of an ended request)";
static char ended_token;
static int ended[2]; /* whether records[i] has ended (and holds the poison) */

static void ended_hot_callback(void *data, float r, float g, float b) {
  (void)data;
  sdk_fail("hot callback through the record of an ended request (%.9g %.9g %.9g)", r, g, b);
}

/* The poisoned image, padding included, that every ended record holds. */
static const LWColorPickLocal6 *poison(void) {
  static LWColorPickLocal6 image;
  static int made;
  if (!made) {
    memset(&image, 0, sizeof image);
    image.v4.result = -1;
    image.v4.title = ended_text;
    image.v4.red = image.v4.green = image.v4.blue = NAN;
    image.v4.data = &ended_token;
    image.v4.hotFunc = ended_hot_callback;
    image.colorSpace = ended_text;
    made = 1;
  }
  return &image;
}

/* A failure, once, for each ended record that no longer holds its poison. */
static void check_ended_records(void) {
  for (int i = 0; i < 2; ++i) {
    if (!ended[i] || memcmp(&records[i], poison(), sizeof records[i]) == 0) continue;
    sdk_fail("the record of request %d was written after it ended (a kept request pointer)", i + 1);
    memcpy(&records[i], poison(), sizeof records[i]);
  }
}

static void request(ActivateFunc *activate, int number, const char *title, float r, float g,
                    float b, SdkOpenScript *script, int accept, int er, int eg, int eb) {
  LWColorPickLocal6 *record = &records[number - 1];
  hot_data = &hot_tokens[number - 1];
  const LWColorPickLocal6 asked = {{-1, title, r, g, b, (void *)hot_data, hot_callback}, "sRGB"};
  *record = asked;
  LWColorPickLocal q = record->v4; /* what is checked: the record the plug-in saw */
  S.request = &record->v4;
  S.asked[0] = r, S.asked[1] = g, S.asked[2] = b;
  S.hot_count = 0;
  S.hot_at_open = -1;
  sdk_set_open_script(script);
  const int failed_before = sdk_failures();
  int version = 0;
  const int status = offer_versions(activate, record, &version);
  q = record->v4;
  sdk_set_open_script(NULL);
  hot_data = NULL;
  memcpy(record, poison(), sizeof *record);
  ended[number - 1] = 1;
  check_ended_records();
  if (status != 0)
    sdk_fatal("request %d: the activation returned %d, not 0 (served)", number, status);
  if (!S.basic && version != SDK_COLORPICK_VERSION)
    sdk_fail("request %d: served at class version %d, not %d", number, version,
             SDK_COLORPICK_VERSION);
  if (S.hot_at_open < 0) sdk_fatal("request %d: the plug-in never opened a panel", number);
  if (!S.basic) {
    /* Before the panel opens, one hot callback reports the colour loaded:
       the request's own, unchanged. */
    if (S.hot_at_open != 1 || S.hot[0][0] != r || S.hot[0][1] != g || S.hot[0][2] != b)
      sdk_fail(
          "request %d: %d hot callbacks before the open, expected 1 with the request's "
          "colour",
          number, S.hot_at_open);
  }
  if (q.result != accept) sdk_fail("request %d: result %d, expected %d", number, q.result, accept);
  const float want[3] = {accept ? channel_out(0, er) : r, accept ? channel_out(1, eg) : g,
                         accept ? channel_out(2, eb) : b};
  const float got[3] = {q.red, q.green, q.blue};
  if (S.basic ? accept && !same_color(got, er, eg, eb)
              : q.red != want[0] || q.green != want[1] || q.blue != want[2])
    sdk_fail("request %d: colour %.9g %.9g %.9g, expected %.9g %.9g %.9g", number, q.red, q.green,
             q.blue, want[0], want[1], want[2]);
  printf("request %d (%s): %d hot callbacks, result %d %.9g %.9g %.9g: %s\n", number,
         accept ? "OK" : "Cancel", S.hot_count, q.result, q.red, q.green, q.blue,
         sdk_failures() == failed_before ? "as expected" : "FAILED");
  S.request = NULL;
}

/* Activations the plug-in must refuse without touching the request. */
static void refusals(ActivateFunc *activate) {
  static char refused_token;
  LWColorPickLocal q = {-1, "Refused", 0.25f, 0.5f, 0.75f, &refused_token, hot_callback};
  S.hot_count = 0;
  const int wrong_version = activate(SDK_COLORPICK_VERSION + 1, sdk_global, &q, NULL);
  if (wrong_version == 0) sdk_fail("class version %d was served", SDK_COLORPICK_VERSION + 1);
  if (q.result != -1 || q.red != 0.25f || q.green != 0.5f || q.blue != 0.75f || S.hot_count)
    sdk_fail("a request of the wrong version was changed");
  if (S.basic) {
    printf("refused: wrong version (%d)\n", wrong_version);
    return;
  }
  const int no_request = activate(SDK_COLORPICK_VERSION, sdk_global, NULL, NULL);
  if (no_request == 0) sdk_fail("a null request was reported as served");
  printf("refused: wrong version (%d), null request (%d)\n", wrong_version, no_request);
}

/* ---- The module ------------------------------------------------------------------- */

static const ModuleDescriptor *load_module(const char *path) {
  void *symbol;
#ifdef _WIN32
  HMODULE library = LoadLibraryA(path);
  if (!library) sdk_fatal("cannot load %s (error %lu)", path, (unsigned long)GetLastError());
  FARPROC found = GetProcAddress(library, "_mod_descrip");
  memcpy(&symbol, &found, sizeof symbol);
#else
  void *library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!library) sdk_fatal("cannot load %s: %s", path, dlerror());
  symbol = dlsym(library, "_mod_descrip");
#endif
  /* The module stays loaded: a plug-in may keep what it allocated for the
     life of the process. */
  if (!symbol) sdk_fatal("%s exports no _mod_descrip", path);
  sdk_watch_module(path, library);
  return symbol;
}

static const ServerRecord *find_server(const ModuleDescriptor *d, const char *name) {
  if (d->sysSync != SDK_SYS_SYNC)
    sdk_fatal("_mod_descrip: sync word 0x%08x, expected 0x%08x", (unsigned)d->sysSync,
              SDK_SYS_SYNC);
  if (!d->serverDefs) sdk_fatal("_mod_descrip: no server table");
  printf("descriptor: sync 0x%08x, version %u, machine 0x%x\n", (unsigned)d->sysSync,
         (unsigned)d->sysVersion, (unsigned)d->sysMachine);
  const ServerRecord *found = NULL;
  int row = 0;
  for (const ServerRecord *s = d->serverDefs; s->className; ++s) {
    if (++row > MAX_ROWS) sdk_fatal("the server table has no end row");
    printf("server: %s \"%s\"\n", s->className, s->name ? s->name : "(null)");
    int tags = 0;
    for (const ServerTagInfo *t = s->tagInfo; t && t->string; ++t)
      if (++tags > MAX_ROWS) sdk_fatal("the tag list of \"%s\" has no end row", s->name);
    if (!found && strcmp(s->className, SDK_COLORPICK_CLASS) == 0 &&
        (!name || (s->name && strcmp(s->name, name) == 0)))
      found = s;
  }
  if (!found)
    sdk_fatal("no %s server%s%s", SDK_COLORPICK_CLASS, name ? " named " : "", name ? name : "");
  if (!found->activate) sdk_fatal("the %s server has no activation function", found->name);
  return found;
}

/* The host is now doing `what`: the FAIL line of a crash or a timeout names
   it, and the plug-in has the time limit anew. */
static void enter(const char *what) {
  sdk_phase = what;
  sdk_limit_time(S.timeout_s);
}

/* The options into S; the module's path, or null for a usage error. */
static const char *parse_options(int argc, char **argv, const char **server) {
  const char *path = NULL;
  S.timeout_s = SDK_DEFAULT_TIMEOUT_S;
  for (int i = 1; i < argc; ++i) {
    char *end = NULL;
    if (strcmp(argv[i], "--basic") == 0)
      S.basic = 1;
    else if (strcmp(argv[i], "--server") == 0 && i + 1 < argc)
      *server = argv[++i];
    else if (strcmp(argv[i], "--class-version") == 0 && i + 1 < argc) {
      S.pinned_version = atoi(argv[++i]);
      if (S.pinned_version <= 0) return NULL;
    } else if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
      const long seconds = strtol(argv[++i], &end, 10);
      if (*end || seconds < 1 || seconds > 3600) return NULL;
      S.timeout_s = (unsigned)seconds;
    } else if (argv[i][0] != '-' && !path)
      path = argv[i];
    else
      return NULL;
  }
  return path;
}

int main(int argc, char **argv) {
  /* Each line goes out as it is written, so that stdout and stderr keep
     their order in one pipe. */
  setvbuf(stdout, NULL, _IONBF, 0);
  setvbuf(stderr, NULL, _IONBF, 0);
  const char *server = NULL;
  const char *path = parse_options(argc, argv, &server);
  if (!path) {
    fprintf(stderr,
            "usage: sdk_host [--basic] [--server NAME] [--class-version N] [--timeout SECONDS] "
            "MODULE\n");
    return 2;
  }
  sdk_watch_crashes();
  enter("loading the module");
  const ModuleDescriptor *d = load_module(path);
  const ServerRecord *s = find_server(d, server);
  enter("in the module's startup");
  void *token = d->startup ? d->startup() : NULL;
  if (d->startup && !token) sdk_fatal("the module's startup returned null");

  enter("while it refused a request");
  refusals(s->activate);
  enter("in request 1");
  request(s->activate, 1, "Diffuse", 0.8f, 0.5f, 0.3f, accept_script, 1, 30, 200, 90);
  const char *needed[2] = {"LWPanelServices", "RasterServices"};
  for (int i = 0; i < (S.basic ? 1 : 2); ++i)
    if (!sdk_lookups(needed[i])) sdk_fail("the plug-in never looked up \"%s\"", needed[i]);
  enter("in request 2");
  request(s->activate, 2, "Specular", 0.2f, 0.4f, 0.6f, cancel_script, 0, 0, 0, 0);

  enter("in the module's shutdown");
  if (d->shutdown) d->shutdown(token);
  sdk_limit_time(0);
  sdk_phase = "after the module's shutdown";
  check_ended_records();
  sdk_print_call_counts();
  sdk_free_all();
  if (sdk_failures()) {
    printf("sdk_host: %d check(s) failed\n", sdk_failures());
    return 1;
  }
  printf("sdk_host: all checks passed (%s)\n", S.basic ? "basic" : "Huevane");
  return 0;
}
