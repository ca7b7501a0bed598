#include "spl/decoders/qpsk31_modulator.h"

#include <cmath>

namespace {
constexpr double kSymbolRate = 31.25;
constexpr double kAmplitude = 32767.0;
constexpr double kTwoPi = 2.0 * M_PI;
constexpr double kQuarterTurn = M_PI / 2.0;
constexpr int kMinRate = 1000, kMaxRate = 384000;
}  // namespace

int CQpsk31Modulator::Init(int carrier, int sampleRate) {
  if (sampleRate < kMinRate || sampleRate > kMaxRate || carrier <= 0 || 2 * carrier >= sampleRate)
    return 0;
  carrier_ = carrier;
  rate_ = sampleRate;
  samples_per_symbol_ = rate_ / kSymbolRate;
  symbol_clock_ = 0.0;
  carrier_phase_ = 0.0;
  old_quadrant_ = new_quadrant_ = 0;
  started_ = false;
  return 1;
}

void CQpsk31Modulator::CreateAudio(AudioBlock* out, CViterbiCoderQPSK& coder) {
  if (!out) return;
  const double step = kTwoPi * carrier_ / rate_;
  for (int i = 0; i < out->count; ++i) {
    if (!started_ || symbol_clock_ >= samples_per_symbol_) {
      if (started_) symbol_clock_ -= samples_per_symbol_;
      started_ = true;
      old_quadrant_ = new_quadrant_;
      new_quadrant_ = (old_quadrant_ + int(coder.GetNextSymbol() & 3)) & 3;
    }
    // Raised-cosine fade from the old phasor to the new one across the symbol.
    const double w = 0.5 * (1.0 + std::cos(M_PI * symbol_clock_ / samples_per_symbol_));
    const double a = carrier_phase_ + old_quadrant_ * kQuarterTurn;
    const double b = carrier_phase_ + new_quadrant_ * kQuarterTurn;
    out->data[i] = float(kAmplitude * (w * std::cos(a) + (1.0 - w) * std::cos(b)));
    carrier_phase_ += step;
    if (carrier_phase_ >= kTwoPi) carrier_phase_ -= kTwoPi;
    symbol_clock_ += 1.0;
  }
}
