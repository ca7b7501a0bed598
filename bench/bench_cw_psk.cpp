// Speed of the CW and PSK31 decoders and transmitters at 11025 Hz in 1024-sample blocks,
// reported as samples per second and as times real time (counter "x_realtime").
#define KESTREL_TOOL "kestrel"
#include <benchmark/benchmark.h>

#include "spl/decoders/cw_transmitter.h"
#include "tests/decoders/cw_psk_signals.h"

using namespace cwpsk;

namespace {

const std::string kText = "CQ CQ DE KESTREL THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG ";

template <class Decoder>
void Run(benchmark::State& state, Decoder& d, const std::vector<float>& s) {
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, kBlock);
  const size_t blocks = s.size() / kBlock;
  size_t next = 0;
  for (auto _ : state) {
    std::copy(s.begin() + long(next * kBlock), s.begin() + long((next + 1) * kBlock), b->data);
    MeasureAudioBlock(b);
    d.Decode(b);
    next = (next + 1) % blocks;
  }
  FreeAudioBlock(b);
  state.SetItemsProcessed(int64_t(state.iterations()) * kBlock);
  state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()) * kBlock / kRate,
                                                    benchmark::Counter::kIsRate);
}

void BM_CwDecoder(benchmark::State& state) {
  KeyerOptions o;
  std::vector<float> s = KeyMorse(kText, o);
  sigtest::AddNoise(s, kRate, 10.0, 1, CarrierPower());
  CCollectingCw d;
  d.SetFilter(1200, 30);
  d.Init(kRate, kBlock, 128, 0);
  Run(state, d, s);
}

void BM_Psk31Decoder(benchmark::State& state) {
  const bool bpsk = state.range(0) != 0;
  std::vector<float> s = bpsk ? RenderBpsk(kText, 1000) : RenderQpsk(kText, 1000);
  sigtest::AddNoise(s, kRate, 10.0, 2);
  CCollectingPsk d;
  d.Init(1000, kRate, kBlock, 128);
  d.SetBPSKModeActive(bpsk ? 1 : 0);
  Run(state, d, s);
  state.SetLabel(bpsk ? "BPSK31" : "QPSK31");
}

// Noise alone: nothing is held, so the carrier search runs all the time (its worst case).
void BM_Psk31DecoderNoise(benchmark::State& state) {
  const bool bpsk = state.range(0) != 0;
  std::vector<float> s(size_t(20 * kRate), 0.0f);
  sigtest::AddNoise(s, kRate, 0.0, 3, 1000.0);
  CCollectingPsk d;
  d.Init(1000, kRate, kBlock, 128);
  d.SetBPSKModeActive(bpsk ? 1 : 0);
  Run(state, d, s);
  state.SetLabel(bpsk ? "BPSK31, noise alone" : "QPSK31, noise alone");
}

void BM_CwTransmitter(benchmark::State& state) {
  CCwTransmitter tx;
  tx.Init(kRate, kBlock);
  tx.SetMode(1000, 20);
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, kBlock);
  for (auto _ : state) {
    if (tx.GetBitCount() == 0)
      for (char c : kText) tx.Transmit(c);
    tx.CreateAudio(b);
  }
  FreeAudioBlock(b);
  state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()) * kBlock / kRate,
                                                    benchmark::Counter::kIsRate);
}

void BM_Bpsk31Transmitter(benchmark::State& state) {
  CPSK31Transmitter tx;
  tx.Init(1000, kRate, kBlock);
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, kBlock);
  for (auto _ : state) {
    if (tx.GetBitCount() == 0)
      for (char c : kText) tx.Transmit(c);
    tx.CreateAudio(b);
  }
  FreeAudioBlock(b);
  state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()) * kBlock / kRate,
                                                    benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_CwDecoder);
BENCHMARK(BM_Psk31Decoder)->Arg(1)->Arg(0);
BENCHMARK(BM_Psk31DecoderNoise)->Arg(1)->Arg(0);
BENCHMARK(BM_CwTransmitter);
BENCHMARK(BM_Bpsk31Transmitter);
BENCHMARK_MAIN();
