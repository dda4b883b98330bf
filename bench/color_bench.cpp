// Colour model costs: one conversion each way, building the hue ramp, and
// a sweep of every 8-bit RGB colour there and back. For scale: the cost of
// converting every pixel of the 256 x 256 field, which the precomputed ramp
// lets the painters avoid; set it against a 240 Hz frame, 4.17 ms.
#include <benchmark/benchmark.h>
#include <stdint.h>
#include <stdlib.h>

#include <vector>

#include "color/color.h"

namespace {

// A fixed spread of inputs, so that every hue sector and the grey path are
// taken and the branches are not perfectly predicted.
std::vector<ColorTriple> sample_triples(size_t n) {
  std::vector<ColorTriple> v(n);
  uint32_t x = 2463534242u;
  for (ColorTriple &t : v) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    t = {static_cast<int32_t>(x & 255), static_cast<int32_t>((x >> 8) & 255),
         static_cast<int32_t>((x >> 16) & 255)};
  }
  return v;
}

void BM_RgbToHsv(benchmark::State &state) {
  const std::vector<ColorTriple> in = sample_triples(4096);
  size_t i = 0;
  for (auto _ : state) {
    ColorTriple out;
    rgb_to_hsv(&in[i], &out);
    benchmark::DoNotOptimize(out);
    i = (i + 1) & 4095;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RgbToHsv);

void BM_HsvToRgb(benchmark::State &state) {
  const std::vector<ColorTriple> in = sample_triples(4096);
  size_t i = 0;
  for (auto _ : state) {
    ColorTriple out = {0, 0, 0};
    hsv_to_rgb(&out, &in[i]);
    benchmark::DoNotOptimize(out);
    i = (i + 1) & 4095;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HsvToRgb);

void BM_GradientCreate(benchmark::State &state) {
  for (auto _ : state) {
    GradientState *g = gradient_create();
    benchmark::DoNotOptimize(g);
    free(g->red_ramp);
    free(g->green_ramp);
    free(g->blue_ramp);
    free(g);
  }
}
BENCHMARK(BM_GradientCreate);

// The design the ramp replaces: one hsv_to_rgb per pixel of the field.
void BM_HsvToRgbPerPixelField(benchmark::State &state) {
  for (auto _ : state) {
    uint32_t sum = 0;
    for (int32_t y = 0; y < 256; ++y) {
      for (int32_t x = 0; x < 256; ++x) {
        const ColorTriple hsv = {x, 255 - y, 200};
        ColorTriple rgb = {0, 0, 0};
        hsv_to_rgb(&rgb, &hsv);
        sum += static_cast<uint32_t>(rgb.a + rgb.b + rgb.c);
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_HsvToRgbPerPixelField)->Unit(benchmark::kMicrosecond);

// All 16,777,216 RGB colours to HSV and back.
void BM_SweepAllRgbThereAndBack(benchmark::State &state) {
  for (auto _ : state) {
    uint32_t sum = 0;
    for (int32_t r = 0; r < 256; ++r) {
      for (int32_t g = 0; g < 256; ++g) {
        for (int32_t b = 0; b < 256; ++b) {
          const ColorTriple rgb = {r, g, b};
          ColorTriple hsv, back = {0, 0, 0};
          rgb_to_hsv(&rgb, &hsv);
          hsv_to_rgb(&back, &hsv);
          sum += static_cast<uint32_t>(back.a ^ back.b ^ back.c);
        }
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * (int64_t{1} << 24));
}
BENCHMARK(BM_SweepAllRgbThereAndBack)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
