#include "spl/dsp/hilbert.h"

#include <cstdlib>
#include <cstring>

#include "spl/primitives/nspffts.h"

CHilbert::~CHilbert() { Release(); }

void CHilbert::Release() {
  free(window_);
  free(output_);
  free(spectrum_);
  window_ = output_ = spectrum_ = nullptr;
  n_ = 0;
}

int CHilbert::Init(int rate, int blockSize) {
  Release();
  if (rate <= 0 || blockSize < 2 || (blockSize & (blockSize - 1)) != 0) return 0;
  const size_t n = size_t(blockSize);
  window_ = static_cast<float*>(calloc(2 * n, sizeof(float)));
  output_ = static_cast<float*>(calloc(2 * n, sizeof(float)));
  spectrum_ = static_cast<float*>(calloc(2 * (n + 1), sizeof(float)));
  if (!window_ || !output_ || !spectrum_) {
    Release();
    return 0;
  }
  rate_ = rate;
  n_ = blockSize;
  order_ = 1;
  while ((1 << order_) < 2 * n_) ++order_;
  return 1;
}

void CHilbert::Shift(AudioBlock* block) {
  if (!block || n_ == 0) return;
  const int count = block->count < n_ ? block->count : n_;
  memmove(window_, window_ + n_, size_t(n_) * sizeof(float));
  memcpy(window_ + n_, block->data, size_t(count) * sizeof(float));
  memset(window_ + n_ + count, 0, size_t(n_ - count) * sizeof(float));
  nspsRealFftNip(window_, spectrum_, order_, NSP_FORWARD);
  // Every bin times j: (re, im) -> (-im, re).
  for (int k = 0; k <= n_; ++k) {
    const float re = spectrum_[2 * k], im = spectrum_[2 * k + 1];
    spectrum_[2 * k] = -im;
    spectrum_[2 * k + 1] = re;
  }
  nspsCcsFftNip(spectrum_, output_, order_, NSP_INVERSE);
  memcpy(block->data, output_ + n_ / 2, size_t(count) * sizeof(float));
}
