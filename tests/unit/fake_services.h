// A minimal in-memory stand-in for the host's panel and raster services, for
// unit tests of the plug-in's painters and routing without the full host.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "abi/host_api.h"
#include "color/color.h"

namespace fake {

struct Raster {
  int w = 0, h = 0;
  std::vector<ColorTriple> pixels;
  ColorTriple at(int x, int y) const { return pixels[static_cast<size_t>(y * w + x)]; }
};

struct Control {
  LWControl handle{};
  int attrs[32] = {};
  int32_t value[3] = {};
  void *ptrs[32] = {};
};

// Installs itself as the plug-in's service tables for its lifetime.
class Services {
 public:
  Services();
  ~Services();
  static Services &get();

  Raster *raster(LWRasterID id) { return reinterpret_cast<Raster *>(id); }
  int count(const std::string &op) const;
  void clear_counts() { counts_.clear(); }

  LWPanelFuncs panel_funcs{};
  DrawFuncs draw_funcs{};
  LWRasterFuncs raster_funcs{};
  std::vector<std::unique_ptr<Raster>> rasters;
  std::vector<std::unique_ptr<Control>> controls;
  std::map<std::string, int> counts_;
  std::vector<std::string> panel_draws;
};

// Colour codes as the fake host paints them.
ColorTriple code_colour(int code);

}  // namespace fake
