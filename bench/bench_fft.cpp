// Speed of the complex and real FFTs, against FFTW (single precision, one thread,
// FFTW_MEASURE) when it is available; after the runs a table gives our time / FFTW time.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "spl/primitives/nspffts.h"

#ifdef KESTREL_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

constexpr int kMinOrder = 8;   // 256 points
constexpr int kMaxOrder = 13;  // 8192 points

std::vector<float> Noise(size_t n) {
  std::mt19937 gen(1);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> v(n);
  for (float& x : v) x = dist(gen);
  return v;
}

void SetCounters(benchmark::State& state, size_t n) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

// The complex transforms run in place again and again; the values grow to infinity and NaN,
// which costs nothing extra on current processors and keeps copies out of the timing.
void BM_NspComplex(benchmark::State& state) {
  const int order = static_cast<int>(state.range(0));
  const size_t n = size_t{1} << order;
  std::vector<float> re = Noise(n), im = Noise(n);
  nspcrFft(re.data(), im.data(), order, NSP_FORWARD);  // tables built outside the timing
  for (auto _ : state) {
    nspcrFft(re.data(), im.data(), order, NSP_FORWARD);
    benchmark::ClobberMemory();
  }
  SetCounters(state, n);
}

void BM_NspReal(benchmark::State& state) {
  const int order = static_cast<int>(state.range(0));
  const size_t n = size_t{1} << order;
  const std::vector<float> src = Noise(n);
  std::vector<float> ccs(n + 2);
  nspsRealFftNip(src.data(), ccs.data(), order, NSP_FORWARD);
  for (auto _ : state) {
    nspsRealFftNip(src.data(), ccs.data(), order, NSP_FORWARD);
    benchmark::ClobberMemory();
  }
  SetCounters(state, n);
}

void BM_NspCcsInverse(benchmark::State& state) {
  const int order = static_cast<int>(state.range(0));
  const size_t n = size_t{1} << order;
  const std::vector<float> ccs = Noise(n + 2);
  std::vector<float> out(n);
  nspsCcsFftNip(ccs.data(), out.data(), order, NSP_INVERSE);
  for (auto _ : state) {
    nspsCcsFftNip(ccs.data(), out.data(), order, NSP_INVERSE);
    benchmark::ClobberMemory();
  }
  SetCounters(state, n);
}

BENCHMARK(BM_NspComplex)->DenseRange(kMinOrder, kMaxOrder);
BENCHMARK(BM_NspReal)->DenseRange(kMinOrder, kMaxOrder);
BENCHMARK(BM_NspCcsInverse)->DenseRange(kMinOrder, kMaxOrder);

#ifdef KESTREL_HAVE_FFTW
void BM_FftwComplex(benchmark::State& state) {
  const int order = static_cast<int>(state.range(0));
  const int n = 1 << order;
  fftwf_complex* data = fftwf_alloc_complex(n);
  fftwf_plan plan = fftwf_plan_dft_1d(n, data, data, FFTW_FORWARD, FFTW_MEASURE);
  const std::vector<float> noise = Noise(2 * n);
  for (int i = 0; i < n; ++i) {
    data[i][0] = noise[2 * i];
    data[i][1] = noise[2 * i + 1];
  }
  for (auto _ : state) {
    fftwf_execute(plan);
    benchmark::ClobberMemory();
  }
  SetCounters(state, n);
  fftwf_destroy_plan(plan);
  fftwf_free(data);
}

void BM_FftwReal(benchmark::State& state) {
  const int order = static_cast<int>(state.range(0));
  const int n = 1 << order;
  float* src = fftwf_alloc_real(n);
  fftwf_complex* dst = fftwf_alloc_complex(n / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, src, dst, FFTW_MEASURE);
  const std::vector<float> noise = Noise(n);
  for (int i = 0; i < n; ++i) src[i] = noise[i];
  for (auto _ : state) {
    fftwf_execute(plan);
    benchmark::ClobberMemory();
  }
  SetCounters(state, n);
  fftwf_destroy_plan(plan);
  fftwf_free(dst);
  fftwf_free(src);
}

void BM_FftwRealInverse(benchmark::State& state) {
  const int order = static_cast<int>(state.range(0));
  const int n = 1 << order;
  fftwf_complex* src = fftwf_alloc_complex(n / 2 + 1);
  float* dst = fftwf_alloc_real(n);
  // c2r destroys its input unless told otherwise; keep it like our non-destructive inverse.
  fftwf_plan plan = fftwf_plan_dft_c2r_1d(n, src, dst, FFTW_MEASURE | FFTW_PRESERVE_INPUT);
  const std::vector<float> noise = Noise(n + 2);
  for (int i = 0; i <= n / 2; ++i) {
    src[i][0] = noise[2 * i];
    src[i][1] = noise[2 * i + 1];
  }
  for (auto _ : state) {
    fftwf_execute(plan);
    benchmark::ClobberMemory();
  }
  SetCounters(state, n);
  fftwf_destroy_plan(plan);
  fftwf_free(dst);
  fftwf_free(src);
}

BENCHMARK(BM_FftwComplex)->DenseRange(kMinOrder, kMaxOrder);
BENCHMARK(BM_FftwReal)->DenseRange(kMinOrder, kMaxOrder);
BENCHMARK(BM_FftwRealInverse)->DenseRange(kMinOrder, kMaxOrder);
#endif

// Console output as usual, plus the time per run of each benchmark for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
        times_[run.run_name.str()] = run.GetAdjustedRealTime();
  }
  void PrintRatios() const {
    std::printf("\n%6s  %12s  %12s  %12s\n", "N", "complex", "real", "ccs inverse");
    for (int order = kMinOrder; order <= kMaxOrder; ++order) {
      std::printf("%6d", 1 << order);
      for (const char* kind : {"Complex", "Real", "CcsInverse"}) {
        const std::string arg = "/" + std::to_string(order);
        std::string fftw = std::string("BM_Fftw") + kind + arg;
        if (std::string(kind) == "CcsInverse") fftw = "BM_FftwRealInverse" + arg;
        const auto ours = times_.find(std::string("BM_Nsp") + kind + arg);
        const auto theirs = times_.find(fftw);
        if (ours != times_.end() && theirs != times_.end() && theirs->second > 0)
          std::printf("  %11.2fx", ours->second / theirs->second);
        else
          std::printf("  %12s", "-");
      }
      std::printf("\n");
    }
    std::printf("(time of our transform / time of FFTW at the same size)\n");
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
