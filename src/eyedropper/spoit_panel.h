// The magnifier panel shown during a sampling run, and the sampling state
// it shares with the run.
#pragma once

#include "abi/host_api.h"
#include "color/color.h"
#include "eyedropper/win32.h"

constexpr int kSpoitCells = 15;
constexpr int kSpoitCellSize = 6;
constexpr int kSpoitRaster = kSpoitCells * kSpoitCellSize;  // 90
constexpr int kSpoitPanelSize = 106;

struct SpoitPanel {
  LWPanelID panel;
  LWRasterID raster;
  int32_t red[kSpoitCells * kSpoitCells];
  int32_t green[kSpoitCells * kSpoitCells];
  int32_t blue[kSpoitCells * kSpoitCells];
  int32_t opened;
};

// State of the running sampling; filled at each sampling start.
struct SamplingState {
  GlobalFunc *lookup;
  LWPanelFuncs *panel_funcs;
  LWRasterFuncs *raster_funcs;
  SpoitPanel *magnifier;
  HWND desktop_window;
  HDC desktop_dc;
  RECT desktop_rect;
  HHOOK hook;
  ColorTriple picked;
  int32_t pressed;
  int32_t accepted;
  int32_t ended;    // a release has ended the run; the hook passes everything on
  int32_t running;  // a sampling run is under way; triggers are ignored
  char title[64];
};

extern SamplingState g_sampling;

SpoitPanel *spoit_panel_create(int x, int y);
void spoit_opened_callback(LWPanelID panel, void *user_data);
void spoit_draw(LWPanelID panel, void *user_data, int mode);
void CALLBACK spoit_timer_tick(HWND hwnd, UINT message, UINT_PTR id, DWORD time);

// Splits a COLORREF 0x00BBGGRR into R, G, B; the top byte is dropped, so
// the failure value CLR_INVALID reads as white (callers that take a colour
// test for it first).
ColorTriple colorref_split(COLORREF c);
