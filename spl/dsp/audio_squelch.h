// CAudioSquelch: how far a block's spectrum is from flat noise, 0 ... 1 (1 - mean / max of the
// square-rooted bin magnitudes); the station turns it into the 0 ... 255 squelch level.
#pragma once

#include "spl/audio/audio_block.h"

// Samples the station measures per block (at most), and the level at which it opens by default.
constexpr int kSquelchMeasure = 1024;
constexpr int kDefaultSquelchLevel = 40;
constexpr int kMaxSquelchLevel = 255;

class CAudioSquelch {
 public:
  CAudioSquelch() = default;
  CAudioSquelch(const CAudioSquelch&) = delete;
  CAudioSquelch& operator=(const CAudioSquelch&) = delete;
  ~CAudioSquelch();

  // sampleRate > 0; N a power of two >= 4 (samples measured per block). 1 or 0.
  int Init(int sampleRate, int N);
  // The measure of the block's first N samples (a shorter block is padded with zeros);
  // 0 for silence and before Init.
  float GetSpecDiff(const AudioBlock* block);
  // The station's level: value * 255 rounded.
  static int Level(float specDiff) { return int(specDiff * kMaxSquelchLevel + 0.5f); }

 private:
  void Release();
  float* input_ = nullptr;      // N samples
  float* spectrum_ = nullptr;   // N/2 + 1 complex bins
  float* magnitude_ = nullptr;  // N/2
  int rate_ = 0;
  int n_ = 0;
  int order_ = 0;
};
