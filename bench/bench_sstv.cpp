// SSTV speed at 11025 Hz: the decoder receiving a whole picture (the colour chart, VIS header
// included, noise 20 dB below it in 3 kHz) in sound-card blocks, and the generator making it.
// The real-time factor is audio seconds per CPU second.
#include <benchmark/benchmark.h>

#include <vector>

// The test helpers name the tool binary, which the benchmarks never run.
#ifndef KESTREL_TOOL
#define KESTREL_TOOL "kestrel"
#endif
#include "spl/audio/audio_block.h"
#include "spl/decoders/sstv_chart.h"
#include "spl/decoders/sstv_decoder.h"
#include "spl/decoders/sstv_transmitter.h"
#include "tests/common/signal_test_util.h"

namespace {

constexpr int kRate = 11025;
constexpr int kBlock = 1024;
constexpr double kSnrDb = 20.0;

bool Picture(int mode, CSstvTransmitter& tx) {
  std::vector<uint8_t> chart;
  return tx.Init(mode, kRate) && MakeSstvChart(kSstvTxWidth, tx.GetLines(), chart) &&
         tx.SetPicture(chart.data(), kSstvTxWidth, tx.GetLines());
}

class CLineCounter : public CSstvDecoder {
 public:
  void ShowSSTV(int line) override { lines += line >= 0; }
  int lines = 0;
};

void Decode(benchmark::State& state, int mode) {
  CSstvTransmitter tx;
  std::vector<float> s;
  if (!Picture(mode, tx) || !tx.Transmit(s)) return state.SkipWithError("no signal");
  sigtest::AddNoise(s, kRate, kSnrDb, 11);
  AudioBlock* b = nullptr;
  if (!NewAudioBlock(&b, kBlock)) return state.SkipWithError("out of memory");
  int lines = 0;
  for (auto _ : state) {
    CLineCounter d;
    if (!d.Init(kRate, kBlock)) return state.SkipWithError("Init");
    d.SetAVIS(1);
    for (size_t i = 0; i < s.size(); i += kBlock) {
      for (int k = 0; k < kBlock; ++k) b->data[k] = i + k < s.size() ? s[i + k] : 0.0f;
      MeasureAudioBlock(b);
      d.Decode(b);
    }
    lines = d.lines;
    benchmark::DoNotOptimize(lines);
  }
  FreeAudioBlock(b);
  state.counters["lines"] = lines;
  state.counters["realtime_factor"] = benchmark::Counter(
      double(s.size()) / kRate * double(state.iterations()), benchmark::Counter::kIsRate);
}

void Generate(benchmark::State& state, int mode) {
  CSstvTransmitter tx;
  if (!Picture(mode, tx)) return state.SkipWithError("Init");
  std::vector<float> s;
  s.reserve(size_t(tx.GetTotalSamples()));
  for (auto _ : state) {
    s.clear();
    tx.Rewind();
    tx.Transmit(s);
    benchmark::DoNotOptimize(s.data());
  }
  state.counters["realtime_factor"] = benchmark::Counter(
      double(s.size()) / kRate * double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(Decode, martin1, kSstvTxMartin1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(Decode, scottie1, kSstvTxScottie1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(Decode, sc2_180, kSstvTxSc2_180)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(Decode, robot72, kSstvTxRobot72)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(Generate, martin1, kSstvTxMartin1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(Generate, scottie1, kSstvTxScottie1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(Generate, sc2_180, kSstvTxSc2_180)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(Generate, robot72, kSstvTxRobot72)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
