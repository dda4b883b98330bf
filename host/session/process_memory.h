// The process's private memory, which the headless host measures after each
// of repeated requests to see a plug-in that keeps what it allocated.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace hvhost {

// Bytes of memory the process holds for itself alone: on Windows its
// private commit (the commit charge, PagefileUsage, which is PrivateUsage),
// elsewhere its resident anonymous memory (RssAnon). Nothing when the system does not say.
std::optional<uint64_t> private_memory_bytes();

// The growth, on average per request after the first, that repeated
// requests may show before the host calls it a leak. The plug-in's own
// requests keep nothing; a host built with AddressSanitizer keeps freed
// memory in quarantine for a while, which stays well below this.
inline constexpr uint64_t kLeakLimitPerRequest = uint64_t{4} << 20;

// Watches private memory over repeated requests: measure() after each.
class LeakWatch {
 public:
  void measure();
  // A problem when the memory grew by more than kLeakLimitPerRequest a
  // request on average from after the first request to after the last,
  // naming the figures; empty otherwise, or with fewer than two requests.
  std::string problem() const;

 private:
  std::optional<uint64_t> first_, last_;
  int requests_ = 0;
};

}  // namespace hvhost
