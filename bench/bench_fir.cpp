// Speed of the block FIR filter on 1024-sample blocks, against a plain direct-form loop over
// the same history layout; both report samples per second.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "spl/primitives/nspfir.h"

namespace {

constexpr int kBlock = 1024;

std::vector<float> Noise(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> v(n);
  for (float& x : v) x = dist(gen);
  return v;
}

void BM_NspFir(benchmark::State& state) {
  const int taps = static_cast<int>(state.range(0));
  const std::vector<float> h = Noise(taps, 1), x = Noise(kBlock, 2);
  std::vector<float> y(kBlock);
  NSPFirState fir;
  nspsFirInit(h.data(), taps, nullptr, &fir);
  for (auto _ : state) {
    nspsbFir(&fir, x.data(), y.data(), kBlock);
    benchmark::DoNotOptimize(y.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
  nspFirnspFree(&fir);
}

// The textbook loop: y[i] = sum_k h[k] x[i-k], history kept in front of the block.
void BM_PlainFir(benchmark::State& state) {
  const int taps = static_cast<int>(state.range(0));
  const std::vector<float> h = Noise(taps, 1), x = Noise(kBlock, 2);
  std::vector<float> line(taps - 1 + kBlock, 0.0f), y(kBlock);
  for (auto _ : state) {
    std::memcpy(line.data() + taps - 1, x.data(), kBlock * sizeof(float));
    const float* cur = line.data() + taps - 1;
    for (int i = 0; i < kBlock; ++i) {
      float acc = 0.0f;
      for (int k = 0; k < taps; ++k) acc += h[k] * cur[i - k];
      y[i] = acc;
    }
    std::memmove(line.data(), line.data() + kBlock, (taps - 1) * sizeof(float));
    benchmark::DoNotOptimize(y.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}

BENCHMARK(BM_NspFir)->Arg(64)->Arg(256);
BENCHMARK(BM_PlainFir)->Arg(64)->Arg(256);

}  // namespace

BENCHMARK_MAIN();
