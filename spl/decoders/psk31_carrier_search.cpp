#include "spl/decoders/psk31_carrier_search.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "spl/primitives/nspffts.h"

namespace {
// The line must carry this many times the mean power of the search band: noise alone reaches
// it in about one search of a hundred. The fourth power spreads more of the keyed signal over
// the band, so its line must stand out further.
constexpr double kLineContrast = 11.0;
constexpr double kFourthPowerContrast = 16.0;
constexpr double kMinHistoryShare = 0.125;  // of the window before a first estimate
constexpr int kMaxOrder = 4;
constexpr int kMaxSize = 65536;

}  // namespace

int CPsk31CarrierSearch::Init(double rate, double span, int window, double max_drift) {
  if (!(rate > 0.0) || !(span > 0.0) || window < 16 || window > kMaxSize || !(max_drift >= 0.0))
    return 0;
  int size = 1, fft_order = 0;
  while (size < window) size <<= 1, ++fft_order;
  // The raised line must stay inside the transform: order * span under half the rate.
  if (!(kMaxOrder * span < 0.5 * rate)) return 0;
  try {
    history_.assign(size_t(window), {0.0f, 0.0f});
    raised_.assign(size_t(window), {0.0, 0.0});
    chirp_.assign(size_t(window), {1.0, 0.0});
    chirp_step_.assign(size_t(window), {1.0, 0.0});
    work_re_.assign(size_t(size), 0.0f);
    work_im_.assign(size_t(size), 0.0f);
    power_.reserve(size_t(size));
  } catch (const std::bad_alloc&) {
    history_.clear();
    raised_.clear();
    chirp_.clear();
    chirp_step_.clear();
    work_re_.clear();
    work_im_.clear();
    window_ = 0;
    return 0;
  }
  rate_ = rate;
  span_ = span;
  window_ = window;
  size_ = size;
  fft_order_ = fft_order;
  max_drift_ = max_drift;
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

void CPsk31CarrierSearch::Spectrum() {
  for (int i = 0; i < filled_; ++i) {
    const std::complex<double> v = raised_[size_t(i)] * chirp_[size_t(i)];
    work_re_[size_t(i)] = float(v.real());
    work_im_[size_t(i)] = float(v.imag());
  }
  std::fill(work_re_.begin() + filled_, work_re_.end(), 0.0f);
  std::fill(work_im_.begin() + filled_, work_im_.end(), 0.0f);
  nspcrFft(work_re_.data(), work_im_.data(), fft_order_, NSP_FORWARD);
}

int CPsk31CarrierSearch::Estimate(int order, Line* line) {
  if (!line || window_ == 0 || order < 1 || order > kMaxOrder ||
      filled_ < int(kMinHistoryShare * window_))
    return 0;
  // |x| e^(j order arg x): the keying is gone, and unlike x^order the noise is not raised to
  // a power.
  for (int i = 0; i < filled_; ++i) {
    const std::complex<float> x = history_[size_t((next_ - filled_ + i + window_) % window_)];
    const double a = std::abs(x);
    raised_[size_t(i)] = a > 0.0 ? std::polar(a, order * std::arg(std::complex<double>(x)))
                                 : std::complex<double>{};
  }
  const double seconds = filled_ / rate_;
  const double bin = rate_ / size_;  // Hz of the raised line per transform bin
  const int bins = int(std::ceil(order * span_ / bin));
  // Trial drifts close enough that the line of the nearest one spreads over at most a bin of
  // the history's own resolution: order * step / 2 * seconds <= 1 / (2 seconds).
  const int trials = int(std::ceil(max_drift_ * order * seconds * seconds));
  const double step = trials > 0 ? max_drift_ / trials : 0.0;  // evenly over +-max_drift
  double best_ratio = 0.0, best_drift = 0.0, best_at = 0.0;
  std::vector<double>& power = power_;
  // The history is turned back by each trial drift about its middle, where the line then sits
  // at the carrier of that moment: chirp_ holds e^(-j pi order drift t^2) for the trial, and
  // steps on to the next trial by one factor per sample.
  const double middle = 0.5 * (filled_ - 1);
  for (int i = 0; i < filled_; ++i) {
    const double t = (i - middle) / rate_, turn = -M_PI * order * t * t;
    chirp_[size_t(i)] = std::polar(1.0, -trials * step * turn);
    chirp_step_[size_t(i)] = std::polar(1.0, step * turn);
  }
  for (int d = -trials; d <= trials; ++d) {
    const double trial = d * step;
    if (d > -trials)
      for (int i = 0; i < filled_; ++i) chirp_[size_t(i)] *= chirp_step_[size_t(i)];
    Spectrum();
    power.assign(size_t(2 * bins + 1), 0.0);  // within the capacity reserved by Init
    double sum = 0.0;
    for (int k = -bins; k <= bins; ++k) {
      const size_t at = size_t((k + size_) % size_);
      const double p = double(work_re_[at]) * work_re_[at] + double(work_im_[at]) * work_im_[at];
      power[size_t(k + bins)] = p;
      sum += p;
    }
    const size_t peak = size_t(std::max_element(power.begin(), power.end()) - power.begin());
    const double mean = sum / double(power.size());
    if (!(mean > 0.0) || power[peak] < best_ratio * mean) continue;
    best_ratio = power[peak] / mean;
    best_drift = trial;
    // Parabola through the peak and its neighbours for the fraction of a bin.
    double frac = 0.0;
    if (peak > 0 && peak + 1 < power.size()) {
      const double a = power[peak - 1], b = power[peak], c = power[peak + 1];
      const double den = a - 2.0 * b + c;
      if (den < 0.0) frac = std::clamp(0.5 * (a - c) / den, -0.5, 0.5);
    }
    best_at = (double(int(peak) - bins) + frac) * bin / order;
  }
  const double contrast = order >= kMaxOrder ? kFourthPowerContrast : kLineContrast;
  if (best_ratio < contrast) return 0;
  line->offset = best_at;
  line->age = 0.5 * (filled_ - 1) / rate_;
  line->drift = best_drift;
  line->strength = best_ratio / contrast;
  return 1;
}
