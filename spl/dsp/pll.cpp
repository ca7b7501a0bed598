#include "spl/dsp/pll.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "spl/dsp/pll_state.h"

namespace {

constexpr double kTwoPi = 2.0 * M_PI;
constexpr int kDefaultSymbolLength = 353;  // 11025 Hz / 31.25 Bd, rounded
// Costas loop constants.
constexpr double kErrorFactor = 0.05;
constexpr double kInPhaseA = 0.7;
constexpr double kInPhaseABpsk = 0.95;
constexpr double kPeakDecay = 0.99995;
constexpr double kErrorPeakDecay = 0.99998;
constexpr double kErrorPeakFloor = 0.03;
constexpr double kPeakAttack = 0.5;
constexpr double kDecisionShare = 0.1;   // of the amplitude peaks
constexpr double kQpskErrorShare = 0.25;  // of the error peaks
constexpr double kCostasGainFactor = 1.5;

// Tri-state phase-frequency detector on the process-wide state.
int PhaseDetector(PllProcessState& s, int input, int reference) {
  const bool input_rises = input && !s.last_input;
  const bool reference_rises = reference && !s.last_reference;
  s.last_input = input;
  s.last_reference = reference;
  switch (s.detector) {
    case 0:
      if (input_rises && !reference_rises) s.detector = 1;
      else if (reference_rises && !input_rises) s.detector = -1;
      break;
    case 1:
      if (reference_rises) s.detector = 0;
      break;
    default:
      if (input_rises) s.detector = 0;
      break;
  }
  return s.detector;
}

}  // namespace

CPLL::~CPLL() {
  free(error_history_);
  free(amplitude_history_);
}

void CPLL::SetBPSKMode(int bpsk) { bpsk_ = bpsk; }

int CPLL::SetTPFactor(double k) {
  if (!(k >= 0.0 && k < 1.0)) return 0;
  tp_factor_ = k;
  return 1;
}

int CPLL::SetFrequencyGain(double gain) {
  gain_ = gain;
  return 1;
}

int CPLL::SetSampleRate(int rate) {
  rate_ = rate;
  if (f0_ != 0.0) {
    p_ = double(rate_) / f0_;
    p_over_2pi_ = p_ / kTwoPi;
  }
  return 1;
}

int CPLL::SetStartFrequency(double f0) {
  f0_ = f0;
  f0_copy_ = f0;
  if (f0_ != 0.0) {
    p_ = double(rate_) / f0_;
    p_over_2pi_ = p_ / kTwoPi;
  }
  return 1;
}

double CPLL::SetFiltervalue(double a) {
  const double old = filter_value_;
  filter_value_ = a;
  return old;
}

int CPLL::Init(int rate, double f0, double gain, int historyLength) {
  free(error_history_);
  free(amplitude_history_);
  error_history_ = amplitude_history_ = nullptr;
  history_ = 0;
  if (historyLength < 1) return 0;
  error_history_ = static_cast<float*>(calloc(2 * size_t(historyLength), sizeof(float)));
  amplitude_history_ = static_cast<float*>(calloc(2 * size_t(historyLength), sizeof(float)));
  if (!error_history_ || !amplitude_history_) return 0;
  history_ = historyLength;
  offset_ = 0;
  SetSampleRate(rate);
  SetStartFrequency(f0);
  SetFrequencyGain(gain);
  return 1;
}

int CPLL::Refuses(const AudioBlock* src, const AudioBlock* dst) const {
  // A zero start frequency gives no VCO period to run on.
  return !src || !dst || rate_ == 0 || f0_ <= 0.0 || p_ <= 0.0;
}

void CPLL::AdvanceAccumulator() {
  accumulator_ += increment_;
  if (accumulator_ >= p_) accumulator_ -= p_;
}

int CPLL::RunPll(const AudioBlock* src, AudioBlock* dst, Loop kind) {
  if (Refuses(src, dst)) return 0;
  PllProcessState& s = GetPllProcessState();
  s.loop_filter.SetA(filter_value_);
  const double g = gain_ / f0_;
  const int n = src->count < dst->count ? src->count : dst->count;
  for (int i = 0; i < n; ++i) {
    const double theta = accumulator_ / p_over_2pi_;
    const double r = std::sin(theta);
    dst->data[i] = kind == Loop::kPll ? float(std::sin(kTwoPi * u_ + theta)) : u_;
    AdvanceAccumulator();
    const int d = PhaseDetector(s, src->data[i] > 0.0f, r > 0.0);
    u_ = float(s.loop_filter.IIR(d));
    increment_ = u_ * g + 1.0;
  }
  return 1;
}

int CPLL::DoPLL(const AudioBlock* src, AudioBlock* dst) { return RunPll(src, dst, Loop::kPll); }

int CPLL::DoPLL2(const AudioBlock* src, AudioBlock* dst) { return RunPll(src, dst, Loop::kPll2); }

int CPLL::DoCostasLoop(const AudioBlock* src, AudioBlock* dst, int, int symbolLength) {
  if (Refuses(src, dst)) return 0;
  const int n = src->count < dst->count ? src->count : dst->count;
  if (n > history_) return 0;  // the histories hold one block
  PllProcessState& s = GetPllProcessState();
  s.in_phase_filter.SetA(bpsk_ ? kInPhaseABpsk : kInPhaseA);
  const float range = std::max(-src->min, src->max);
  const double norm = range > 0.0f ? 1.0 / range : 0.0;  // silence stays silence
  const double g = gain_ / f0_;
  const double k = tp_factor_;
  for (int i = 0; i < n; ++i) {
    const double theta = accumulator_ / p_over_2pi_;
    const double sn = std::sin(theta), cs = std::cos(theta);
    AdvanceAccumulator();
    const double v = src->data[i] * norm;
    s.i_arm += (v * sn - s.i_arm) * k;
    s.q_arm += (v * cs - s.q_arm) * k;
    s.error += (s.i_arm * s.q_arm - s.error) * kErrorFactor;
    const double a = s.in_phase_filter.IIR(s.i_arm);
    if (a <= s.peak_pos) s.peak_pos *= kPeakDecay;
    else s.peak_pos += (a - s.peak_pos) * kPeakAttack;
    if (a >= s.peak_neg) s.peak_neg *= kPeakDecay;
    else s.peak_neg += (a - s.peak_neg) * kPeakAttack;
    if (s.error <= s.error_pos) {
      if (s.error_pos > kErrorPeakFloor) s.error_pos *= kErrorPeakDecay;
    } else {
      s.error_pos += (s.error - s.error_pos) * kPeakAttack;
    }
    if (s.error >= s.error_neg) {
      if (s.error_neg < -kErrorPeakFloor) s.error_neg *= kErrorPeakDecay;
    } else {
      s.error_neg += (s.error - s.error_neg) * kPeakAttack;
    }
    error_history_[history_ + i] = float(s.error);
    amplitude_history_[history_ + i] = float(a);
    if (bpsk_) {
      float phase = s.last_phase;
      if (a > kDecisionShare * s.peak_pos) phase = 180.0f;
      else if (a < kDecisionShare * s.peak_neg) phase = -180.0f;
      dst->data[i] = phase;
      s.last_phase = phase;
    }
    increment_ = s.error * g * kCostasGainFactor + 1.0;
  }
  if (!bpsk_) DecideQpsk(dst, n, symbolLength > 0 ? symbolLength : kDefaultSymbolLength);
  return 1;
}

void CPLL::DecideQpsk(AudioBlock* dst, int count, int symbolLength) {
  PllProcessState& s = GetPllProcessState();
  const int len = symbolLength;
  const int stored = 2 * history_;  // entries in each history
  const float* amp = amplitude_history_;
  const float* err = error_history_;
  // Symbol timing from the zero crossings of the in-phase amplitude.
  // Positions are taken modulo the symbol length, so each is unwrapped to the representative
  // nearest the old offset before averaging (a plain mean of 2 and len - 2 would give len / 2).
  const int reference = ((offset_ % len) + len) % len;
  long long sum = 0;
  int crossings = 0;
  for (int i = 0; i < count; ++i) {
    if (amp[i] * amp[i + 1] < 0.0f) {
      int p = i % len;
      if (p - reference > len / 2) p -= len;
      else if (reference - p > len / 2) p += len;
      sum += p;
      ++crossings;
    }
  }
  if (crossings > 0) {
    const long long mean = sum / crossings;
    offset_ = int((((mean + reference) / 2) % len + len) % len);
  }
  const int first = std::min(offset_, count);
  for (int i = 0; i < first; ++i) dst->data[i] = s.last_phase;
  int written = -1;  // -1: no symbol starts in this block
  for (int j = first; j < count; j += len) {
    // A symbol longer than the history is measured over what the history holds.
    const int error_span = std::min(len - len / 7, stored - j);
    const int amplitude_span = std::min(len, stored - j);
    double e = 0.0, a = 0.0;
    for (int i = 0; i < error_span; ++i) e += err[j + i];
    for (int i = 0; i < amplitude_span; ++i) a += amp[j + i];
    e /= std::max(error_span, 1);
    a /= std::max(amplitude_span, 1);
    float phase = s.last_phase;
    if (e < kQpskErrorShare * s.error_neg) phase = 270.0f;
    else if (e > kQpskErrorShare * s.error_pos) phase = 90.0f;
    else if (a > kDecisionShare * s.peak_pos) phase = 180.0f;
    else if (a < kDecisionShare * s.peak_neg) phase = 0.0f;
    written = std::min(len, count - j);
    for (int i = 0; i < written; ++i) dst->data[j + i] = phase;
    s.last_phase = phase;
  }
  memmove(error_history_, error_history_ + history_, size_t(count) * sizeof(float));
  memmove(amplitude_history_, amplitude_history_ + history_, size_t(count) * sizeof(float));
  offset_ = written >= 0 ? len - written : offset_ - count;
}
