// huevane-host: the headless reference host. Loads the plug-in module, runs
// one colour request with input from a script, prints every hot callback and
// the result.
#include <iostream>
#include <optional>
#include <string>

#include "CLI/CLI.hpp"
#include "session/cli.h"
#include "session/guard.h"
#include "session/headless.h"

int main(int argc, char **argv) {
  return hvhost::run_guarded(
      [&] {
        CLI::App app{"huevane-host: headless reference host for the Huevane colour picker"};
        hvhost::CommonOptions options;
        hvhost::add_common_options(
            app, &options,
            "1..3600: a colour request that runs longer, in real time, ends with a report "
            "naming the plug-in's last call (exit 6); default: no limit");
        if (const std::optional<int> done = hvhost::parse_command_line(app, argc, argv))
          return *done;

        hvhost::SessionConfig config;
        const std::string problem = hvhost::apply_common_options(options, &config);
        if (!problem.empty()) {
          std::cerr << "error: " << problem << "\n";
          return hvhost::kExitUsage;
        }
        return hvhost::run_headless(config, std::cout, std::cerr);
      },
      std::cerr);
}
