#include "spl/dsp/block_resampler.h"

#include <soxr.h>

#include <algorithm>
#include <vector>

namespace {
constexpr double kMinRate = 1000.0, kMaxRate = 384000.0;
constexpr int kMaxBlock = 65536;
constexpr int kChunk = 4096;  // output samples asked of soxr per call
}  // namespace

CBlockResampler::~CBlockResampler() { Release(); }

void CBlockResampler::Release() {
  if (soxr_) soxr_delete(soxr_);
  soxr_ = nullptr;
  if (block_) FreeAudioBlock(block_);
  block_ = nullptr;
  block_size_ = filled_ = 0;
  tick_ = 0;
}

int CBlockResampler::Init(double inRate, double outRate, int outBlock) {
  Release();
  if (!(inRate >= kMinRate && inRate <= kMaxRate && outRate >= kMinRate && outRate <= kMaxRate) ||
      outBlock < 1 || outBlock > kMaxBlock)
    return 0;
  if (!NewAudioBlock(&block_, outBlock)) return 0;
  block_size_ = outBlock;
  if (inRate != outRate) {
    soxr_error_t error = nullptr;
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_ = soxr_create(inRate, outRate, 1, &error, nullptr, &quality, nullptr);
    if (error || !soxr_) {
      Release();
      return 0;
    }
    out_.resize(kChunk);
  }
  return 1;
}

void CBlockResampler::Emit(const float* y, int n, const Sink& sink) {
  while (n > 0) {
    const int take = std::min(n, block_size_ - filled_);
    std::copy(y, y + take, block_->data + filled_);
    filled_ += take;
    y += take;
    n -= take;
    if (filled_ == block_size_) {
      MeasureAudioBlock(block_);
      block_->tick = tick_;
      filled_ = 0;
      sink(block_);
    }
  }
}

void CBlockResampler::Push(const AudioBlock* block, const Sink& sink) {
  tick_ = block->tick;
  Push(block->data, block->count, sink);
}

void CBlockResampler::Push(const float* x, int n, const Sink& sink) {
  if (!block_ || n <= 0) return;
  if (!soxr_) return Emit(x, n, sink);
  while (n > 0) {
    size_t used = 0, made = 0;
    if (soxr_process(soxr_, x, size_t(n), &used, out_.data(), out_.size(), &made)) return;
    if (used == 0 && made == 0) return;
    Emit(out_.data(), int(made), sink);
    x += used;
    n -= int(used);
  }
}

void CBlockResampler::Flush(const Sink& sink) {
  if (!block_) return;
  if (soxr_) {
    // Input at an end: soxr gives out what its filter still holds, until it has no more.
    for (;;) {
      size_t made = 0;
      if (soxr_process(soxr_, nullptr, 0, nullptr, out_.data(), out_.size(), &made) || made == 0)
        break;
      Emit(out_.data(), int(made), sink);
    }
    soxr_clear(soxr_);
  }
  if (filled_ > 0) {
    const std::vector<float> silence(size_t(block_size_ - filled_), 0.0f);
    Emit(silence.data(), int(silence.size()), sink);
  }
}
