// Pictures of panels as PNG files.
#pragma once

#include <string>

#include "services/framebuffer.h"
#include "services/objects.h"

namespace hvhost {

// Writes the image as an 8-bit RGB PNG. Returns false and sets *error on
// failure.
bool write_png(const std::string &path, const Framebuffer &image, std::string *error);

// Writes the panel's window (title strip, client area, OK / Cancel row) as
// DIR/NAME.png, creating DIR if needed.
bool write_panel_snapshot(const Panel &panel, const std::string &dir, const std::string &name,
                          std::string *error);

}  // namespace hvhost
