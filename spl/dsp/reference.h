// CReference: frequency meter: a band-pass around f0 and a PLL; MeasureBlock returns the mean
// VCO frequency after a start-up of 20 blocks.
#pragma once

#include "spl/audio/audio_block.h"
#include "spl/dsp/filter.h"
#include "spl/dsp/pll.h"

class CReference : public CPLL {
 public:
  CReference() = default;
  ~CReference() override;

  // f0 > 0 (Hz), rate > 0, blockSize >= 1. 1 or 0.
  int Init(float f0, int rate, int blockSize);
  // Hz, or 0.0 during the first 20 blocks (and before Init).
  double MeasureBlock(const AudioBlock* block);

 private:
  void Release();
  CFilter filter_;
  AudioBlock* filtered_ = nullptr;
  AudioBlock* locked_ = nullptr;
  int rate_ = 0;
  int block_ = 0;
  double sum_ = 0.0;
  int measured_ = 0;
  int startup_ = 0;
};
