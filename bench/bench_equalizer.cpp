// Cost of the capture-path stages of the equalizer and the audio squelch: one block of N
// samples per call, and the share of one core that a 11025 Hz stream takes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>

#include "spl/dsp/audio_squelch.h"
#include "spl/dsp/equalizer.h"

namespace {

constexpr int kRate = 11025;

AudioBlock* NoiseBlock(int n) {
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, n);
  for (int i = 0; i < n; ++i) b->data[i] = float(std::sin(i * 0.37) * 3000.0 + (i * 7919 % 2001 - 1000));
  MeasureAudioBlock(b);
  return b;
}

// seconds: the loop's thread CPU time.
void ReportShare(benchmark::State& state, int n, double seconds) {
  const double per_block = seconds / double(state.iterations());
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["blocks/s"] = 1.0 / per_block;
  // The blocks a 11025 Hz stream brings per second, times the cost of one.
  state.counters["core%@11025"] = 100.0 * kRate / n * per_block;
}

double CpuSeconds() { return double(clock()) / CLOCKS_PER_SEC; }

void BM_Equalize(benchmark::State& state) {
  const int n = int(state.range(0));
  CEqualizer eq;
  eq.Init(kRate, n, 1000);
  eq.SetRange(300, 800, 0.0f);
  AudioBlock* b = NoiseBlock(n);
  const double start = CpuSeconds();
  for (auto _ : state) {
    eq.Equalize(b);
    benchmark::DoNotOptimize(b->data[0]);
  }
  const double seconds = CpuSeconds() - start;
  FreeAudioBlock(b);
  ReportShare(state, n, seconds);
}
BENCHMARK(BM_Equalize)->Arg(1024)->Arg(4096);

void BM_SquelchMeasure(benchmark::State& state) {
  const int n = int(state.range(0));
  CAudioSquelch sq;
  sq.Init(kRate, n);
  AudioBlock* b = NoiseBlock(n);
  const double start = CpuSeconds();
  for (auto _ : state) benchmark::DoNotOptimize(sq.GetSpecDiff(b));
  const double seconds = CpuSeconds() - start;
  FreeAudioBlock(b);
  ReportShare(state, n, seconds);
}
BENCHMARK(BM_SquelchMeasure)->Arg(1024)->Arg(4096);

}  // namespace

BENCHMARK_MAIN();
