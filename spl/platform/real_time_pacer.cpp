#include "spl/platform/real_time_pacer.h"

#include <algorithm>

#include "spl/platform/kernel.h"

namespace {
constexpr int64_t kSliceMs = 50;
}

void CRealTimePacer::Init(int rate, int64_t slack) {
  rate_ = std::max(rate, 1);
  slack_ = std::max<int64_t>(slack, 0);
  Restart();
}

void CRealTimePacer::Restart() {
  frames_ = 0;
  start_ns_ = QueryPerformanceCounter() * (1000000000 / QueryPerformanceFrequency());
}

int CRealTimePacer::Advance(int64_t frames, const std::function<bool()>& cancelled) {
  frames_ += frames;
  for (;;) {
    int64_t now_ns = QueryPerformanceCounter() * (1000000000 / QueryPerformanceFrequency());
    int64_t due_frames = (now_ns - start_ns_) * rate_ / 1000000000 + slack_;
    if (frames_ <= due_frames) return 1;
    if (cancelled()) return 0;
    int64_t ahead_ms = (frames_ - due_frames) * 1000 / rate_ + 1;
    Sleep(DWORD(std::min(ahead_ms, kSliceMs)));
  }
}
