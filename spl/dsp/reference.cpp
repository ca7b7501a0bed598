#include "spl/dsp/reference.h"

namespace {
constexpr double kMeterGain = 100.0;  // Hz per unit of loop-filter output
constexpr int kMeterHistory = 1024;
constexpr int kMeterOrder = 128;
constexpr float kBandLow = 0.9f;   // pass band 0.9 f0 ... 1.1 f0
constexpr float kBandHigh = 1.1f;
constexpr int kStartupBlocks = 20;
}  // namespace

CReference::~CReference() { Release(); }

void CReference::Release() {
  FreeAudioBlock(filtered_);
  FreeAudioBlock(locked_);
  filtered_ = locked_ = nullptr;
}

int CReference::Init(float f0, int rate, int blockSize) {
  Release();
  sum_ = 0.0;
  measured_ = 0;
  startup_ = kStartupBlocks;
  if (f0 <= 0.0f || rate <= 0 || blockSize < 1) return 0;
  rate_ = rate;
  block_ = blockSize;
  if (!CPLL::Init(rate, f0, kMeterGain, kMeterHistory)) return 0;
  if (!filter_.Init(rate, blockSize, kMeterOrder) ||
      !filter_.CreateBP(kBandLow * f0, kBandHigh * f0, kFilterWindowHann))
    return 0;
  if (!NewAudioBlock(&filtered_, blockSize) || !NewAudioBlock(&locked_, blockSize)) {
    Release();
    return 0;
  }
  return 1;
}

double CReference::MeasureBlock(const AudioBlock* block) {
  if (!block || !filtered_) return 0.0;
  filtered_->count = block->count < block_ ? block->count : block_;
  locked_->count = filtered_->count;
  filter_.Filter(block, filtered_, 0);
  DoPLL(filtered_, locked_);
  filtered_->count = locked_->count = block_;
  if (startup_ > 0) {
    --startup_;
    return 0.0;
  }
  sum_ += GetActualFrequency();
  ++measured_;
  return sum_ / measured_;
}
