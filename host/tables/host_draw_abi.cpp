// Drawing: the DrawFuncs table of "LWPanelServices" (on a panel's client
// area) and "RasterServices" (on off-screen rasters, and blits from them).
// Colour codes are read by palette::color_for_code, text is the host's own
// (model/text.h), and every drawing call clips to its image.
#include <string_view>

#include "model/palette.h"
#include "model/text.h"
#include "tables/host_abi.h"

namespace hvhost {

namespace {

std::string_view text_of(const char *text) { return text ? std::string_view(text) : ""; }

// A border: indent > 0 sunken, < 0 raised, 0 a plain frame; a height of 0
// draws an etched divider w pixels long.
void border(Framebuffer &fb, int indent, int x, int y, int w, int h) {
  if (h == 0) {
    fb.fill_rect(x, y, w, 1, palette::kBevelDark);
    if (y < INT32_MAX) fb.fill_rect(x, y + 1, w, 1, palette::kBevelLight);
  } else if (indent > 0) {
    fb.bevel(x, y, w, h, palette::kBevelDark, palette::kBevelLight);
  } else if (indent < 0) {
    fb.bevel(x, y, w, h, palette::kBevelLight, palette::kBevelDark);
  } else {
    fb.frame(x, y, w, h, palette::kFrame);
  }
}

// The per-pixel calls come 65,536 to a full repaint and keep no entries
// unless asked to: they count, and only when recording build the entry's
// arguments, out of line, so that the common path sets up no arguments array
// (which the sanitizer builds pay for on every call). The raster's two
// per-pixel entry points are flattened: the small lookups, the count and the
// store are inlined into them, where the instrumented builds would otherwise
// leave each one a call of its own.
[[gnu::noinline]] void record_pixel(CallTrace &trace, Op op, const void *handle,
                                    std::initializer_list<int64_t> args) {
  trace.record(op, handle, "", args);
}

inline void count_pixel(CallTrace &trace, Op op, const void *handle, int a, int b, int c, int d,
                        int e) {
  if (trace.recording(op))
    record_pixel(trace, op, handle, {a, b, c, d, e});
  else
    trace.tally(op);
}

inline void count_pixel(CallTrace &trace, Op op, const void *handle, int a, int b, int c) {
  if (trace.recording(op))
    record_pixel(trace, op, handle, {a, b, c});
  else
    trace.tally(op);
}

}  // namespace

// ---- Panel drawing ---------------------------------------------------------------

void HostAbi::draw_pixel(LWPanelID id, int color, int x, int y) {
  Host *h = host();
  if (!h) return;
  Panel *p = h->live_panel(id, Op::kDrawPixel);
  if (!p) return;
  count_pixel(h->trace_, Op::kDrawPixel, id, color, x, y);
  p->fb_.set_pixel(x, y, palette::color_for_code(color));
}

void HostAbi::draw_rgb_pixel(LWPanelID id, int r, int g, int b, int x, int y) {
  Host *h = host();
  if (!h) return;
  Panel *p = h->live_panel(id, Op::kDrawRgbPixel);
  if (!p) return;
  count_pixel(h->trace_, Op::kDrawRgbPixel, id, r, g, b, x, y);
  p->fb_.set_pixel(x, y, Rgb::clamped(r, g, b));
}

void HostAbi::draw_line(LWPanelID id, int color, int x, int y, int x2, int y2) {
  Host *h = host();
  if (!h) return;
  Panel *p = h->live_panel(id, Op::kDrawLine);
  if (!p) return;
  h->trace_.record(Op::kDrawLine, id, "", {color, x, y, x2, y2});
  p->fb_.line(x, y, x2, y2, palette::color_for_code(color));
}

void HostAbi::draw_box(LWPanelID id, int color, int x, int y, int w, int hgt) {
  Host *h = host();
  if (!h) return;
  Panel *p = h->live_panel(id, Op::kDrawBox);
  if (!p) return;
  h->trace_.record(Op::kDrawBox, id, "", {color, x, y, w, hgt});
  p->fb_.fill_rect(x, y, w, hgt, palette::color_for_code(color));
}

void HostAbi::draw_rgb_box(LWPanelID id, int r, int g, int b, int x, int y, int w, int hgt) {
  Host *h = host();
  if (!h) return;
  Panel *p = h->live_panel(id, Op::kDrawRgbBox);
  if (!p) return;
  h->trace_.record(Op::kDrawRgbBox, id, "", {r, g, b, x, y, w, hgt});
  p->fb_.fill_rect(x, y, w, hgt, Rgb::clamped(r, g, b));
}

void HostAbi::draw_border(LWPanelID id, int indent, int x, int y, int w, int hgt) {
  Host *h = host();
  if (!h) return;
  Panel *p = h->live_panel(id, Op::kDrawBorder);
  if (!p) return;
  h->trace_.record(Op::kDrawBorder, id, "", {indent, x, y, w, hgt});
  border(p->fb_, indent, x, y, w, hgt);
}

int HostAbi::text_width(LWPanelID id, char *text) {
  Host *h = host();
  if (!h) return 0;
  Panel *p = h->live_panel(id, Op::kTextWidth);
  if (!p) return 0;
  const int w = hvhost::text_width(text_of(text));
  h->trace_.record(Op::kTextWidth, id, text_of(text), {w});
  return w;
}

void HostAbi::draw_text(LWPanelID id, char *text, int color, int x, int y) {
  Host *h = host();
  if (!h) return;
  Panel *p = h->live_panel(id, Op::kDrawText);
  if (!p) return;
  h->trace_.record(Op::kDrawText, id, text_of(text), {color, x, y});
  hvhost::draw_text(p->fb_, x, y, text_of(text), palette::color_for_code(color));
}

const LWDisplayMetrics *HostAbi::display_metrics() {
  Host *h = host();
  if (!h) return nullptr;
  h->trace_.record(Op::kDisplayMetrics, nullptr, "", {h->metrics_.width, h->metrics_.height});
  return &h->metrics_;
}

// ---- Rasters -------------------------------------------------------------------------

LWRasterID HostAbi::raster_create(int w, int hgt, int flags) {
  Host *h = host();
  if (!h) return nullptr;
  if (h->trace_.should_fail(FailPoint::kRasterCreate)) {
    h->trace_.record(Op::kRasterCreate, nullptr, "", {w, hgt, flags}, CallStatus::kFailed);
    return nullptr;
  }
  auto raster = std::make_unique<Raster>(w, hgt);
  const LWRasterID id = raster->id();
  h->rasters_[id] = std::move(raster);
  h->trace_.record(Op::kRasterCreate, id, "", {w, hgt, flags});
  return id;
}

void HostAbi::raster_destroy(LWRasterID id) {
  Host *h = host();
  if (!h) return;
  Raster *r = h->live_raster(id, Op::kRasterDestroy);
  if (!r) return;
  h->trace_.record(Op::kRasterDestroy, id, "", {});
  for (const auto &panel : h->panels_) panel->forget_blits(*r);
  if (h->last_raster_ == r) h->last_raster_ = nullptr;
  h->rasters_.erase(id);
}

[[gnu::flatten]] void HostAbi::raster_pixel(LWRasterID id, int code, int x, int y) {
  Host *h = host();
  if (!h) return;
  Raster *r = h->live_raster(id, Op::kRasterPixel);
  if (!r) return;
  count_pixel(h->trace_, Op::kRasterPixel, id, code, x, y);
  r->framebuffer().set_pixel(x, y, palette::color_for_code(code));
}

[[gnu::flatten]] void HostAbi::raster_rgb_pixel(LWRasterID id, int red, int g, int b, int x,
                                                int y) {
  Host *h = host();
  if (!h) return;
  Raster *r = h->live_raster(id, Op::kRasterRgbPixel);
  if (!r) return;
  count_pixel(h->trace_, Op::kRasterRgbPixel, id, red, g, b, x, y);
  r->framebuffer().set_pixel(x, y, Rgb::clamped(red, g, b));
}

void HostAbi::raster_line(LWRasterID id, int code, int x, int y, int x2, int y2) {
  Host *h = host();
  if (!h) return;
  Raster *r = h->live_raster(id, Op::kRasterLine);
  if (!r) return;
  h->trace_.record(Op::kRasterLine, id, "", {code, x, y, x2, y2});
  r->framebuffer().line(x, y, x2, y2, palette::color_for_code(code));
}

void HostAbi::raster_box(LWRasterID id, int code, int x, int y, int w, int hgt) {
  Host *h = host();
  if (!h) return;
  Raster *r = h->live_raster(id, Op::kRasterBox);
  if (!r) return;
  h->trace_.record(Op::kRasterBox, id, "", {code, x, y, w, hgt});
  r->framebuffer().fill_rect(x, y, w, hgt, palette::color_for_code(code));
}

void HostAbi::raster_rgb_box(LWRasterID id, int red, int g, int b, int x, int y, int w, int hgt) {
  Host *h = host();
  if (!h) return;
  Raster *r = h->live_raster(id, Op::kRasterRgbBox);
  if (!r) return;
  h->trace_.record(Op::kRasterRgbBox, id, "", {red, g, b, x, y, w, hgt});
  r->framebuffer().fill_rect(x, y, w, hgt, Rgb::clamped(red, g, b));
}

void HostAbi::raster_erase_box(LWRasterID id, int x, int y, int w, int hgt) {
  Host *h = host();
  if (!h) return;
  Raster *r = h->live_raster(id, Op::kRasterEraseBox);
  if (!r) return;
  h->trace_.record(Op::kRasterEraseBox, id, "", {x, y, w, hgt});
  r->framebuffer().fill_rect(x, y, w, hgt, palette::kBackground);
}

void HostAbi::raster_border(LWRasterID id, int indent, int x, int y, int w, int hgt) {
  Host *h = host();
  if (!h) return;
  Raster *r = h->live_raster(id, Op::kRasterBorder);
  if (!r) return;
  h->trace_.record(Op::kRasterBorder, id, "", {indent, x, y, w, hgt});
  border(r->framebuffer(), indent, x, y, w, hgt);
}

void HostAbi::raster_text(LWRasterID id, char *text, int code, int x, int y) {
  Host *h = host();
  if (!h) return;
  Raster *r = h->live_raster(id, Op::kRasterText);
  if (!r) return;
  h->trace_.record(Op::kRasterText, id, text_of(text), {code, x, y});
  hvhost::draw_text(r->framebuffer(), x, y, text_of(text), palette::color_for_code(code));
}

void HostAbi::raster_blit(LWRasterID id, int src_x, int src_y, LWPanelID panel, int x, int y, int w,
                          int hgt) {
  Host *h = host();
  if (!h) return;
  Raster *r = h->live_raster(id, Op::kRasterBlit);
  if (!r) return;
  Panel *p = h->live_panel(panel, Op::kRasterBlit);
  if (!p) return;
  h->trace_.record(Op::kRasterBlit, id, "", {src_x, src_y, x, y, w, hgt});
  p->fb_.blit(r->framebuffer(), src_x, src_y, x, y, w, hgt);
  // Where the raster lands, for the script's named places.
  p->note_blit(*r, static_cast<int64_t>(x) - src_x, static_cast<int64_t>(y) - src_y);
}

void HostAbi::raster_blit_raster(LWRasterID id, int src_x, int src_y, LWRasterID dest, int x, int y,
                                 int w, int hgt) {
  Host *h = host();
  if (!h) return;
  Raster *from = h->live_raster(id, Op::kRasterBlitRaster);
  if (!from) return;
  Raster *to = h->live_raster(dest, Op::kRasterBlitRaster);
  if (!to) return;
  h->trace_.record(Op::kRasterBlitRaster, id, "", {src_x, src_y, x, y, w, hgt});
  to->framebuffer().blit(from->framebuffer(), src_x, src_y, x, y, w, hgt);
}

}  // namespace hvhost
