#include "session/process_memory.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
// After windows.h: the process-status declarations need its types.
#include <psapi.h>
#else
#include <fstream>
#endif

namespace hvhost {

std::optional<uint64_t> private_memory_bytes() {
#ifdef _WIN32
  // K32GetProcessMemoryInfo is KERNEL32's own since Windows 7: no PSAPI.DLL.
  // PagefileUsage is the process's commit charge, which Microsoft documents
  // PrivateUsage to be the same as; Wine 8 fills only PagefileUsage.
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
    return std::nullopt;
  return static_cast<uint64_t>(counters.PagefileUsage);
#else
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    unsigned long long kib = 0;
    if (std::sscanf(line.c_str(), "RssAnon: %llu kB", &kib) == 1) return uint64_t{kib} * 1024;
  }
  return std::nullopt;
#endif
}

void LeakWatch::measure() {
  const std::optional<uint64_t> now = private_memory_bytes();
  if (!now) return;
  if (requests_++ == 0) first_ = now;
  last_ = now;
}

std::string LeakWatch::problem() const {
  if (requests_ < 2 || !first_ || !last_ || *last_ <= *first_) return {};
  const uint64_t per_request = (*last_ - *first_) / static_cast<uint64_t>(requests_ - 1);
  if (per_request <= kLeakLimitPerRequest) return {};
  const auto mib = [](uint64_t bytes) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
    return std::string(buf);
  };
  return "the process's private memory grew by " + mib(per_request) +
         " a request on average over " + std::to_string(requests_) + " requests (from " +
         mib(*first_) + " after the first to " + mib(*last_) + " after the last), more than the " +
         mib(kLeakLimitPerRequest) + " allowed: the plug-in keeps what it allocates";
}

}  // namespace hvhost
