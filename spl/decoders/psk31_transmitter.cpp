#include "spl/decoders/psk31_transmitter.h"

#include <cmath>

#include "spl/decoders/varicode.h"

namespace {
constexpr float kAmplitude = 32767.0f;
constexpr float kShapingFrequency = 15.625f;  // half the symbol rate: a sign change per symbol
constexpr float kHalfPi = 1.5707964f;
constexpr int kMinRate = 1000, kMaxRate = 384000;
constexpr int kCharacterGapBits = 2;
}  // namespace

CPSK31Transmitter::~CPSK31Transmitter() { Release(); }

void CPSK31Transmitter::Release() {
  FreeAudioBlock(shaping_);
  FreeAudioBlock(rectified_);
  shaping_ = rectified_ = nullptr;
}

int CPSK31Transmitter::Init(int carrier, int sampleRate, int blockSize) {
  if (sampleRate < kMinRate || sampleRate > kMaxRate || blockSize < 1 || carrier <= 0 ||
      2 * carrier >= sampleRate)
    return 0;
  bits_.clear();
  Release();
  keying_ = Psk31KeyingState{};  // a new transmission starts afresh
  carrier_ = carrier;
  rate_ = sampleRate;
  block_ = blockSize;
  if (!carrier_gen_.Init(rate_, block_) || !shaping_gen_.Init(rate_, block_)) return 0;
  carrier_gen_.SetFreq(float(carrier_));
  carrier_gen_.SetAmpl(kAmplitude);
  shaping_gen_.SetFreq(kShapingFrequency);
  shaping_gen_.SetAmpl(1.0f);
  if (!NewAudioBlock(&shaping_, block_) || !NewAudioBlock(&rectified_, block_)) return 0;
  return 1;
}

int CPSK31Transmitter::Transmit(int ch) {
  if (ch < 0 || ch >= kVaricodeSize) return 0;
  for (const char* p = kVaricode[ch]; *p; ++p) bits_.push_back(*p == '1' ? 1 : 0);
  for (int i = 0; i < kCharacterGapBits; ++i) bits_.push_back(0);
  return 1;
}

unsigned long CPSK31Transmitter::CreateAudio(AudioBlock* out) {
  if (!shaping_ || !out || out->count > block_) return 0;
  // Both generators render exactly the caller's samples, so the symbol clock stays continuous.
  shaping_->count = rectified_->count = out->count;
  carrier_gen_.Generate(out, 0, out->count);
  shaping_gen_.Generate(shaping_, 0, out->count);
  for (int i = 0; i < out->count; ++i) rectified_->data[i] = std::fabs(shaping_->data[i]);
  Psk31KeyingState& k = keying_;
  const float step = shaping_gen_.GetStep();
  for (int i = 0; i < out->count; ++i) {
    const float s = shaping_->data[i];
    if ((k.shaping_sign < 0 && s >= 0.0f) || (k.shaping_sign > 0 && s < 0.0f)) {
      k.shaping_sign = s >= 0.0f ? 1 : -1;
      k.previous_bit = k.current_bit;
      k.current_bit = 0;
      if (!bits_.empty()) {
        k.current_bit = bits_.front();
        bits_.pop_front();
      }
      k.symbol_phase = 0.0f;
      if (k.previous_bit == 0) k.polarity = -k.polarity;
    }
    const bool second_half = k.symbol_phase > kHalfPi;
    const bool full = (k.current_bit == 1 && second_half) ||
                      (k.previous_bit == 1 && (k.current_bit == 1 || !second_half));
    out->data[i] *= full ? k.polarity : k.polarity * rectified_->data[i];
    k.symbol_phase += step;
  }
  return block_counter_++;
}
