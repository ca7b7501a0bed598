#include "spl/dsp/frq_shift.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "spl/primitives/nsparith.h"

CFrqShift::~CFrqShift() { Release(); }

void CFrqShift::Release() {
  for (AudioBlock** b : {&work_, &sine_, &cosine_, &delayed_, &product_}) {
    FreeAudioBlock(*b);
    *b = nullptr;
  }
  n_ = 0;
}

int CFrqShift::Init(float f, int rate, int blockSize) {
  Release();
  if (rate <= 0) return 0;
  if (!hilbert_[0].Init(rate, blockSize) || !hilbert_[1].Init(rate, blockSize)) return 0;
  for (AudioBlock** b : {&work_, &sine_, &cosine_, &delayed_, &product_}) {
    if (!NewAudioBlock(b, blockSize)) {
      Release();
      return 0;
    }
    nspsbZero((*b)->data, blockSize);
  }
  rate_ = rate;
  n_ = blockSize;
  block_time_ = double(n_) / rate_;
  period_ = f != 0.0f ? 1.0 / f : 0.0;
  cycles_ = block_time_ * f;
  increment_ = float(double(two_pi_) * f / rate_);
  phase_ = 0.0;
  return 1;
}

void CFrqShift::Shift(AudioBlock* x) {
  if (!x || n_ == 0 || x->count < n_) return;
  const int half = n_ / 2;
  for (int i = 0; i < n_; ++i) {
    sine_->data[i] = float(std::sin(phase_));
    cosine_->data[i] = float(std::cos(phase_));
    phase_ += increment_;
    if (phase_ > two_pi_) phase_ -= two_pi_;
  }
  memcpy(work_->data, x->data, size_t(n_) * sizeof(float));
  hilbert_[0].Shift(work_);
  memcpy(delayed_->data + half, x->data, size_t(half) * sizeof(float));
  nspsbMpy3(delayed_->data, sine_->data, product_->data, n_);
  nspsbMpy2(cosine_->data, work_->data, n_);
  // The second half waits for the next block, half a block late like the transform.
  memcpy(delayed_->data, x->data + half, size_t(n_ - half) * sizeof(float));
  nspsbAdd3(work_->data, product_->data, x->data, n_);
}
