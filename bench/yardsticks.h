// Yardsticks shared by the benchmarks: timing a call outside Google
// Benchmark's loop, a plain memcpy of a given size, and a loop's wall time.
#pragma once

#include <benchmark/benchmark.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <vector>

namespace bench {

// Nanoseconds per call of f: the best average of five batches of at least
// 20 ms each, so that a stray interruption does not count.
template <typename F>
double ns_per_call(F &&f) {
  using Clock = std::chrono::steady_clock;
  const auto batch = [&](int64_t n) {
    const auto t0 = Clock::now();
    for (int64_t i = 0; i < n; ++i) f();
    return std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
  };
  int64_t n = 1;
  while (batch(n) < 20e6) n *= 2;
  double best = std::numeric_limits<double>::infinity();
  for (int b = 0; b < 5; ++b) best = std::min(best, batch(n) / static_cast<double>(n));
  return best;
}

// A number of bytes as one memcpy between two buffers that stay in cache.
class CopyLimit {
 public:
  explicit CopyLimit(size_t bytes) : from_(bytes, 0x5A), to_(bytes, 0) {}
  void copy() {
    memcpy(to_.data(), from_.data(), from_.size());
    benchmark::ClobberMemory();
  }

 private:
  std::vector<unsigned char> from_, to_;
};

// Wall time of a benchmark's loop, for counters that relate it to another
// figure measured in the same process.
class LoopTimer {
 public:
  LoopTimer() : t0_(std::chrono::steady_clock::now()) {}
  double ns_per_iteration(const benchmark::State &state) const {
    const double ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0_).count();
    return state.iterations() ? ns / static_cast<double>(state.iterations()) : 0.0;
  }

 private:
  std::chrono::steady_clock::time_point t0_;
};

}  // namespace bench
