#include "spl/decoders/psk31_decoder.h"

#include <algorithm>
#include <cmath>

#include "spl/audio/block_steps.h"
#include "spl/decoders/decoder_windows.h"
#include "spl/decoders/qpsk_code.h"
#include "spl/decoders/varicode.h"

namespace {

// The display band-pass: 256 taps at the station's 11025 Hz, in proportion at other rates.
constexpr double kReferenceRate = 11025.0;
constexpr int kBandPassOrder = 256;
constexpr float kBandHalfWidth = 32.0f;  // Hz either side of the carrier
constexpr unsigned long kFilterWindow = kFilterWindowHann;
constexpr double kSymbolSeconds = 0.032;  // 31.25 Bd
constexpr int kMinRate = 1000, kMaxRate = 384000;
constexpr uint32_t kCharacterGap = 3;  // the two 0 bits that close every character
constexpr int kQpskPhases = 4;
constexpr double kQuarterTurn = M_PI / 2.0;
constexpr float kDegreesPerRadian = float(180.0 / M_PI);
constexpr float kBpskDisplayMin = -180.0f, kBpskDisplayMax = 180.0f;
constexpr float kQpskDisplayMax = 360.0f;
constexpr int kMaxQuality = 100;
// From this quality on the receiver holds its carrier against the search, whatever the squelch.
constexpr int kHeldQuality = 40;
constexpr long kLookBackSymbols = 64;  // two seconds
// ... but only characters framed at no less than this share of the signal's level when the
// squelch opens: noise framed just before a transmission is weaker by far.
constexpr float kHeldLevelShare = 0.3f;
constexpr double kQpskQualityShare = 1.0 / 48.0;  // per symbol
// The trellis bends its decisions towards noise: noise alone agrees with them about this much.
constexpr double kQpskChanceAgreement = 0.6;

int Scaled(int taps, int rate) { return std::max(2, int(std::lround(taps * (rate / kReferenceRate)))); }

}  // namespace

CPSK31Decoder::~CPSK31Decoder() { Release(); }

void CPSK31Decoder::Release() {
  FreeAudioBlock(band_);
  FreeAudioBlock(demodulated_);
  FreeAudioBlock(staging_);
  band_ = demodulated_ = staging_ = nullptr;
  viterbi_.reset();
}

int CPSK31Decoder::Init(int carrier, int sampleRate, int blockSize, int taps) {
  if (sampleRate < kMinRate || sampleRate > kMaxRate || blockSize < 1 ||
      carrier - kBandHalfWidth <= 0.0f || 2.0f * (carrier + kBandHalfWidth) >= float(sampleRate))
    return 0;
  Release();
  carrier_ = carrier;
  rate_ = sampleRate;
  block_ = blockSize;
  taps_ = taps;
  register_ = 0;
  lock_ = 0;
  step_degrees_ = 0.0f;
  std::fill(std::begin(steps_), std::end(steps_), std::complex<float>{});
  step_count_ = step_pos_ = 0;
  decided_ = 0;
  qpsk_quality_ = kQpskChanceAgreement;  // quality 0, as close to opening as noise gets
  held_count_ = 0;
  char_level_sum_ = 0.0;
  char_level_count_ = 0;
  symbols_ = 0;
  symbol_ = int(rate_ * kSymbolSeconds + 0.5);
  if (!NewAudioBlock(&band_, block_) || !NewAudioBlock(&demodulated_, block_) ||
      !NewAudioBlock(&staging_, block_))
    return 0;
  viterbi_ = std::make_unique<CViterbiDecoderQPSK>();
  if (!band_pass_.Init(rate_, block_, Scaled(kBandPassOrder, rate_)) ||
      !band_pass_.CreateBP(float(carrier) - kBandHalfWidth, float(carrier) + kBandHalfWidth,
                           kFilterWindow))
    return 0;
  if (!demodulator_.Init(carrier_, rate_)) return 0;
  demodulator_.SetOrder(bpsk_ ? 2 : kQpskPhases);
  return 1;
}

void CPSK31Decoder::SetBPSKModeActive(int bpsk) {
  bpsk_ = bpsk ? 1 : 0;
  demodulator_.SetOrder(bpsk_ ? 2 : kQpskPhases);
}

int CPSK31Decoder::SetReverseMode(int reverse) {
  const int old = reverse_;
  reverse_ = reverse ? 1 : 0;
  return old;
}

void CPSK31Decoder::SetQualityThreshold(int q) { threshold_ = std::clamp(q, 0, kMaxQuality); }

int CPSK31Decoder::CodedQuality() const {
  const double q = (qpsk_quality_ - kQpskChanceAgreement) / (1.0 - kQpskChanceAgreement);
  return std::clamp(int(std::lround(kMaxQuality * q)), 0, kMaxQuality);
}

int CPSK31Decoder::GetQuality() const {
  // QPSK: the phase scatter rises quickly on a strong signal; agreement with the decoded bits
  // tells a weak one from noise.
  const int scatter =
      std::clamp(int(std::lround(kMaxQuality * demodulator_.GetQuality())), 0, kMaxQuality);
  return bpsk_ ? scatter : std::max(scatter, CodedQuality());
}

int CPSK31Decoder::Connect(HWND wnd, int channel) { return windows_.Connect(wnd, channel); }

int CPSK31Decoder::DisConnect(HWND wnd, int channel) { return windows_.DisConnect(wnd, channel); }

void CPSK31Decoder::Decode(const AudioBlock* in) {
  if (!in || !band_ || in->count <= 0) return;
  FeedInSteps(in, block_, staging_, [this](const AudioBlock* step) { DecodeStep(step); });
}

void CPSK31Decoder::DecodeStep(const AudioBlock* in) {
  // The work blocks take the length of this step, so a short block leaves no stale samples.
  band_->count = demodulated_->count = in->count;
  band_pass_.Filter(in, band_, 1);
  windows_.Post(band_, kPsk31BandPassChannel);
  for (int i = 0; i < in->count; ++i) {
    if (demodulator_.Push(in->data[i])) TakeSymbol();
    demodulated_->data[i] = step_degrees_;
  }
  demodulated_->min = bpsk_ ? kBpskDisplayMin : 0.0f;
  demodulated_->max = demodulated_->peak = bpsk_ ? kBpskDisplayMax : kQpskDisplayMax;
  windows_.Post(demodulated_, kPsk31DemodulatedChannel);
}

void CPSK31Decoder::TakeSymbol() {
  std::complex<float> d = demodulator_.Difference();
  ++symbols_;
  char_level_sum_ += std::abs(d);
  ++char_level_count_;
  // QPSK: a loop a quarter of the symbol rate off still shows a clean fourth power, but the
  // decoded bits no longer agree with the steps: only that agreement holds the carrier.
  demodulator_.SetHeld((bpsk_ ? GetQuality() : CodedQuality()) >= kHeldQuality);
  UpdateSquelch();
  if (bpsk_) {
    step_degrees_ = std::arg(d) * kDegreesPerRadian;
    TakeBit(d.real() > 0.0f ? 1 : 0);  // no reversal: a 1 bit
    return;
  }
  if (reverse_) d = std::conj(d);  // the other sideband turns the other way
  float degrees = std::arg(d) * kDegreesPerRadian;
  step_degrees_ = degrees < 0.0f ? degrees + kQpskDisplayMax : degrees;
  // Soft decisions: the distance of the step from each keying phase, on the scale of the
  // recent steps: |d| - Re(d conj(phase)), never negative; a constant shared by the four costs
  // leaves the trellis decisions alone.
  const double scale = demodulator_.DifferenceScale(), size = std::abs(d);
  double cost[kQpskPhases];
  for (int s = 0; s < kQpskPhases; ++s) {
    const std::complex<double> ref = std::polar(1.0, s * kQuarterTurn);
    cost[s] = (size - (std::complex<double>(d) * std::conj(ref)).real()) / scale;
  }
  steps_[step_pos_] = d;
  step_pos_ = (step_pos_ + 1) % kStepHistory;
  step_count_ = std::min(step_count_ + 1, kStepHistory);
  if (!viterbi_->AddSoftValues(cost)) return;
  const int bit = viterbi_->GetLastBit();
  RateQpskBit(bit);
  UpdateSquelch();
  TakeBit(bit);
}

void CPSK31Decoder::RateQpskBit(int bit) {
  // The bit left the trellis the decision depth after the symbol that carried it; the symbol
  // follows from it and the four bits before. A real signal agrees with its own decisions
  // (about 1); noise agrees only as far as the trellis bent the decisions towards it.
  decided_ = (decided_ << 1) | uint32_t(bit & 1);
  const int back = viterbi_->GetDepth();
  if (step_count_ < back) return;
  int state = 0;  // bit 3 the newest earlier bit, bit 0 the oldest
  for (int i = 0; i < kQpskWindowBits - 1; ++i)
    if (decided_ & (1u << (i + 1))) state |= 1 << (kQpskWindowBits - 2 - i);
  const int expected = QpskExpectedSymbol(state, bit);
  const std::complex<float> d = steps_[(step_pos_ - back + kStepHistory) % kStepHistory];
  const float size = std::abs(d);
  if (!(size > 0.0f)) return;
  const double agreement = (d * std::polar(1.0f, -float(expected * kQuarterTurn))).real() / size;
  qpsk_quality_ += kQpskQualityShare * (agreement - qpsk_quality_);
}

void CPSK31Decoder::TakeBit(int bit) {
  register_ = (register_ << 1) | uint32_t(bit & 1);
  if (register_ == 0) char_level_sum_ = 0.0, char_level_count_ = 0;  // idle
  if (register_ == 0 || (register_ & kCharacterGap) != 0) return;
  // The squelch holds back whole characters; the framing goes on underneath.
  const int ch = VaricodeLookupBits(register_ >> 2);
  register_ = 0;
  const float level = float(char_level_sum_ / std::max(1, char_level_count_));
  char_level_sum_ = 0.0;
  char_level_count_ = 0;
  if (ch < 0) return;
  if (lock_) {
    Char(ch);
    return;
  }
  if (held_count_ == kHeldChars) {
    std::copy(held_ + 1, held_ + kHeldChars, held_);
    --held_count_;
  }
  held_[held_count_++] = {ch, symbols_, level};
}

void CPSK31Decoder::UpdateSquelch() {
  const int open = threshold_ == 0 || GetQuality() >= threshold_ ? 1 : 0;
  if (open && !lock_) {
    // Opening: what was framed in the look-back time came from this signal.
    const float now = demodulator_.DifferenceScale();
    for (int i = 0; i < held_count_; ++i)
      if (symbols_ - held_[i].symbol <= kLookBackSymbols && held_[i].level >= kHeldLevelShare * now)
        Char(held_[i].ch);
    held_count_ = 0;
  }
  lock_ = open;
}
