#include "model/chrome.h"

#include <algorithm>

#include "model/palette.h"
#include "model/text.h"

namespace hvhost {

namespace {

void draw_row_button(Framebuffer &fb, Rect r, std::string_view text) {
  fb.fill_rect(r.x, r.y, r.w, r.h, palette::kButtonFace);
  fb.bevel(r.x, r.y, r.w, r.h, palette::kBevelLight, palette::kBevelDark);
  draw_text(fb, r.x + (r.w - text_width(text)) / 2, r.y + (r.h - kTextHeight) / 2, text,
            palette::kText);
}

}  // namespace

WindowLayout window_layout(const Panel &panel) {
  WindowLayout l;
  const bool row = panel.has_ok_cancel();
  const int min_client_width = row ? 2 * kRowButtonWidth + 3 * 8 : 0;
  const int client_width = std::max(panel.width(), min_client_width);
  l.width = client_width + 2 * kWindowEdge;
  l.title = {kWindowEdge, kWindowEdge, client_width, kTitleStripHeight};
  l.client = {kWindowEdge, kWindowEdge + kTitleStripHeight, panel.width(), panel.height()};
  l.height = l.client.y + panel.height() + (row ? kButtonRowHeight : 0) + kWindowEdge;
  if (row) {
    const int row_y = l.client.y + panel.height();
    const int gap = 8;
    const int left = kWindowEdge + (client_width - 2 * kRowButtonWidth - gap) / 2;
    const int by = row_y + (kButtonRowHeight - kRowButtonHeight) / 2;
    l.ok = Rect{left, by, kRowButtonWidth, kRowButtonHeight};
    l.cancel = Rect{left + kRowButtonWidth + gap, by, kRowButtonWidth, kRowButtonHeight};
  }
  return l;
}

Framebuffer compose_window(const Panel &panel) {
  Framebuffer fb;
  compose_window_into(panel, fb);
  return fb;
}

void compose_window_into(const Panel &panel, Framebuffer &fb) {
  const WindowLayout l = window_layout(panel);
  fb.resize(l.width, l.height, palette::kBackground);
  fb.frame(0, 0, l.width, l.height, palette::kWindowEdge);
  fb.fill_rect(l.title.x, l.title.y, l.title.w, l.title.h, palette::kTitleStrip);
  fb.fill_rect(l.title.x, l.title.y + l.title.h - 1, l.title.w, 1, palette::kBevelDark);
  draw_text_clipped(fb, l.title.x + 4, l.title.y, l.title.w - 8, l.title.h - 1, l.title.x + 6,
                    l.title.y + (l.title.h - kTextHeight) / 2, panel.title(), palette::kTitleText,
                    palette::kTitleStrip);
  fb.blit(panel.framebuffer(), 0, 0, l.client.x, l.client.y, l.client.w, l.client.h);
  if (l.ok) {
    fb.fill_rect(l.title.x, l.client.y + l.client.h, l.title.w, 1, palette::kBevelDark);
    draw_row_button(fb, *l.ok, "OK");
    draw_row_button(fb, *l.cancel, "Cancel");
  }
}

}  // namespace hvhost
