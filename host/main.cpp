// huevane-host: the headless reference host. Loads the plug-in module, runs
// one colour request with input from a script, prints every hot callback and
// the result.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "CLI/CLI.hpp"
#include "services/headless.h"
#include "services/module.h"
#include "services/script.h"

namespace {

// Colour channels beyond 0..1 are passed on (the plug-in must cope with
// them); the bound keeps channel x 255 far inside the int range.
constexpr double kMaxChannel = 1000.0;
constexpr int kMaxDisplay = 32767;

bool parse_float(const std::string &s, float *out) {
  if (s.empty() || s.find_first_of(" \t") != std::string::npos) return false;
  char *end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size() || !std::isfinite(v) || std::fabs(v) > kMaxChannel)
    return false;
  *out = static_cast<float>(v);
  return true;
}

std::string parse_color(const std::string &text, hvhost::ColorRequestSpec *spec) {
  float v[3];
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t comma = text.find(',', start);
    const bool last = i == 2;
    if (last != (comma == std::string::npos))
      return "--color needs three numbers R,G,B, not '" + text + "'";
    const std::string part = text.substr(start, last ? std::string::npos : comma - start);
    if (!parse_float(part, &v[i]))
      return "--color channel '" + part + "' is not a number within -1000..1000";
    start = comma + 1;
  }
  spec->red = v[0];
  spec->green = v[1];
  spec->blue = v[2];
  return {};
}

std::string parse_display(const std::string &text, int *w, int *h) {
  const size_t x = text.find('x');
  const std::string bad = "--display needs WIDTHxHEIGHT, each 1.." + std::to_string(kMaxDisplay) +
                          ", not '" + text + "'";
  if (x == std::string::npos) return bad;
  const auto number = [](const std::string &s, int *out) {
    if (s.empty() || s.size() > 6 || s.find_first_not_of("0123456789") != std::string::npos)
      return false;
    *out = std::stoi(s);
    return *out >= 1 && *out <= kMaxDisplay;
  };
  if (!number(text.substr(0, x), w) || !number(text.substr(x + 1), h)) return bad;
  return {};
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{"huevane-host: headless reference host for the Huevane colour picker"};
  std::string exe_dir = hvhost::executable_directory();
  std::string module_path =
      (std::filesystem::path(exe_dir) / hvhost::module_file_name()).string();
  std::string server = hvhost::kDefaultServerName;
  std::string color = "0,0,0";
  std::string title = hvhost::kDefaultRequestTitle;
  std::string display = "1920x1080";
  std::string script_path;
  std::string snapshot_dir;
  std::string trace_path;
  std::string wallpaper_path;
  bool no_title = false;

  app.add_option("--module", module_path, "plug-in module to load")
      ->default_str(hvhost::module_file_name() + " beside this program");
  app.add_option("--server", server, "name of the ColorPicker server")->capture_default_str();
  app.add_option("--color", color, "initial colour R,G,B as floats, 0..1")
      ->capture_default_str();
  auto *title_opt =
      app.add_option("--title", title, "title of the colour request")->capture_default_str();
  app.add_flag("--no-title", no_title, "send a null title")->excludes(title_opt);
  app.add_option("--display", display, "display size WIDTHxHEIGHT")->capture_default_str();
  app.add_option("--script", script_path, "script of user actions (see the script grammar)");
  app.add_option("--snapshot", snapshot_dir, "directory for the PNGs of `snapshot` actions");
  app.add_option("--trace", trace_path, "write every call the plug-in made to this file");
  app.add_option("--desktop", wallpaper_path,
                 "PNG shown on the simulated desktop behind the panels (default: a test pattern)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    const int code = app.exit(e);
    return code == 0 ? hvhost::kExitOk : hvhost::kExitUsage;
  }

  hvhost::HeadlessConfig config;
  config.module_path = module_path;
  config.server_name = server;
  std::string problem = parse_color(color, &config.request);
  if (problem.empty())
    problem = parse_display(display, &config.display_width, &config.display_height);
  if (!problem.empty()) {
    std::cerr << "error: " << problem << "\n";
    return hvhost::kExitUsage;
  }
  if (no_title) config.request.title.reset();
  else config.request.title = title;
  if (!snapshot_dir.empty()) config.snapshot_dir = snapshot_dir;
  if (!trace_path.empty()) config.trace_path = trace_path;
  if (!wallpaper_path.empty()) config.wallpaper_path = wallpaper_path;
  if (!script_path.empty()) {
    try {
      config.actions = hvhost::load_script(script_path);
    } catch (const hvhost::ScriptError &e) {
      std::cerr << "error: " << e.what() << "\n";
      return hvhost::kExitUsage;
    }
  }
  return hvhost::run_headless(config, std::cout, std::cerr);
}
