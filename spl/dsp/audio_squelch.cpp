#include "spl/dsp/audio_squelch.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "spl/primitives/nspffts.h"
#include "spl/primitives/nspvec.h"

CAudioSquelch::~CAudioSquelch() { Release(); }

void CAudioSquelch::Release() {
  free(input_);
  free(spectrum_);
  free(magnitude_);
  input_ = spectrum_ = magnitude_ = nullptr;
  n_ = 0;
}

int CAudioSquelch::Init(int sampleRate, int N) {
  Release();
  if (sampleRate <= 0 || N < 4 || (N & (N - 1)) != 0) return 0;
  input_ = static_cast<float*>(calloc(size_t(N), sizeof(float)));
  spectrum_ = static_cast<float*>(calloc(size_t(N) + 2, sizeof(float)));
  magnitude_ = static_cast<float*>(calloc(size_t(N) / 2, sizeof(float)));
  if (!input_ || !spectrum_ || !magnitude_) {
    Release();
    return 0;
  }
  rate_ = sampleRate;
  n_ = N;
  order_ = 0;
  while ((1 << order_) < N) ++order_;
  return 1;
}

float CAudioSquelch::GetSpecDiff(const AudioBlock* block) {
  if (!n_ || !block) return 0.0f;
  const int count = block->count < n_ ? (block->count > 0 ? block->count : 0) : n_;
  memcpy(input_, block->data, size_t(count) * sizeof(float));
  memset(input_ + count, 0, size_t(n_ - count) * sizeof(float));
  nspsRealFftNip(input_, spectrum_, order_, NSP_FORWARD);
  const int bins = n_ / 2;
  nspcbMag(spectrum_, magnitude_, bins);
  double sum = 0.0;
  float max = 0.0f;
  for (int k = 0; k < bins; ++k) {
    magnitude_[k] = std::sqrt(magnitude_[k]);
    sum += magnitude_[k];
    if (magnitude_[k] > max) max = magnitude_[k];
  }
  if (max <= 0.0f) return 0.0f;
  return float(1.0 - sum / bins / max);
}
