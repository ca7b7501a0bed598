#include "spl/decoders/psk31_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "spl/audio/block_steps.h"
#include "spl/decoders/decoder_windows.h"
#include "spl/decoders/psk31_symbol_state.h"
#include "spl/dsp/pll_state.h"
#include "spl/decoders/varicode.h"

namespace {

// Filter lengths and the loop's history are those of the station's 11025 Hz; other rates
// scale the filter lengths so that the filters keep their shape.
constexpr double kReferenceRate = 11025.0;
constexpr int kBandPassOrder = 256;
constexpr int kLowPassOrder = 64;
constexpr float kBandHalfWidth = 32.0f;  // Hz either side of the carrier
constexpr float kLowPassCutoff = 60.0f;  // Hz
constexpr unsigned long kFilterWindow = kFilterWindowHann;
constexpr double kSymbolSeconds = 0.032;  // 31.25 Bd
constexpr double kLoopGain = 100.0;       // Hz per unit of loop error
constexpr double kBpskArmFactor = 0.03;
constexpr double kQpskArmFactor = 0.025;
constexpr int kBpskLock = 20;  // symbols a confirmed boundary keeps the decoder printing
constexpr int kQpskLock = 30;
constexpr int kTimingShare = 10;  // a tenth of the timing error is corrected per symbol
// Display ranges of the loop output (degrees).
constexpr float kBpskLoopMin = -185.0f, kBpskLoopMax = 180.0f, kBpskLoopPeak = 185.0f;
constexpr float kQpskLoopMax = 400.0f;
constexpr float kQpskPhaseMax = 360.0f;
constexpr float kQpskEdge = 89.0f;  // a quantised phase step larger than this is a boundary
constexpr int kMinRate = 1000, kMaxRate = 384000;
constexpr uint32_t kCharacterGap = 3;  // the two 0 bits that close every character

int Scaled(int taps, int rate) { return std::max(2, int(std::lround(taps * (rate / kReferenceRate)))); }

int QuantisedPhase(float v) {
  if (v > 45.0f && v < 135.0f) return 90;
  if (v > 225.0f && v < 315.0f) return 270;
  if (v > 135.0f && v < 225.0f) return 180;
  return 0;
}

void MeasureAgainstZero(AudioBlock* b) {
  float lo = 0.0f, hi = 0.0f;
  for (int i = 0; i < b->count; ++i) {
    lo = std::min(lo, b->data[i]);
    hi = std::max(hi, b->data[i]);
  }
  b->min = lo;
  b->max = hi;
  b->peak = std::max(-lo, hi);
}

void SetHeader(AudioBlock* b, float lo, float hi, float peak) {
  b->min = lo;
  b->max = hi;
  b->peak = peak;
}

}  // namespace

CPSK31Decoder::~CPSK31Decoder() { Release(); }

void CPSK31Decoder::Release() {
  FreeAudioBlock(band_);
  FreeAudioBlock(loop_out_);
  FreeAudioBlock(staging_);
  band_ = loop_out_ = staging_ = nullptr;
  free(symbols_);
  symbols_ = nullptr;
  symbol_capacity_ = 0;
  viterbi_.reset();
}

int CPSK31Decoder::Init(int carrier, int sampleRate, int blockSize, int taps) {
  if (sampleRate < kMinRate || sampleRate > kMaxRate || blockSize < 1 ||
      carrier - kBandHalfWidth <= 0.0f || 2.0f * (carrier + kBandHalfWidth) >= float(sampleRate))
    return 0;
  Release();
  // The loop and symbol-phase state is shared by the process: a new decoder starts afresh,
  // never from what an earlier one left behind.
  ResetPllProcessState();
  ResetQpsk31SymbolState();
  carrier_ = carrier;
  rate_ = sampleRate;
  block_ = blockSize;
  taps_ = taps;
  previous_ = 0.0f;
  register_ = 0;
  lock_ = 0;
  fill_ = 0;
  before_ = 0;
  symbol_ = int(rate_ * kSymbolSeconds + 0.5);
  if (!NewAudioBlock(&band_, block_) || !NewAudioBlock(&loop_out_, block_) ||
      !NewAudioBlock(&staging_, block_))
    return 0;
  symbol_capacity_ = 2 * std::max(block_, symbol_);
  symbols_ = static_cast<float*>(calloc(size_t(symbol_capacity_), sizeof(float)));
  if (!symbols_) return 0;
  viterbi_ = std::make_unique<CViterbiDecoderQPSK>();
  if (!band_pass_.Init(rate_, block_, Scaled(kBandPassOrder, rate_)) ||
      !band_pass_.CreateBP(float(carrier) - kBandHalfWidth, float(carrier) + kBandHalfWidth,
                           kFilterWindow))
    return 0;
  // The loop starts on the carrier and keeps one block of history, which its QPSK decisions
  // read one block late.
  if (!loop_.Init(rate_, carrier_, kLoopGain, block_)) return 0;
  loop_.SetTPFactor(kBpskArmFactor);
  if (!low_pass_.Init(rate_, block_, Scaled(kLowPassOrder, rate_)) ||
      !low_pass_.CreateTP(kLowPassCutoff, kFilterWindow))
    return 0;
  return 1;
}

void CPSK31Decoder::SetBPSKModeActive(int bpsk) {
  bpsk_ = bpsk;
  loop_.SetBPSKMode(bpsk);
}

int CPSK31Decoder::SetReverseMode(int reverse) {
  const int old = reverse_;
  reverse_ = reverse ? 1 : 0;
  return old;
}

int CPSK31Decoder::Connect(HWND wnd, int channel) { return windows_.Connect(wnd, channel); }

int CPSK31Decoder::DisConnect(HWND wnd, int channel) { return windows_.DisConnect(wnd, channel); }

void CPSK31Decoder::Decode(const AudioBlock* in) {
  if (!in || !band_ || in->count <= 0) return;
  FeedInSteps(in, block_, staging_, [this](const AudioBlock* step) { DecodeStep(step); });
}

void CPSK31Decoder::DecodeStep(const AudioBlock* in) {
  // The work blocks take the length of this step, so a short block leaves no stale samples.
  band_->count = loop_out_->count = in->count;
  band_pass_.Filter(in, band_, 1);
  windows_.Post(band_, kPsk31BandPassChannel);
  if (bpsk_)
    DecodeBpsk();
  else
    DecodeQpsk();
}

void CPSK31Decoder::AppendSymbols(const AudioBlock* b) {
  // The buffer holds less than one symbol between blocks and two blocks' worth in all.
  const int n = std::min(b->count, symbol_capacity_ - fill_);
  memcpy(symbols_ + fill_, b->data, size_t(n) * sizeof(float));
  fill_ += n;
}

void CPSK31Decoder::Consume(int n) {
  n = std::clamp(n, 0, fill_);
  memmove(symbols_, symbols_ + n, size_t(fill_ - n) * sizeof(float));
  fill_ -= n;
}

void CPSK31Decoder::Frame() {
  if (lock_ == 0 || register_ == 0 || (register_ & kCharacterGap) != 0) return;
  const int ch = VaricodeLookupBits(register_ >> 2);
  if (ch >= 0) Char(ch);
  register_ = 0;
}

void CPSK31Decoder::DecodeBpsk() {
  const int n = symbol_;
  MeasureAgainstZero(band_);
  SetHeader(loop_out_, kBpskLoopMin, kBpskLoopMax, kBpskLoopPeak);
  loop_.DoCostasLoop(band_, loop_out_, 0, n);
  low_pass_.Filter(loop_out_, band_, 1);
  AppendSymbols(band_);
  while (fill_ >= n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += symbols_[i];
    const float value = float(sum / n / n);  // only its sign matters
    const bool same = (value > 0.0f) == (previous_ > 0.0f);
    register_ = (register_ << 1) | (same ? 1u : 0u);
    previous_ = value;
    Frame();
    Consume(BpskTiming());
  }
  MeasureAudioBlock(band_);
  windows_.Post(band_, kPsk31DemodulatedChannel);
}

int CPSK31Decoder::BpskTiming() {
  const int n = symbol_, t = symbol_ / kTimingShare;
  if (fill_ <= n + t) return n;
  for (int i = n - t; i < n + t; ++i) {
    const float a = symbols_[i], b = symbols_[i + 1];
    if ((a <= 0.0f && b > 0.0f) || (a > 0.0f && b <= 0.0f)) {
      lock_ = kBpskLock;
      return n - (n - i) / kTimingShare;
    }
  }
  if (lock_ > 0) {
    --lock_;
    return n;
  }
  return t;  // unlocked: the clock slides by a tenth of a symbol
}

int CPSK31Decoder::MapQpskSymbol(float m) {
  int& real_phase = GetQpsk31SymbolState().last_real_phase;
  int symbol = -1;
  if (m > 45.0f && m < 135.0f) {
    symbol = 1;
  } else if (m > 225.0f && m < 315.0f) {
    symbol = 3;
  } else if (m < 45.0f) {
    symbol = real_phase == 180 ? 2 : 0;
    real_phase = 0;
  } else if (m > 135.0f && m < 225.0f) {
    symbol = real_phase != 180 ? 2 : 0;
    real_phase = 180;
  }
  if (reverse_ && (symbol == 1 || symbol == 3)) symbol = 4 - symbol;
  return symbol;
}

void CPSK31Decoder::DecodeQpsk() {
  const int n = symbol_, t = symbol_ / kTimingShare;
  Qpsk31SymbolState& state = GetQpsk31SymbolState();
  loop_.SetTPFactor(kQpskArmFactor);
  MeasureAudioBlock(band_);
  SetHeader(loop_out_, 0.0f, kQpskLoopMax, kQpskLoopMax);
  loop_.DoCostasLoop(band_, loop_out_, state.phase_offset, n);
  low_pass_.Filter(loop_out_, band_, 1);
  const float gain = low_pass_.GetSkalFak();
  if (gain > 0.0f)
    for (int i = 0; i < band_->count; ++i) band_->data[i] /= gain;
  SetHeader(band_, 0.0f, kQpskPhaseMax, kQpskPhaseMax);
  before_ = fill_;
  AppendSymbols(band_);
  while (fill_ >= n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += symbols_[i];
    const float m = float(sum / n);
    const int symbol = MapQpskSymbol(m);
    if (symbol >= 0 && viterbi_->AddNewValue(symbol))
      register_ = (register_ << 1) | uint32_t(viterbi_->GetLastBit());
    previous_ = m;
    Frame();
    Consume(QpskTiming(before_));
  }
  windows_.Post(band_, kPsk31DemodulatedChannel);
  // The offset handed to the loop with the next block.
  unsigned offset = unsigned(state.phase_offset);
  while (offset < unsigned(block_)) offset += unsigned(n);
  offset %= unsigned(block_);
  state.phase_offset = std::max(0, int(offset) - t);
}

int CPSK31Decoder::QpskTiming(int before) {
  const int n = symbol_, t = symbol_ / kTimingShare;
  if (fill_ <= n + t) return n;
  Qpsk31SymbolState& state = GetQpsk31SymbolState();
  state.phase_offset = n - before;
  for (int i = n - t; i < n + t; ++i) {
    if (std::abs(QuantisedPhase(symbols_[i]) - QuantisedPhase(symbols_[i + 1])) > kQpskEdge) {
      lock_ = kQpskLock;
      return n - (n - i) / kTimingShare;
    }
  }
  if (lock_ > 0) --lock_;
  if (lock_ <= 0) {
    state.phase_offset = 0;
    return t;
  }
  return n;
}
