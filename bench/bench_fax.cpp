// FAX decoder speed: a minute of a weather chart at 11025 Hz (IOC 576, 120 lines a minute) with
// noise, decoded in sound-card blocks by the FM, carrier-peak AM and envelope AM demodulators
// (FM and envelope also by their quadrature paths);
// the real-time factor is audio seconds per CPU second.
#include <benchmark/benchmark.h>

#include <vector>

#ifndef KESTREL_TOOL
#define KESTREL_TOOL "kestrel"
#endif
#include "spl/decoders/fax_decoder.h"
#include "spl/decoders/fax_transmitter.h"
#include "tests/common/signal_test_util.h"

namespace {

constexpr int kRate = 11025, kBlock = 1024;
constexpr double kSeconds = 60.0;

enum Demod { kFm, kAm, kEnvelope, kFmQuadrature, kEnvelopeQuadrature };

std::vector<float> Minute(int am) {
  CFaxTransmitter t;
  t.Init(kRate, 576, 120, am);
  t.SetTimes(0.0, 2.0, 0.0);
  const int w = t.GetXSize(), h = 130;
  std::vector<uint8_t> chart(size_t(w) * h, 255);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (y % 17 == 0 || x % 211 < 5 || ((x / 53) % 3 == 0 && (y / 4) % 2 == 0))
        chart[size_t(y) * w + x] = 0;
  std::vector<float> s;
  t.Transmit(chart.data(), w, h, s);
  s.resize(size_t(kSeconds * kRate));
  sigtest::AddNoise(s, kRate, 20.0, 9);
  return s;
}

struct CCounting : CFaxDecoder {
  void FaxLine(HBITMAP, int) override { ++lines; }
  long lines = 0;
};

void DecodeMinute(benchmark::State& state, Demod demod) {
  const bool fm = demod == kFm || demod == kFmQuadrature;
  const std::vector<float> s = Minute(fm ? 0 : 1);
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, kBlock);
  for (auto _ : state) {
    CCounting d;
    d.Init(kRate, kBlock, 64, 0);
    if (!fm) {
      d.SetFaxDecoder(2400, 800, 3600);
      d.DefineBurst(1040, 39, 100);
    }
    d.SetFmQuadrature(demod == kFmQuadrature);
    d.SetAmQuadrature(demod == kEnvelopeQuadrature);
    for (size_t i = 0; i + kBlock <= s.size(); i += kBlock) {
      std::copy(s.begin() + long(i), s.begin() + long(i + kBlock), b->data);
      MeasureAudioBlock(b);
      if (fm) d.DecodeFM(b);
      else if (demod == kAm) d.DecodeAM(b);
      else d.DecodeAMFilter(b);
    }
    benchmark::DoNotOptimize(d.lines);
  }
  FreeAudioBlock(b);
  state.counters["realtime_factor"] =
      benchmark::Counter(kSeconds * double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(DecodeMinute, fm, kFm)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(DecodeMinute, am_carrier_peaks, kAm)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(DecodeMinute, am_envelope, kEnvelope)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(DecodeMinute, fm_quadrature, kFmQuadrature)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(DecodeMinute, am_envelope_quadrature, kEnvelopeQuadrature)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
