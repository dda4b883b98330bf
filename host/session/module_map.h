// Where the plug-in's code lies in the process, so that a crash report can
// name a faulting address as module plus offset ("mypicker.p+0x1a2b") and,
// when the module file has a symbol table, the function there. Made once
// at load time in ordinary code; read by the crash report, which only
// compares and formats.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace hvhost {

struct ModuleFunction {
  uintptr_t offset;  // from the module's base
  uintptr_t size;    // 0: up to the next function
  std::string name;  // demangled when it could be
};

struct ModuleMap {
  std::string name;  // the file's name, no directory
  uintptr_t base = 0, end = 0;
  std::vector<ModuleFunction> functions;  // sorted by offset
};

// The map of the loaded module at `path` that holds `inside` (an address of
// one of its symbols). False, with *out empty, when the mapping cannot be
// found; a file without a symbol table gives no functions.
bool map_module(const std::string &path, const void *inside, ModuleMap *out);

// "name+0x1a2b (in function)" or "name+0x1a2b" into buf, for an address in
// the map; nothing (0) for one outside it. No allocation.
size_t describe_address(const ModuleMap &map, uintptr_t address, char *buf, size_t size);

}  // namespace hvhost
