// Cost of block distribution: one 1024-sample capture buffer turned into a measured block
// per window, posted, received and freed, for 1, 2 and 8 windows.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "spl/audio/sound_device.h"
#include "spl/platform/message_loop.h"

namespace {

class FreeingWindow : public CHeadlessWindow {
 public:
  using CHeadlessWindow::CHeadlessWindow;
  void WindowProc(UINT m, WPARAM, LPARAM l) override {
    if (m == WM_AUDIOBLOCK) FreeAudioBlock(reinterpret_cast<AudioBlock*>(l));
  }
};

void BM_DistributeBuffer(benchmark::State& state) {
  constexpr int kSamples = 1024;
  std::vector<int16_t> buffer(kSamples);
  for (int i = 0; i < kSamples; ++i) buffer[size_t(i)] = int16_t((i * 37) % 20000 - 10000);
  CMessageLoop loop;
  std::vector<std::unique_ptr<FreeingWindow>> windows;
  for (int i = 0; i < state.range(0); ++i) windows.push_back(std::make_unique<FreeingWindow>(loop));
  for (auto _ : state) {
    DWORD tick = GetTickCount();
    for (auto& w : windows) {  // what the capture thread does per buffer
      AudioBlock* b = nullptr;
      AudioBlockFromMono16(buffer.data(), kSamples, &b);
      b->tick = tick;
      PostMessage(w->Handle(), WM_AUDIOBLOCK, 0, LPARAM(b));
    }
    loop.Pump();  // and what the windows do with them
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
  state.counters["buffers/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DistributeBuffer)->Arg(1)->Arg(2)->Arg(8);

}  // namespace

BENCHMARK_MAIN();
