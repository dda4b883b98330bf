#include "output/snapshot.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "model/chrome.h"
#include "output/file_write.h"
#include "stb_image_write.h"

namespace hvhost {

namespace fs = std::filesystem;

namespace {

void to_file(void *context, void *data, int size) {
  static_cast<AtomicFile *>(context)->write(
      std::string_view(static_cast<const char *>(data), static_cast<size_t>(size)));
}

bool create_dir(const std::string &dir, std::string *error) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (!ec) return true;
  *error = "cannot create the snapshot directory " + dir + ": " + ec.message();
  return false;
}

}  // namespace

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
  AtomicFile file;
  if (!file.open(path)) {
    *error = file.error();
    return false;
  }
  if (!stbi_write_png_to_func(to_file, &file, image.width(), image.height(), 3, rgb.data(),
                              image.width() * 3)) {
    *error = "cannot encode " + path + " as PNG";
    return false;
  }
  if (!file.commit()) {
    *error = file.error();
    return false;
  }
  return true;
}

bool prepare_snapshot_dir(const std::string &dir, std::string *error) {
  if (!create_dir(dir, error)) return false;
  AtomicFile probe;
  if (probe.open((fs::path(dir) / "probe").string())) return true;  // removed by its destructor
  *error = probe.error();
  return false;
}

bool write_snapshot(const Framebuffer &image, const std::string &dir, const std::string &name,
                    std::string *error) {
  return create_dir(dir, error) &&
         write_png((fs::path(dir) / (name + ".png")).string(), image, error);
}

bool write_panel_snapshot(const Panel &panel, const std::string &dir, const std::string &name,
                          std::string *error) {
  return write_snapshot(compose_window(panel), dir, name, error);
}

}  // namespace hvhost
