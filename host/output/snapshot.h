// Pictures of panels as PNG files, each written through a temporary file in
// its directory that takes the picture's name once it is complete.
#pragma once

#include <string>

#include "model/framebuffer.h"
#include "model/objects.h"

namespace hvhost {

// Writes the image as an 8-bit RGB PNG. Returns false and sets *error
// ("cannot write DIR/a.png: No space left on device") on failure; a file
// already at path is then left as it was.
bool write_png(const std::string &path, const Framebuffer &image, std::string *error);

// Creates the directory if need be and checks that files can be made in
// it, before a run that will write snapshots there. False with *error set.
bool prepare_snapshot_dir(const std::string &dir, std::string *error);

// Writes the image as DIR/NAME.png, creating DIR if needed.
bool write_snapshot(const Framebuffer &image, const std::string &dir, const std::string &name,
                    std::string *error);

// Writes the panel's window (title strip, client area, OK / Cancel row) as
// DIR/NAME.png, creating DIR if needed.
bool write_panel_snapshot(const Panel &panel, const std::string &dir, const std::string &name,
                          std::string *error);

}  // namespace hvhost
