#include "spl/dsp/equalizer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "spl/primitives/nsparith.h"
#include "spl/primitives/nspffts.h"

namespace {
constexpr int kSmoothingOrder = 128;           // 129 taps
constexpr int kSmoothingDelay = kSmoothingOrder / 2;
constexpr int kCurveExtra = kSmoothingOrder;   // the curve block runs 128 bins past N
}  // namespace

CEqualizer::~CEqualizer() { ReleaseBuffers(); }

void CEqualizer::ReleaseBuffers() {
  for (AudioBlock** b : {&curve_, &smoothed_, &history_, &output_}) {
    FreeAudioBlock(*b);
    *b = nullptr;
  }
  free(spectrum_);
  free(multiplier_);
  spectrum_ = multiplier_ = nullptr;
  n_ = 0;
}

int CEqualizer::Init(int sampleRate, int N, int smoothing) {
  ReleaseBuffers();
  if (sampleRate <= 0 || N < 2 || (N & (N - 1)) != 0) return 0;
  order_ = 1;
  while ((1 << order_) < 2 * N) ++order_;
  if (!CFilter::Init(sampleRate, N, kSmoothingOrder)) return 0;
  if (!NewAudioBlock(&curve_, N + kCurveExtra) || !NewAudioBlock(&smoothed_, N + kCurveExtra) ||
      !NewAudioBlock(&history_, 2 * N) || !NewAudioBlock(&output_, 2 * N)) {
    ReleaseBuffers();
    return 0;
  }
  spectrum_ = static_cast<float*>(calloc(2 * (size_t(N) + 1), sizeof(float)));
  multiplier_ = static_cast<float*>(calloc(2 * size_t(N), sizeof(float)));
  if (!spectrum_ || !multiplier_) {
    ReleaseBuffers();
    return 0;
  }
  rate_hz_ = sampleRate;
  n_ = N;
  nspsbSet(1.0f, curve_->data, N + kCurveExtra);
  nspsbZero(smoothed_->data, N + kCurveExtra);
  nspsbZero(history_->data, 2 * N);
  nspcbSet(1.0f, 0.0f, multiplier_, N);
  if (!SetFilter(smoothing)) {
    ReleaseBuffers();
    return 0;
  }
  return SetRange(0, sampleRate / 2, 1.0f);
}

int CEqualizer::SetFilter(int smoothing) {
  if (!n_ || smoothing <= 0 || !CreateTP(float(smoothing), kFilterWindowHann)) return 0;
  RebuildMultiplier();
  return 1;
}

int CEqualizer::SetRange(int fromHz, int toHz, float gain) {
  if (!n_) return 0;
  if (fromHz > toHz) std::swap(fromHz, toHz);
  const int nyquist = rate_hz_ / 2;
  if (fromHz < 0 || toHz > nyquist || nyquist == 0) return 0;
  const long long first = (long long)n_ * fromHz / nyquist;
  const long long last = std::min<long long>((long long)n_ * toHz / nyquist, n_ - 1);
  for (long long k = first; k <= last; ++k) curve_->data[k] = gain;
  RebuildMultiplier();
  return 1;
}

int CEqualizer::SetPoti(const float* gains, int count) {
  if (!n_ || !gains || count < 0) return 0;
  memcpy(curve_->data, gains, size_t(std::min(count, n_)) * sizeof(float));
  RebuildMultiplier();
  return 1;
}

const float* CEqualizer::GetPoti(int& count) const {
  count = n_;
  return curve_ ? curve_->data : nullptr;
}

const float* CEqualizer::GetFilterPoti(float& peak, int& count) const {
  count = n_;
  peak = smoothed_peak_;
  return smoothed_ ? smoothed_->data + kSmoothingDelay : nullptr;
}

void CEqualizer::RebuildMultiplier() {
  if (!prepared_) return;
  // The curve continues flat below bin 0, so a flat curve stays flat at the low end whatever
  // was smoothed before.
  std::vector<float> before(kSmoothingOrder, curve_->data[0]);
  nspsFirSetDlyl(before.data(), &fir_);
  Filter(curve_, smoothed_, 1);
  smoothed_peak_ = smoothed_->peak;
  if (smoothed_peak_ > 0.0f) nspsbMpy1(1.0f / smoothed_peak_, smoothed_->data, smoothed_->count);
  float* gains = smoothed_->data + kSmoothingDelay;
  nspsbThresh1(gains, n_, 0.0f, NSP_LT);
  nspsbThresh1(gains, n_, 1.0f, NSP_GT);
  for (int k = 0; k < n_; ++k) multiplier_[2 * k] = gains[k];
}

void CEqualizer::Equalize(AudioBlock* block) {
  if (!n_ || !block || block->count != n_) return;
  float* h = history_->data;
  memmove(h, h + n_, size_t(n_) * sizeof(float));
  memcpy(h + n_, block->data, size_t(n_) * sizeof(float));
  nspsRealFftNip(h, spectrum_, order_, NSP_FORWARD);
  nspcbMpy2(multiplier_, spectrum_, n_);  // bin N (Nyquist) is left as it is
  nspsCcsFftNip(spectrum_, output_->data, order_, NSP_INVERSE);
  memcpy(block->data, output_->data + n_ / 2, size_t(n_) * sizeof(float));
}
