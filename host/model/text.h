// The host's text: stb_easy_font's small vector font rasterised into a
// framebuffer. Characters outside printable ASCII are shown as '?'.
#pragma once

#include <string_view>

#include "model/framebuffer.h"

namespace hvhost {

// Height of a line of text in pixels (capital letters and digits).
inline constexpr int kTextHeight = 7;
// Distance from one line of text to the next.
inline constexpr int kTextLineHeight = 12;

int text_width(std::string_view text);
// Draws text with its top-left corner at (x, y), clipped to the image.
void draw_text(Framebuffer &fb, int x, int y, std::string_view text, Rgb color);
// The same, showing only what falls inside the clip rectangle, which is
// first filled with background.
void draw_text_clipped(Framebuffer &fb, int clip_x, int clip_y, int clip_w, int clip_h, int x,
                       int y, std::string_view text, Rgb color, Rgb background);

}  // namespace hvhost
