// Loading a plug-in module: the one place that knows how the platform loads
// a shared library (dlopen, or LoadLibrary on Windows). A module is a
// library exporting the data symbol `_mod_descrip`, whose sync word must be
// 0x04121994 and whose server table lists the plug-ins it serves.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "abi/host_api.h"

namespace hvhost {

class ModuleError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ModuleLoadOptions {
  // Load a private copy of the file (written to the temporary directory),
  // so that the module's process-wide state starts clean even when the same
  // file is already loaded.
  bool private_copy = false;
  // Leave the library mapped when the Module is destroyed (shutdown is
  // still called). Plug-ins that keep allocations for the life of the
  // process hold them in their own globals; unmapping the library would
  // turn them into leaks that no longer have a root.
  bool keep_mapped = false;
};

class Module {
 public:
  // Loads the library by its absolute path (a relative one is taken from the
  // current directory, never looked up on the system's library path),
  // checks `_mod_descrip` and calls the module's startup function. Throws
  // ModuleError with a message naming the file and what is wrong with it.
  static std::unique_ptr<Module> load(const std::string &path, ModuleLoadOptions options = {});
  ~Module();
  Module(const Module &) = delete;
  Module &operator=(const Module &) = delete;

  // The absolute path of the module file.
  const std::string &path() const { return path_; }
  const ModuleDescriptor &descriptor() const { return *descriptor_; }
  // Each server as "Class 'Name'".
  std::vector<std::string> server_names() const;
  // The server of that class and name, or null.
  const ServerRecord *find_server(std::string_view class_name, std::string_view name) const;
  // The same, or a ModuleError that lists the servers the module has.
  const ServerRecord &require_server(std::string_view class_name, std::string_view name) const;
  // Any exported symbol, or null.
  void *symbol(const char *name) const;
  // Calls the module's shutdown with its startup's token, as a host does
  // when it unloads the module; once only (the destructor then does not).
  void shutdown();

 private:
  Module() = default;

  std::string path_;
  std::string loaded_path_;
  void *library_ = nullptr;
  const ModuleDescriptor *descriptor_ = nullptr;
  void *startup_token_ = nullptr;
  bool started_ = false;
  bool keep_mapped_ = false;
  bool remove_copy_on_unload_ = false;
};

// File name of the plug-in module on this platform: huevane.p on Windows,
// huevane.so elsewhere.
std::string module_file_name();
// The directory holding the running executable (empty if unknown).
std::string executable_directory();

}  // namespace hvhost
