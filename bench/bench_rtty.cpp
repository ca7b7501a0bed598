// RTTY decoder speed: a minute of 50 Bd Baudot (425 Hz shift) and of SITOR-B at 11025 Hz (and
// Baudot at 48000 Hz), decoded in sound-card blocks by the matched receiver (with and without
// tuning) and the plain one; the real-time factor is audio seconds per CPU second.
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

rttysig::Link Make(int rate, int mode, float baud, int space, int receiver, int tune) {
  rttysig::Link l;
  l.rate = rate;
  l.mode = mode;
  l.tx_baud = baud;
  l.rx_baud = baud;
  l.mark = 1275;
  l.space = space;
  l.receiver = receiver;
  l.auto_tune = tune;
  return l;
}

const int kPlain = kRttyReceiverPlain, kMatched = kRttyReceiverMatched;
BENCHMARK_CAPTURE(DecodeMinute, baudot_50bd_425hz_plain, Make(11025, kRttyAsync, 50, 1700, kPlain, 0))
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(DecodeMinute, baudot_50bd_425hz_matched, Make(11025, kRttyAsync, 50, 1700, kMatched, 0))
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(DecodeMinute, baudot_50bd_425hz_matched_tuning, Make(11025, kRttyAsync, 50, 1700, kMatched, 1))
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(DecodeMinute, baudot_45bd_170hz_48000_matched, Make(48000, kRttyAsync, 45.45f, 1445, kMatched, 1))
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(DecodeMinute, sitor_b_100bd_170hz_plain, Make(11025, kRttySitorB, 100, 1445, kPlain, 0))
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(DecodeMinute, sitor_b_100bd_170hz_matched_tuning, Make(11025, kRttySitorB, 100, 1445, kMatched, 1))
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
