#include "win32/resources.h"

#include <windows.h>
// windows.h first: psapi.h needs its types.
#include <psapi.h>

namespace hvwin {

namespace {

std::string count_or_unknown(DWORD n) { return n ? std::to_string(n) : std::string("?"); }

}  // namespace

std::string resource_line(const char *when) {
  HANDLE self = GetCurrentProcess();
  const DWORD gdi = GetGuiResources(self, GR_GDIOBJECTS);
  const DWORD user = GetGuiResources(self, GR_USEROBJECTS);
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  std::string private_kib = "?";
  if (K32GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&memory),
                              sizeof memory))
    private_kib = std::to_string(memory.PrivateUsage / 1024);
  return std::string("resources ") + when + " gdi " + count_or_unknown(gdi) + " user " +
         count_or_unknown(user) + " private_kib " + private_kib;
}

}  // namespace hvwin
