#include "services/snapshot.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "services/chrome.h"
#include "stb_image_write.h"

namespace hvhost {

bool write_png(const std::string &path, const Framebuffer &image, std::string *error) {
  if (image.width() <= 0 || image.height() <= 0) {
    *error = "cannot write an empty image to " + path;
    return false;
  }
  std::vector<unsigned char> rgb;
  rgb.reserve(image.pixels().size() * 3);
  for (uint32_t p : image.pixels()) {
    rgb.push_back(static_cast<unsigned char>(p >> 16));
    rgb.push_back(static_cast<unsigned char>(p >> 8));
    rgb.push_back(static_cast<unsigned char>(p));
  }
  if (!stbi_write_png(path.c_str(), image.width(), image.height(), 3, rgb.data(),
                      image.width() * 3)) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

bool write_panel_snapshot(const Panel &panel, const std::string &dir, const std::string &name,
                          std::string *error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    *error = "cannot create snapshot directory " + dir + ": " + ec.message();
    return false;
  }
  return write_png((fs::path(dir) / (name + ".png")).string(), compose_window(panel), error);
}

}  // namespace hvhost
