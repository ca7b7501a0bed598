// RTTY decoder speed: a minute of 50 Bd Baudot (425 Hz shift) and of SITOR-B at 11025 Hz,
// decoded in sound-card blocks; the real-time factor is audio seconds per CPU second.
#include <benchmark/benchmark.h>

// The test helpers name the tool binary, which the benchmarks never run.
#ifndef KESTREL_TOOL
#define KESTREL_TOOL "kestrel"
#endif
#include "tests/common/rtty_signal.h"
#include "tests/common/signal_test_util.h"

namespace {

constexpr double kSeconds = 60.0;

std::vector<float> Minute(const rttysig::Link& l) {
  // 500 characters last longer than a minute in both modes (150 ms and 140 ms each).
  std::string text;
  for (int i = 0; i < 20; ++i) text += "THE QUICK BROWN FOX 1234 ";
  std::vector<float> s = rttysig::Render(l, text, 0.0);
  s.resize(size_t(kSeconds * l.rate));
  sigtest::AddNoise(s, l.rate, 10.0, 7);
  return s;
}

void DecodeMinute(benchmark::State& state, rttysig::Link l) {
  const std::vector<float> s = Minute(l);
  for (auto _ : state) {
    rttysig::CCollector d;
    rttysig::Configure(d, l);
    rttysig::Feed(d, s);
    benchmark::DoNotOptimize(d.text);
  }
  state.counters["realtime_factor"] =
      benchmark::Counter(kSeconds * double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(DecodeMinute, baudot_50bd_425hz, rttysig::Link{11025, kRttyAsync, 50, 50, 1275, 1700})
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(DecodeMinute, sitor_b_100bd_170hz, rttysig::Link{11025, kRttySitorB, 100, 100, 1275, 1445})
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
