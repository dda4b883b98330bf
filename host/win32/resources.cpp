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
  std::string private_kib = "?", working_set_kib = "?";
  if (K32GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&memory),
                              sizeof memory)) {
    // The private commit charge; PagefileUsage holds the same figure, and
    // is what a system that leaves PrivateUsage at 0 fills in.
    const SIZE_T private_bytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    private_kib = count_or_unknown(static_cast<DWORD>(private_bytes / 1024));
    working_set_kib = count_or_unknown(static_cast<DWORD>(memory.WorkingSetSize / 1024));
  }
  return std::string("resources ") + when + " gdi " + count_or_unknown(gdi) + " user " +
         count_or_unknown(user) + " private_kib " + private_kib + " working_set_kib " +
         working_set_kib;
}

}  // namespace hvwin
