#include "spl/dsp/tone_gen.h"

#include <cmath>

namespace {
constexpr float kStartFrequency = 1000.0f;
constexpr float kNoiseSeed = 0.0f;
}  // namespace

CToneGen::CToneGen() { SetFreq(kStartFrequency); }

int CToneGen::Init(int rate, int blockSize) {
  if (rate <= 0 || blockSize < 1) return 0;
  rate_ = rate;
  block_ = blockSize;
  block_time_ = float(blockSize) / float(rate);
  phase_ = 0.0f;
  last_ = 0.0f;
  nspsRandUniInit(kNoiseSeed, -ampl_, ampl_, &random_);
  return 1;
}

void CToneGen::ApplyFreq(float f) {
  freq_ = f;
  period_ = f != 0.0f ? 1.0f / f : 0.0f;
  cycles_ = block_time_ * f;
  increment_ = rate_ > 0 ? two_pi_ * f / float(rate_) : 0.0f;
}

void CToneGen::SetFreq(float f) {
  if (zsync_) {
    pending_freq_ = f;
    pending_ = 1;
  } else {
    ApplyFreq(f);
  }
}

void CToneGen::SetAmpl(float a) {
  ampl_ = a;
  nspsRandUniInit(kNoiseSeed, -a, a, &random_);
}

void CToneGen::Generate(AudioBlock* block, int start, int count) {
  if (!block || start < 0) return;
  const int end = start + count < block->count ? start + count : block->count;
  for (int i = start; i < end; ++i) {
    float y = std::sin(phase_) * ampl_;
    const bool crosses = (y <= 0.0f && last_ > 0.0f) || (y > 0.0f && last_ <= 0.0f);
    // A generator that stands still has no crossing to wait for.
    if (pending_ && (crosses || increment_ == 0.0f)) {
      ApplyFreq(pending_freq_);
      y = std::sin(phase_) * ampl_;
      pending_ = 0;
    }
    block->data[i] = y;
    phase_ += increment_;
    if (phase_ > two_pi_) phase_ -= two_pi_;
    last_ = y;
  }
}

void CToneGen::Noise(AudioBlock* block, int start, int count) {
  if (!block || start < 0) return;
  const int end = start + count < block->count ? start + count : block->count;
  if (end > start) nspsbRandUni(&random_, block->data + start, end - start);
}
