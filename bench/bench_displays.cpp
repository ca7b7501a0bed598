// Cost of the spectrum displays per audio block: the analyser's FFTDisplay and the
// spectrogram's Draw (plain, band-passed, and zoomed over a narrow area), at 1024 and 4096
// samples per block, as blocks per second and the share of one core a 11025 Hz stream takes.
// The target only takes the picture (no copy), so the figures are the engines' own work.
#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>

#include "spl/dsp/spectrum_analyser.h"
#include "spl/dsp/spectrogram.h"

namespace {

constexpr int kRate = 11025;
constexpr int kClientWidth = 404;   // a 400 x 200 drawing area
constexpr int kClientHeight = 204;

class CNullTarget : public IPaintTarget {
 public:
  int ClientWidth() const override { return kClientWidth; }
  int ClientHeight() const override { return kClientHeight; }
  void Show(HBITMAP picture, int, int) override { benchmark::DoNotOptimize(picture); }
  void SunkenEdge() override {}
};

AudioBlock* SignalBlock(int n) {
  AudioBlock* b = nullptr;
  NewAudioBlock(&b, n);
  for (int i = 0; i < n; ++i)
    b->data[i] = float(std::sin(i * 0.37) * 3000.0 + std::sin(i * 1.3) * 800.0 +
                       (i * 7919 % 2001 - 1000));
  MeasureAudioBlock(b);
  return b;
}

double CpuSeconds() { return double(clock()) / CLOCKS_PER_SEC; }

void ReportShare(benchmark::State& state, int n, double seconds) {
  const double per_block = seconds / double(state.iterations());
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["blocks/s"] = 1.0 / per_block;
  // The blocks a 11025 Hz stream brings per second, times the cost of one.
  state.counters["core%@11025"] = 100.0 * kRate / n * per_block;
}

void BM_FFTDisplay(benchmark::State& state) {
  const int n = int(state.range(0));
  CNullTarget wnd;
  CSpectrana ana;
  if (!ana.Init(&wnd, kRate, n) || !ana.SetArea(300, 3000) || !ana.SetRange(1000, 1500) ||
      !ana.SetMark(1200, 1400)) {
    state.SkipWithError("analyser set-up failed");
    return;
  }
  ana.SetPeak(1);
  AudioBlock* b = SignalBlock(n);
  const double start = CpuSeconds();
  for (auto _ : state) ana.FFTDisplay(b);
  const double seconds = CpuSeconds() - start;
  FreeAudioBlock(b);
  ReportShare(state, n, seconds);
}
BENCHMARK(BM_FFTDisplay)->Arg(1024)->Arg(4096);

// range(1): 0 plain over 0 ... 5512 Hz, 1 band-passed over 300 ... 3000 Hz, 2 zoomed over
// 1000 ... 1200 Hz (a longer FFT over the history), 3 zoomed and band-passed.
void BM_TimeSpecDraw(benchmark::State& state) {
  const int n = int(state.range(0)), kind = int(state.range(1));
  CNullTarget wnd;
  CTimeSpec spec;
  int ok = spec.Init(&wnd, kRate, n);
  if (ok && kind == 1) ok = spec.SetArea(300, 3000);
  if (ok && kind >= 2) ok = spec.SetArea(1000, 1200);
  if (ok && (kind == 1 || kind == 3)) ok = spec.SetFilter(1);
  if (!ok) {
    state.SkipWithError("spectrogram set-up failed");
    return;
  }
  state.counters["zoom"] = spec.Zoom();
  AudioBlock* b = SignalBlock(n);
  const double start = CpuSeconds();
  for (auto _ : state) spec.Draw(b);
  const double seconds = CpuSeconds() - start;
  FreeAudioBlock(b);
  ReportShare(state, n, seconds);
}
BENCHMARK(BM_TimeSpecDraw)->ArgsProduct({{1024, 4096}, {0, 1, 2, 3}});

}  // namespace

BENCHMARK_MAIN();
