#include "spl/decoders/psk31_carrier_search.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {
// The line must carry this many times the mean power of the search band: noise alone reaches
// it in about one search of a hundred. The fourth power spreads more of the keyed signal over
// the band, so its line must stand out further.
constexpr double kLineContrast = 11.0;
constexpr double kFourthPowerContrast = 16.0;
constexpr double kTwoPi = 2.0 * M_PI;
constexpr double kMinHistoryShare = 0.125;  // of the window before a first estimate
constexpr int kMaxOrder = 4;
}  // namespace

int CPsk31CarrierSearch::Init(double rate, double span, int window) {
  if (!(rate > 0.0) || !(span > 0.0) || window < 16) return 0;
  try {
    history_.assign(size_t(window), {0.0f, 0.0f});
    raised_.assign(size_t(window), {0.0, 0.0});
    power_.reserve(size_t(2 * std::ceil(kMaxOrder * span * window / rate) + 3));
  } catch (const std::bad_alloc&) {
    history_.clear();
    raised_.clear();
    window_ = 0;
    return 0;
  }
  rate_ = rate;
  span_ = span;
  window_ = window;
  Reset();
  return 1;
}

void CPsk31CarrierSearch::Reset() {
  std::fill(history_.begin(), history_.end(), std::complex<float>{0.0f, 0.0f});
  next_ = 0;
  filled_ = 0;
}

void CPsk31CarrierSearch::Push(std::complex<float> x) {
  if (window_ == 0) return;
  history_[size_t(next_)] = x;
  next_ = (next_ + 1) % window_;
  filled_ = std::min(filled_ + 1, window_);
}

int CPsk31CarrierSearch::Estimate(int order, double* offset) {
  if (!offset || window_ == 0 || order < 1 || order > kMaxOrder || filled_ < int(kMinHistoryShare * window_)) return 0;
  // |x| e^(j order arg x): the keying is gone, and unlike x^order the noise is not raised to
  // a power.
  raised_.resize(size_t(filled_));
  std::vector<std::complex<double>>& y = raised_;
  for (int i = 0; i < filled_; ++i) {
    const std::complex<float> x = history_[size_t((next_ - filled_ + i + window_) % window_)];
    const double a = std::abs(x);
    y[size_t(i)] = a > 0.0 ? std::polar(a, order * std::arg(std::complex<double>(x)))
                           : std::complex<double>{};
  }
  const double bin = rate_ / filled_;  // Hz of the raised line per DFT bin
  const int bins = int(std::ceil(order * span_ / bin));
  std::vector<double>& power = power_;
  power.assign(size_t(2 * bins + 1), 0.0);  // within the capacity reserved by Init
  double sum = 0.0;
  for (int k = -bins; k <= bins; ++k) {
    const std::complex<double> step = std::polar(1.0, -kTwoPi * k * bin / rate_);
    std::complex<double> w{1.0, 0.0}, acc{};
    for (const std::complex<double>& v : raised_) {
      acc += v * w;
      w *= step;
    }
    power[size_t(k + bins)] = std::norm(acc);
    sum += std::norm(acc);
  }
  const size_t best = size_t(std::max_element(power.begin(), power.end()) - power.begin());
  const double mean = sum / double(power.size());
  const double contrast = order >= kMaxOrder ? kFourthPowerContrast : kLineContrast;
  if (!(mean > 0.0) || power[best] < contrast * mean) return 0;
  // Parabola through the peak and its neighbours for the fraction of a bin.
  double frac = 0.0;
  if (best > 0 && best + 1 < power.size()) {
    const double a = power[best - 1], b = power[best], c = power[best + 1];
    const double den = a - 2.0 * b + c;
    if (den < 0.0) frac = std::clamp(0.5 * (a - c) / den, -0.5, 0.5);
  }
  *offset = (double(int(best) - bins) + frac) * bin / order;
  return 1;
}
