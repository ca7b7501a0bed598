// CEqualizer: shapes each audio block's spectrum with a drawn gain curve (one gain per bin of a
// 2N-point transform, smoothed by the inherited FIR), by fast convolution; delays by N/2 samples.
#pragma once

#include "spl/audio/audio_block.h"
#include "spl/dsp/filter.h"

class CEqualizer : public CFilter {
 public:
  CEqualizer() = default;
  ~CEqualizer() override;

  // sampleRate > 0 (Hz); N a power of two >= 2 (samples per block); smoothing: the low-pass
  // cut-off of the curve smoothing (> 0). The curve starts flat at 1.0. 1 or 0.
  int Init(int sampleRate, int N, int smoothing);
  // Re-designs the smoothing low-pass at `smoothing` and rebuilds the multiplier. 1 or 0.
  int SetFilter(int smoothing);
  // Sets the gains of fromHz ... toHz (ends swapped when reversed; 0 <= from, to <= fs/2) to
  // gain; 0 and nothing changed outside those limits.
  int SetRange(int fromHz, int toHz, float gain);
  // Copies min(count, N) gains from bin 0 and rebuilds the multiplier.
  int SetPoti(const float* gains, int count);
  // The gain curve (count = N).
  const float* GetPoti(int& count) const;
  // The smoothed curve as applied (count = N) and its peak before normalisation.
  const float* GetFilterPoti(float& peak, int& count) const;
  // Filters a block of exactly N samples in place (other sizes are left alone); the header is
  // not re-measured.
  void Equalize(AudioBlock* block);

  int GetRate() const { return rate_hz_; }
  int GetN() const { return n_; }

 private:
  void ReleaseBuffers();
  void RebuildMultiplier();

  AudioBlock* curve_ = nullptr;     // N + 128 gains
  AudioBlock* smoothed_ = nullptr;  // N + 128
  AudioBlock* history_ = nullptr;   // 2N: the last two blocks
  AudioBlock* output_ = nullptr;    // 2N
  float* spectrum_ = nullptr;       // N + 1 complex bins
  float* multiplier_ = nullptr;     // N complex values, imaginary parts 0
  float smoothed_peak_ = 0.0f;
  int rate_hz_ = 0;
  int n_ = 0;
  int order_ = 0;
};
