// SYNOP decoder throughput: Decode over a large bulletin file, in characters per second.
#include <benchmark/benchmark.h>

#include <string>

#include "spl/decoders/synop_decoder.h"

namespace {

class CCounter : public CSynopDecoder {
 public:
  long reports = 0;
  void Message(SYN_DATA&) override { ++reports; }
};

// A bulletin of n land reports in the broadcast layout.
std::string Bulletin(int n) {
  std::string s = "ZCZC 123\r\nSMDL01 EDZW 061200\r\nAAXX 06121\r\n";
  for (int i = 0; i < n; ++i) {
    char line[160];
    snprintf(line, sizeof line,
             "%05d 41458 81205 10123 20089 30123 40156 52012 60001 78012 88/53 333 10150 "
             "20050 81630=\r\n",
             10000 + i % 900);
    s += line;
  }
  return s + "NNNN\r\n";
}

void BM_SynopDecode(benchmark::State& state) {
  const std::string text = Bulletin(static_cast<int>(state.range(0)));
  CCounter d;  // no store: the parser alone
  d.SetClock(1796000000);
  for (auto _ : state) {
    for (unsigned char c : text) d.Decode(c);
    benchmark::DoNotOptimize(d.reports);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.counters["chars/s"] =
      benchmark::Counter(static_cast<double>(text.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SynopDecode)->Arg(100)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
