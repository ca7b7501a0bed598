// CFrqShift: single-sideband frequency shifter: H{x} cos(phi) + x(t - n/2) sin(phi), so a tone at
// f_in comes out at f - f_in. The FAX decoder's filtered AM path uses it.
#pragma once

#include "spl/audio/audio_block.h"
#include "spl/dsp/hilbert.h"

class CFrqShift {
 public:
  CFrqShift() = default;
  CFrqShift(const CFrqShift&) = delete;
  CFrqShift& operator=(const CFrqShift&) = delete;
  ~CFrqShift();

  // f: shift (Hz); rate > 0 (Hz); blockSize n a power of two >= 2. 1 or 0.
  int Init(float f, int rate, int blockSize);
  // Shifts a block of n samples in place.
  void Shift(AudioBlock* block);

 private:
  void Release();
  CHilbert hilbert_[2];  // the second is kept initialised for the pair's symmetry, unused
  AudioBlock* work_ = nullptr;
  AudioBlock* sine_ = nullptr;
  AudioBlock* cosine_ = nullptr;
  AudioBlock* delayed_ = nullptr;
  AudioBlock* product_ = nullptr;
  double block_time_ = 0.0;  // n / rate
  double period_ = 0.0;      // 1 / f
  double cycles_ = 0.0;      // cycles per block
  float increment_ = 0.0f;   // 2 pi f / rate
  float two_pi_ = 6.2831855f;
  double phase_ = 0.0;
  int rate_ = 0;
  int n_ = 0;
};
