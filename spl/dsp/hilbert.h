// CHilbert: 90-degree phase shifter by FFT over a window of two blocks; the output is delayed by
// half a block, and a cosine comes out as minus the sine. Used in pairs inside CFrqShift.
#pragma once

#include "spl/audio/audio_block.h"

class CHilbert {
 public:
  CHilbert() = default;
  CHilbert(const CHilbert&) = delete;
  CHilbert& operator=(const CHilbert&) = delete;
  ~CHilbert();

  // rate > 0 (Hz); blockSize n a power of two >= 2 (the FFT has 2n points). 1 or 0.
  int Init(int rate, int blockSize);
  // Replaces the block's samples by their transform; the block holds n samples (a shorter
  // block is taken as padded with zeros, and only its own samples are written).
  void Shift(AudioBlock* block);

 private:
  void Release();
  float* window_ = nullptr;    // 2n input samples: the previous block, then this one
  float* output_ = nullptr;    // 2n samples of the inverse transform
  float* spectrum_ = nullptr;  // n + 1 complex bins, CCS layout
  int rate_ = 0;
  int n_ = 0;
  int order_ = 0;
};
