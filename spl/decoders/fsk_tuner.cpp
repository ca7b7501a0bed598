#include "spl/decoders/fsk_tuner.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kFrameSeconds = 0.25;  // resolution about 4 Hz, a new look 4 times a second
constexpr double kPowerAlpha = 0.25;    // spectrum averaging per frame
constexpr double kPassbandLow = 200.0;  // the passband searched when asked for all of it
constexpr double kPassbandHigh = 3800.0;
constexpr double kMoveFactor = 1.25;    // a far pair must be this much stronger to be taken
constexpr int kFarBins = 3;             // nearer than this many bins the stronger pair wins
constexpr int kMinFrames = 1;
constexpr double kMinToneToFloor = 3.0;  // band power against the median bin's, per bin

void Fft(std::vector<std::complex<double>>& a) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> w = std::polar(1.0, -2.0 * M_PI / double(len));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> u(1.0, 0.0);
      for (size_t k = 0; k < len / 2; ++k) {
        const std::complex<double> t = a[i + k + len / 2] * u;
        a[i + k + len / 2] = a[i + k] - t;
        a[i + k] += t;
        u *= w;
      }
    }
  }
}
}  // namespace

int CFskTuner::Init(int rate, double baud, double shift, double low, double range) {
  if (rate <= 0 || !(baud > 0.0) || !(shift > 0.0) || !(range >= 0.0)) return 0;
  const double nyquist = rate / 2.0;
  if (!(low > 0.0) || low + shift >= nyquist) return 0;
  rate_ = rate;
  baud_ = baud;
  shift_ = shift;
  low_ = low;
  size_ = 1;
  while (size_ < kFrameSeconds * rate) size_ *= 2;
  bin_hz_ = double(rate) / size_;
  if (range > 0.0) {
    min_low_ = low - range;
    max_low_ = low + range;
  } else {
    min_low_ = kPassbandLow;
    max_low_ = kPassbandHigh - shift;
  }
  // Keep both bands inside the spectrum.
  const double margin = baud + bin_hz_;
  min_low_ = std::max(min_low_, margin);
  max_low_ = std::min(max_low_, nyquist - shift - margin);
  if (max_low_ < min_low_) return 0;
  frame_.assign(size_t(size_), 0.0f);
  window_.resize(size_t(size_));
  for (int i = 0; i < size_; ++i) window_[size_t(i)] = float(0.5 - 0.5 * std::cos(2.0 * M_PI * i / size_));
  work_.assign(size_t(size_), {});
  power_.assign(size_t(size_ / 2), 0.0);
  prefix_.assign(size_t(size_ / 2 + 1), 0.0);
  fill_ = frames_ = 0;
  return 1;
}

int CFskTuner::Process(const float* x, int n) {
  if (rate_ <= 0 || !x) return 0;
  int moved = 0;
  for (int i = 0; i < n; ++i) {
    frame_[size_t(fill_++)] = x[i];
    if (fill_ < size_) continue;
    fill_ = 0;
    for (int k = 0; k < size_; ++k) work_[size_t(k)] = double(frame_[size_t(k)] * window_[size_t(k)]);
    Fft(work_);
    const double alpha = frames_ == 0 ? 1.0 : kPowerAlpha;
    for (int k = 0; k < size_ / 2; ++k)
      power_[size_t(k)] += alpha * (std::norm(work_[size_t(k)]) - power_[size_t(k)]);
    ++frames_;
    const double before = low_;
    Search();
    moved |= low_ != before;
  }
  return moved;
}

// Power in the band a keyed tone occupies: its frequency +- half the baud rate.
double CFskTuner::BandPower(double hz) const {
  const double half = std::max(0.5 * baud_, bin_hz_);
  const int a = std::clamp(int(std::lround((hz - half) / bin_hz_)), 0, size_ / 2);
  const int b = std::clamp(int(std::lround((hz + half) / bin_hz_)) + 1, 0, size_ / 2);
  return prefix_[size_t(b)] - prefix_[size_t(a)];
}

void CFskTuner::Search() {
  if (frames_ < kMinFrames) return;
  for (int k = 0; k < size_ / 2; ++k) prefix_[size_t(k + 1)] = prefix_[size_t(k)] + power_[size_t(k)];
  // Both tones must stand out of the noise floor (the median bin): a steady mark alone (a
  // pause, the lead of a transmission) fits two pairs and must not move the tuning.
  const int lo_bin = std::max(0, int(min_low_ / bin_hz_));
  const int hi_bin = std::min(size_ / 2 - 1, int((max_low_ + shift_) / bin_hz_) + 1);
  std::vector<double>& sorted = sorted_;
  sorted.assign(power_.begin() + lo_bin, power_.begin() + hi_bin + 1);
  std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
  const double floor = sorted[sorted.size() / 2];
  const double band_bins = 2.0 * std::max(0.5 * baud_, bin_hz_) / bin_hz_ + 1.0;
  const double least = kMinToneToFloor * floor * band_bins;
  double best = low_, best_power = -1.0;
  for (double f = min_low_; f <= max_low_; f += bin_hz_) {
    const double a = BandPower(f), b = BandPower(f + shift_);
    if (std::min(a, b) < least) continue;
    if (a + b > best_power) best_power = a + b, best = f;
  }
  if (best_power < 0.0) return;
  // Refine between the neighbouring candidates.
  const double l = BandPower(best - bin_hz_) + BandPower(best - bin_hz_ + shift_);
  const double r = BandPower(best + bin_hz_) + BandPower(best + bin_hz_ + shift_);
  const double den = l - 2.0 * best_power + r;
  if (den < 0.0) best += bin_hz_ * std::clamp(0.5 * (l - r) / den, -0.5, 0.5);
  const double now = BandPower(low_) + BandPower(low_ + shift_);
  const bool near = std::fabs(best - low_) < kFarBins * bin_hz_ + 0.5 * baud_;
  if (near || best_power > kMoveFactor * now) low_ = best;
}
