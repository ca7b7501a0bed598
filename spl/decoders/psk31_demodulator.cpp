#include "spl/decoders/psk31_demodulator.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr double kTwoPi = 2.0 * M_PI;
constexpr double kSymbolRate = 31.25;
constexpr int kSamplesPerSymbol = 16;  // at the decimated rate
constexpr double kWorkRate = kSymbolRate * kSamplesPerSymbol;
// Decimation: the low-pass is flat to beyond +-120 Hz (the keyed signal 25 Hz off the tone) and
// long enough (40 ms) to stop from about 270 Hz on everything that would fold into the signal
// band at 500 samples per second.
constexpr double kDecimatorCutoff = 200.0;
constexpr double kDecimatorSeconds = 0.04;
// The carrier search looks at about +-70 Hz: the keyed signal 20 Hz off the tone.
constexpr double kChannelCutoff = 75.0;
constexpr int kChannelTaps = 81;
constexpr double kSearchSpan = 20.0;  // Hz either side of the set tone
constexpr int kSearchWindow = 1024;   // about two seconds
constexpr int kSearchInterval = 64;  // an eighth of a second between searches
constexpr double kMaxOffset = 25.0;   // the loop never wanders further from the set tone
// The found carrier replaces the loop's only when they differ by more than the loop pulls in
// by itself (a quarter of the symbol rate for BPSK, an eighth for QPSK, with margin).
constexpr double kBpskPullRange = 3.0, kQpskPullRange = 1.5;
// Likewise the found drift replaces the loop's when they differ by more than this (Hz per
// second): the loop's drift integrator takes many seconds to pick up a drift by itself.
constexpr double kDriftPullRange = 0.5;
// The drift the search finds is taken only from a line this many times as strong as it must be
// to be found at all: at the bare minimum the best of the trial drifts is mostly chance.
constexpr double kDriftTrust = 2.0;
// Frequency-locked loop: proportional share per symbol and the drift integrator, critically
// damped; slow while the signal is held, so that noise does not walk it off.
constexpr double kLoopGain = 0.03;
constexpr double kDriftGain = kLoopGain * kLoopGain / 4.0;
// Until the decoder holds the signal the loop runs faster: it pulls in and picks up the drift
// within the idle that leads a transmission.
constexpr double kAcquireLoopGain = 0.05;
constexpr double kAcquireDriftGain = kAcquireLoopGain * kAcquireLoopGain / 4.0;
constexpr double kMaxDrift = 0.064;  // Hz per symbol (2 Hz per second)
// The channel filter delays what the carrier search sees (seconds): the search's newest
// carrier is this much older than the loop's.
constexpr double kChannelDelay = 0.5 * (kChannelTaps - 1) / kWorkRate;
// Averaging shares per symbol: symbol-clock energy, quality, difference scale.
constexpr float kEnergyShare = 1.0f / 16.0f;
constexpr double kQualityShare = 1.0 / 32.0;
constexpr double kScaleShare = 1.0 / 32.0;
constexpr int kMaxClockStep = 2;  // decimated samples the symbol clock moves per symbol
constexpr float kTiny = 1e-20f;

// Blackman-windowed sinc low-pass with unit gain at 0 Hz.
std::vector<float> LowPass(int taps, double cutoff, double rate) {
  std::vector<float> h(static_cast<size_t>(taps));
  const double centre = 0.5 * (taps - 1), fc = cutoff / rate;
  double sum = 0.0;
  for (int i = 0; i < taps; ++i) {
    const double t = i - centre;
    const double sinc = t == 0.0 ? 2.0 * fc : std::sin(kTwoPi * fc * t) / (M_PI * t);
    const double x = taps > 1 ? double(i) / (taps - 1) : 0.5;
    const double window = 0.42 - 0.5 * std::cos(kTwoPi * x) + 0.08 * std::cos(2.0 * kTwoPi * x);
    h[size_t(i)] = float(sinc * window);
    sum += sinc * window;
  }
  for (float& v : h) v = float(v / sum);
  return h;
}

// The PSK31 symbol pulse: a raised cosine two symbols long, centred on the symbol.
double Pulse(int m) {
  return std::abs(m) < kSamplesPerSymbol ? 0.5 * (1.0 + std::cos(M_PI * m / kSamplesPerSymbol))
                                         : 0.0;
}

// The pulse minus the share of its neighbours that the pulse itself would pick up: matched to
// the keying, yet each symbol centre sees (almost) nothing of the symbols beside it.
std::vector<float> MatchedFilter() {
  double own = 0.0, beside = 0.0;
  for (int m = -kSamplesPerSymbol; m <= kSamplesPerSymbol; ++m) {
    own += Pulse(m) * Pulse(m);
    beside += Pulse(m) * Pulse(m - kSamplesPerSymbol);
  }
  const double share = beside / own;
  std::vector<float> h;
  for (int m = -2 * kSamplesPerSymbol; m <= 2 * kSamplesPerSymbol; ++m)
    h.push_back(float(Pulse(m) - share * (Pulse(m - kSamplesPerSymbol) +
                                          Pulse(m + kSamplesPerSymbol))));
  return h;
}

// One output of an FIR over a doubled ring (the newest sample at pos + size - 1).
std::complex<float> Convolve(const std::vector<float>& taps,
                             const std::vector<std::complex<float>>& ring, int pos) {
  const size_t n = taps.size();
  const std::complex<float>* x = ring.data() + pos;
  float re = 0.0f, im = 0.0f;
  for (size_t i = 0; i < n; ++i) {
    re += taps[i] * x[i].real();
    im += taps[i] * x[i].imag();
  }
  return {re, im};
}

// Appends to a doubled ring of taps.size() samples; returns the new start position.
int Append(std::vector<std::complex<float>>& ring, int pos, size_t size, std::complex<float> v) {
  ring[size_t(pos)] = v;
  ring[size_t(pos) + size] = v;
  return int((size_t(pos) + 1) % size);
}

}  // namespace

int CPsk31Demodulator::Init(double carrier, int rate) {
  if (!(carrier > 0.0) || rate < int(2.0 * kWorkRate) || 2.0 * carrier >= rate) return 0;
  carrier_ = carrier;
  rate_ = rate;
  const int taps = std::max(3, int(std::lround(rate * kDecimatorSeconds)) | 1);
  try {
    decimator_taps_ = LowPass(taps, kDecimatorCutoff, rate);
    decimator_ring_.assign(2 * size_t(taps), {0.0f, 0.0f});
    channel_taps_ = LowPass(kChannelTaps, kChannelCutoff, kWorkRate);
    channel_ring_.assign(2 * size_t(kChannelTaps), {0.0f, 0.0f});
    matched_taps_ = MatchedFilter();
    matched_ring_.assign(2 * matched_taps_.size(), {0.0f, 0.0f});
    energy_.assign(size_t(kSamplesPerSymbol), 0.0f);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (!search_.Init(kWorkRate, kSearchSpan, kSearchWindow, kMaxDrift * kSymbolRate)) return 0;
  mixer_phase_ = 0.0;
  mixer_step_ = kTwoPi * carrier / rate;
  decimator_pos_ = channel_pos_ = matched_pos_ = 0;
  input_clock_ = 0.0;
  input_per_output_ = rate / kWorkRate;
  search_countdown_ = kSearchInterval;
  offset_ = drift_ = fine_phase_ = 0.0;
  phase_ = 0;
  countdown_ = kSamplesPerSymbol;
  previous_ = symbol_ = difference_ = {0.0f, 0.0f};
  scale_ = 0.0;
  quality_ = {0.0, 0.0};
  ready_ = 0;
  held_ = false;
  candidate_ = candidate_drift_ = 0.0;
  candidate_count_ = 0;
  return 1;
}

float CPsk31Demodulator::DifferenceScale() const { return std::max(float(scale_), kTiny); }

int CPsk31Demodulator::Push(float x) {
  if (decimator_taps_.empty()) return 0;
  const std::complex<float> mixed{float(x * std::cos(mixer_phase_)),
                                  float(-x * std::sin(mixer_phase_))};
  mixer_phase_ += mixer_step_;
  if (mixer_phase_ >= kTwoPi) mixer_phase_ -= kTwoPi;
  decimator_pos_ = Append(decimator_ring_, decimator_pos_, decimator_taps_.size(), mixed);
  ready_ = 0;
  input_clock_ += 1.0;
  if (input_clock_ >= input_per_output_) {
    input_clock_ -= input_per_output_;
    Decimated(Convolve(decimator_taps_, decimator_ring_, decimator_pos_));
  }
  return ready_;
}

void CPsk31Demodulator::Decimated(std::complex<float> x) {
  channel_pos_ = Append(channel_ring_, channel_pos_, channel_taps_.size(), x);
  search_.Push(Convolve(channel_taps_, channel_ring_, channel_pos_));
  if (--search_countdown_ <= 0) {
    search_countdown_ = kSearchInterval;
    TryCarrierSearch();
  }
  const std::complex<float> turned = x * std::complex<float>(float(std::cos(fine_phase_)),
                                                             float(-std::sin(fine_phase_)));
  fine_phase_ = std::remainder(fine_phase_ + kTwoPi * offset_ / kWorkRate, kTwoPi);
  matched_pos_ = Append(matched_ring_, matched_pos_, matched_taps_.size(), turned);
  const std::complex<float> z = Convolve(matched_taps_, matched_ring_, matched_pos_);
  float& e = energy_[size_t(phase_)];
  e += kEnergyShare * (std::norm(z) - e);
  const int here = phase_;
  phase_ = (phase_ + 1) % kSamplesPerSymbol;
  if (--countdown_ > 0) return;
  Strobe(z);
  // The next centre: one symbol on, moved towards the phase of the greatest energy.
  const int best = int(std::max_element(energy_.begin(), energy_.end()) - energy_.begin());
  int step = (best - here + kSamplesPerSymbol) % kSamplesPerSymbol;
  if (step >= kSamplesPerSymbol / 2) step -= kSamplesPerSymbol;
  countdown_ = kSamplesPerSymbol + std::clamp(step, -kMaxClockStep, kMaxClockStep);
}

void CPsk31Demodulator::Strobe(std::complex<float> z) {
  symbol_ = z;
  difference_ = z * std::conj(previous_);
  previous_ = z;
  ready_ = 1;
  const double magnitude = std::abs(difference_);
  scale_ += kScaleShare * (magnitude - scale_);
  if (!(magnitude > 0.0)) return;
  // The phase step raised to the number of phases: 1 on a clean keying phase.
  const std::complex<double> unit = std::complex<double>(difference_) / magnitude;
  const std::complex<double> raised = std::pow(unit, order_);
  quality_ += kQualityShare * (raised - quality_);
  // Frequency-locked loop: what is left of the step after removing the keying is the phase
  // the carrier offset turns in one symbol.
  const double error = std::arg(raised) / order_ * kSymbolRate / kTwoPi;  // Hz
  const double gain = held_ ? kLoopGain : kAcquireLoopGain;
  const double drift_gain = held_ ? kDriftGain : kAcquireDriftGain;
  drift_ = std::clamp(drift_ + drift_gain * error, -kMaxDrift, kMaxDrift);
  offset_ = std::clamp(offset_ + gain * error + drift_, -kMaxOffset, kMaxOffset);
}

void CPsk31Demodulator::TryCarrierSearch() {
  if (held_) {
    candidate_count_ = 0;
    return;
  }
  // The idle of both modes is a string of reversals, whose square shows the carrier plainly;
  // QPSK text needs the fourth power.
  CPsk31CarrierSearch::Line line;
  if (!search_.Estimate(2, &line) && (order_ == 2 || !search_.Estimate(order_, &line))) return;
  // A weak line tells its frequency far better than its drift: then the loop's drift stands.
  const double found_drift = line.strength >= kDriftTrust ? line.drift : drift_ * kSymbolRate;
  const double found = std::clamp(line.offset + found_drift * (line.age + kChannelDelay),
                                  -kMaxOffset, kMaxOffset);
  const double pull = order_ == 4 ? kQpskPullRange : kBpskPullRange;
  const auto near = [pull](double f, double d, double f0, double d0) {
    return std::abs(f - f0) <= pull && std::abs(d - d0) <= kDriftPullRange;
  };
  if (near(found, found_drift, offset_, drift_ * kSymbolRate)) {
    candidate_count_ = 0;
    return;
  }
  // A move needs two searches in a row that agree: a single stray peak moves nothing.
  if (candidate_count_ == 0 ||
      !near(found, found_drift, candidate_ + candidate_drift_ * kSearchInterval / kWorkRate,
            candidate_drift_)) {
    candidate_ = found;
    candidate_drift_ = found_drift;
    candidate_count_ = 1;
    return;
  }
  offset_ = found;
  drift_ = std::clamp(found_drift / kSymbolRate, -kMaxDrift, kMaxDrift);
  candidate_count_ = 0;
}
