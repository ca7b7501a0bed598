// Picture conversions at the size of a weather chart (1810 x 1200, 24 bits): median-cut
// reduction to 256 colours with and without error diffusion, gray, scaling down and up,
// shrinking with kept aspect, and a stretched copy.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "spl/image/dib_section.h"

namespace {

constexpr int kChartWidth = 1810, kChartHeight = 1200;

// A chart-like picture: smooth colour gradients with sharp dark lines across them.
HBITMAP Chart(CDibSection& dib) {
  HBITMAP h = dib.Create(kChartWidth, kChartHeight, 24);
  for (int y = 0; y < kChartHeight; ++y) {
    uint8_t* row = dib.AdrH(h) + size_t(y) * size_t(dib.BPL(h));
    for (int x = 0; x < kChartWidth; ++x) {
      const bool line = x % 97 < 2 || y % 61 < 2;
      row[3 * x] = uint8_t(line ? 20 : (x * 255) / kChartWidth);
      row[3 * x + 1] = uint8_t(line ? 20 : (y * 255) / kChartHeight);
      row[3 * x + 2] = uint8_t(line ? 20 : ((x + y) * 7) & 255);
    }
  }
  return h;
}

void Pixels(benchmark::State& state, int64_t perRun) {
  state.SetItemsProcessed(state.iterations() * perRun);
  state.counters["Mpixel/s"] =
      benchmark::Counter(double(perRun) * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BM_ConvertTo8(benchmark::State& state) {
  CDibSection dib;
  HBITMAP src = Chart(dib);
  for (auto _ : state) {
    HBITMAP out = dib.ConvertTo8(src, int(state.range(0)));
    benchmark::DoNotOptimize(out);
    DeleteObject(out);
  }
  Pixels(state, int64_t(kChartWidth) * kChartHeight);
  DeleteObject(src);
}
BENCHMARK(BM_ConvertTo8)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ConvertToGray(benchmark::State& state) {
  CDibSection dib;
  HBITMAP src = Chart(dib);
  for (auto _ : state) {
    HBITMAP out = dib.ConvertToGray(src);
    benchmark::DoNotOptimize(out);
    DeleteObject(out);
  }
  Pixels(state, int64_t(kChartWidth) * kChartHeight);
  DeleteObject(src);
}
BENCHMARK(BM_ConvertToGray)->Unit(benchmark::kMillisecond);

// Scale to a quarter (shrink), to 1.5 times (blow) and to a mixed size (both).
void BM_Scale(benchmark::State& state) {
  CDibSection dib;
  HBITMAP src = Chart(dib);
  const int w = int(state.range(0)), h = int(state.range(1));
  for (auto _ : state) {
    HBITMAP out = dib.Scale(src, w, h);
    benchmark::DoNotOptimize(out);
    DeleteObject(out);
  }
  Pixels(state, int64_t(kChartWidth) * kChartHeight);
  DeleteObject(src);
}
BENCHMARK(BM_Scale)
    ->Args({kChartWidth / 4, kChartHeight / 4})
    ->Args({kChartWidth * 3 / 2, kChartHeight * 3 / 2})
    ->Args({kChartWidth / 2, kChartHeight * 2})
    ->Unit(benchmark::kMillisecond);

// The preview of a saved chart: fit into 200 x 200 keeping the aspect.
void BM_ShrinkPreview(benchmark::State& state) {
  CDibSection dib;
  HBITMAP src = Chart(dib);
  for (auto _ : state) {
    HBITMAP out = dib.Shrink(src, 200, 200, 1);
    benchmark::DoNotOptimize(out);
    DeleteObject(out);
  }
  Pixels(state, int64_t(kChartWidth) * kChartHeight);
  DeleteObject(src);
}
BENCHMARK(BM_ShrinkPreview)->Unit(benchmark::kMillisecond);

void BM_StretchHalf(benchmark::State& state) {
  CDibSection dib;
  HBITMAP src = Chart(dib);
  HBITMAP dst = dib.Create(kChartWidth / 2, kChartHeight / 2, 24);
  for (auto _ : state)
    benchmark::DoNotOptimize(dib.Stretch(dst, 0, 0, kChartWidth / 2, kChartHeight / 2, src, 0, 0,
                                         kChartWidth, kChartHeight));
  Pixels(state, int64_t(kChartWidth) * kChartHeight);
  DeleteObject(dst);
  DeleteObject(src);
}
BENCHMARK(BM_StretchHalf)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
