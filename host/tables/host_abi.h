// The function tables the plug-in calls, in the host's layout: the global
// lookup, "LWPanelServices" (LWPanelFuncs with its DrawFuncs), the slots of
// each LWControl, and "RasterServices" (LWRasterFuncs). Each entry finds the
// current Host, checks the handles it was given, records the call and does
// the work. Panels and controls are in host_abi.cpp, drawing and rasters in
// host_draw_abi.cpp. Private to the host library.
#pragma once

#include <string>

#include "abi/host_api.h"
#include "model/host.h"

namespace hvhost {

struct HostAbi {
  static LWPanelFuncs panel_table;
  static DrawFuncs draw_table;
  static LWRasterFuncs raster_table;

  static Host *host() { return Host::current(); }

  // ---- Global lookup and panels (host_abi.cpp) -----------------------------
  static void *lookup(const char *name, int use_mode);
  static LWPanelID panel_create(char *title, void *panel_funcs);
  static void panel_destroy(LWPanelID id);
  static int panel_open(LWPanelID id, int flags);
  static int panel_handle(LWPanelID id, int event_flags);
  static void panel_draw(LWPanelID id, int mode);
  static void panel_close(LWPanelID id);
  static void panel_get(LWPanelID id, int tag, void *value);
  static void panel_set(LWPanelID id, int tag, void *value);

  // ---- Controls (host_abi.cpp) ---------------------------------------------
  static LWControl *control_add(LWPanelID id, char *type_name, LWPanControlDesc *desc, char *label);
  static LWControl *control_next(LWPanelID id, LWControlID after);
  static void control_draw(LWControlID handle, int mode);
  static void control_get(LWControlID handle, int tag, LWValue *value);
  static void control_set(LWControlID handle, int tag, LWValue *value);

  // ---- Panel drawing (host_draw_abi.cpp) -------------------------------------
  static void draw_pixel(LWPanelID id, int color, int x, int y);
  static void draw_rgb_pixel(LWPanelID id, int r, int g, int b, int x, int y);
  static void draw_line(LWPanelID id, int color, int x, int y, int x2, int y2);
  static void draw_box(LWPanelID id, int color, int x, int y, int w, int h);
  static void draw_rgb_box(LWPanelID id, int r, int g, int b, int x, int y, int w, int h);
  static void draw_border(LWPanelID id, int indent, int x, int y, int w, int h);
  static int text_width(LWPanelID id, char *text);
  static void draw_text(LWPanelID id, char *text, int color, int x, int y);
  static const LWDisplayMetrics *display_metrics();

  // ---- Rasters (host_draw_abi.cpp) -------------------------------------------
  static void raster_pixel(LWRasterID id, int color, int x, int y);
  static void raster_rgb_pixel(LWRasterID id, int r, int g, int b, int x, int y);
  static void raster_line(LWRasterID id, int color, int x, int y, int x2, int y2);
  static void raster_box(LWRasterID id, int color, int x, int y, int w, int h);
  static void raster_rgb_box(LWRasterID id, int r, int g, int b, int x, int y, int w, int h);
  static void raster_erase_box(LWRasterID id, int x, int y, int w, int h);
  static void raster_border(LWRasterID id, int indent, int x, int y, int w, int h);
  static void raster_text(LWRasterID id, char *text, int color, int x, int y);
  static LWRasterID raster_create(int w, int h, int flags);
  static void raster_destroy(LWRasterID id);
  static void raster_blit(LWRasterID id, int src_x, int src_y, LWPanelID panel, int x, int y, int w,
                          int h);
  static void raster_blit_raster(LWRasterID id, int src_x, int src_y, LWRasterID dest, int x, int y,
                                 int w, int h);

  // A call the host refuses (wrong value type, null value, ...): recorded
  // as misuse and noted.
  static void misuse(Host *h, Op op, const void *handle, int tag, const char *what) {
    h->trace_.record(op, handle, "", {tag}, CallStatus::kMisuse);
    h->trace_.note_problem(std::string(op_name(op)) + " " + std::to_string(tag) + ": " + what);
  }
};

}  // namespace hvhost
