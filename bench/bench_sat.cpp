// Orbit prediction speed: single predictions of a low and a high-eccentricity orbit, and a
// 24-hour pass search for 50 satellites from one observer.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "spl/sat/sat_passes.h"
#include "spl/sat/track_sat.h"

namespace {

const Observer kObserver{-2976, 660, 300, 0};

// The test data beside this source: bench/../tests/data/sat/elements.tle.
std::string ElementFile() {
  std::string here = __FILE__;
  return here.substr(0, here.rfind('/')) + "/../tests/data/sat/elements.tle";
}

std::vector<SatElem> Sets() {
  CTrackSat track;
  std::vector<SatElem> sats;
  track.ReadNASA(ElementFile().c_str(), sats);
  return sats;
}

void BM_Predict(benchmark::State& state) {
  std::vector<SatElem> sats = Sets();
  if (sats.size() < 3) return state.SkipWithError("element file missing");
  const SatElem& sat = sats[size_t(state.range(0))];
  CTrackSat track;
  Satellite r;
  double t = 1796100000.0;
  for (auto _ : state) {
    t += 7.0;  // a track: a new time every call, the day changing now and then
    benchmark::DoNotOptimize(track.Predict(sat, kObserver, SatTimeFromUnix(t), r));
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(sat.name);
}
BENCHMARK(BM_Predict)->Arg(0)->Arg(2);

void BM_PassSearch50(benchmark::State& state) {
  std::vector<SatElem> base = Sets();
  if (base.size() < 4) return state.SkipWithError("element file missing");
  // 50 satellites: the four sets with their nodes and anomalies spread around the orbit.
  std::vector<SatElem> sats;
  for (int i = 0; i < 50; ++i) {
    SatElem s = base[size_t(i % 4)];
    s.node = std::fmod(s.node + 37.0 * i, 360.0);
    s.meanAnomaly = std::fmod(s.meanAnomaly + 71.0 * i, 360.0);
    sats.push_back(s);
  }
  CTrackSat track;
  size_t passes = 0;
  for (auto _ : state) {
    std::vector<SatPass> found;
    for (const SatElem& s : sats) FindPasses(track, s, kObserver, 1796100000.0, 24.0, found);
    passes = found.size();
    benchmark::DoNotOptimize(found.data());
  }
  state.counters["passes"] = double(passes);
}
BENCHMARK(BM_PassSearch50)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
