#include "model/objects.h"

#include <algorithm>
#include <string>

#include "model/palette.h"
#include "model/text.h"

namespace hvhost {

namespace {

ControlKind kind_for(std::string_view type_name) {
  if (type_name == "CanvasControl") return ControlKind::kCanvas;
  if (type_name == "ButtonControl") return ControlKind::kButton;
  if (type_name == "MiniRGBControl") return ControlKind::kMiniRgb;
  if (type_name == "MiniHSVControl") return ControlKind::kMiniHsv;
  return ControlKind::kOther;
}

int size_or(int requested, int fallback, int max = 1024) {
  return requested > 0 ? std::min(requested, max) : fallback;
}

// A label of the form "\x03(i:NAME)" asks for the host's icon NAME.
std::optional<std::string_view> icon_name(std::string_view label) {
  if (label.size() < 5 || label[0] != '\x03' || label.substr(1, 3) != "(i:" || label.back() != ')')
    return std::nullopt;
  return label.substr(4, label.size() - 5);
}

void draw_magnifier(Framebuffer &fb, int cx, int cy, Rgb ring, Rgb lens) {
  for (int dy = -5; dy <= 5; ++dy) {
    for (int dx = -5; dx <= 5; ++dx) {
      const int d2 = dx * dx + dy * dy;
      if (d2 <= 10)
        fb.set_pixel(cx + dx, cy + dy, lens);
      else if (d2 <= 24)
        fb.set_pixel(cx + dx, cy + dy, ring);
    }
  }
  for (int i = 0; i < 5; ++i) {
    fb.set_pixel(cx + 3 + i, cy + 4 + i, ring);
    fb.set_pixel(cx + 4 + i, cy + 4 + i, ring);
    fb.set_pixel(cx + 4 + i, cy + 3 + i, ring);
  }
}

void draw_editor(const Control &c, Framebuffer &fb) {
  static const char *const kRgbLabels[3] = {"R", "G", "B"};
  static const char *const kHsvLabels[3] = {"H", "S", "V"};
  static constexpr Rgb kRgbColors[3] = {{236, 120, 120}, {120, 214, 120}, {130, 160, 244}};
  const bool rgb = c.kind() == ControlKind::kMiniRgb;
  const int group = c.width() / 3;
  for (int i = 0; i < 3; ++i) {
    const int gx = c.x() + i * group;
    draw_text(fb, gx + 4, c.y() + 9, rgb ? kRgbLabels[i] : kHsvLabels[i],
              rgb ? kRgbColors[i] : palette::kText);
    const Rect box = c.editor_field(i);
    fb.fill_rect(box.x, box.y, box.w, box.h, palette::kFieldFill);
    fb.bevel(box.x, box.y, box.w, box.h, palette::kBevelDark, palette::kBevelLight);
    const std::string number = std::to_string(c.value()[i]);
    const Rect inside{box.x + 1, box.y + 1, box.w - 2, box.h - 2};
    draw_text_clipped(fb, inside.x, inside.y, inside.w, inside.h,
                      box.x + box.w - 4 - text_width(number), box.y + 6, number, palette::kText,
                      palette::kFieldFill);
  }
}

}  // namespace

Control::Control(Panel &panel, std::string type_name, LWPanControlDesc desc, std::string label)
    : panel_(&panel),
      type_name_(std::move(type_name)),
      label_(std::move(label)),
      desc_(desc),
      kind_(kind_for(type_name_)) {
  switch (kind_) {
    case ControlKind::kCanvas:
      // The description gives the inner area; the frame is outside it.
      width_ = size_or(desc.area.width, 32) + 2;
      height_ = size_or(desc.area.height, 32) + 2;
      break;
    case ControlKind::kButton:
      width_ = icon_name(label_) ? size_or(desc.area.width, 22)
                                 : std::max(size_or(desc.area.width, 0), text_width(label_) + 12);
      height_ = size_or(desc.area.height, kButtonDefaultHeight);
      break;
    case ControlKind::kMiniRgb:
    case ControlKind::kMiniHsv:
      width_ = kMiniEditorWidth;
      height_ = kMiniEditorHeight;
      offset_x_ = kMiniEditorOffsetX;
      break;
    case ControlKind::kOther:
      width_ = std::max(size_or(desc.area.width, 80), text_width(label_) + 8);
      height_ = size_or(desc.area.height, 20);
      break;
  }
}

Rect Control::inner() const {
  if (kind_ == ControlKind::kCanvas) return {x_ + 1, y_ + 1, width_ - 2, height_ - 2};
  return rect();
}

void Control::draw(Framebuffer &fb) const {
  fb.fill_rect(x_, y_, width_, height_, palette::kBackground);
  switch (kind_) {
    case ControlKind::kCanvas:
      fb.fill_rect(x_ + 1, y_ + 1, width_ - 2, height_ - 2, palette::kFieldFill);
      fb.bevel(x_, y_, width_, height_, palette::kBevelDark, palette::kBevelLight);
      break;
    case ControlKind::kButton: {
      fb.fill_rect(x_, y_, width_, height_,
                   pressed_ ? palette::kButtonPressed : palette::kButtonFace);
      if (pressed_)
        fb.bevel(x_, y_, width_, height_, palette::kBevelDark, palette::kBevelLight);
      else
        fb.bevel(x_, y_, width_, height_, palette::kBevelLight, palette::kBevelDark);
      const int shift = pressed_ ? 1 : 0;
      if (auto icon = icon_name(label_)) {
        if (*icon == "MIMG_ZOOM")
          draw_magnifier(fb, center_x() - 2 + shift, center_y() - 2 + shift, palette::kText,
                         Rgb{150, 190, 226});
        else
          draw_text(fb, center_x() - 2, center_y() - 3, "?", palette::kText);
      } else {
        draw_text(fb, center_x() - text_width(label_) / 2 + shift,
                  center_y() - kTextHeight / 2 + shift, label_, palette::kText);
      }
      break;
    }
    case ControlKind::kMiniRgb:
    case ControlKind::kMiniHsv: draw_editor(*this, fb); break;
    case ControlKind::kOther:
      fb.frame(x_, y_, width_, height_, palette::kBevelDark);
      draw_text_clipped(fb, x_ + 1, y_ + 1, width_ - 2, height_ - 2, x_ + 4,
                        y_ + (height_ - kTextHeight) / 2, label_, palette::kDimText,
                        palette::kBackground);
      break;
  }
}

Panel::Panel(std::string title) : title_(std::move(title)) {}

Rect Control::editor_field(int i) const {
  if (!is_editor() || i < 0 || i > 2) return {};
  const int group = width_ / 3;
  return {x_ + i * group + 14, y_ + 3, group - 16, height_ - 6};
}

Control *Panel::find_control(std::string_view type_name) const {
  for (const auto &c : controls_)
    if (c->type_name() == type_name) return c.get();
  return nullptr;
}

Control *Panel::find_control(ControlKind kind) const {
  for (const auto &c : controls_)
    if (c->kind() == kind) return c.get();
  return nullptr;
}

Control *Panel::control_at(int x, int y) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
    if ((*it)->rect().contains(x, y)) return it->get();
  return nullptr;
}

void Panel::note_blit(const Raster &raster, int64_t x, int64_t y) {
  const auto coordinate = [](int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, -kCoordinateLimit, kCoordinateLimit));
  };
  const Rect area{coordinate(x), coordinate(y), raster.width(), raster.height()};
  for (PanelBlit &b : blits_)
    if (b.raster == &raster) {
      b.area = area;
      return;
    }
  blits_.push_back({&raster, area});
}

void Panel::forget_blits(const Raster &raster) {
  blits_.erase(std::remove_if(blits_.begin(), blits_.end(),
                              [&](const PanelBlit &b) { return b.raster == &raster; }),
               blits_.end());
}

Raster::Raster(int w, int h) : fb_(w, h, palette::kBackground) {}

}  // namespace hvhost
